// The wide string functions against their Windows meaning.
#include <climits>
#include <gtest/gtest.h>

#include "TestText.h"
#include "kvorPlatform.h"

using kvortest::U8;
using kvortest::W;
using kvortest::WString;

namespace {

int SignOf(int value)
{
    return (value > 0) - (value < 0);
}

TEST(WideCompare, OrdersAsUnsignedUnits)
{
    struct Case {
        const char* left;
        const char* right;
        int sign;
    } const cases[] = {
        {"", "", 0},    {"abc", "abc", 0}, {"abc", "abd", -1}, {"abd", "abc", 1},
        {"ab", "abc", -1}, {"abc", "ab", 1}, {"a", "\xC3\xA4", -1}, {"B", "a", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SignOf(kvor::wcscmp(W(c.left).c_str(), W(c.right).c_str())), c.sign)
            << c.left << " vs " << c.right;
    }
}

TEST(WideCompare, IgnoringCaseFoldsOnlyAsciiLetters)
{
    struct Case {
        const char* left;
        const char* right;
        int sign;
    } const cases[] = {
        {"Window", "wINDOW", 0},
        {"ABC", "abd", -1},
        {"abd", "ABC", 1},
        {"\xC3\x84", "\xC3\xA4", -1}, // U+00C4 and U+00E4 are not folded
        {"a", "ab", -1},
        {"_", "A", -1}, // folds to lower case, as Windows: '_' (0x5F) < 'a' (0x61)
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SignOf(kvor::_wcsicmp(W(c.left).c_str(), W(c.right).c_str())), c.sign)
            << c.left << " vs " << c.right;
    }
}

TEST(WideToLong, ReadsLikeTheCLibrary)
{
    struct Case {
        const char* text;
        long value;
    } const cases[] = {
        {"0", 0},
        {"42", 42},
        {" -17abc", -17},
        {"+8", 8},
        {"\t\n 12", 12},
        {"\xE3\x80\x80" "5", 5}, // U+3000 is white space
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"2147483647", 2147483647L},
        {"2147483648", 2147483647L},
        {"99999999999999999999", 2147483647L},
        {"-2147483648", -2147483647L - 1},
        {"-2147483649", -2147483647L - 1},
        {"-99999999999999999999", -2147483647L - 1},
        {"007", 7},
        {"12 34", 12},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kvor::_wtol(W(c.text).c_str()), c.value) << '"' << c.text << '"';
    }
}

TEST(WideFromInt, WritesEveryRadix)
{
    struct Case {
        int value;
        int radix;
        const char* text;
    } const cases[] = {
        {0, 10, "0"},
        {1234, 10, "1234"},
        {-1234, 10, "-1234"},
        {INT_MIN, 10, "-2147483648"},
        {INT_MAX, 10, "2147483647"},
        {255, 16, "ff"},
        {-1, 16, "ffffffff"},
        {5, 2, "101"},
        {-1, 2, "11111111111111111111111111111111"},
        {35, 36, "z"},
        {-8, 8, "37777777770"},
    };
    for (const Case& c : cases) {
        WCHAR buffer[40];
        EXPECT_EQ(U8(kvor::_itow(c.value, buffer, c.radix)), c.text) << c.value << " radix " << c.radix;
    }
}

std::vector<std::string> Tokens(const char* text, const char* delimiters)
{
    WString buffer = W(text);
    const WString separators = W(delimiters);
    std::vector<std::string> tokens;
    WCHAR* context = nullptr;
    for (WCHAR* token = kvor::wcstok(&buffer[0], separators.c_str(), &context); token != nullptr;
         token = kvor::wcstok(nullptr, separators.c_str(), &context)) {
        tokens.push_back(U8(token));
    }
    return tokens;
}

TEST(WideTokens, SkipRunsOfDelimiters)
{
    typedef std::vector<std::string> Words;
    EXPECT_EQ(Tokens("10, 20, 30, 40", ", "), (Words{"10", "20", "30", "40"}));
    EXPECT_EQ(Tokens(" ,,10,,  20 , ", ", "), (Words{"10", "20"}));
    EXPECT_EQ(Tokens("single", ", "), (Words{"single"}));
    EXPECT_EQ(Tokens("", ", "), Words{});
    EXPECT_EQ(Tokens(", ,", ", "), Words{});
}

