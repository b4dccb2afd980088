// The parser through the exported interface only, as an application uses it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "TestText.h"

using namespace kvortest;

namespace {

const int32_t kUntouched = 0x5A5A5A5A;

// A parser with one document loaded from a temporary ANSI file.
class LoadedDocument {
public:
    explicit LoadedDocument(const std::string& xml)
    {
        WriteText(m_dir.File("doc.xml"), xml);
        m_status = m_parser->LoadXmlFile(W(m_dir.File("doc.xml")).c_str());
    }
    uint32_t Status() const { return m_status; }
    IXmlParser* operator->() const { return m_parser.get(); }
    IXmlNode* Find(const std::string& name)
    {
        IXmlNode* node = nullptr;
        return m_parser->FindNode(W(name).c_str(), &node, nullptr, nullptr, nullptr) == KVOR_OK ? node : nullptr;
    }
    std::string Path(const std::string& name) const { return m_dir.File(name); }

private:
    TempDir m_dir;
    ScopedParser m_parser;
    uint32_t m_status = 0;
};

std::string AttrText(IXmlNode* node, const char* name)
{
    return node == nullptr ? "(no node)" : U8(node->GetAttrString(W(name).c_str(), nullptr));
}

} // namespace

// ---- Factory and release ----------------------------------------------------

TEST(Factory, ReplacesTheParserTheVariableHolds)
{
    TempDir dir;
    WriteText(dir.File("a.xml"), "<a/>");
    LoadedLibrary& library = LoadedLibrary::Shared();
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, library.create(&parser));
    ASSERT_EQ(KVOR_OK, parser->LoadXmlFile(W(dir.File("a.xml")).c_str()));

    ASSERT_EQ(KVOR_OK, library.create(&parser));
    ASSERT_NE(nullptr, parser);
    IXmlNode* node = nullptr;
    EXPECT_EQ(KVOR_NOT_FOUND, parser->FindNode(KVOR_TEXT("a"), &node, nullptr, nullptr, nullptr))
        << "the new parser starts without a document";
    EXPECT_EQ(0u, library.release(parser));
}

TEST(Factory, ReleaseAcceptsNull)
{
    EXPECT_EQ(0u, LoadedLibrary::Shared().release(nullptr));
}

// ---- Loading ------------------------------------------------------------------

TEST(LoadXmlFile, NullOrEmptyPathKeepsTheLoadedTree)
{
    LoadedDocument doc("<root><a/></root>");
    ASSERT_EQ(KVOR_OK, doc.Status());
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->LoadXmlFile(nullptr));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->LoadXmlFile(KVOR_TEXT("")));
    EXPECT_NE(nullptr, doc.Find("a"));
}

TEST(LoadXmlFile, MissingFileEndsTheOldTreeAndLeavesAnEmptyFile)
{
    LoadedDocument doc("<root><a/></root>");
    ASSERT_EQ(KVOR_OK, doc.Status());
    const std::string missing = doc.Path("missing.xml");
    EXPECT_EQ(KVOR_NOT_FOUND, doc->LoadXmlFile(W(missing).c_str()));
    EXPECT_EQ(nullptr, doc.Find("a"));
    EXPECT_EQ(nullptr, doc.Find("root"));
    ASSERT_TRUE(FileExists(missing));
    EXPECT_TRUE(ReadBytes(missing).empty());
}

TEST(LoadXmlFile, ReloadReplacesTheTree)
{
    LoadedDocument doc("<first/>");
    WriteText(doc.Path("second.xml"), "<second/>");
    ASSERT_EQ(KVOR_OK, doc->LoadXmlFile(W(doc.Path("second.xml")).c_str()));
    EXPECT_EQ(nullptr, doc.Find("first"));
    EXPECT_NE(nullptr, doc.Find("second"));
}

TEST(LoadXmlFile, Utf16AndAnsiFilesGiveTheSameAnswers)
{
    TempDir dir;
    const std::string xml = "<?xml version='1.0'?><cfg><w id='7' rect='1,2,3,4'>hi</w></cfg>";
    WriteText(dir.File("ansi.xml"), xml);
    WriteUtf16File(dir.File("wide.xml"), xml);
    for (const char* name : {"ansi.xml", "wide.xml"}) {
        SCOPED_TRACE(name);
        ScopedParser parser;
        ASSERT_EQ(KVOR_OK, parser->LoadXmlFile(W(dir.File(name)).c_str()));
        IXmlNode* w = nullptr;
        ASSERT_EQ(KVOR_OK, parser->FindNode(KVOR_TEXT("w"), &w, nullptr, nullptr, nullptr));
        const WCHAR* text = nullptr;
        ASSERT_EQ(KVOR_OK, parser->GetNodeContext(w, &text));
        EXPECT_EQ("hi", U8(text));
        EXPECT_EQ("7", AttrText(w, "id"));
    }
}

