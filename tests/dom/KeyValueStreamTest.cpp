#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "KeyValueTable.h"

using kvortest::Entries;
using kvortest::MemoryStream;

namespace {

typedef std::vector<unsigned char> Bytes;

// Builds streams: numbers as 32-bit little-endian, texts as records.
struct StreamBuilder {
    Bytes bytes;
    StreamBuilder& Int(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<unsigned char>(value >> shift));
        }
        return *this;
    }
    StreamBuilder& Chars(const std::string& text)
    {
        for (char c : text) {
            bytes.insert(bytes.end(), {static_cast<unsigned char>(c), 0});
        }
        return *this;
    }
    StreamBuilder& Text(const std::string& text)
    {
        Int(static_cast<uint32_t>(text.size()));
        return text.empty() ? *this : Chars(text + '\0');
    }
};

TEST(KeyValueStream, SaveToWritesTheRecordFormat)
{
    CKeyValueTable table;
    table.Add(KVOR_TEXT("a"), KVOR_TEXT("bc"), 0);
    MemoryStream one;
    table.SaveTo(&one);
    EXPECT_EQ(one.Bytes(), (Bytes{0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x61, 0x00, 0x00, 0x00, 0x02,
                                  0x00, 0x00, 0x00, 0x62, 0x00, 0x63, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));

    table.Add(KVOR_TEXT("k"), nullptr, 0x01020304);
    table.Add(KVOR_TEXT("e"), KVOR_TEXT(""), 0);
    MemoryStream three;
    table.SaveTo(&three);
    EXPECT_EQ(three.Bytes(),
              StreamBuilder().Int(3).Text("a").Text("bc").Int(0).Text("k").Text("").Int(0x01020304).Text("e").Text("").Int(0).bytes);
}

TEST(KeyValueStream, LoadFromReplacesTheEntriesWithTheSavedOnes)
{
    CKeyValueTable source;
    const kvortest::WString longest(259, KVOR_TEXT('x'));
    for (int i = 0; i < 70; ++i) {
        source.Add(kvortest::W("key" + std::to_string(i)).c_str(), longest.c_str(), static_cast<uint32_t>(i) * 7);
    }
    MemoryStream stream;
    source.SaveTo(&stream);
    CKeyValueTable copy;
    copy.Add(KVOR_TEXT("old"), nullptr, 0);
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
    const Case cases[] = {
        {"empty stream", {}, {}},
        {"cut inside the count", {0x01, 0x00}, {}},
        {"negative count", StreamBuilder().Int(0xFFFFFFFF).Text("a").Text("b").Int(0).bytes, {}},
        {"second record cut", StreamBuilder().Int(2).Text("a").Text("1").Int(5).Text("b").bytes, {"a=1/5"}},
        {"huge count over one record", StreamBuilder().Int(0x7FFFFFFF).Text("a").Text("").Int(0).bytes, {"a=/0"}},
        {"key of 260 characters",
         StreamBuilder().Int(2).Text("ok").Text("v").Int(1).Text(std::string(260, 'k')).Text("v").Int(0).bytes,
         {"ok=v/1"}},
        {"huge text length", StreamBuilder().Int(1).Int(0xFFFFFFFF).bytes, {}},
        {"terminator overwritten", StreamBuilder().Int(1).Int(2).Chars("abc").Text("v").Int(0).bytes, {"ab=v/0"}},
        {"cut inside the characters", StreamBuilder().Int(1).Int(3).Chars("a").bytes, {}},
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
