#include <gtest/gtest.h>

#include <string>

#include "FailingAllocator.h"
#include "KeyValueTable.h"
#include "TestText.h"
#include "WideString.h"
#include "XmlCursor.h"

using kvortest::U8;
using kvortest::W;
using kvortest::WString;

namespace {

const std::string kIdeographicSpace = "\xE3\x80\x80"; // U+3000, white space beyond ASCII

TEST(XmlCursorNextNonSpace, SkipsWhiteSpaceAndGivesZeroAtTheEnd)
{
    const WString text = W(" \t\v\f\r\n" + kIdeographicSpace + "x ");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(cursor.NextNonSpace(), KVOR_TEXT('x'));
    EXPECT_EQ(cursor.GetPosition(), 8);
    EXPECT_EQ(cursor.NextNonSpace(), 0);
    EXPECT_EQ(cursor.GetPosition(), 9);
    EXPECT_EQ(cursor.NextNonSpace(), 0);
    EXPECT_EQ(cursor.GetPosition(), 9);
}

TEST(XmlCursorNextNonSpace, NulCharacterReadsAsZeroAndIsConsumed)
{
    const WCHAR text[] = {0, KVOR_TEXT('x')};
    XmlCursor cursor(text, 2);
    EXPECT_EQ(cursor.NextNonSpace(), 0);
    EXPECT_EQ(cursor.GetPosition(), 1);
    EXPECT_EQ(cursor.NextNonSpace(), KVOR_TEXT('x'));
}

struct TokenCase {
    const char* name;
    bool isName; // ReadName, else ReadValue
    std::string text;
    std::string token;
    int32_t position; // where the cursor stands afterwards
};
void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }

std::string Letters(size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += static_cast<char>('a' + i % 26);
    }
    return out;
}

class TokenReadTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenReadTest, ReadsTrimmedTokenAndStopsAtItsEnd)
{
    const TokenCase& c = GetParam();
    const WString text = W(c.text);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    WCHAR out[XmlCursor::kTokenLimit];
    out[0] = KVOR_TEXT('#');
    const int32_t length = c.isName ? cursor.ReadName(out, XmlCursor::kTokenLimit)
                                    : cursor.ReadValue(out, XmlCursor::kTokenLimit);
    EXPECT_EQ(U8(out), c.token);
    EXPECT_EQ(length, static_cast<int32_t>(W(c.token).size()));
    EXPECT_EQ(cursor.GetPosition(), c.position);
}

const TokenCase kTokenCases[] = {
    {"NameBeforeEquals", true, "  abc=", "abc", 5},
    {"NameBeforeBlank", true, "abc def", "abc", 3},
    {"NameEndsAtSlash", true, "/>", "", 0},
    {"NameAfterWhiteSpaceEndsAtSlash", true, "  />", "", 2},
    {"NameAtEndOfText", true, "", "", 0},
    {"NameOverWhiteSpaceOnly", true, " \t ", "", 3},
    {"NameRunsToEndOfText", true, "abc", "abc", 3},
    {"NameEndsAtDoubleQuote", true, "a\"", "a", 1},
    {"NameEndsAtApostrophe", true, "a'", "a", 1},
    {"NameEndsAtLess", true, "a<", "a", 1},
    {"NameEndsAtGreater", true, "a>", "a", 1},
    {"NameEndsAtQuestion", true, "a?", "a", 1},
    {"NameEndsAtTab", true, "a\tb", "a", 1},
    {"NameEndsAtWideSpace", true, "a" + kIdeographicSpace + "b", "a", 1},
    {"NameKeepsOtherPunctuation", true, "!-:9.[x]&;", "!-:9.[x]&;", 10},
    {"NameOf259Letters", true, Letters(259), Letters(259), 259},
    {"NameOf259LettersThenTerminator", true, Letters(259) + "=", Letters(259), 259},
    {"NameOf260LettersGivesBackTheLast", true, Letters(260), Letters(259), 259},
    {"NameOf300LettersStopsOnThe260th", true, Letters(300), Letters(259), 259},
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
};

INSTANTIATE_TEST_SUITE_P(Tokens, TokenReadTest, ::testing::ValuesIn(kTokenCases),
                         [](const ::testing::TestParamInfo<TokenCase>& info) { return info.param.name; });

TEST(XmlCursorTokens, CopyIsCutToTheBufferButLengthIsTheTokens)
{
    const WString text = W("abcdef>");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    WCHAR out[4];
    EXPECT_EQ(cursor.ReadName(out, 4), 6);
    EXPECT_EQ(U8(out), "abc");
    EXPECT_EQ(cursor.GetPosition(), 6);
}

TEST(XmlCursorTokens, NullOutputStillConsumesAndMeasures)
{
    const WString text = W(" name = ");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(cursor.ReadName(nullptr, 0), 4);
    EXPECT_EQ(cursor.GetPosition(), 5);
}

