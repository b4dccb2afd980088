#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "KeyValueTable.h"

using kvortest::Entries;
using kvortest::MemoryStream;

namespace {

typedef std::vector<unsigned char> Bytes;

void Append32(Bytes& bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
}

// A text record: length, then the characters and a terminator.
void AppendText(Bytes& bytes, const std::string& text)
{
    Append32(bytes, static_cast<uint32_t>(text.size()));
    if (!text.empty()) {
        for (char c : text) {
            bytes.push_back(static_cast<unsigned char>(c));
            bytes.push_back(0);
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
}

const Bytes kOneEntry = {0x01, 0x00, 0x00, 0x00,                                     // count
                         0x01, 0x00, 0x00, 0x00, 0x61, 0x00, 0x00, 0x00,             // "a"
                         0x02, 0x00, 0x00, 0x00, 0x62, 0x00, 0x63, 0x00, 0x00, 0x00, // "bc"
                         0x00, 0x00, 0x00, 0x00};                                    // data

TEST(KeyValueStream, SaveToWritesTheRecordFormat)
{
    CKeyValueTable table;
    table.Add(KVOR_TEXT("a"), KVOR_TEXT("bc"), 0);
    MemoryStream stream;
    table.SaveTo(&stream);
    EXPECT_EQ(stream.Bytes(), kOneEntry);
}

TEST(KeyValueStream, NullAndEmptyValuesBothSaveAsLengthZero)
{
    CKeyValueTable table;
    table.Add(KVOR_TEXT("k"), nullptr, 0x01020304);
    table.Add(KVOR_TEXT("e"), KVOR_TEXT(""), 0);
    MemoryStream stream;
    table.SaveTo(&stream);
    Bytes expected;
    Append32(expected, 2);
    AppendText(expected, "k");
    AppendText(expected, "");
    Append32(expected, 0x01020304);
    AppendText(expected, "e");
    AppendText(expected, "");
    Append32(expected, 0);
    EXPECT_EQ(stream.Bytes(), expected);
}

TEST(KeyValueStream, LoadFromRebuildsTheTableAndReplacesOldEntries)
{
    CKeyValueTable table;
    table.Add(KVOR_TEXT("old"), KVOR_TEXT("gone"), 9);
    MemoryStream stream(kOneEntry);
    table.LoadFrom(&stream);
    EXPECT_EQ(Entries(table), (std::vector<std::string>{"a=bc/0"}));
}

TEST(KeyValueStream, RoundTripKeepsOrderDataAndTheLongestText)
{
    CKeyValueTable source;
    const kvortest::WString longest(259, KVOR_TEXT('x'));
    for (int i = 0; i < 70; ++i) {
        source.Add(kvortest::W("key" + std::to_string(i)).c_str(), longest.c_str(), static_cast<uint32_t>(i) * 7);
    }
    MemoryStream stream;
    source.SaveTo(&stream);
    CKeyValueTable copy;
    copy.LoadFrom(&stream);
    EXPECT_EQ(Entries(copy), Entries(source));
}

// Streams that are cut or corrupt load the records read whole before the
// fault and nothing invented after it.
TEST(KeyValueStream, MalformedStreamsLoadOnlyWholeRecords)
{
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<std::string> loaded;
    };
    Bytes twoThenCut;
    Append32(twoThenCut, 2);
    AppendText(twoThenCut, "a");
    AppendText(twoThenCut, "1");
    Append32(twoThenCut, 5);
    AppendText(twoThenCut, "b");

    Bytes hugeCount;
    Append32(hugeCount, 0x7FFFFFFF);
    AppendText(hugeCount, "a");
    AppendText(hugeCount, "");
    Append32(hugeCount, 0);

    Bytes longKey;
    Append32(longKey, 2);
    AppendText(longKey, "ok");
    AppendText(longKey, "v");
    Append32(longKey, 1);
    AppendText(longKey, std::string(260, 'k'));
    AppendText(longKey, "v");
    Append32(longKey, 0);

    Bytes hugeLength;
    Append32(hugeLength, 1);
    Append32(hugeLength, 0xFFFFFFFF);

    Bytes negative;
    Append32(negative, 0xFFFFFFFF);
    AppendText(negative, "a");

    Bytes unterminated;
    Append32(unterminated, 1);
    Append32(unterminated, 2);
    for (unsigned char b : {'a', '\0', 'b', '\0', 'c', '\0'}) {
        unterminated.push_back(b);
    }
    AppendText(unterminated, "v");
    Append32(unterminated, 0);

    Bytes cutInsideCharacters;
    Append32(cutInsideCharacters, 1);
    Append32(cutInsideCharacters, 3);
    cutInsideCharacters.push_back('a');

    const Case cases[] = {
        {"empty stream", {}, {}},
        {"cut inside the count", {0x01, 0x00}, {}},
        {"zero count", {0, 0, 0, 0}, {}},
        {"negative count", negative, {}},
        {"second record cut", twoThenCut, {"a=1/5"}},
        {"huge count over one record", hugeCount, {"a=/0"}},
        {"key of 260 characters", longKey, {"ok=v/1"}},
        {"huge text length", hugeLength, {}},
        {"terminator overwritten", unterminated, {"ab=v/0"}},
        {"cut inside the characters", cutInsideCharacters, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CKeyValueTable table;
        table.Add(KVOR_TEXT("stale"), nullptr, 0);
        MemoryStream stream(c.bytes);
        table.LoadFrom(&stream);
        EXPECT_EQ(Entries(table), c.loaded);
    }
}

} // namespace
