// MultiByteToWideChar: UTF-8 and Windows-1252, chosen by KVOR_ACP for CP_ACP.
#include <gtest/gtest.h>

#include "TestText.h"
#include "kvorPlatform.h"

using kvortest::ScopedEnv;
using kvortest::WString;

namespace {

// Converts bytes (without the NUL) with the code page; the status in *error.
WString Convert(UINT codePage, const std::string& bytes, DWORD* error = nullptr)
{
    SetLastError(0);
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    WString text(needed > 0 ? static_cast<size_t>(needed) : 0u, u'#');
    if (needed > 0) {
        EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], needed),
                  needed);
    }
    if (error != nullptr) {
        *error = GetLastError();
    }
    return text;
}

std::string Hex(const WString& text)
{
    std::string out;
    char unit[8];
    for (WCHAR c : text) {
        snprintf(unit, sizeof(unit), "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

struct Case {
    const char* name;
    std::string bytes;
    WString text;
};

TEST(Utf8, DecodesValidAndReplacesInvalidSequences)
{
    const Case cases[] = {
        {"ascii", "a<b>", u"a<b>"},
        {"two bytes", "\xC3\xA4", u"\u00E4"},
        {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
        {"four bytes as a surrogate pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"largest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        {"lone continuation", "a\x80z", u"a\xFFFDz"},
        {"two lone continuations", "\x80\xBF", u"\xFFFD\xFFFD"},
        {"overlong two bytes", "\xC0\xAF", u"\xFFFD\xFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\xFFFD\xFFFD\xFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"F5 lead", "\xF5\x80", u"\xFFFD\xFFFD"},
        {"truncated three bytes", "\xE2\x82z", u"\xFFFDz"},
        {"truncated four bytes at the end", "a\xF0\x9F\x98", u"a\xFFFD"},
        {"lead then lead", "\xC3\xC3\xA4", u"\xFFFD\u00E4"},
        {"embedded NUL", std::string("a\0b", 3), WString(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        const WString text = Convert(CP_UTF8, c.bytes);
        EXPECT_EQ(text, c.text) << c.name << ": got " << Hex(text);
    }
}

TEST(Windows1252, MapsTheWholeHighHalf)
{
    const Case cases[] = {
        {"ascii", "Az", u"Az"},
        {"euro", "\x80", u"\u20AC"},
        {"quotes", "\x93\x94", u"\u201C\u201D"},
        {"dashes", "\x96\x97", u"\u2013\u2014"},
        {"trade mark and y diaeresis", "\x99\x9F", u"\u2122\u0178"},
        {"undefined bytes keep their number", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
        {"latin-1 range", "\xA0\xC4\xE4\xFF", u"\u00A0\u00C4\u00E4\u00FF"},
    };
    for (const Case& c : cases) {
        const WString text = Convert(1252, c.bytes);
        EXPECT_EQ(text, c.text) << c.name << ": got " << Hex(text);
    }
}

TEST(AnsiCodePage, FollowsKvorAcp)
{
    const std::string bytes = "\xC3\xA4\x80";
    {
        ScopedEnv acp("KVOR_ACP", "1252");
        EXPECT_EQ(Convert(CP_ACP, bytes), (WString(u"\u00C3\u00A4\u20AC")));
    }
    const char* utf8Values[] = {"65001", "", "437"};
    for (const char* value : utf8Values) {
        ScopedEnv acp("KVOR_ACP", value);
        EXPECT_EQ(Convert(CP_ACP, bytes), (WString(u"\u00E4\xFFFD"))) << "KVOR_ACP=" << value;
    }
}

TEST(MultiByteToWideChar, RejectsOtherCodePages)
{
    DWORD error = 0;
    EXPECT_TRUE(Convert(437, "abc", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(MultiByteToWideChar, MinusOneIncludesTheTerminator)
{
    WCHAR buffer[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab\xC3\xA4", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab\xC3\xA4", -1, buffer, 8), 4);
    EXPECT_EQ(WString(buffer, 4), WString(u"ab\u00E4\0", 4));
}

TEST(MultiByteToWideChar, TooSmallBufferFails)
{
    WCHAR buffer[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcd", 4, buffer, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    // A surrogate pair does not fit into the one unit left.
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xF0\x9F\x98\x80", 5, buffer, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xF0\x9F\x98\x80", 5, buffer, 3), 3);
}

TEST(MultiByteToWideChar, RejectsBadArguments)
{
    WCHAR buffer[4];
    struct Call {
        const char* name;
        const char* source;
        int bytes;
        WCHAR* target;
        int chars;
    } const calls[] = {
        {"null source", nullptr, 3, buffer, 4},
        {"no bytes", "abc", 0, buffer, 4},
        {"negative bytes", "abc", -2, buffer, 4},
        {"negative size", "abc", 3, buffer, -1},
        {"null target with a size", "abc", 3, nullptr, 4},
    };
    for (const Call& call : calls) {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, call.source, call.bytes, call.target, call.chars), 0) << call.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << call.name;
    }
}

} // namespace