TEST(XmlCursorTokens, RefusedCopyReadsAsEmptyButConsumes)
{
    const WString text = W("name=");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    WCHAR out[XmlCursor::kTokenLimit] = {KVOR_TEXT('#'), 0};
    int32_t length = -1;
    {
        kvortest::ScopedAllocationFailure refuse(1);
        length = cursor.ReadName(out, XmlCursor::kTokenLimit);
        EXPECT_TRUE(kvortest::AllocationWasRefused());
    }
    EXPECT_EQ(length, 0);
    EXPECT_EQ(U8(out), "");
    EXPECT_EQ(cursor.GetPosition(), 4);
}

TEST(XmlCursorPositions, RestoreReturnsToTheSavedPlaceAfterReads)
{
    const WString text = W("<a x='1'>text</a>");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    cursor.NextNonSpace();
    cursor.SavePosition();
    cursor.ReadName(nullptr, 0);
    cursor.NextNonSpace();
    cursor.ReadValue(nullptr, 0);
    cursor.NextNonSpace();
    cursor.RestorePosition();
    EXPECT_EQ(cursor.GetPosition(), 1);
    cursor.SavePosition(); // a second save replaces the first
    cursor.NextNonSpace();
    cursor.RestorePosition();
    EXPECT_EQ(cursor.GetPosition(), 1);
}

TEST(XmlCursorPositions, RestoreWithoutSaveGoesToTheStart)
{
    const WString text = W("  <a/>");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    cursor.ReadName(nullptr, 0);
    cursor.RestorePosition();
    EXPECT_EQ(cursor.GetPosition(), 0);
}

struct TrimCase {
    const char* name;
    std::string text;
    void (WideString::*trim)();
    std::string expected;
};
void PrintTo(const TrimCase& c, std::ostream* os) { *os << c.name; }

class WideStringTrimTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(WideStringTrimTest, TrimsInPlaceAndKeepsLength)
{
    const TrimCase& c = GetParam();
    const WString source = W(c.text);
    WideString string(source.c_str());
    (string.*c.trim)();
    EXPECT_EQ(U8(string.GetText()), c.expected);
    EXPECT_EQ(string.GetLength(), static_cast<int32_t>(W(c.expected).size()));
}

const TrimCase kTrimCases[] = {
    {"BothEnds", "  a b  ", &WideString::Trim, "a b"},
    {"BlanksOnly", "   ", &WideString::Trim, ""},
    {"Empty", "", &WideString::Trim, ""},
    {"NothingToTrim", "ab", &WideString::Trim, "ab"},
    {"ControlWhiteSpace", " \t\r\n\v\fab\r\n", &WideString::Trim, "ab"},
    {"WideSpace", kIdeographicSpace + "x" + kIdeographicSpace, &WideString::Trim, "x"},
    {"LeftOnly", "  a  ", &WideString::TrimLeft, "a  "},
    {"RightOnly", "  a  ", &WideString::TrimRight, "  a"},
    {"LeftOfBlanksOnly", "  ", &WideString::TrimLeft, ""},
    {"RightOfBlanksOnly", "  ", &WideString::TrimRight, ""},
};

INSTANTIATE_TEST_SUITE_P(Trims, WideStringTrimTest, ::testing::ValuesIn(kTrimCases),
                         [](const ::testing::TestParamInfo<TrimCase>& info) { return info.param.name; });

TEST(WideStringConstruction, NullSourceIsEmpty)
{
    WideString string(nullptr);
    EXPECT_EQ(U8(string.GetText()), "");
    EXPECT_EQ(string.GetLength(), 0);
    EXPECT_EQ(string.GetClassId(), KVOR_CLASS_WIDE_STRING);
}

TEST(WideStringConstruction, RefusedCopyIsEmptyAndHashesToZero)
{
    const WString source = W("text");
    kvortest::FailAllocation(1);
    WideString refused(source.c_str());
    kvortest::StopFailing();
    ASSERT_NE(refused.GetText(), nullptr);
    EXPECT_EQ(U8(refused.GetText()), "");
    EXPECT_EQ(refused.GetLength(), 0);
    refused.Trim(); // nothing to trim, nothing to touch
    EXPECT_EQ(refused.GetHashCode(), 0u);

    WideString same(source.c_str());
    EXPECT_EQ(refused.Equals(&same), 0);
    EXPECT_EQ(same.Equals(&refused), 0);
}

TEST(WideStringHash, IsThePolynomialOverTheCharacters)
{
    const WString ab = W("ab");
    WideString string(ab.c_str());
    EXPECT_EQ(string.GetHashCode(), 97u * 31u + 98u);
    EXPECT_EQ(string.GetHashCode(), 97u * 31u + 98u);
}

TEST(WideStringEquals, ComparesTextCaseSensitively)
{
    WideString abc(KVOR_TEXT("abc"));
    WideString same(KVOR_TEXT("abc"));
    WideString upper(KVOR_TEXT("ABC"));
    WideString longer(KVOR_TEXT("abcd"));
    EXPECT_EQ(abc.Equals(&same), 1);
    EXPECT_EQ(abc.Equals(&upper), 0);
    EXPECT_EQ(abc.Equals(&longer), 0);
    EXPECT_EQ(abc.Equals(nullptr), 0);
}

TEST(WideStringEquals, AnotherClassIsNeverEqual)
{
    WideString string(KVOR_TEXT("abc"));
    CKeyValueTable table;
    EXPECT_EQ(string.Equals(&table), 0);
}

} // namespace
