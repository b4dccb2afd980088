// The cursor: white space, and where a name or a value ends.
#include <cstdio>
#include <string>

#include "ReaderTestSupport.h"
#include "kvor/dom/KeyValueTable.h"
#include "kvor/reader/WideString.h"

using kvortest::TextCursor;
using kvortest::U8;
using kvortest::WString;

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
    {"NameAfterWhiteSpaceEndsAtSlash", true, "  />", "", 2},
    {"NameOverWhiteSpaceOnly", true, " \t ", "", 3},
    {"NameRunsToEndOfText", true, "abc", "abc", 3},
    {"NameOf259ToEndOfText", true, Letters(259), Letters(259), 259},
    {"NameOf259ThenTerminator", true, Letters(259) + "=", Letters(259), 259},
    {"NameOf260GivesBackTheLast", true, Letters(260), Letters(259), 259},
    {"NameLimitCountsFromFirstNonBlank", true, "   " + Letters(300), Letters(259), 262},
    {"ValueTrimmedBothEnds", false, "  two  words  'rest", "two  words", 14},
    {"ValueEmptyBeforeQuote", false, "'", "", 0},
    {"ValueOfWhiteSpaceOnly", false, "   ", "", 3},
    {"ValueLimitCountsLeadingBlanks", false, "     " + Letters(300), Letters(254), 259},
    {"ValueOf259ThenBlanks", false, Letters(259) + "    \"", Letters(259), 259},
    {"ValueTrimsControlAndWideWhiteSpace", false, " \t\r\n\v\f" + kIdeographicSpace + "x\r\n'", "x", 10},
    {"CopyCutToTheBuffer", true, "abcdef>", "abcdef", 6, 4},
    {"NoBufferStillConsumesAndMeasures", true, " name = ", "name", 5, 0},
};
INSTANTIATE_TEST_SUITE_P(Tokens, TokenReadTest, ::testing::ValuesIn(kTokenCases), kvortest::CaseName());

// Which characters end a token, checked over every 16-bit character: a name
// ends at white space (the platform's space class) or at one of = " / < > ? ',
// a value only at " < > '. Lists the characters read otherwise.
std::string TokenEndMismatches(bool isName)
{
    const std::u16string ends = isName ? u"=\"/<>?'" : u"\"<>'";
    std::string listed;
    int count = 0;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const WCHAR c = static_cast<WCHAR>(code);
        const bool endsToken = ends.find(static_cast<char16_t>(c)) != std::u16string::npos ||
                               (isName && kvor::iswctype(c, kvor::SpaceClass) != 0);
        // A NUL is read past, but the copy of the token stops at it; a value keeps white space inside.
        const WString text{KVOR_TEXT('a'), c, KVOR_TEXT('b')};
        const WString token = endsToken || c == 0 ? text.substr(0, 1) : text;
        XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
        WCHAR out[XmlCursor::kTokenLimit];
        const int32_t length = isName ? cursor.ReadName(out, XmlCursor::kTokenLimit)
                                      : cursor.ReadValue(out, XmlCursor::kTokenLimit);
        if (WString(out) == token && length == static_cast<int32_t>(token.size()) &&
            cursor.GetPosition() == (endsToken ? 1 : 3)) {
            continue;
        }
        if (++count <= 10) {
            char hex[16];
            std::snprintf(hex, sizeof(hex), " U+%04X", code);
            listed += hex;
        }
    }
    return count == 0 ? std::string() : std::to_string(count) + " characters, first:" + listed;
}

TEST(XmlCursorTokens, NameAndValueEndOnlyAtTheirTerminators)
{
    EXPECT_EQ(TokenEndMismatches(true), "") << "names";
    EXPECT_EQ(TokenEndMismatches(false), "") << "values";
}

// The cursor uses neither, but they fill the object's virtual slots.
TEST(WideString, HashIsThePolynomialAndEqualsComparesTheTextOfStringsOnly)
{
    WideString ab(KVOR_TEXT("ab")), same(KVOR_TEXT("ab")), upper(KVOR_TEXT("AB")), longer(KVOR_TEXT("abc"));
    CKeyValueTable table;
    EXPECT_EQ(ab.GetHashCode(), 97u * 31u + 98u);
    EXPECT_EQ(ab.Equals(&same), 1);
    EXPECT_EQ(ab.Equals(&upper), 0);
    EXPECT_EQ(ab.Equals(&longer), 0);
    EXPECT_EQ(ab.Equals(nullptr), 0);
    EXPECT_EQ(ab.Equals(&table), 0) << "another class";
}

} // namespace