TEST(LoadXmlFile, DocumentThatDoesNotParseIsNotLoaded)
{
    LoadedDocument doc("<a>it's</a>");
    EXPECT_EQ(KVOR_NOT_FOUND, doc.Status());
    EXPECT_EQ(nullptr, doc.Find("a"));
}

// ---- FindNode ---------------------------------------------------------------------

struct FindCase {
    const char* name;
    const char* xml;
    const char* element;
    const char* attrName;
    const char* attrText;
    const int32_t* attrNumber;
    const char* expectedId; // the found element's id attribute; null: not found
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FindCase& c, std::ostream* out)
{
    *out << c.name;
}

const int32_t kSeven = 7;
const int32_t kMinusOne = -1;
const int32_t kMinusTwo = -2;

class FindNodeCases : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindNodeCases, FindsThePostOrderFirstMatch)
{
    const FindCase& c = GetParam();
    LoadedDocument doc(c.xml);
    ASSERT_EQ(KVOR_OK, doc.Status()) << c.xml;
    IXmlNode* sentinel = reinterpret_cast<IXmlNode*>(static_cast<uintptr_t>(0x1234));
    IXmlNode* found = sentinel;
    const uint32_t status = doc->FindNode(W(c.element).c_str(), &found, c.attrName ? W(c.attrName).c_str() : nullptr,
                                          c.attrText ? W(c.attrText).c_str() : nullptr, c.attrNumber);
    if (c.expectedId == nullptr) {
        EXPECT_EQ(KVOR_NOT_FOUND, status);
        EXPECT_EQ(sentinel, found) << "the out argument is written only on success";
    } else {
        ASSERT_EQ(KVOR_OK, status);
        EXPECT_EQ(c.element, U8(found->GetName()));
        EXPECT_EQ(c.expectedId, AttrText(found, "id"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Search, FindNodeCases,
    ::testing::Values(
        FindCase{"DescendantBeforeAncestor", "<r><a id='1'><a id='2'/></a></r>", "a", nullptr, nullptr, nullptr, "2"},
        FindCase{"EarlierSiblingSubtreeFirst", "<r><a id='1'/><b><a id='2'/></b></r>", "a", nullptr, nullptr, nullptr,
                 "1"},
        FindCase{"RootLastOfAll", "<a id='root'><b><c/></b></a>", "a", nullptr, nullptr, nullptr, "root"},
        FindCase{"NoSuchName", "<r><x/></r>", "q", nullptr, nullptr, nullptr, nullptr},
        FindCase{"NamesAreCaseSensitive", "<r><item id='1'/></r>", "Item", nullptr, nullptr, nullptr, nullptr},
        FindCase{"TextMatch", "<r><e id='a'/><e id='b'/></r>", "e", "id", "b", nullptr, "b"},
        FindCase{"TextIsCaseSensitive", "<r><e id='B'/></r>", "e", "id", "b", nullptr, nullptr},
        FindCase{"NumberWhenTextFails", "<r><e id='07'/></r>", "e", "id", "7", &kSeven, "07"},
        FindCase{"NumberAlone", "<r><e id='x'/><e id='7'/></r>", "e", "id", nullptr, &kSeven, "7"},
        FindCase{"MinusOneNeverMatchesAMissingAttribute", "<r><e/></r>", "e", "id", nullptr, &kMinusOne, nullptr},
        FindCase{"MinusTwoNeverMatchesAMissingAttribute", "<r><e/></r>", "e", "id", nullptr, &kMinusTwo, nullptr},
        FindCase{"AttributeNameWithoutTextOrNumber", "<r><e id='1'/></r>", "e", "id", nullptr, nullptr, nullptr},
        FindCase{"EmptyTextWithoutNumber", "<r><e id=''/></r>", "e", "id", "", nullptr, nullptr},
        FindCase{"EmptyAttributeNameMeansAnyElement", "<r><e id='1'/></r>", "e", "", "zzz", nullptr, "1"}),
    [](const ::testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

TEST(FindNode, AttributeNameIsLookedUpIgnoringCase)
{
    LoadedDocument doc("<r><e ID='5'/></r>");
    IXmlNode* found = nullptr;
    EXPECT_EQ(KVOR_OK, doc->FindNode(KVOR_TEXT("e"), &found, KVOR_TEXT("id"), KVOR_TEXT("5"), nullptr));
}

TEST(FindNode, NullOrEmptyNameIsRejected)
{
    LoadedDocument doc("<r/>");
    IXmlNode* found = nullptr;
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->FindNode(nullptr, &found, nullptr, nullptr, nullptr));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->FindNode(KVOR_TEXT(""), &found, nullptr, nullptr, nullptr));
}

TEST(FindNode, WithoutDocumentFindsNothing)
{
    ScopedParser parser;
    IXmlNode* found = nullptr;
    EXPECT_EQ(KVOR_NOT_FOUND, parser->FindNode(KVOR_TEXT("r"), &found, nullptr, nullptr, nullptr));
}

// ---- GetAllChildNodes ----------------------------------------------------------------

TEST(GetAllChildNodes, AppendsChildrenInDocumentOrder)
{
    LoadedDocument doc("<r><a/><b>t</b><c x='1'/></r>");
    CXmlNodeList list;
    ASSERT_EQ(KVOR_OK, doc->GetAllChildNodes(doc.Find("r"), &list));
    std::vector<std::string> names;
    for (XmlNodeListItem* item = list.head; item != nullptr; item = item->next) {
        names.push_back(U8(item->node->GetName()));
    }
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), names);
    EXPECT_EQ(3, list.count);
    EXPECT_EQ(list.tail->node, doc.Find("c"));
}

TEST(GetAllChildNodes, ChildlessElementGivesOneOnAnEmptyList)
{
    LoadedDocument doc("<r><leaf/></r>");
    CXmlNodeList list;
    EXPECT_EQ(KVOR_NOT_FOUND, doc->GetAllChildNodes(doc.Find("leaf"), &list));
    EXPECT_EQ(0, list.count);
    EXPECT_EQ(nullptr, list.head);
}

TEST(GetAllChildNodes, ListIsNotEmptiedFirst)
{
    LoadedDocument doc("<r><leaf/><other/></r>");
    CXmlNodeList list;
    list.Append(doc.Find("other"));
    EXPECT_EQ(KVOR_OK, doc->GetAllChildNodes(doc.Find("leaf"), &list));
    EXPECT_EQ(1, list.count);
    ASSERT_EQ(KVOR_OK, doc->GetAllChildNodes(doc.Find("r"), &list));
    EXPECT_EQ(3, list.count);
}

TEST(GetAllChildNodes, NullParentIsRejected)
{
    ScopedParser parser;
    CXmlNodeList list;
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, parser->GetAllChildNodes(nullptr, &list));
}

