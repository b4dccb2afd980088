// The slot order of IXmlParser and IXmlNode is binary interface: a client
// built by another compiler, or in C, calls the operations by position. These
// tests call every slot through the object's table of function pointers in
// the documented order, bypassing the header's class declarations.
#include <gtest/gtest.h>

#include "LoadedLibrary.h"

using namespace kvortest;

namespace {

// The C++ ABI of GCC and Clang (on every target here, mingw included) gives
// the virtual destructor two entries, the complete and the deleting one.
const int kDestructorEntries = 2;

// Calls slot `slot` (1 = the first after the destructor) of object's table
// as a function of the object and args, answering R.
template <typename R, typename... Args>
R Call(void* object, int slot, Args... args)
{
    void* const* table = *static_cast<void* const* const*>(object);
    return reinterpret_cast<R (*)(void*, Args...)>(table[slot - 1 + kDestructorEntries])(object, args...);
}

const WCHAR* const kNone = nullptr;

// Loaded again through slot 1, so that LoadXmlFile's place is checked too.
class SlotOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(KVOR_OK, Call<uint32_t>(m_parser.get(), 1, W(m_parser.Path("doc.xml")).c_str()));
    }
    IXmlNode* Find(const char* name)
    {
        IXmlNode* found = nullptr;
        Call<uint32_t>(m_parser.get(), 2, W(name).c_str(), &found, kNone, kNone, static_cast<const int32_t*>(nullptr));
        return found;
    }

    LoadedDocument m_parser{"<root><w id='1' rect='1,2,3,4' v='1,2,3'>text</w><x/><w id='2'/></root>"};
};

TEST_F(SlotOrder, ParserSlotsOneToEight)
{
    IXmlParser* p = m_parser.get();
    IXmlNode* w = Find("w");
    ASSERT_NE(nullptr, w);
    EXPECT_EQ("w", U8(w->GetName()));
    CXmlNodeList list;
    EXPECT_EQ(KVOR_OK, Call<uint32_t>(p, 3, Find("root"), &list));
    EXPECT_EQ(3, list.count);
    XmlRect rect = {0, 0, 0, 0};
    EXPECT_EQ(KVOR_OK, Call<uint32_t>(p, 4, KVOR_TEXT("rect"), w, &rect));
    EXPECT_EQ(4, rect.bottom);
    uint32_t colour = 0;
    EXPECT_EQ(KVOR_OK, Call<uint32_t>(p, 5, KVOR_TEXT("v"), w, &colour));
    EXPECT_EQ(0x030201u, colour);
    int32_t integer = 0;
    EXPECT_EQ(KVOR_OK, Call<uint32_t>(p, 6, KVOR_TEXT("v"), w, &integer));
    EXPECT_EQ(1, integer);
    const WCHAR* text = nullptr;
    EXPECT_EQ(KVOR_OK, Call<uint32_t>(p, 7, KVOR_TEXT("id"), w, &text));
    EXPECT_EQ("1", U8(text));
    EXPECT_EQ(KVOR_OK, Call<uint32_t>(p, 8, w, &text));
    EXPECT_EQ("text", U8(text));
}

TEST_F(SlotOrder, NodeSlotsOneToSeventeen)
{
    IXmlNode* root = Find("root");
    IXmlNode* x = Find("x");
    ASSERT_NE(nullptr, root);
    ASSERT_NE(nullptr, x);
    EXPECT_EQ(1u, Call<uint32_t>(x, 3, KVOR_TEXT("c"), uint32_t{0x00030201}));
    EXPECT_EQ(1u, Call<uint32_t>(x, 4, KVOR_TEXT("n"), int32_t{-5}));
    EXPECT_EQ(1u, Call<uint32_t>(x, 5, KVOR_TEXT("s"), KVOR_TEXT("str")));
    EXPECT_EQ(-5, Call<int32_t>(x, 12, KVOR_TEXT("n"), int32_t{0}));
    EXPECT_EQ(0x00030201u, Call<uint32_t>(x, 13, KVOR_TEXT("c"), uint32_t{0}));
    EXPECT_EQ("str", U8(Call<const WCHAR*>(x, 14, KVOR_TEXT("s"), kNone)));
    EXPECT_EQ(1u, Call<uint32_t>(x, 6, KVOR_TEXT("s")));
    EXPECT_EQ(nullptr, Call<const WCHAR*>(x, 14, KVOR_TEXT("s"), kNone));
    EXPECT_EQ("x", U8(Call<const WCHAR*>(x, 15)));
    EXPECT_EQ(nullptr, Call<const WCHAR*>(x, 17));

    IXmlNode* child = nullptr;
    EXPECT_EQ(1u, Call<uint32_t>(root, 7, &child));
    EXPECT_EQ("w", U8(child->GetName()));
    EXPECT_EQ(1u, Call<uint32_t>(root, 10, &child));
    EXPECT_EQ("x", U8(child->GetName()));
    EXPECT_EQ(1u, Call<uint32_t>(root, 8, KVOR_TEXT("w"), &child));
    EXPECT_EQ(1u, Call<uint32_t>(root, 11, KVOR_TEXT("w"), &child));
    EXPECT_EQ("2", U8(child->GetAttrString(KVOR_TEXT("id"), nullptr)));

    IXmlNode* added = nullptr;
    EXPECT_EQ(1u, Call<uint32_t>(x, 9, KVOR_TEXT("new"), &added));
    ASSERT_NE(nullptr, added);
    EXPECT_EQ(1u, Call<uint32_t>(x, 2, added));
    EXPECT_EQ(1u, Call<uint32_t>(root, 1, added)) << "AddChild takes the unlinked node over";
    const std::string saved = m_parser.Path("saved.xml");
    EXPECT_EQ(1u, Call<uint32_t>(x, 16, W(saved).c_str()));
    EXPECT_FALSE(ReadBytes(saved).empty());
}

} // namespace
