// The slot order of IXmlParser and IXmlNode is binary interface: a client
// built by another compiler, or in C, calls the operations by position. These
// tests call every slot through a hand-made table of function pointers in the
// documented order, bypassing the header's class declarations.
#include <gtest/gtest.h>

#include "LoadedLibrary.h"
#include "TestText.h"

using namespace kvortest;

namespace {

// The Itanium C++ ABI (GCC and Clang, also on ARM) gives the virtual
// destructor two entries, the complete and the deleting destructor; the
// Microsoft ABI gives it one.
#if defined(_MSC_VER)
const int kDestructorEntries = 1;
#else
const int kDestructorEntries = 2;
#endif

// The address of slot `slot` (0 = destructor) of object's table, as F.
template <typename F>
F Slot(const void* object, int slot)
{
    void* const* table = *static_cast<void* const* const*>(object);
    return reinterpret_cast<F>(table[slot == 0 ? 0 : slot - 1 + kDestructorEntries]);
}

class SlotOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteText(m_dir.File("doc.xml"),
                  "<root><w id='1' rect='1,2,3,4' v='1,2,3'>text</w><x/><w id='2'/></root>");
        typedef uint32_t (*Load)(IXmlParser*, const WCHAR*);
        ASSERT_EQ(KVOR_OK, Slot<Load>(m_parser.get(), 1)(m_parser.get(), W(m_dir.File("doc.xml")).c_str()));
    }
    IXmlNode* Find(const char* name)
    {
        typedef uint32_t (*FindNode)(IXmlParser*, const WCHAR*, IXmlNode**, const WCHAR*, const WCHAR*,
                                     const int32_t*);
        IXmlNode* found = nullptr;
        Slot<FindNode>(m_parser.get(), 2)(m_parser.get(), W(name).c_str(), &found, nullptr, nullptr, nullptr);
        return found;
    }

    TempDir m_dir;
    ScopedParser m_parser;
};

} // namespace

TEST_F(SlotOrder, ParserSlotsOneToEight)
{
    IXmlParser* p = m_parser.get();
    IXmlNode* w = Find("w");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ("w", U8(w->GetName()));

    typedef uint32_t (*ChildList)(IXmlParser*, IXmlNode*, CXmlNodeList*);
    CXmlNodeList list;
    EXPECT_EQ(KVOR_OK, Slot<ChildList>(p, 3)(p, Find("root"), &list));
    EXPECT_EQ(3, list.count);

    typedef uint32_t (*Rect)(IXmlParser*, const WCHAR*, IXmlNode*, XmlRect*);
    XmlRect rect = {0, 0, 0, 0};
    EXPECT_EQ(KVOR_OK, Slot<Rect>(p, 4)(p, KVOR_TEXT("rect"), w, &rect));
    EXPECT_EQ(4, rect.bottom);

    typedef uint32_t (*Colour)(IXmlParser*, const WCHAR*, IXmlNode*, uint32_t*);
    uint32_t colour = 0;
    EXPECT_EQ(KVOR_OK, Slot<Colour>(p, 5)(p, KVOR_TEXT("v"), w, &colour));
    EXPECT_EQ(0x030201u, colour);

    typedef uint32_t (*Integer)(IXmlParser*, const WCHAR*, IXmlNode*, int32_t*);
    int32_t integer = 0;
    EXPECT_EQ(KVOR_OK, Slot<Integer>(p, 6)(p, KVOR_TEXT("v"), w, &integer));
    EXPECT_EQ(1, integer);

    typedef uint32_t (*Text)(IXmlParser*, const WCHAR*, IXmlNode*, const WCHAR**);
    const WCHAR* text = nullptr;
    EXPECT_EQ(KVOR_OK, Slot<Text>(p, 7)(p, KVOR_TEXT("id"), w, &text));
    EXPECT_EQ("1", U8(text));

    typedef uint32_t (*Content)(IXmlParser*, IXmlNode*, const WCHAR**);
    EXPECT_EQ(KVOR_OK, Slot<Content>(p, 8)(p, w, &text));
    EXPECT_EQ("text", U8(text));
}