// ---- Rectangles -----------------------------------------------------------------------

struct RectCase {
    const char* name;
    const char* attribute; // the element's "rect" attribute, or null for none
    uint32_t status;
    XmlRect rect;
};

void PrintTo(const RectCase& c, std::ostream* out)
{
    *out << c.name;
}

class RectCases : public ::testing::TestWithParam<RectCase> {};

TEST_P(RectCases, ReadsFourNumbers)
{
    const RectCase& c = GetParam();
    const std::string xml = c.attribute == nullptr ? "<e/>" : std::string("<e rect='") + c.attribute + "'/>";
    LoadedDocument doc(xml);
    ASSERT_EQ(KVOR_OK, doc.Status());
    XmlRect rect = {kUntouched, kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(c.status, doc->GetNodeAttr(KVOR_TEXT("rect"), doc.Find("e"), &rect));
    EXPECT_EQ(c.rect.left, rect.left);
    EXPECT_EQ(c.rect.top, rect.top);
    EXPECT_EQ(c.rect.right, rect.right);
    EXPECT_EQ(c.rect.bottom, rect.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RectCases,
    ::testing::Values(RectCase{"CommasAndSpaces", "10, 20, 30, 40", 0, {10, 20, 30, 40}},
                      RectCase{"SpacesOnly", "10 20 30 40", 0, {10, 20, 30, 40}},
                      RectCase{"StrayCommas", ",10,,20, ,30,40,", 0, {10, 20, 30, 40}},
                      RectCase{"FifthNumberIgnored", "1 2 3 4 5", 0, {1, 2, 3, 4}},
                      RectCase{"SignsAndTrailingLetters", "-5,+6,7px,8", 0, {-5, 6, 7, 8}},
                      RectCase{"ThreeNumbersGiveZeros", "10,20,30", 1, {0, 0, 0, 0}},
                      RectCase{"WordsConvertToZero", "a,b,c,d", 0, {0, 0, 0, 0}},
                      RectCase{"MissingLeavesOutAlone", nullptr, 1, {kUntouched, kUntouched, kUntouched, kUntouched}},
                      RectCase{"EmptyLeavesOutAlone", "", 1, {kUntouched, kUntouched, kUntouched, kUntouched}},
                      RectCase{"DelimitersOnlyGiveZeros", " , ", 1, {0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<RectCase>& info) { return std::string(info.param.name); });

// ---- Text, integer, colour, content --------------------------------------------

TEST(GetNodeAttr, TextOfMissingOrEmptyAttributeIsTheEmptyString)
{
    LoadedDocument doc("<e empty='' full='v'/>");
    IXmlNode* e = doc.Find("e");
    for (const char* name : {"missing", "empty"}) {
        const WCHAR* text = nullptr;
        EXPECT_EQ(KVOR_OK, doc->GetNodeAttr(W(name).c_str(), e, &text)) << name;
        EXPECT_EQ("", U8(text)) << name;
    }
    const WCHAR* text = nullptr;
    ASSERT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("FULL"), e, &text));
    EXPECT_EQ("v", U8(text));
    EXPECT_EQ(text, e->GetAttrString(KVOR_TEXT("full"), nullptr)) << "borrowed, not copied";
}

struct NumberCase {
    const char* attribute; // null: missing
    int32_t integer;
    uint32_t colour;
};

TEST(GetNodeAttr, IntegerAndColourConvertWhatTheyCan)
{
    const NumberCase cases[] = {
        {"42", 42, 0x010101},          {"-7", -7, 0x010101},          {"17abc", 17, 0x010101},
        {"abc", 0, 0x010101},          {nullptr, 0, 0},               {"255,128,0", 255, 0x0080FF},
        {" 1, 2, 3", 1, 0x030201},     {"256,-1,0", 256, 0x00FF00},   {",,1,2,3", 0, 0x030201},
    };
    for (const NumberCase& c : cases) {
        const std::string xml = c.attribute == nullptr ? "<e/>" : std::string("<e v='") + c.attribute + "'/>";
        SCOPED_TRACE(xml);
        LoadedDocument doc(xml);
        ASSERT_EQ(KVOR_OK, doc.Status());
        int32_t integer = kUntouched;
        uint32_t colour = kUntouched;
        EXPECT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("v"), doc.Find("e"), &integer));
        EXPECT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("v"), doc.Find("e"), &colour));
        EXPECT_EQ(c.integer, integer);
        EXPECT_EQ(c.colour, colour);
    }
}

