// The reader's grammar: the cursor's tokens, the element parser's single
// steps and whole elements.
#include <cstdio>
#include <string>

#include "RejectedDocuments.h"
#include "kvor/dom/KeyValueTable.h"
#include "kvor/reader/ElementReader.h"
#include "kvor/reader/WideString.h"
#include "kvor/reader/XmlCursor.h"
#include "../dom/DomTestSupport.h"

using namespace kvortest;

namespace {

// kElement runs the parsing constructor; the others run one step of it
// (kDeclaration reads what follows "<?").
enum Step { kElement, kComment, kAttribute, kDeclaration, kName, kValue };

struct ParseCase {
    const char* name;
    Step step;
    std::string text;
    int32_t result;        // the step's result, a token's length, or the element's success flag
    std::string read;      // the tree, pair or token copy read, when the step succeeds
    int32_t position = -1; // where the cursor stops, when it matters to what reads next
    int32_t size = XmlCursor::kTokenLimit; // of a token's buffer; 0: no buffer
};
KVOR_PRINTS_CASE_NAME(ParseCase)

class ParserTest : public ::testing::TestWithParam<ParseCase> {};

// Every step, read or failed, frees all it built.
TEST_P(ParserTest, ResultReadAndPosition)
{
    const ParseCase& c = GetParam();
    const WString text = W(c.text);
    WCHAR key[CJXMLNode::kNameCapacity] = {0};
    WCHAR value[CJXMLNode::kNameCapacity] = {KVOR_TEXT('#'), 0};
    int32_t result = -2;
    std::string read;
    read.reserve(1 << 20); // so that what is read takes no block of its own
    const long live = LiveBlocks();
    {
        XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
        ElementReader reader(cursor, nullptr);
        if (c.step == kElement) {
            CJXMLNode element(cursor, result);
            read.assign(result == 1 ? Render(&element) : "");
        } else if (c.step == kComment) {
            result = reader.SkipComment();
        } else if (c.step == kAttribute) {
            result = reader.ParseAttribute(key, value, CJXMLNode::kNameCapacity);
            read.assign(result == 1 ? U8(key) + "=" + U8(value) : "");
        } else if (c.step == kDeclaration) {
            result = reader.ParseXmlDeclaration();
        } else { // the copy is cut to the buffer; the length is the token's
            WCHAR* out = c.size > 0 ? value : nullptr;
            result = c.step == kName ? cursor.ReadName(out, c.size) : cursor.ReadValue(out, c.size);
            read.assign(out != nullptr ? U8(out) : "");
        }
        EXPECT_TRUE(c.position < 0 || cursor.GetPosition() == c.position) << "stopped at " << cursor.GetPosition();
    }
    EXPECT_EQ(LiveBlocks(), live) << "blocks left behind";
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(read, c.read);
}

const int32_t kMax = CJXMLNode::kMaxDepth;
const std::string kIdeographicSpace = "\xE3\x80\x80"; // U+3000, white space beyond ASCII

std::string Repeat(const std::string& text, size_t times)
{
    std::string out;
    for (size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// The rendering of inner below levels of e.
std::string NestedTree(size_t levels, const std::string& inner)
{
    return Repeat("e{", levels) + inner + std::string(levels, '}');
}

std::string Letters(size_t count)
{
    return Repeat("abcdefghijklmnopqrstuvwxyz", 12).substr(0, count);
}

const ParseCase kCases[] = {
    // Tokens: a name ends at white space or markup, a value is trimmed
    {"NameBeforeEquals", kName, "  abc=", 3, "abc", 5},
    {"NameAfterWhiteSpaceEndsAtSlash", kName, "  />", 0, "", 2},
    {"NameOverWhiteSpaceOnly", kName, " \t ", 0, "", 3},
    {"NameRunsToEndOfText", kName, "abc", 3, "abc", 3},
    {"NameOf259ToEndOfText", kName, Letters(259), 259, Letters(259), 259},
    {"NameOf259ThenTerminator", kName, Letters(259) + "=", 259, Letters(259), 259},
    {"NameOf260GivesBackTheLast", kName, Letters(260), 259, Letters(259), 259},
    {"NameLimitCountsFromFirstNonBlank", kName, "   " + Letters(300), 259, Letters(259), 262},
    {"ValueTrimmedBothEnds", kValue, "  two  words  'rest", 10, "two  words", 14},
    {"ValueEmptyBeforeQuote", kValue, "'", 0, "", 0},
    {"ValueOfWhiteSpaceOnly", kValue, "   ", 0, "", 3},
    {"ValueLimitCountsLeadingBlanks", kValue, "     " + Letters(300), 254, Letters(254), 259},
    {"ValueOf259ThenBlanks", kValue, Letters(259) + "    \"", 259, Letters(259), 259},
    {"ValueTrimsControlAndWideWhiteSpace", kValue, " \t\r\n\v\f" + kIdeographicSpace + "x\r\n'", 1, "x", 10},
    {"CopyCutToTheBuffer", kName, "abcdef>", 6, "abc", 6, 4},
    {"NoBufferStillConsumesAndMeasures", kName, " name = ", 4, "", 5, 0},
    // Empty elements and names
    {"OnlyWhiteSpaceInside", kElement, "<a> \r\n\t </a>", 1, "a"},
    {"BlanksAroundSelfClosing", kElement, "< a / >", 1, "a"},
    {"BlanksInEndTag", kElement, "<a>t< / a >", 1, "a\"t\""},
    {"EndTagIgnoresCaseNameAsWritten", kElement, "<A></a>", 1, "A"},
    {"NameWithPunctuation", kElement, "<9ns:item-2.x/>", 1, "9ns:item-2.x"},
    {"NonAsciiName", kElement, "<\xC3\xA9l\xC3\xA9ment/>", 1, "\xC3\xA9l\xC3\xA9ment"},
    {"Name259", kElement, "<" + std::string(259, 'n') + "/>", 1, std::string(259, 'n')},
    // The cut-off rest of the name is read as an attribute name.
    {"Name300RestIsAttribute", kElement, "<" + std::string(300, 'n') + "='v'/>", 1,
     std::string(259, 'n') + "[" + std::string(41, 'n') + "=v]"},
    {"AttributeName300", kElement, "<a " + std::string(300, 'k') + "='v'/>", 0, ""},
    // Attributes
    {"DoubleQuotes", kElement, "<a x=\"1\"></a>", 1, "a[x=1]"},
    {"MixedQuotesAndBlanks", kElement, "<a x = ' 1 \"/>", 1, "a[x=1]"},
    {"NoBlankBetweenPairsAndDuplicateKept", kElement, "<a x='1'y='2' x='3'/>", 1, "a[x=1,y=2,x=3]"},
    {"EmptyValue", kElement, "<a x=''/>", 1, "a[x=]"},
    // The "/" broke the pair; the ">" after it then ends the start tag.
    {"NameWithoutValueThenEndTag", kElement, "<a b/></a>", 1, "a"},
    // The unquoted "1" broke the pair; "/>" then closes the element.
    {"UnquotedValueIsDropped", kElement, "<a x=1/>", 1, "a"},
    {"UnquotedValueEndsAttributes", kElement, "<a x=1 y='2'/>", 0, ""},
    // The ">" broke the pair and ends nothing; the second ">" ends the tag.
    {"BrokenPairThenGreater", kElement, "<a x>>t</a>", 1, "a\"t\""},
    {"ValueOf259", kElement, "<a x='" + std::string(259, 'v') + "'/>", 1, "a[x=" + std::string(259, 'v') + "]"},
    // Text
    {"TextTrimmedInnerWhiteSpaceKept", kElement, "<a>  hello \t world\r\n  </a>", 1, "a\"hello \t world\""},
    {"TextBeginningWithSlash", kElement, "<a>/x</a>", 1, "a\"/x\""},
    {"TextEntitiesStayLiteral", kElement, "<a>x &amp; y &#65;</a>", 1, "a\"x &amp; y &#65;\""},
    {"TextUnclosedAtEnd", kElement, "<a>text", 0, ""},
    {"TextOf259", kElement, "<a>" + std::string(259, 't') + "</a>", 1, "a\"" + std::string(259, 't') + "\""},
    // Children
    {"WideWhiteSpaceBetweenChildren", kElement, "<r>\xE3\x80\x80\v\f<a/>\r\n</r>", 1, "r{a}"},
    // Siblings are read in a loop, not by recursion.
    {"TwentyThousandSiblings", kElement, "<r>" + Repeat("<c/>", 20000) + "</r>", 1, "r{c" + Repeat(",c", 19999) + "}"},
    {"Nested", kElement, "<r><a><b>t</b></a><c x='1'/></r>", 1, "r{a{b\"t\"},c[x=1]}"},
    {"WhiteSpaceBetweenChildren", kElement, "<r>\n  <a/>\n  <b></b>\n</r>", 1, "r{a,b}"},
    {"FailedChildEndsListAndParentEndFollows", kElement, "<r><a/><b=</r>", 1, "r{a}"},
    {"OnlyChildFails", kElement, "<r><b=</r>", 0, ""},
    {"SuccessStopsRightAfterTheElement", kElement, "<a x='1'>t</a >tail", 1, "a[x=1]\"t\"", 15},
    // Depth: what stands below the deepest element and is no element fails
    // there as at any depth, but a start tag there fails the whole load, even
    // where its parent's end would follow and a broken child would only be left out.
    {"DepthAtTheBound", kElement, Nested(kMax), 1, NestedTree(kMax - 1, "e")},
    {"DepthAtTheBoundWithText", kElement, Nested(kMax, "x"), 1, NestedTree(kMax - 1, "e\"x\"")},
    {"DepthAtTheBoundSelfClosing", kElement, Nested(kMax - 1, "<e/>"), 1, NestedTree(kMax - 1, "e")},
    {"CommentBelowTheBoundInFailedChild", kElement, Nested(kMax - 2, "<p><q/><x><!--c--></p>"), 1,
     NestedTree(kMax - 2, "p{q}")},
    {"DepthOneBeyondSelfClosing", kElement, Nested(kMax, "<e/>"), 0, ""},
    {"StartTagBeyondTheBound", kElement, "<r><a/>" + Nested(kMax - 1).substr(0, 3 * (kMax - 1)) + "<x</r>", 0, ""},
    {"DepthOneBeyondAfterGoodSiblings", kElement, "<r><a/>" + Nested(kMax) + "</r>", 0, ""},
    {"DepthFarBeyond", kElement, Nested(100000), 0, ""},
    {"DepthFarBeyondUnclosed", kElement, Nested(100000).substr(0, 300000), 0, ""},
    // Comments
    {"CommentSpacedOut", kElement, "< ! - - c - - ><a/>", 1, "a"},
    {"CommentWithMarkupInside", kElement, "<!-- <b x='1'/> --><a/>", 1, "a"},
    {"CommentsAroundChildren", kElement, "<a><!--1--><b/><!--2--><c/><!--3--></a>", 1, "a{b,c}"},
    {"BangWithoutDashesIsAName", kElement, "<!x><b/></!X>", 1, "!x{b}"},
    // Malformed; an empty name restores the cursor before its "<".
    {"NoMarkup", kElement, "a", 0, ""},
    {"EmptyName", kElement, " </r>", 0, "", 0},
    {"EmptyNameAfterComment", kElement, "<!-- c --> </r>", 0, "", 10},
    {"EndTagWithExtra", kElement, "<a></a x>", 0, ""},
    {"EndTagEmptyName", kElement, "<a></>", 0, ""},
    {"QuestionAfterName", kElement, "<a?>", 0, ""},
    // Single steps
    {"CommentAbsent", kComment, "  <a/>", 1, "", 0},
    {"CommentPartialOpening", kComment, "<!-x-->", 1, "", 0},
    {"CommentSkipped", kComment, "<!-- c -->rest", 1, "", 10},
    {"CommentEmpty", kComment, "<!---->x", 1, "", 7},
    {"CommentThreeDashesDoNotClose", kComment, "<!-- c --->", -1, "", 11},
    {"CommentClosedLater", kComment, "<!-- a ---> b -->x", 1, "", 17},
    {"CommentNulEndsIt", kComment, std::string("<!-- \0 -->", 10), -1, "", 6},
    {"Pair", kAttribute, "x='1'/>", 1, "x=1", 5},
    {"NoNameBeforeSlash", kAttribute, "  />", 0, "", 2},
    {"SlashInsteadOfEquals", kAttribute, "x/>", -1, "", 2},
    {"UnquotedValue", kAttribute, "x=1 ", -1, "", 3},
    {"GreaterInsteadOfClosingQuote", kAttribute, "x='1>", -1, "", 5},
    {"DeclarationVersionAndEncoding", kDeclaration, "xml version='1.0' encoding='UTF-8'?> <a/>", 0, "", 36},
    {"DeclarationNoPairs", kDeclaration, "xml?>", 0, "", 5},
    {"DeclarationBlanksEverywhere", kDeclaration, " xml version = \"1.0\" ? > ", 0, "", 24},
    {"DeclarationNoGreater", kDeclaration, "xml version='1.0'?", -1, "", 18},
    {"DeclarationUnquotedValue", kDeclaration, "xml version=1.0?>", -1, "", 13},
};
INSTANTIATE_TEST_SUITE_P(Grammar, ParserTest, ::testing::ValuesIn(kCases), CaseName());

// Which characters end a token, checked over every 16-bit character: a name
// ends at white space (the platform's space class) or at one of = " / < > ? ',
// a value only at " < > '. Gives the count of characters read otherwise and
// the first of them.
std::string TokenEndMismatches(bool isName)
{
    const std::u16string ends = isName ? u"=\"/<>?'" : u"\"<>'";
    int count = 0;
    char first[16] = "";
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
        if ((WString(out) != token || length != static_cast<int32_t>(token.size()) ||
             cursor.GetPosition() != (endsToken ? 1 : 3)) &&
            count++ == 0) {
            std::snprintf(first, sizeof(first), "U+%04X", code);
        }
    }
    return count == 0 ? std::string() : std::to_string(count) + " characters, first " + first;
}

TEST(XmlCursorTokens, NameAndValueEndOnlyAtTheirTerminators)
{
    EXPECT_EQ(TokenEndMismatches(true), "") << "names";
    EXPECT_EQ(TokenEndMismatches(false), "") << "values";
}

// The token readers use neither; they fill the string's slots and trim as the
// readers cut their copies.
TEST(WideString, TrimsWhiteSpaceHashesThePolynomialAndEqualsComparesStringsOnly)
{
    const struct { const WCHAR* text; const char* trimmed; } cases[] = {
        {KVOR_TEXT("  a b \t"), "a b"}, {KVOR_TEXT("   "), ""}, {KVOR_TEXT("ab"), "ab"}, {nullptr, ""}};
    for (const auto& c : cases) {
        WideString string(c.text);
        string.Trim();
        EXPECT_EQ(U8(string.GetText()), c.trimmed);
        EXPECT_EQ(string.GetLength(), static_cast<int32_t>(std::string(c.trimmed).size())) << c.trimmed;
    }
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