TEST_F(SlotOrder, NodeSlotsOneToSeventeen)
{
    IXmlNode* root = Find("root");
    IXmlNode* x = Find("x");
    ASSERT_NE(nullptr, root);
    ASSERT_NE(nullptr, x);
    typedef uint32_t (*NodeArg)(IXmlNode*, IXmlNode*);
    typedef uint32_t (*SetColour)(IXmlNode*, const WCHAR*, uint32_t);
    typedef uint32_t (*SetInt)(IXmlNode*, const WCHAR*, int32_t);
    typedef uint32_t (*SetString)(IXmlNode*, const WCHAR*, const WCHAR*);
    typedef uint32_t (*NameArg)(IXmlNode*, const WCHAR*);
    typedef uint32_t (*Out)(IXmlNode*, IXmlNode**);
    typedef uint32_t (*NameOut)(IXmlNode*, const WCHAR*, IXmlNode**);
    typedef int32_t (*GetInt)(IXmlNode*, const WCHAR*, int32_t);
    typedef uint32_t (*GetColour)(IXmlNode*, const WCHAR*, uint32_t);
    typedef const WCHAR* (*GetString)(IXmlNode*, const WCHAR*, const WCHAR*);
    typedef const WCHAR* (*NoArg)(IXmlNode*);

    EXPECT_EQ(1u, Slot<SetColour>(x, 3)(x, KVOR_TEXT("c"), 0x00030201));
    EXPECT_EQ(1u, Slot<SetInt>(x, 4)(x, KVOR_TEXT("n"), -5));
    EXPECT_EQ(1u, Slot<SetString>(x, 5)(x, KVOR_TEXT("s"), KVOR_TEXT("str")));
    EXPECT_EQ(-5, Slot<GetInt>(x, 12)(x, KVOR_TEXT("n"), 0));
    EXPECT_EQ(0x00030201u, Slot<GetColour>(x, 13)(x, KVOR_TEXT("c"), 0));
    EXPECT_EQ("str", U8(Slot<GetString>(x, 14)(x, KVOR_TEXT("s"), nullptr)));
    EXPECT_EQ(1u, Slot<NameArg>(x, 6)(x, KVOR_TEXT("s")));
    EXPECT_EQ(nullptr, Slot<GetString>(x, 14)(x, KVOR_TEXT("s"), nullptr));
    EXPECT_EQ("x", U8(Slot<NoArg>(x, 15)(x)));
    EXPECT_EQ(nullptr, Slot<NoArg>(x, 17)(x));

    IXmlNode* child = nullptr;
    EXPECT_EQ(1u, Slot<Out>(root, 7)(root, &child));
    EXPECT_EQ("w", U8(child->GetName()));
    EXPECT_EQ(1u, Slot<Out>(root, 10)(root, &child));
    EXPECT_EQ("x", U8(child->GetName()));
    EXPECT_EQ(1u, Slot<NameOut>(root, 8)(root, KVOR_TEXT("w"), &child));
    EXPECT_EQ(1u, Slot<NameOut>(root, 11)(root, KVOR_TEXT("w"), &child));
    EXPECT_EQ("2", U8(child->GetAttrString(KVOR_TEXT("id"), nullptr)));

    IXmlNode* added = nullptr;
    EXPECT_EQ(1u, Slot<NameOut>(x, 9)(x, KVOR_TEXT("new"), &added));
    ASSERT_NE(nullptr, added);
    EXPECT_EQ(1u, Slot<NodeArg>(x, 2)(x, added));
    EXPECT_EQ(1u, Slot<NodeArg>(root, 1)(root, added)) << "AddChild takes the unlinked node over";

    typedef uint32_t (*Save)(IXmlNode*, const WCHAR*);
    const std::string saved = m_dir.File("saved.xml");
    EXPECT_EQ(1u, Slot<Save>(x, 16)(x, W(saved).c_str()));
    EXPECT_FALSE(ReadBytes(saved).empty());
}
