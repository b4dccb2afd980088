// The wide printf: the conversions the library's log lines use.
#include <gtest/gtest.h>

#include "TestText.h"
#include "kvorPlatform.h"

using kvortest::U8;

namespace {

std::string Format(const WCHAR* format, ...)
{
    WCHAR buffer[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = kvor::_vsnwprintf(buffer, 256, format, arguments);
    va_end(arguments);
    const std::string text = U8(buffer);
    EXPECT_EQ(static_cast<size_t>(length), kvor::wcslen(buffer)) << "length of " << text;
    return text;
}

TEST(WidePrintf, Integers)
{
    EXPECT_EQ(Format(KVOR_TEXT("%d|%i|%d"), 42, -7, 0), "42|-7|0");
    EXPECT_EQ(Format(KVOR_TEXT("%02d:%02d:%02d.%03d"), 9, 5, 59, 7), "09:05:59.007");
    EXPECT_EQ(Format(KVOR_TEXT("%03d"), -5), "-05");
    EXPECT_EQ(Format(KVOR_TEXT("%u"), 4294967295u), "4294967295");
    EXPECT_EQ(Format(KVOR_TEXT("%d"), INT32_MIN), "-2147483648");
    EXPECT_EQ(Format(KVOR_TEXT("%02X|%08X|%x"), 0xAu, 0xBEEFu, 0xABCu), "0A|0000BEEF|abc");
    EXPECT_EQ(Format(KVOR_TEXT("%5d|%-5d|%-05d"), 42, 42, 42), "   42|42   |42   ");
    EXPECT_EQ(Format(KVOR_TEXT("%.3d|%5.3d|%05.3d"), 7, 7, 7), "007|  007|  007");
    EXPECT_EQ(Format(KVOR_TEXT("%*d|%-*d|"), 4, 1, 3, 2), "   1|2  |");
    EXPECT_EQ(Format(KVOR_TEXT("%+d|% d"), 3, 3), "+3| 3");
}

TEST(WidePrintf, LengthModifiers)
{
    EXPECT_EQ(Format(KVOR_TEXT("%ld|%lu"), -5L, 4000000000UL), "-5|4000000000");
    EXPECT_EQ(Format(KVOR_TEXT("%lld|%llu"), -9000000000LL, 18446744073709551615ULL),
              "-9000000000|18446744073709551615");
    EXPECT_EQ(Format(KVOR_TEXT("%zu|%hd|%hu"), static_cast<size_t>(77), 70000, 70000), "77|4464|4464");
    EXPECT_EQ(Format(KVOR_TEXT("%llX"), 0x1234567890ABCDEFULL), "1234567890ABCDEF");
}

TEST(WidePrintf, TextAndCharacters)
{
    EXPECT_EQ(Format(KVOR_TEXT("[%s]"), KVOR_TEXT("node")), "[node]");
    EXPECT_EQ(Format(KVOR_TEXT("[%s]"), static_cast<const WCHAR*>(nullptr)), "[(null)]");
    EXPECT_EQ(Format(KVOR_TEXT("[%6s|%-6s]"), KVOR_TEXT("ab"), KVOR_TEXT("cd")), "[    ab|cd    ]");
    EXPECT_EQ(Format(KVOR_TEXT("[%.2s]"), KVOR_TEXT("abcdef")), "[ab]");
    EXPECT_EQ(Format(KVOR_TEXT("[%c%c]"), u'O', u'\x00E4'), "[O\xC3\xA4]");
    EXPECT_EQ(Format(KVOR_TEXT("[%3c]"), u'x'), "[  x]");
    EXPECT_EQ(Format(KVOR_TEXT("100%%")), "100%");
}

TEST(WidePrintf, UnknownConversionsStayAsText)
{
    EXPECT_EQ(Format(KVOR_TEXT("%q|%d"), 5), "%q|5");
    EXPECT_EQ(Format(KVOR_TEXT("end %")), "end %");
    EXPECT_EQ(Format(KVOR_TEXT("end %-0")), "end %-0");
}

TEST(WidePrintf, CutsAtCountAndReportsTheFullLength)
{
    struct Case {
        size_t count;
        const char* text;
    } const cases[] = {{1, ""}, {2, "a"}, {5, "abcd"}, {6, "abcde"}, {7, "abcde"}, {20, "abcde"}};
    for (const Case& c : cases) {
        WCHAR buffer[24];
        std::fill(buffer, buffer + 24, u'#');
        EXPECT_EQ(kvor::swprintf(buffer, c.count, KVOR_TEXT("%s"), KVOR_TEXT("abcde")), 5) << c.count;
        EXPECT_EQ(U8(buffer), c.text) << c.count;
        EXPECT_EQ(buffer[c.count], u'#') << "wrote past count " << c.count;
    }
}

TEST(WidePrintf, CountZeroOnlyMeasures)
{
    WCHAR buffer[1] = {u'#'};
    EXPECT_EQ(kvor::swprintf(buffer, 0, KVOR_TEXT("%d-%s"), 1234, KVOR_TEXT("xy")), 7);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(kvor::swprintf(nullptr, 0, KVOR_TEXT("%05d"), 1), 5);
}

} // namespace
