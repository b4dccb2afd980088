#include <gtest/gtest.h>

#include <string>

#include "FailingAllocator.h"
#include "kvor/dom/KeyValueTable.h"
#include "ReaderTestSupport.h"
#include "kvor/reader/WideString.h"

using kvortest::TextCursor;
using kvortest::U8;

namespace {

const std::string kIdeographicSpace = "\xE3\x80\x80"; // U+3000, white space beyond ASCII

std::string Letters(size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += static_cast<char>('a' + i % 26);
    }
    return out;
}

TEST(XmlCursor, NextNonSpaceSkipsWhiteSpaceAndReadsNulAndEndAsZero)
{
    TextCursor t(" \t\v\f\r\n" + kIdeographicSpace + "x " + std::string(1, '\0') + "y");
    EXPECT_EQ(t.cursor.NextNonSpace(), KVOR_TEXT('x'));
    EXPECT_EQ(t.cursor.GetPosition(), 8);
    EXPECT_EQ(t.cursor.NextNonSpace(), 0); // the NUL, consumed
    EXPECT_EQ(t.cursor.GetPosition(), 10);
    EXPECT_EQ(t.cursor.NextNonSpace(), KVOR_TEXT('y'));
    EXPECT_EQ(t.cursor.NextNonSpace(), 0);
    EXPECT_EQ(t.cursor.GetPosition(), 11);
}

struct TokenCase {
    const char* name;
    bool isName; // ReadName, else ReadValue
    std::string text;
    std::string token;
    int32_t position; // where the cursor stands afterwards
    int32_t size = XmlCursor::kTokenLimit; // of the output buffer; 0: no buffer
};
KVOR_PRINTS_CASE_NAME(TokenCase)

class TokenReadTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenReadTest, ReadsTrimmedTokenAndStopsAtItsEnd)
{
    const TokenCase& c = GetParam();
    TextCursor t(c.text);
    WCHAR buffer[XmlCursor::kTokenLimit] = {KVOR_TEXT('#'), 0};
    WCHAR* out = c.size > 0 ? buffer : nullptr;
    const int32_t length = c.isName ? t.cursor.ReadName(out, c.size) : t.cursor.ReadValue(out, c.size);
    if (out != nullptr) { // the copy is cut to the buffer; the length is the token's
        EXPECT_EQ(U8(out), c.token.substr(0, static_cast<size_t>(c.size) - 1));
    }
    EXPECT_EQ(length, static_cast<int32_t>(c.token.size()));
    EXPECT_EQ(t.cursor.GetPosition(), c.position);
}

const TokenCase kTokenCases[] = {
    {"NameBeforeEquals", true, "  abc=", "abc", 5},
    {"NameBeforeBlank", true, "abc def", "abc", 3},
    {"NameAfterWhiteSpaceEndsAtSlash", true, "  />", "", 2},
    {"NameOverWhiteSpaceOnly", true, " \t ", "", 3},
    {"NameRunsToEndOfText", true, "abc", "abc", 3},
    {"NameEndsAtDoubleQuote", true, "a\"", "a", 1},
    {"NameEndsAtApostrophe", true, "a'", "a", 1},
    {"NameEndsAtLess", true, "a<", "a", 1},
    {"NameEndsAtGreater", true, "a>", "a", 1},
    {"NameEndsAtQuestion", true, "a?", "a", 1},
    {"NameEndsAtWideSpace", true, "a" + kIdeographicSpace + "b", "a", 1},
    {"NameKeepsOtherPunctuation", true, "!-:9.[x]&;", "!-:9.[x]&;", 10},
    {"NameOf259ToEndOfText", true, Letters(259), Letters(259), 259},
    {"NameOf259ThenTerminator", true, Letters(259) + "=", Letters(259), 259},
    {"NameOf260GivesBackTheLast", true, Letters(260), Letters(259), 259},
    {"NameLimitCountsFromFirstNonBlank", true, "   " + Letters(300), Letters(259), 262},
    {"ValueTrimmedBothEnds", false, "  two  words  'rest", "two  words", 14},
    {"ValueKeepsSlashEqualsQuestion", false, "a/b=c?d\"", "a/b=c?d", 7},
    {"ValueKeepsInnerLineBreaks", false, " l1\r\n l2 \"", "l1\r\n l2", 9},
    {"ValueEndsAtLess", false, "x<", "x", 1},
    {"ValueEndsAtGreater", false, "x>", "x", 1},
    {"ValueEmptyBeforeQuote", false, "'", "", 0},
    {"ValueOfWhiteSpaceOnly", false, "   ", "", 3},
    {"ValueLimitCountsLeadingBlanks", false, "     " + Letters(300), Letters(254), 259},
    {"ValueOf259ThenBlanks", false, Letters(259) + "    \"", Letters(259), 259},
    {"ValueTrimsControlAndWideWhiteSpace", false, " \t\r\n\v\f" + kIdeographicSpace + "x\r\n'", "x", 10},
    {"CopyCutToTheBuffer", true, "abcdef>", "abcdef", 6, 4},
    {"NoBufferStillConsumesAndMeasures", true, " name = ", "name", 5, 0},
};
INSTANTIATE_TEST_SUITE_P(Tokens, TokenReadTest, ::testing::ValuesIn(kTokenCases), kvortest::CaseName());

TEST(XmlCursorTokens, RefusedCopyReadsAsEmptyButConsumes)
{
    TextCursor t("name=");
    WCHAR out[XmlCursor::kTokenLimit] = {KVOR_TEXT('#'), 0};
    int32_t length = -1;
    {
        kvortest::ScopedAllocationFailure refuse(1);
        length = t.cursor.ReadName(out, XmlCursor::kTokenLimit);
        EXPECT_TRUE(kvortest::AllocationWasRefused());
    }
    EXPECT_EQ(length, 0);
    EXPECT_EQ(U8(out), "");
    EXPECT_EQ(t.cursor.GetPosition(), 4);
}

TEST(WideString, NullSourceIsEmpty)
{
    WideString string(nullptr);
    EXPECT_EQ(U8(string.GetText()), "");
    EXPECT_EQ(string.GetLength(), 0);
}

TEST(WideString, HashIsThePolynomialOverTheCharacters)
{
    WideString string(KVOR_TEXT("ab"));
    EXPECT_EQ(string.GetHashCode(), 97u * 31u + 98u);
}

TEST(WideString, EqualsComparesTextOfWideStringsCaseSensitively)
{
    WideString abc(KVOR_TEXT("abc")), same(KVOR_TEXT("abc")), upper(KVOR_TEXT("ABC")), longer(KVOR_TEXT("abcd"));
    CKeyValueTable table;
    EXPECT_EQ(abc.Equals(&same), 1);
    EXPECT_EQ(abc.Equals(&upper), 0);
    EXPECT_EQ(abc.Equals(&longer), 0);
    EXPECT_EQ(abc.Equals(nullptr), 0);
    EXPECT_EQ(abc.Equals(&table), 0);
}

} // namespace
