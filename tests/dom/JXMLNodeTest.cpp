// The element node: attributes by name, the shared child cursor, its children.
#include "DomTestSupport.h"

using namespace kvortest;

namespace {

IXmlNode* AddNamed(IXmlNode& parent, const char* name)
{
    IXmlNode* child = new CJXMLNode(W(name).c_str());
    parent.AddChild(child);
    return child;
}

TEST(JXMLNode, NameIsCutTo259CharactersAndNullGivesEmpty)
{
    const WString longName(300, T('n'));
    EXPECT_EQ(WString(CJXMLNode(longName.c_str()).GetName()), longName.substr(0, 259));
    EXPECT_EQ(U8(CJXMLNode(nullptr).GetName()), "");
}

// A present attribute never gives the default, so asking with two defaults
// tells presence. Lookups ignore case and take the first match; setting and
// removing match exactly (the table's part).
TEST(JXMLNode, MissingAttributesGiveTheDefaultPresentOnesNever)
{
    CJXMLNode node(T("e"));
    const WCHAR* fallback = T("fallback");
    EXPECT_EQ(node.GetAttrString(T("a"), fallback), fallback);
    EXPECT_EQ(node.GetAttrInt(T("a"), 77), 77);
    EXPECT_EQ(node.GetAttrColor(T("a"), 0x123456u), 0x123456u);
    EXPECT_EQ(node.GetAttrString(nullptr, fallback), fallback);
    node.SetAttrString(T("width"), T("3"));
    EXPECT_EQ(node.SetAttrString(T("WIDTH"), T("5")), 1u);
    EXPECT_EQ(U8(node.GetAttrString(T("Width"), nullptr)), "3") << "the first match wins";
    // A null text: an attribute stored without a value, which only a caller of the node makes.
    const struct { const char* text; int32_t number; } cases[] = {{"17abc", 17}, {"abc", 0}, {"", 0}, {nullptr, 0}};
    for (const auto& c : cases) {
        node.SetAttrString(T("n"), c.text != nullptr ? W(c.text).c_str() : nullptr);
        EXPECT_EQ(U8(node.GetAttrString(T("N"), fallback)), c.text != nullptr ? c.text : "(null)");
        EXPECT_EQ(node.GetAttrInt(T("N"), 1), c.number) << (c.text ? c.text : "(null)");
        EXPECT_EQ(node.GetAttrInt(T("N"), 2), c.number) << (c.text ? c.text : "(null)");
    }
}

TEST(JXMLNode, ColourTextIsRedGreenBlueOrTheNotAColourValue)
{
    const struct { const char* text; uint32_t colour; } cases[] = {
        {"255,128", 0x010101}, {"5", 0x010101}, {"", 0x010101}, {",,,", 0x010101}, {"a,b,c", 0},
        {"1,2,3,4", 0x00030201}, {"1,,2,,3", 0x00030201}, {"10,20,30x", 0x001E140A}, {nullptr, 0x010101},
    };
    for (const auto& c : cases) {
        CJXMLNode node(T("e"));
        node.SetAttrString(T("c"), c.text != nullptr ? W(c.text).c_str() : nullptr);
        EXPECT_EQ(node.GetAttrColor(T("C"), 0xABCDEF), c.colour) << '"' << (c.text ? c.text : "(null)") << '"';
    }
    // Only the first 259 characters count: the third number lies beyond them.
    EXPECT_EQ(CJXMLNode::ParseColorText(W("1,2," + std::string(300, ' ') + "3").c_str()), 0x00000201u);
}

// Each step of a walk is written as the index of the child it gave, or "-" and
// the index of the child that out still holds when it gave none.
TEST(JXMLNode, ChildCursorIsSharedByEveryWalk)
{
    CJXMLNode root(T("root"));
    IXmlNode* out = nullptr;
    EXPECT_EQ(root.GetNextChild(&out), 0u) << "no walk begun";
    EXPECT_EQ(root.GetFirstChild(&out), 0u);
    EXPECT_EQ(out, nullptr);
    const IXmlNode* children[] = {AddNamed(root, "a"), AddNamed(root, "item"), AddNamed(root, "b"),
                                  AddNamed(root, "item")};
    std::string walk;
    const auto step = [&](uint32_t found) {
        walk += (found == 1 ? "" : "-") + std::to_string(std::find(children, children + 4, out) - children) + " ";
    };
    step(root.GetFirstChild(&out));
    step(root.GetNextChild(&out));
    step(root.FindFirstChild(T("b"), &out)); // restarts the walk and leaves the cursor after its match
    step(root.GetNextChild(&out));
    step(root.GetNextChild(&out));
    step(root.FindOrAddChild(T("item"), &out)); // finds, so it walks as FindFirstChild
    step(root.GetNextChild(&out));
    step(root.FindFirstChild(T("item"), &out));
    step(root.FindNextChild(T("item"), &out));
    step(root.FindNextChild(T("item"), &out));
    step(root.FindFirstChild(T("Item"), &out)); // names match exactly
    step(root.GetNextChild(&out));              // a failed search ends at the end
    EXPECT_EQ(walk, "0 1 2 3 -3 1 2 1 3 -3 -3 -3 ");
    const std::vector<uint32_t> nulls = {root.GetFirstChild(nullptr), root.GetNextChild(nullptr),
                                         root.FindFirstChild(nullptr, &out), root.FindNextChild(nullptr, &out),
                                         root.FindOrAddChild(nullptr, &out), root.FindOrAddChild(T("a"), nullptr)};
    EXPECT_EQ(nulls, std::vector<uint32_t>(6, 0u)) << "a null name or out address finds nothing";
}

TEST(JXMLNode, RemoveChildUnlinksWithoutDestroying)
{
    CJXMLNode root(T("root"));
    IXmlNode* a = AddNamed(root, "a");
    IXmlNode* b = AddNamed(root, "b");
    IXmlNode* c = AddNamed(root, "c");
    CJXMLNode stranger(T("x"));
    EXPECT_EQ(root.RemoveChild(&stranger), 0u);
    EXPECT_EQ(root.RemoveChild(c), 1u);
    IXmlNode* d = AddNamed(root, "d");
    EXPECT_EQ(Render(&root), "root{a,b,d}") << "a new tail follows the one before the removed tail";
    IXmlNode* out = nullptr;
    root.GetFirstChild(&out); // the cursor now stands on b's link
    EXPECT_EQ(root.RemoveChild(b), 1u);
    ASSERT_EQ(root.GetNextChild(&out), 1u) << "the walk goes on after a removed link";
    EXPECT_EQ(out, d);
    EXPECT_EQ(root.RemoveChild(a), 1u);
    EXPECT_EQ(root.RemoveChild(d), 1u);
    EXPECT_EQ(Render(&root), "root");
    root.AddChild(c);
    EXPECT_EQ(Render(&root), "root{c}") << "the only child is first and last";
    for (IXmlNode* removed : {a, b, d}) {
        delete removed;
    }
}

} // namespace