TEST(GetNodeAttr, NullNodeOrNameIsRejectedByEveryOverload)
{
    LoadedDocument doc("<e v='1'/>");
    IXmlNode* e = doc.Find("e");
    XmlRect rect;
    uint32_t colour = 0;
    int32_t integer = 0;
    const WCHAR* text = nullptr;
    const WCHAR* names[] = {nullptr, KVOR_TEXT("")};
    for (const WCHAR* name : names) {
        EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(name, e, &rect));
        EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(name, e, &colour));
        EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(name, e, &integer));
        EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(name, e, &text));
    }
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(KVOR_TEXT("v"), nullptr, &rect));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(KVOR_TEXT("v"), nullptr, &colour));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(KVOR_TEXT("v"), nullptr, &integer));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeAttr(KVOR_TEXT("v"), nullptr, &text));
}

TEST(GetNodeContext, ReadsTextAndRejectsWhatHasNone)
{
    LoadedDocument doc("<r><t>  two  words </t><empty/></r>");
    const WCHAR* text = nullptr;
    ASSERT_EQ(KVOR_OK, doc->GetNodeContext(doc.Find("t"), &text));
    EXPECT_EQ("two  words", U8(text));

    const WCHAR* untouched = KVOR_TEXT("untouched");
    text = untouched;
    EXPECT_EQ(KVOR_NOT_FOUND, doc->GetNodeContext(doc.Find("empty"), &text));
    EXPECT_EQ(untouched, text);
    EXPECT_EQ(KVOR_NOT_FOUND, doc->GetNodeContext(doc.Find("r"), &text));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeContext(nullptr, &text));
}

// ---- Nodes made by the client ---------------------------------------------------

TEST(NodeQueries, WorkOnNodesTheClientChanged)
{
    LoadedDocument doc("<r><e/></r>");
    IXmlNode* e = doc.Find("e");
    e->SetAttrColor(KVOR_TEXT("c"), 0xFF2B3C4D);
    e->SetAttrInt(KVOR_TEXT("n"), -42);
    uint32_t colour = 0;
    int32_t integer = 0;
    ASSERT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("c"), e, &colour));
    ASSERT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("n"), e, &integer));
    EXPECT_EQ(0x002B3C4Du, colour);
    EXPECT_EQ(-42, integer);
    EXPECT_EQ("77,60,43", AttrText(e, "c"));
}
