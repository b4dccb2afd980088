#include <gtest/gtest.h>

#include <string>

#include "ReaderTestSupport.h"

using kvortest::kFailed;
using kvortest::ParseElement;
using kvortest::U8;
using kvortest::W;
using kvortest::WString;

namespace {

std::string Repeat(char c, size_t count)
{
    return std::string(count, c);
}

struct DocumentCase {
    const char* name;
    std::string text;
    std::string tree; // kFailed when the element must not parse
};
void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }

class ElementParseTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(ElementParseTest, BuildsTheExpectedTree)
{
    const DocumentCase& c = GetParam();
    EXPECT_EQ(ParseElement(c.text), c.tree) << "document: " << c.text;
}

const DocumentCase kEmptyElements[] = {
    {"SelfClosing", "<a/>", "a"},
    {"StartAndEnd", "<a></a>", "a"},
    {"OnlyWhiteSpaceInside", "<a> \r\n\t </a>", "a"},
    {"BlanksAroundSelfClosing", "< a / >", "a"},
    {"BlanksInEndTag", "<a></ a >", "a"},
    {"BlanksEverywhereInEndTag", "<a>t< / a >", "a\"t\""},
    {"EndTagIgnoresCase", "<A></a>", "A"},
    {"LeadingWhiteSpace", " \r\n <a/>", "a"},
    {"NameWithPunctuation", "<ns:item-2.x/>", "ns:item-2.x"},
    {"NameStartingWithBang", "<!x/>", "!x"},
    {"NameStartingWithDigit", "<9/>", "9"},
    {"NonAsciiName", "<\xC3\xA9l\xC3\xA9ment/>", "\xC3\xA9l\xC3\xA9ment"},
};
INSTANTIATE_TEST_SUITE_P(Empty, ElementParseTest, ::testing::ValuesIn(kEmptyElements),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

const DocumentCase kAttributes[] = {
    {"OnePair", "<a x='1'/>", "a[x=1]"},
    {"DoubleQuotes", "<a x=\"1\"></a>", "a[x=1]"},
    {"MixedQuotesAndBlanks", "<a x = ' 1 \"/>", "a[x=1]"},
    {"NoBlankBetweenPairsAndDuplicateKept", "<a x='1'y='2' x='3'/>", "a[x=1,y=2,x=3]"},
    {"EmptyValue", "<a x=''/>", "a[x=]"},
    {"ValueWithSlashEqualsQuestion", "<a x='a/b=c?d'/>", "a[x=a/b=c?d]"},
    {"ValueKeepsInnerLineBreak", "<a x='l1\nl2'/>", "a[x=l1\nl2]"},
    {"EntityInValueStaysLiteral", "<a x='&lt;&#65;'/>", "a[x=&lt;&#65;]"},
    {"AttributesAndText", "<a x='1'>t</a>", "a[x=1]\"t\""},
    {"NameWithoutValueFailsAtSlash", "<a b/>", kFailed},
    // The "/" broke the pair; the ">" after it then ends the start tag.
    {"NameWithoutValueThenEndTag", "<a b/></a>", "a"},
    // The unquoted "1" broke the pair; "/>" then closes the element.
    {"UnquotedValueIsDropped", "<a x=1/>", "a"},
    {"UnquotedValueBeforeEndTag", "<a x=1></a>", "a"},
    {"UnquotedValueEndsAttributes", "<a x=1 y='2'/>", kFailed},
    {"GreaterInValue", "<a x='1>2'/>", kFailed},
    // The ">" broke the pair and ends nothing; the second ">" ends the tag.
    {"BrokenPairThenGreater", "<a x>>t</a>", "a\"t\""},
    {"UnclosedValueAtEnd", "<a x='1", kFailed},
    {"ValueOf259", "<a x='" + Repeat('v', 259) + "'/>", "a[x=" + Repeat('v', 259) + "]"},
    {"ValueOf259ThenBlanks", "<a x='" + Repeat('v', 259) + "   '/>", "a[x=" + Repeat('v', 259) + "]"},
    {"ValueOf260", "<a x='" + Repeat('v', 260) + "'/>", kFailed},
    {"ValueBlanksCountTowardsLimit", "<a x='  " + Repeat('v', 258) + "'/>", kFailed},
};
INSTANTIATE_TEST_SUITE_P(Attributes, ElementParseTest, ::testing::ValuesIn(kAttributes),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

const DocumentCase kText[] = {
    {"TrimmedInnerBlanksKept", "<a>  hello  world  </a>", "a\"hello  world\""},
    {"InnerTabAndLineBreakKept", "<a>x\ty\r\nz</a>", "a\"x\ty\r\nz\""},
    {"WideSpaceTrimmed", "<a>\xE3\x80\x80x\xE3\x80\x80</a>", "a\"x\""},
    {"EntitiesStayLiteral", "<a>x &amp; y &#65;</a>", "a\"x &amp; y &#65;\""},
    {"SlashAndEqualsAllowed", "<a>a/b=c?</a>", "a\"a/b=c?\""},
    {"ApostropheFails", "<a>it's</a>", kFailed},
    {"DoubleQuoteFails", "<a>say \"x\"</a>", kFailed},
    {"GreaterFails", "<a>1>2</a>", kFailed},
    {"UnclosedAtEnd", "<a>text", kFailed},
    {"StartTagOnly", "<a>", kFailed},
    {"Of259", "<a>" + Repeat('t', 259) + "</a>", "a\"" + Repeat('t', 259) + "\""},
    {"Of259ThenBlanks", "<a>" + Repeat('t', 259) + "  \n </a>", "a\"" + Repeat('t', 259) + "\""},
    {"Of260", "<a>" + Repeat('t', 260) + "</a>", kFailed},
    {"LeadingBlanksCountTowardsLimit", "<a>  " + Repeat('t', 258) + "</a>", kFailed},
    {"CdataIsReadAsAChild", "<a><![CDATA[x]]></a>", kFailed},
    {"TextThenChild", "<a>text<b/></a>", kFailed},
    {"ChildThenText", "<a><b/>text</a>", kFailed},
};
INSTANTIATE_TEST_SUITE_P(Text, ElementParseTest, ::testing::ValuesIn(kText),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

const DocumentCase kChildren[] = {
    {"Nested", "<r><a><b>t</b></a><c x='1'/></r>", "r{a{b\"t\"},c[x=1]}"},
    {"WhiteSpaceBetweenChildren", "<r>\n  <a/>\n  <b></b>\n</r>", "r{a,b}"},
    {"EndTagsIgnoreCase", "<a><b></B></A>", "a{b}"},
    {"MismatchedEndTag", "<a></b>", kFailed},
    {"MismatchedChildEndTag", "<r><a></b></r>", kFailed},
    {"FailedChildEndsListAndParentEndFollows", "<r><a/><b=</r>", "r{a}"},
    {"OnlyChildFails", "<r><b=</r>", kFailed},
    {"FailedChildThenMoreChildren", "<r><a/><b=</r><c/></r>", "r{a}"},
    {"FailedChildNotFollowedByParentEnd", "<r><a/><b x/><c/></r>", kFailed},
    {"SecondRootIsNotRead", "<a/><b/>", "a"},
    {"GarbageAfterRoot", "<a/> \" ' < > junk", "a"},
};
INSTANTIATE_TEST_SUITE_P(Children, ElementParseTest, ::testing::ValuesIn(kChildren),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

const DocumentCase kComments[] = {
    {"BeforeRoot", "<!-- c --><a/>", "a"},
    {"SpacedOut", "< ! - - c - - ><a/>", "a"},
    {"EmptyComment", "<!----><a/>", "a"},
    {"MarkupInside", "<!-- <b x='1'/> --><a/>", "a"},
    {"AloneIsNotContent", "<a><!-- c --></a>", kFailed},
    {"AroundChild", "<a><!-- c --><b/><!-- d --></a>", "a{b}"},
    {"BeforeEachChild", "<a><!--1--><b/><!--2--><c/></a>", "a{b,c}"},
    {"TwoInARow", "<!--1--><!--2--><a/>", kFailed},
    {"NeverClosed", "<!-- c <a/>", kFailed},
    {"ThreeDashesDoNotClose", "<!-- c ---><a/>", kFailed},
    {"ThreeDashesThenClose", "<!-- c ---> d --><a/>", "a"},
    {"NeverClosedBeforeChild", "<a><!-- c <b/></a>", kFailed},
    {"BangWithoutDashesIsAName", "<!x><b/></!X>", "!x{b}"},
};
INSTANTIATE_TEST_SUITE_P(Comments, ElementParseTest, ::testing::ValuesIn(kComments),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

const DocumentCase kMalformed[] = {
    {"EmptyText", "", kFailed},
    {"WhiteSpaceOnly", "  \n ", kFailed},
    {"NoMarkup", "a", kFailed},
    {"LessOnly", "<", kFailed},
    {"NameOnly", "<a", kFailed},
    {"EmptyName", "</>", kFailed},
    {"SlashWithoutGreater", "<a/", kFailed},
    {"SlashThenOther", "<a/ x>", kFailed},
    {"EndTagWithoutGreater", "<a></a", kFailed},
    {"EndTagWithExtra", "<a></a x>", kFailed},
    {"EndTagEmptyName", "<a></>", kFailed},
    {"QuestionAfterName", "<a?>", kFailed},
    {"DeclarationIsNotAnElement", "<?xml version='1.0'?><a/>", kFailed},
    {"Doctype", "<!DOCTYPE a><a/>", kFailed},
    {"Name259", "<" + Repeat('n', 259) + "/>", Repeat('n', 259)},
    {"Name300", "<" + Repeat('n', 300) + "/>", kFailed},
    // The cut-off rest of the name is read as an attribute name.
    {"Name300RestIsAttribute", "<" + Repeat('n', 300) + "='v'/>", Repeat('n', 259) + "[" + Repeat('n', 41) + "=v]"},
    {"AttributeName300", "<a " + Repeat('k', 300) + "='v'/>", kFailed},
};
INSTANTIATE_TEST_SUITE_P(Malformed, ElementParseTest, ::testing::ValuesIn(kMalformed),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

// Where the cursor stops after a failed element decides what its parent
// reads next.
TEST(ElementParsePosition, FailedEmptyNameRestoresBeforeLess)
{
    int32_t position = -1;
    EXPECT_EQ(ParseElement(std::string(" </r>"), &position), kFailed);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(ParseElement(std::string("<!-- c --> </r>"), &position), kFailed);
    EXPECT_EQ(position, 10);
}

TEST(ElementParsePosition, FailedQuoteInTextStopsAfterTheNextCharacter)
{
    int32_t position = -1;
    // The text ends at the quote; the end-tag check reads the quote and "<".
    EXPECT_EQ(ParseElement(std::string("<a>it's</a>"), &position), kFailed);
    EXPECT_EQ(position, 7);
}

TEST(ElementParsePosition, SuccessStopsRightAfterTheElement)
{
    int32_t position = -1;
    EXPECT_EQ(ParseElement(std::string("<a x='1'>t</a >tail"), &position), "a[x=1]\"t\"");
    EXPECT_EQ(position, 15);
}

// ---- Single steps ---------------------------------------------------------

struct StepCase {
    const char* name;
    std::string text;
    int32_t result;
    int32_t position;
};
void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class SkipCommentTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(SkipCommentTest, ResultAndPosition)
{
    const StepCase& c = GetParam();
    const WString text = W(c.text);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(ParserStepAccess::SkipComment(cursor), c.result);
    EXPECT_EQ(cursor.GetPosition(), c.position);
}

const StepCase kSkipCommentCases[] = {
    {"NoComment", "  <a/>", 1, 0},
    {"PartialOpening", "<!-x-->", 1, 0},
    {"OpeningAtEnd", "<!-", 1, 0},
    {"Skipped", "<!-- c -->rest", 1, 10},
    {"SpacedOut", " < ! - - c - - > x", 1, 16},
    {"Empty", "<!---->x", 1, 7},
    {"ThreeDashesDoNotClose", "<!-- c --->", -1, 11},
    {"ClosedLater", "<!-- a ---> b -->x", 1, 17},
    {"DashDashOther", "<!-- --x -->y", 1, 12},
    {"NeverClosed", "<!-- c", -1, 6},
    {"EndsAfterDashes", "<!-- c --", -1, 9},
    {"NulEndsIt", std::string("<!-- \0 -->", 10), -1, 6},
};
INSTANTIATE_TEST_SUITE_P(Steps, SkipCommentTest, ::testing::ValuesIn(kSkipCommentCases),
                         [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

struct AttributeCase {
    const char* name;
    std::string text;
    int32_t result;
    std::string key;   // checked when the result is 1
    std::string value; // checked when the result is 1
    int32_t position;
};
void PrintTo(const AttributeCase& c, std::ostream* os) { *os << c.name; }

class ParseAttributeTest : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(ParseAttributeTest, ResultPairAndPosition)
{
    const AttributeCase& c = GetParam();
    const WString text = W(c.text);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    WCHAR key[CJXMLNode::kNameCapacity] = {0};
    WCHAR value[CJXMLNode::kNameCapacity] = {0};
    EXPECT_EQ(ParserStepAccess::ParseAttribute(cursor, key, value, CJXMLNode::kNameCapacity), c.result);
    if (c.result == 1) {
        EXPECT_EQ(U8(key), c.key);
        EXPECT_EQ(U8(value), c.value);
    }
    EXPECT_EQ(cursor.GetPosition(), c.position);
}

const AttributeCase kAttributeCases[] = {
    {"Pair", "x='1'/>", 1, "x", "1", 5},
    {"SpacedPair", " x = \" 1 ' >", 1, "x", "1", 10},
    {"EmptyValue", "x=''", 1, "x", "", 4},
    {"NoNameBeforeSlash", "  />", 0, "", "", 2},
    {"NoNameBeforeGreater", ">", 0, "", "", 0},
    {"NoNameAtEnd", "   ", 0, "", "", 3},
    {"SlashInsteadOfEquals", "x/>", -1, "", "", 2},
    {"EndInsteadOfEquals", "x", -1, "", "", 1},
    {"UnquotedValue", "x=1 ", -1, "", "", 3},
    {"GreaterInsteadOfClosingQuote", "x='1>", -1, "", "", 5},
    {"EndInsteadOfClosingQuote", "x='1", -1, "", "", 4},
};
INSTANTIATE_TEST_SUITE_P(Steps, ParseAttributeTest, ::testing::ValuesIn(kAttributeCases),
                         [](const ::testing::TestParamInfo<AttributeCase>& info) { return info.param.name; });

struct StartTagCase {
    const char* name;
    std::string text;
    int32_t result;
    std::string tree; // name and attributes read, when the result is 1
    int32_t position;
};
void PrintTo(const StartTagCase& c, std::ostream* os) { *os << c.name; }

class ParseStartTagTest : public ::testing::TestWithParam<StartTagCase> {};

TEST_P(ParseStartTagTest, ResultNodeAndPosition)
{
    const StartTagCase& c = GetParam();
    const WString text = W(c.text);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    CJXMLNode node(static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(ParserStepAccess::ParseStartTag(node, cursor), c.result);
    if (c.result == 1) {
        EXPECT_EQ(kvortest::RenderTree(&node), c.tree);
    }
    EXPECT_EQ(cursor.GetPosition(), c.position);
}

const StartTagCase kStartTagCases[] = {
    {"NameAndAttributes", "<a x='1' y='2'>", 1, "a[x=1,y=2]", 14},
    {"SelfClosing", "< a/>", 1, "a", 3},
    {"AfterComment", "<!-- c --> <a>", 1, "a", 13},
    {"EndTagRestoresBeforeLess", "  </r>", -1, "", 0},
    {"EndTagAfterCommentRestoresAfterComment", "<!-- c --></r>", -1, "", 10},
    {"NoLess", "x", -1, "", 0},
    {"EndOfText", "", -1, "", 0},
    {"UnclosedComment", "<!-- c <a>", -1, "", 10},
    {"BrokenPairStopsAfterBreakingCharacter", "<a x='1' b/>", 1, "a[x=1]", 11},
    {"QuestionEndsName", "<?xml?>", -1, "", 0},
};
INSTANTIATE_TEST_SUITE_P(Steps, ParseStartTagTest, ::testing::ValuesIn(kStartTagCases),
                         [](const ::testing::TestParamInfo<StartTagCase>& info) { return info.param.name; });

struct DeclarationCase {
    const char* name;
    std::string text; // what follows "<?"
    int32_t result;
};
void PrintTo(const DeclarationCase& c, std::ostream* os) { *os << c.name; }

class ParseDeclarationTest : public ::testing::TestWithParam<DeclarationCase> {};

TEST_P(ParseDeclarationTest, AcceptsOnlyAnXmlDeclaration)
{
    const DeclarationCase& c = GetParam();
    const WString text = W(c.text);
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(CJXMLNode::ParseXmlDeclaration(cursor), c.result);
}

const DeclarationCase kDeclarationCases[] = {
    {"VersionAndEncoding", "xml version='1.0' encoding='UTF-8'?>", 0},
    {"UpperCaseName", "XML version='1.0'?>", 0},
    {"NoPairs", "xml?>", 0},
    {"BlanksEverywhere", " xml version = \"1.0\" ? > ", 0},
    {"AnyPairs", "xml a='' b=\"x\"?>", 0},
    {"NoQuestion", "xml version='1.0'>", -1},
    {"NoGreater", "xml version='1.0'?", -1},
    {"OtherTarget", "xml-stylesheet href='s'?>", -1},
    {"EmptyName", "?>", -1},
    {"UnquotedValue", "xml version=1.0?>", -1},
    {"EndOfText", "", -1},
};
INSTANTIATE_TEST_SUITE_P(Steps, ParseDeclarationTest, ::testing::ValuesIn(kDeclarationCases),
                         [](const ::testing::TestParamInfo<DeclarationCase>& info) { return info.param.name; });

TEST(ParseDeclaration, AcceptedDeclarationLeavesCursorAfterItAndSaved)
{
    const WString text = W("xml version='1.0'?> <a/>");
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    ASSERT_EQ(CJXMLNode::ParseXmlDeclaration(cursor), 0);
    EXPECT_EQ(cursor.GetPosition(), 19);
    cursor.NextNonSpace();
    cursor.RestorePosition();
    EXPECT_EQ(cursor.GetPosition(), 19);
}

} // namespace
