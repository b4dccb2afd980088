// The parser object through the exported interface only, as an application
// uses it. The node's own operations and the reader are their layers' tests'.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "LoadedLibrary.h"

using namespace kvortest;

namespace {

const int32_t kUntouched = 0x5A5A5A5A;

// The parser the variable holds is released first.
TEST(Factory, ReplacesTheParserTheVariableHoldsAndReleaseAcceptsNull)
{
    LoadedDocument doc("<a/>");
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, LoadedLibrary::Shared().create(&parser));
    ASSERT_EQ(KVOR_OK, parser->LoadXmlFile(W(doc.Path("doc.xml")).c_str()));
    ASSERT_EQ(KVOR_OK, LoadedLibrary::Shared().create(&parser));
    IXmlNode* node = nullptr;
    EXPECT_EQ(KVOR_NOT_FOUND, parser->FindNode(KVOR_TEXT("a"), &node, nullptr, nullptr, nullptr))
        << "the new parser starts without a document";
    EXPECT_EQ(0u, LoadedLibrary::Shared().release(parser));
    EXPECT_EQ(0u, LoadedLibrary::Shared().release(nullptr));
}

TEST(LoadXmlFile, RefusedPathKeepsTheTreeAndReloadReplacesIt)
{
    LoadedDocument doc("<root><a/></root>");
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->LoadXmlFile(nullptr));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->LoadXmlFile(KVOR_TEXT("")));
    EXPECT_NE(nullptr, doc.Find("a"));
    WriteText(doc.Path("second.xml"), "<second/>");
    EXPECT_EQ(KVOR_OK, doc->LoadXmlFile(W(doc.Path("second.xml")).c_str()));
    EXPECT_EQ(nullptr, doc.Find("root"));
    EXPECT_NE(nullptr, doc.Find("second"));
}

TEST(FindNode, FindsThePostOrderFirstMatch)
{
    // number kAny: none given; id: the found element's id attribute, null for not found.
    const int32_t kAny = INT32_MIN;
    const struct { const char *name, *xml, *element, *attrName, *attrText; int32_t number; const char* id; } cases[] = {
        {"descendant before ancestor", "<r><a id='1'><a id='2'/></a></r>", "a", nullptr, nullptr, kAny, "2"},
        {"earlier sibling's subtree first", "<r><a id='1'/><b><a id='2'/></b></r>", "a", nullptr, nullptr, kAny, "1"},
        {"root last of all", "<a id='root'><b><c/></b></a>", "a", nullptr, nullptr, kAny, "root"},
        {"no such name", "<r><x/></r>", "q", nullptr, nullptr, kAny, nullptr},
        {"names are case sensitive", "<r><item id='1'/></r>", "Item", nullptr, nullptr, kAny, nullptr},
        {"text match", "<r><e id='a'/><e id='b'/></r>", "e", "id", "b", kAny, "b"},
        {"text is case sensitive", "<r><e id='B'/></r>", "e", "id", "b", kAny, nullptr},
        {"number when text fails", "<r><e id='07'/></r>", "e", "id", "7", 7, "07"},
        {"number alone", "<r><e id='x'/><e id='7'/></r>", "e", "id", nullptr, 7, "7"},
        {"-1 never matches a missing attribute", "<r><e/></r>", "e", "id", nullptr, -1, nullptr},
        {"-2 never matches a missing attribute", "<r><e/></r>", "e", "id", nullptr, -2, nullptr},
        {"attribute name without text or number", "<r><e id='1'/></r>", "e", "id", nullptr, kAny, nullptr},
        {"empty text without number", "<r><e id=''/></r>", "e", "id", "", kAny, nullptr},
        {"empty attribute name means any element", "<r><e id='1'/></r>", "e", "", "zzz", kAny, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedDocument doc(c.xml);
        IXmlNode* const sentinel = reinterpret_cast<IXmlNode*>(&doc);
        IXmlNode* found = sentinel;
        ASSERT_EQ(c.id != nullptr ? KVOR_OK : KVOR_NOT_FOUND,
                  doc->FindNode(W(c.element).c_str(), &found, c.attrName ? W(c.attrName).c_str() : nullptr,
                                c.attrText ? W(c.attrText).c_str() : nullptr, c.number == kAny ? nullptr : &c.number));
        EXPECT_EQ(c.id != nullptr ? c.id : "(untouched)",
                  found == sentinel ? "(untouched)" : U8(found->GetAttrString(KVOR_TEXT("id"), nullptr)));
    }
}

// Appended to the list, which is not emptied first. A null child entry ends
// the parser's walks; the node's own lookups and saving pass over it.
TEST(GetAllChildNodes, AppendsTheChildrenUpToANullEntry)
{
    LoadedDocument doc("<r><a/><b/></r>");
    IXmlNode* root = doc.Find("r");
    CXmlNodeList list;
    EXPECT_EQ(KVOR_NOT_FOUND, doc->GetAllChildNodes(doc.Find("a"), &list)) << "a childless element";
    list.Append(doc.Find("a"));
    EXPECT_EQ(1u, root->AddChild(nullptr));
    IXmlNode* z = nullptr;
    ASSERT_EQ(1u, root->FindOrAddChild(KVOR_TEXT("z"), &z));
    ASSERT_EQ(KVOR_OK, doc->GetAllChildNodes(root, &list));
    std::string names;
    for (XmlNodeListItem* item = list.head; item != nullptr; item = item->next) {
        names += U8(item->node->GetName()) + " ";
    }
    EXPECT_EQ("a a b ", names);
    EXPECT_EQ(nullptr, doc.Find("z"));
    IXmlNode* found = nullptr;
    EXPECT_TRUE(root->FindFirstChild(KVOR_TEXT("z"), &found) == 1 && found == z);
    ASSERT_EQ(1u, root->SaveToFile(W(doc.Path("saved.xml")).c_str()));
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n<r>\r\n    <a />\r\n    <b />\r\n    <z />\r\n</r>\r\n",
              Utf16FileText(doc.Path("saved.xml")));
}

