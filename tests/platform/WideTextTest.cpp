// The wide string functions against their Windows meaning for 16-bit text,
// and the wide printf with the conversions the library's log lines use.
#include <algorithm>
#include <climits>
#include <gtest/gtest.h>

#include "TestText.h"
#include "kvor/platform/kvorPlatform.h"

using namespace kvortest;

namespace {

TEST(WideCompare, ExactOrdersUnsignedUnitsAndIgnoringCaseFoldsOnlyAsciiLetters)
{
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    struct Case { const char *left, *right; int exact, ignoringCase; };
    const Case cases[] = {
        {"", "", 0, 0}, {"abc", "abd", -1, -1}, {"abd", "abc", 1, 1}, {"ab", "abc", -1, -1}, {"abc", "ab", 1, 1},
        {"a", "\xEF\xBF\xBF", -1, -1}, {"B", "a", -1, 1}, {"Window", "wINDOW", -1, 0},
        {"\xC3\x84", "\xC3\xA4", -1, -1}, // U+00C4 and U+00E4 are not folded
        {"_", "A", 1, -1},               // folds to lower case, as Windows: '_' (0x5F) < 'a' (0x61)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.left) + " vs " + c.right);
        EXPECT_EQ(sign(kvor::wcscmp(W(c.left).c_str(), W(c.right).c_str())), c.exact);
        EXPECT_EQ(sign(kvor::_wcsicmp(W(c.left).c_str(), W(c.right).c_str())), c.ignoringCase);
    }
}

TEST(WideToLong, ReadsLikeTheCLibraryAndClampsTo32Bits)
{
    struct Case { const char* text; long value; };
    const Case cases[] = {
        {"0", 0}, {"42", 42}, {" -17abc", -17}, {"+8", 8}, {"\t\n 12", 12}, {"\xE3\x80\x80" "5", 5}, {"007", 7},
        {"abc", 0}, {"", 0}, {"-", 0}, {"- 5", 0}, {"12 34", 12}, {"2147483647", 2147483647L},
        {"2147483648", 2147483647L}, {"99999999999999999999", 2147483647L}, {"-2147483648", -2147483647L - 1},
        {"-2147483649", -2147483647L - 1}, {"-99999999999999999999", -2147483647L - 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kvor::_wtol(W(c.text).c_str()), c.value) << '"' << c.text << '"';
    }
}

TEST(WideFromInt, WritesEveryRadixWithASignOnlyInDecimal)
{
    const struct { int value, radix; std::string text; } cases[] = {
        {0, 10, "0"}, {-1234, 10, "-1234"}, {INT_MAX, 10, std::to_string(INT_MAX)}, {INT_MIN, 10, "-2147483648"},
        {-1, 16, "ffffffff"}, {5, 2, "101"}, {INT_MIN, 2, "1" + std::string(31, '0')}, {35, 36, "z"}, {7, 1, ""}};
    for (const auto& c : cases) {
        WCHAR buffer[33];
        EXPECT_EQ(U8(kvor::_itow(c.value, buffer, c.radix)), c.text) << c.value << " radix " << c.radix;
    }
}

TEST(WideTokens, SkipLeadingDelimitersAndRunsOfThem)
{
    struct Case { const char *text, *tokens; };
    const Case cases[] = {{"10, 20, 30", "10|20|30|"}, {" ,,10,,  20 , ", "10|20|"}, {"single", "single|"}, {"", ""},
                          {", ,", ""}};
    for (const Case& c : cases) {
        WString text = W(c.text);
        std::string tokens;
        WCHAR* context = nullptr;
        for (WCHAR* token = kvor::wcstok(&text[0], KVOR_TEXT(", "), &context); token != nullptr;
             token = kvor::wcstok(nullptr, KVOR_TEXT(", "), &context)) {
            tokens += U8(token) + "|";
        }
        EXPECT_EQ(tokens, c.tokens) << '"' << c.text << '"';
    }
}

TEST(BoundedCopyAndAppend, CutTerminateAndNeverWritePastTheSize)
{
    struct Case { bool append; const char *start, *source; size_t size; const char* result; HRESULT status; };
    const HRESULT cut = STRSAFE_E_INSUFFICIENT_BUFFER;
    const Case cases[] = {
        {false, "", "hello", 6, "hello", S_OK}, {false, "", "hello", 5, "hell", cut}, {false, "ab", "hello", 1, "", cut},
        {false, "ab", "", 1, "", S_OK},         {true, "ab", "cd", 5, "abcd", S_OK},  {true, "ab", "cd", 4, "abc", cut},
        {true, "ab", "cd", 3, "ab", cut},       {true, "", "xyz", 3, "xy", cut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.start << (c.append ? " + " : " <- ") << c.source << " in " << c.size);
        WString buffer = W(c.start) + WString(1, 0) + WString(12, KVOR_TEXT('#'));
        const WCHAR atSize = buffer[c.size];
        const WString source = W(c.source);
        EXPECT_EQ(c.append ? StringCchCatW(&buffer[0], c.size, source.c_str())
                           : StringCchCopyW(&buffer[0], c.size, source.c_str()),
                  c.status);
        EXPECT_EQ(U8(buffer.c_str()), c.result);
        EXPECT_EQ(buffer[c.size], atSize) << "wrote past the size";
    }
}

// The reader asks only beyond ASCII.
TEST(WhiteSpaceClass, MatchesTheUnicodePropertyBeyondAscii)
{
    for (unsigned c : {0xA0, 0x1680, 0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000}) {
        EXPECT_NE(kvor::iswctype(static_cast<WCHAR>(c), kvor::SpaceClass), 0) << std::hex << c;
    }
#if !defined(_WIN32)
    // On Windows white space is the C library's own test, which may leave out
    // the next-line control U+0085.
    EXPECT_NE(kvor::iswctype(static_cast<WCHAR>(0x85), kvor::SpaceClass), 0);
#endif
    for (unsigned c : {0x84, 0x86, 0x9F, 0xA1, 0x180E, 0x200B, 0x2027, 0x202A, 0x2060, 0xFEFF, 0xFFFF}) {
        EXPECT_EQ(kvor::iswctype(static_cast<WCHAR>(c), kvor::SpaceClass), 0) << std::hex << c;
    }
}

std::string Format(const WCHAR* format, ...)
{
    WCHAR buffer[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = kvor::_vsnwprintf(buffer, 256, format, arguments);
    va_end(arguments);
    EXPECT_EQ(static_cast<size_t>(length), kvor::wcslen(buffer)) << "length of " << U8(buffer);
    return U8(buffer);
}

// The conversions the log lines and the colour text use, and what a
// client's format may bring: flags, a precision, %% and unknown ones.
TEST(WidePrintf, WritesTheConversionsOfTheLogLines)
{
    EXPECT_EQ(Format(KVOR_TEXT("%d|%u|%d"), 42, 4294967295u, INT32_MIN), "42|4294967295|-2147483648");
    EXPECT_EQ(Format(KVOR_TEXT("%02d:%02d:%02d.%03d|%03d"), 9, 5, 59, 7, -5), "09:05:59.007|-05");
    EXPECT_EQ(Format(KVOR_TEXT("%02X|%08X|%x"), 0xAu, 0xBEEFu, 0xABCu), "0A|0000BEEF|abc");
    EXPECT_EQ(Format(KVOR_TEXT("%5d|%-5d|%-05d|%.3d|%05.3d"), 42, 42, 42, 7, 7), "   42|42   |42   |007|  007");
    EXPECT_EQ(Format(KVOR_TEXT("[%s|%s|%-3s|%c]"), KVOR_TEXT("node"), static_cast<const WCHAR*>(nullptr), KVOR_TEXT("a"),
                     'z'),
              "[node|(null)|a  |z]");
    EXPECT_EQ(Format(KVOR_TEXT("100%%|%q|%d"), 5), "100%|%q|5");
    EXPECT_EQ(Format(KVOR_TEXT("end %-0")), "end %-0");
}

TEST(WidePrintf, CutsAtCountAndReportsTheFullLength)
{
    for (size_t count : {1, 2, 5, 6, 20}) {
        WCHAR buffer[24];
        std::fill(buffer, buffer + 24, KVOR_TEXT('#'));
        EXPECT_EQ(kvor::swprintf(buffer, count, KVOR_TEXT("%s"), KVOR_TEXT("abcde")), 5) << count;
        EXPECT_EQ(U8(buffer), std::string("abcde").substr(0, count - 1)) << count;
        EXPECT_EQ(buffer[count], KVOR_TEXT('#')) << "wrote past count " << count;
    }
}

} // namespace