TEST(WideTokens, KeepTheirPlaceIndependently)
{
    WString first = W("a b");
    WString second = W("x,y");
    WCHAR* firstContext = nullptr;
    WCHAR* secondContext = nullptr;
    EXPECT_EQ(U8(kvor::wcstok(&first[0], KVOR_TEXT(" "), &firstContext)), "a");
    EXPECT_EQ(U8(kvor::wcstok(&second[0], KVOR_TEXT(","), &secondContext)), "x");
    EXPECT_EQ(U8(kvor::wcstok(nullptr, KVOR_TEXT(" "), &firstContext)), "b");
    EXPECT_EQ(U8(kvor::wcstok(nullptr, KVOR_TEXT(","), &secondContext)), "y");
    EXPECT_EQ(kvor::wcstok(nullptr, KVOR_TEXT(" "), &firstContext), nullptr);
}

TEST(BoundedCopy, CutsAndTerminates)
{
    struct Case {
        const char* source;
        size_t size;
        const char* result;
        HRESULT status;
    } const cases[] = {
        {"hello", 10, "hello", S_OK},
        {"hello", 6, "hello", S_OK},
        {"hello", 5, "hell", STRSAFE_E_INSUFFICIENT_BUFFER},
        {"hello", 1, "", STRSAFE_E_INSUFFICIENT_BUFFER},
        {"", 1, "", S_OK},
    };
    for (const Case& c : cases) {
        WCHAR buffer[16];
        std::fill(buffer, buffer + 16, u'#');
        EXPECT_EQ(StringCchCopyW(buffer, c.size, W(c.source).c_str()), c.status) << c.source << " in " << c.size;
        EXPECT_EQ(U8(buffer), c.result) << c.source << " in " << c.size;
        EXPECT_EQ(buffer[c.size], u'#') << "wrote past the size for " << c.source;
    }
}

TEST(BoundedCopy, SizeZeroWritesNothing)
{
    WCHAR buffer[2] = {u'#', u'#'};
    EXPECT_EQ(StringCchCopyW(buffer, 0, KVOR_TEXT("x")), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchCatW(buffer, 0, KVOR_TEXT("x")), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(buffer[0], u'#');
}

TEST(BoundedAppend, CutsAndTerminates)
{
    struct Case {
        const char* start;
        const char* source;
        size_t size;
        const char* result;
        HRESULT status;
    } const cases[] = {
        {"ab", "cd", 10, "abcd", S_OK},
        {"ab", "cd", 5, "abcd", S_OK},
        {"ab", "cd", 4, "abc", STRSAFE_E_INSUFFICIENT_BUFFER},
        {"ab", "cd", 3, "ab", STRSAFE_E_INSUFFICIENT_BUFFER},
        {"", "xyz", 3, "xy", STRSAFE_E_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        WCHAR buffer[16];
        std::fill(buffer, buffer + 16, u'#');
        const WString start = W(c.start);
        std::copy(start.c_str(), start.c_str() + start.size() + 1, buffer);
        EXPECT_EQ(StringCchCatW(buffer, c.size, W(c.source).c_str()), c.status) << c.start << "+" << c.source;
        EXPECT_EQ(U8(buffer), c.result) << c.start << "+" << c.source << " in " << c.size;
        EXPECT_EQ(buffer[c.size], u'#') << "wrote past the size for " << c.start << "+" << c.source;
    }
}

TEST(BoundedAppend, RefusesAnUnterminatedTarget)
{
    WCHAR buffer[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(StringCchCatW(buffer, 3, KVOR_TEXT("x")), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(buffer[2], u'c');
}

TEST(WhiteSpaceClass, MatchesTheUnicodeProperty)
{
    const unsigned spaces[] = {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x85, 0xA0, 0x1680, 0x2000,
                               0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (unsigned c : spaces) {
        EXPECT_NE(kvor::iswctype(static_cast<WCHAR>(c), kvor::SpaceClass), 0) << std::hex << c;
        EXPECT_EQ(kvor::iswctype(static_cast<WCHAR>(c), 0x1), 0) << "other class for " << std::hex << c;
    }
    const unsigned others[] = {0x00, 0x08, 0x0E, 0x1F, 0x21, 'a', 0x84, 0x86, 0x9F, 0xA1,
                               0x180E, 0x200B, 0x2027, 0x202A, 0x2060, 0xFEFF, 0xFFFF};
    for (unsigned c : others) {
        EXPECT_EQ(kvor::iswctype(static_cast<WCHAR>(c), kvor::SpaceClass), 0) << std::hex << c;
    }
}

} // namespace
