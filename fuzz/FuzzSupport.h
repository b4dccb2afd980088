// Helpers shared by the fuzz targets: a scratch folder, WCHAR text from raw
// bytes, a reader that decodes the input into the steps of a target, and
// whether a saved tree reads back whole.
// Files and UTF-16 text come from the tests' own helpers.
#ifndef KVOR_FUZZ_SUPPORT_H
#define KVOR_FUZZ_SUPPORT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestText.h"
#include "TreeSnapshot.h"

namespace kvorfuzz {

using kvortest::WString;

// Ends the run, naming the expectation that does not hold, so that the
// fuzzer keeps the input.
inline void Check(bool holds, const char* expectation)
{
    if (!holds) {
        std::fprintf(stderr, "expected: %s\n", expectation);
        std::abort();
    }
}

// A folder of the process's own (libFuzzer's -jobs runs several) for the
// documents a target loads and saves, under TMPDIR, which fuzz/run.sh puts
// in memory; it goes when the process ends normally, a crashing run leaves it.
inline const kvortest::TempDir& Scratch()
{
    static const kvortest::TempDir folder;
    return folder;
}

// Little-endian pairs of bytes as characters, with a terminator; an odd
// last byte is dropped.
inline WString CharactersOf(const uint8_t* data, size_t size)
{
    WString text;
    for (size_t index = 0; index + 1 < size; index += 2) {
        text.push_back(static_cast<WCHAR>(data[index] | (data[index + 1] << 8)));
    }
    return text;
}

// Takes what a target needs from the front of the input; once the bytes
// run out every read answers 0, so that any input decodes to something.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool AtEnd() const { return m_used >= m_size; }
    uint8_t Byte() { return m_used < m_size ? m_data[m_used++] : 0; }
    uint32_t Word()
    {
        uint32_t word = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            word |= static_cast<uint32_t>(Byte()) << shift;
        }
        return word;
    }

    // Mostly short texts from a few letters that differ only in case, so
    // that exact and case-blind matches part often. A length byte below
    // 0xC0 gives 0 to 11 characters, 0xC0 to 0xF7 gives 0 to 55 (around the
    // logger's 31-character zone names), 0xF8 to 0xFF gives 256 to 263
    // repeats of one character (around the 259 characters of the library's
    // name and token buffers).
    WString Text()
    {
        const uint8_t length = Byte();
        if (length >= 0xF8) {
            return WString(256 + (length - 0xF8), Character());
        }
        WString text;
        for (int count = length < 0xC0 ? length % 12 : length - 0xC0; count > 0; --count) {
            text.push_back(Character());
        }
        return text;
    }

    // Bytes below 0xE0 pick a letter, digit or name punctuation; the rest
    // pick characters that the reader treats specially, white space, signs
    // and commas for the number and colour readers, and characters beyond
    // ASCII (never a NUL).
    WCHAR Character()
    {
        static const char16_t kPlain[] = u"aAbB1:_.";
        static const char16_t kSpecial[] = {' ', '\t', '\n', '<', '>', '"', '\'', '&', '=', '/', '?', '!', '-', '+', ',', '0',
                                            '2', '5', '7', '\\', 0x00E9, 0x00C9, 0x4E2D, 0xD800, 0xFEFF, 0xFFFF};
        const uint8_t pick = Byte();
        if (pick < 0xE0) {
            return static_cast<WCHAR>(kPlain[pick % 8]);
        }
        return static_cast<WCHAR>(kSpecial[(pick - 0xE0) % (sizeof(kSpecial) / sizeof(kSpecial[0]))]);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_used = 0;
};

// Whether the reader takes a saved tree back exactly as it was: plain
// names and texts within its token buffers and its depth bound, text only
// in elements without children, and no line long enough for the writer to
// cut.
inline bool IsPlainText(const SnapshotText& text)
{
    return text.size() < static_cast<size_t>(CJXMLNode::kNameCapacity) &&
           std::all_of(text.begin(), text.end(), [](WCHAR c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '.' || c == ':';
           });
}

inline bool IsPlainName(const SnapshotText& name)
{
    return !name.empty() && IsPlainText(name);
}

// depth is 0 for the element that is saved.
inline bool SavesLosslessly(const NodeSnapshot& node, int depth)
{
    if (depth >= CJXMLNode::kMaxDepth || !IsPlainName(node.name) || (node.hasContent && !IsPlainText(node.content)) ||
        (node.hasContent && !node.children.empty())) {
        return false;
    }
    // The reader counts the line break and indentation in front of a text
    // towards its 259 characters.
    const size_t indentation = static_cast<size_t>(depth) * 4;
    if (node.hasContent && 2 + indentation + node.content.size() >= CJXMLNode::kNameCapacity) {
        return false;
    }
    size_t startTag = indentation + 1 + node.name.size() + 3;
    for (const AttributeSnapshot& attribute : node.attributes) {
        if (!IsPlainName(attribute.key) || !IsPlainText(attribute.value)) {
            return false;
        }
        startTag += attribute.key.size() + attribute.value.size() + 4;
    }
    return startTag < CJXMLNode::kLineCapacity &&
           std::all_of(node.children.begin(), node.children.end(),
                       [depth](const NodeSnapshot& child) { return SavesLosslessly(child, depth + 1); });
}

} // namespace kvorfuzz

#endif // KVOR_FUZZ_SUPPORT_H
