// MultiByteToWideChar: UTF-8 and Windows-1252 (which one CP_ACP is, KVOR_ACP
// says; the document loader's tests read files in both).
#include <algorithm>
#include <gtest/gtest.h>

#include "TestText.h"
#include "kvor/platform/kvorPlatform.h"

using kvortest::WString;

namespace {

// Converts bytes (without the NUL), measuring first as the document loader does.
WString Convert(UINT codePage, const std::string& bytes)
{
    const int size = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    WString text(static_cast<size_t>(std::max(needed, 0)), KVOR_TEXT('#'));
    EXPECT_TRUE(needed == 0 || MultiByteToWideChar(codePage, 0, bytes.data(), size, &text[0], needed) == needed);
    return text;
}

TEST(CodePages, DecodeUtf8ReplacingInvalidSequencesAndMapTheWindows1252HighHalf)
{
    struct Case { const char* name; UINT codePage; std::string bytes; WString text; };
    const Case cases[] = {
        {"ascii", CP_UTF8, "a<b>", KVOR_TEXT("a<b>")},
        {"two and three bytes", CP_UTF8, "\xC3\xA4\xE2\x82\xAC", KVOR_TEXT("\u00E4\u20AC")},
        {"four bytes as surrogate pairs", CP_UTF8, "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
         KVOR_TEXT("\xD83D\xDE00\xDBFF\xDFFF")},
        {"lone continuations", CP_UTF8, "a\x80\xBFz", KVOR_TEXT("a\xFFFD\xFFFDz")},
        {"overlong forms", CP_UTF8, "\xC0\xAF\xE0\x80\xAF", KVOR_TEXT("\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD")},
        {"encoded surrogate", CP_UTF8, "\xED\xA0\x80", KVOR_TEXT("\xFFFD\xFFFD\xFFFD")},
        {"beyond U+10FFFF", CP_UTF8, "\xF4\x90\x80\x80\xF5\x80", KVOR_TEXT("\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD")},
        {"truncated sequences", CP_UTF8, "\xE2\x82z\xC3\xC3\xA4\xF0\x9F\x98", KVOR_TEXT("\xFFFDz\xFFFD\u00E4\xFFFD")},
        {"embedded NUL", CP_UTF8, std::string("a\0b", 3), WString(KVOR_TEXT("a\0b"), 3)},
        {"1252 punctuation", 1252, "Az\x80\x93\x94\x96\x97\x99\x9F",
         KVOR_TEXT("Az\u20AC\u201C\u201D\u2013\u2014\u2122\u0178")},
        {"1252 undefined bytes and latin-1", 1252, "\x81\x8D\x8F\x90\x9D\xA0\xC4\xFF",
         KVOR_TEXT("\u0081\u008D\u008F\u0090\u009D\u00A0\u00C4\u00FF")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Convert(c.codePage, c.bytes), c.text) << c.name;
    }
}

} // namespace
