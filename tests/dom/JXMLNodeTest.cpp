#include <gtest/gtest.h>

#include <memory>

#include "DomTestSupport.h"
#include "FailingAllocator.h"
#include "JXMLNode.h"

using kvortest::U8;
using kvortest::W;

namespace {

#define T(s) KVOR_TEXT(s)

std::string Children(IXmlNode& node)
{
    std::string names;
    IXmlNode* child = nullptr;
    for (uint32_t more = node.GetFirstChild(&child); more == 1; more = node.GetNextChild(&child)) {
        names += U8(child->GetName()) + ";";
    }
    return names;
}

IXmlNode* AddNamed(CJXMLNode& parent, const char* name)
{
    IXmlNode* child = new CJXMLNode(W(name).c_str());
    parent.AddChild(child);
    return child;
}

TEST(JXMLNode, NameIsCutTo259CharactersAndNullGivesEmpty)
{
    const kvortest::WString longName(300, T('n'));
    CJXMLNode node(longName.c_str());
    EXPECT_EQ(kvortest::WString(node.GetName()), longName.substr(0, 259));
    CJXMLNode unnamed(nullptr);
    EXPECT_EQ(U8(unnamed.GetName()), "");
    EXPECT_EQ(unnamed.GetContent(), nullptr);
}

TEST(JXMLNode, LookupIgnoresCaseWhileSetAndRemoveMatchExactly)
{
    CJXMLNode node(T("e"));
    node.SetAttrString(T("width"), T("3"));
    EXPECT_EQ(U8(node.GetAttrString(T("WIDTH"), nullptr)), "3");
    EXPECT_EQ(node.SetAttrString(T("WIDTH"), T("5")), 1u);
    EXPECT_EQ(U8(node.GetAttrString(T("width"), nullptr)), "3") << "the first entry wins";
    EXPECT_EQ(node.GetAttrInt(T("Width"), -1), 3);
    EXPECT_EQ(node.RemoveAttr(T("Width")), 0u);
    EXPECT_EQ(node.RemoveAttr(T("width")), 1u);
    EXPECT_EQ(U8(node.GetAttrString(T("width"), nullptr)), "5");
    EXPECT_EQ(node.SetAttrString(T("WIDTH"), T("6")), 1u);
    EXPECT_EQ(U8(node.GetAttrString(T("width"), nullptr)), "6") << "replaced, not appended";
}

TEST(JXMLNode, MissingAttributesGiveTheDefaultPresentOnesNever)
{
    CJXMLNode node(T("e"));
    const WCHAR* fallback = T("fallback");
    EXPECT_EQ(node.GetAttrString(T("a"), fallback), fallback);
    EXPECT_EQ(node.GetAttrInt(T("a"), 77), 77);
    EXPECT_EQ(node.GetAttrColor(T("a"), 0x123456u), 0x123456u);

    struct Case {
        const char* text;
        int32_t number;
    };
    const Case cases[] = {{"17abc", 17}, {"abc", 0}, {"", 0}, {" -42", -42}, {"+8", 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        node.SetAttrString(T("n"), W(c.text).c_str());
        EXPECT_EQ(node.GetAttrInt(T("n"), 1), c.number);
        EXPECT_EQ(node.GetAttrInt(T("n"), 2), c.number);
    }
}

// Cases the rest of the library never produces: a valueless attribute
// reads as the empty text, a null name stores and finds nothing.
TEST(JXMLNode, ValuelessAttributesAndNullNames)
{
    CJXMLNode node(T("e"));
    node.SetAttrString(T("flag"), nullptr);
    EXPECT_EQ(node.GetAttrString(T("flag"), T("default")), nullptr);
    EXPECT_EQ(node.GetAttrInt(T("flag"), 9), 0);
    EXPECT_EQ(node.GetAttrColor(T("flag"), 9), CJXMLNode::kColorNotParsed);
    EXPECT_EQ(node.SetAttrString(nullptr, T("v")), 1u);
    EXPECT_EQ(node.RemoveAttr(nullptr), 0u);
    EXPECT_EQ(node.GetAttrInt(nullptr, 5), 5);
    IXmlNode* out = nullptr;
    EXPECT_EQ(node.FindOrAddChild(nullptr, &out), 0u);
    EXPECT_EQ(node.GetFirstChild(&out), 0u) << "nothing was added";
}

TEST(JXMLNode, ColourTextParsing)
{
    struct Case {
        const char* text;
        uint32_t colour;
    };
    const Case cases[] = {
        {"255,128,0", 0x000080FF},   {" 255, 128, 0", 0x000080FF}, {"255,128", 0x010101},
        {"5", 0x010101},             {"", 0x010101},               {",,1,2,3", 0x00030201},
        {"256,-1,0", 0x0000FF00},    {"1,2,3,4", 0x00030201},      {"a,b,c", 0},
        {"1,,2,,3", 0x00030201},     {",,,", 0x010101},            {"10,20,30x", 0x001E140A},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CJXMLNode::ParseColorText(W(c.text).c_str()), c.colour);
        CJXMLNode node(T("e"));
        node.SetAttrString(T("c"), W(c.text).c_str());
        EXPECT_EQ(node.GetAttrColor(T("C"), 0xABCDEF), c.colour);
    }
    EXPECT_EQ(CJXMLNode::ParseColorText(nullptr), CJXMLNode::kColorNotParsed);
    // Only the first 259 characters count: the third number lies beyond them.
    const kvortest::WString padded = W("1,2," + std::string(300, ' ') + "3");
    EXPECT_EQ(CJXMLNode::ParseColorText(padded.c_str()), 0x00000201u);
}

TEST(JXMLNode, SetAttrIntAndColourStoreDecimalText)
{
    struct Case {
        const char* name;
        uint32_t (*set)(CJXMLNode&);
        const char* text;
    };
    const Case cases[] = {
        {"negative", [](CJXMLNode& n) { return n.SetAttrInt(T("v"), -42); }, "-42"},
        {"zero", [](CJXMLNode& n) { return n.SetAttrInt(T("v"), 0); }, "0"},
        {"smallest", [](CJXMLNode& n) { return n.SetAttrInt(T("v"), INT32_MIN); }, "-2147483648"},
        {"colour", [](CJXMLNode& n) { return n.SetAttrColor(T("v"), 0x002B3C4D); }, "77,60,43"},
        {"colour top byte", [](CJXMLNode& n) { return n.SetAttrColor(T("v"), 0xFF2B3C4D); }, "77,60,43"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CJXMLNode node(T("e"));
        EXPECT_EQ(c.set(node), 1u);
        EXPECT_EQ(U8(node.GetAttrString(T("v"), nullptr)), c.text);
    }
    CJXMLNode node(T("e"));
    node.SetAttrColor(T("v"), 0xFF2B3C4D);
    EXPECT_EQ(node.GetAttrColor(T("v"), 0), 0x002B3C4Du);
}

TEST(JXMLNode, ChildCursorIsSharedByEveryWalk)
{
    CJXMLNode root(T("root"));
    IXmlNode* out = nullptr;
    EXPECT_EQ(root.GetNextChild(&out), 0u) << "no walk begun";
    EXPECT_EQ(root.GetFirstChild(&out), 0u);
    EXPECT_EQ(out, nullptr);
    IXmlNode* a = AddNamed(root, "a");
    IXmlNode* item = AddNamed(root, "item");
    IXmlNode* b = AddNamed(root, "b");
    IXmlNode* item2 = AddNamed(root, "item");

    ASSERT_EQ(root.GetFirstChild(&out), 1u);
    EXPECT_EQ(out, a);
    ASSERT_EQ(root.GetNextChild(&out), 1u);
    EXPECT_EQ(out, item);
    // A search restarts the walk and leaves the cursor after its match.
    ASSERT_EQ(root.FindFirstChild(T("b"), &out), 1u);
    EXPECT_EQ(out, b);
    ASSERT_EQ(root.GetNextChild(&out), 1u);
    EXPECT_EQ(out, item2);
    EXPECT_EQ(root.GetNextChild(&out), 0u);
    EXPECT_EQ(out, item2);

    ASSERT_EQ(root.FindFirstChild(T("item"), &out), 1u);
    EXPECT_EQ(out, item);
    ASSERT_EQ(root.FindNextChild(T("item"), &out), 1u);
    EXPECT_EQ(out, item2);
    EXPECT_EQ(root.FindNextChild(T("item"), &out), 0u);
    EXPECT_EQ(root.FindFirstChild(T("Item"), &out), 0u) << "names match exactly";
    EXPECT_EQ(root.GetNextChild(&out), 0u) << "a failed search ends at the end";
}

TEST(JXMLNode, FindOrAddChildAddsOnlyOnce)
{
    CJXMLNode root(T("root"));
    AddNamed(root, "a");
    IXmlNode* first = nullptr;
    IXmlNode* second = nullptr;
    ASSERT_EQ(root.FindOrAddChild(T("new"), &first), 1u);
    ASSERT_EQ(root.FindOrAddChild(T("new"), &second), 1u);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Children(root), "a;new;");
    IXmlNode* out = nullptr;
    ASSERT_EQ(root.FindOrAddChild(T("a"), &out), 1u);
    ASSERT_EQ(root.GetNextChild(&out), 1u) << "the cursor stands after the found child";
    EXPECT_EQ(out, first);
}

TEST(JXMLNode, RemoveChildGivesTheChildBack)
{
    CJXMLNode root(T("root"));
    IXmlNode* a = AddNamed(root, "a");
    IXmlNode* b = AddNamed(root, "b");
    IXmlNode* c = AddNamed(root, "c");
    CJXMLNode stranger(T("x"));
    EXPECT_EQ(root.RemoveChild(&stranger), 0u);
    EXPECT_EQ(root.RemoveChild(nullptr), 0u);

    EXPECT_EQ(root.RemoveChild(c), 1u);
    EXPECT_EQ(Children(root), "a;b;");
    IXmlNode* d = AddNamed(root, "d");
    EXPECT_EQ(Children(root), "a;b;d;") << "a new tail follows the old one";
    EXPECT_EQ(root.RemoveChild(a), 1u);
    EXPECT_EQ(root.RemoveChild(b), 1u);
    EXPECT_EQ(root.RemoveChild(d), 1u);
    EXPECT_EQ(Children(root), "");
    root.AddChild(c);
    EXPECT_EQ(Children(root), "c;");
    delete a;
    delete b;
    delete d;
}

TEST(JXMLNode, RemovingTheChildUnderTheCursorContinuesTheWalk)
{
    CJXMLNode root(T("root"));
    AddNamed(root, "a");
    IXmlNode* b = AddNamed(root, "b");
    AddNamed(root, "c");
    IXmlNode* out = nullptr;
    root.GetFirstChild(&out); // cursor now on "b"
    ASSERT_EQ(root.RemoveChild(b), 1u);
    delete b;
    ASSERT_EQ(root.GetNextChild(&out), 1u);
    EXPECT_EQ(U8(out->GetName()), "c");
}

TEST(JXMLNode, DestroyingARootFreesTheWholeTree)
{
    const long before = kvortest::LiveBlocks();
    {
        CJXMLNode root(T("root"));
        IXmlNode* parent = &root;
        for (int depth = 0; depth < 5; ++depth) {
            IXmlNode* next = nullptr;
            for (int i = 0; i < 3; ++i) {
                ASSERT_EQ(parent->FindOrAddChild(W("c" + std::to_string(i)).c_str(), &next), 1u);
                next->SetAttrString(T("name"), T("value"));
                JXMLNodeTestPeer::SetContent(*static_cast<CJXMLNode*>(next), "text");
            }
            parent = next;
        }
    }
    EXPECT_EQ(kvortest::LiveBlocks(), before);
}

} // namespace