TEST(GetNodeAttr, RectangleReadsFourNumbers)
{
    const struct { const char* attribute; uint32_t status; XmlRect rect; } cases[] = { // attribute null: none
        {"10, 20, 30, 40", 0, {10, 20, 30, 40}},
        {"10 20 30 40", 0, {10, 20, 30, 40}},
        {"1 2 3 4 5", 0, {1, 2, 3, 4}},
        {"10,20,30", 1, {0, 0, 0, 0}},
        {"a,b,c,d", 0, {0, 0, 0, 0}},
        {nullptr, 1, {kUntouched, kUntouched, kUntouched, kUntouched}},
        {"", 1, {kUntouched, kUntouched, kUntouched, kUntouched}},
        {" , ", 1, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const std::string xml = c.attribute == nullptr ? "<e/>" : std::string("<e rect='") + c.attribute + "'/>";
        SCOPED_TRACE(xml);
        LoadedDocument doc(xml);
        XmlRect rect = {kUntouched, kUntouched, kUntouched, kUntouched};
        EXPECT_EQ(c.status, doc->GetNodeAttr(KVOR_TEXT("rect"), doc.Find("e"), &rect));
        EXPECT_EQ((std::vector<int32_t>{c.rect.left, c.rect.top, c.rect.right, c.rect.bottom}),
                  (std::vector<int32_t>{rect.left, rect.top, rect.right, rect.bottom}));
    }
}

// The conversions themselves belong to the node; the parser hands them
// out, the text borrowed, with "" and 0 for a missing attribute.
TEST(GetNodeAttr, TextIsBorrowedAndMissingAttributesReadAsEmptyOrZero)
{
    LoadedDocument doc("<e v='abc'/>");
    IXmlNode* e = doc.Find("e");
    const WCHAR* text = nullptr;
    ASSERT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("v"), e, &text));
    EXPECT_EQ(e->GetAttrString(KVOR_TEXT("v"), nullptr), text) << "borrowed, not copied";
    int32_t integer = kUntouched;
    uint32_t colour = kUntouched;
    EXPECT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("missing"), e, &text));
    EXPECT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("missing"), e, &integer));
    EXPECT_EQ(KVOR_OK, doc->GetNodeAttr(KVOR_TEXT("missing"), e, &colour));
    EXPECT_EQ("", U8(text));
    EXPECT_EQ(0, integer);
    EXPECT_EQ(0u, colour);
}

// The text itself is the reader's; an element without any leaves the out argument alone.
TEST(GetNodeContext, ElementsWithoutTextAreNotFound)
{
    LoadedDocument doc("<r><t>text</t><empty/></r>");
    for (const char* name : {"empty", "r"}) {
        const WCHAR* text = KVOR_TEXT("untouched");
        EXPECT_EQ(KVOR_NOT_FOUND, doc->GetNodeContext(doc.Find(name), &text)) << name;
        EXPECT_EQ("untouched", U8(text)) << name;
    }
}

TEST(ParserOperations, RejectNullOrEmptyArguments)
{
    LoadedDocument doc("<e v='1'/>");
    IXmlNode* found = nullptr;
    CXmlNodeList list;
    XmlRect rect;
    uint32_t colour = 0;
    int32_t integer = 0;
    const WCHAR* text = nullptr;
    // The four readers of an attribute, for a name and a node.
    const auto read = [&](const WCHAR* name, IXmlNode* node) {
        return std::vector<uint32_t>{doc->GetNodeAttr(name, node, &rect), doc->GetNodeAttr(name, node, &colour),
                                     doc->GetNodeAttr(name, node, &integer), doc->GetNodeAttr(name, node, &text)};
    };
    const std::vector<uint32_t> rejected(4, KVOR_INVALID_ARGUMENT);
    EXPECT_EQ(rejected, read(nullptr, doc.Find("e")));
    EXPECT_EQ(rejected, read(KVOR_TEXT(""), doc.Find("e")));
    EXPECT_EQ(rejected, read(KVOR_TEXT("v"), nullptr));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->FindNode(nullptr, &found, nullptr, nullptr, nullptr));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->FindNode(KVOR_TEXT(""), &found, nullptr, nullptr, nullptr));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetAllChildNodes(nullptr, &list));
    EXPECT_EQ(KVOR_INVALID_ARGUMENT, doc->GetNodeContext(nullptr, &text));
}

} // namespace
