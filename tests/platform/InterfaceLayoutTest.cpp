// The binary interface a client compiles against: the list it walks
// itself, the rectangle it passes in and the character type. A client on
// the device (32-bit ARM) expects the 32-bit numbers; 64-bit targets have
// their own. Checked at compile time, so a wrong layout fails the build.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "kvorXMLParser.h"

namespace {

struct ListLayout {
    size_t pointer;
    size_t listSize;
    size_t countAt;
    size_t headAt;
    size_t tailAt;
    size_t itemSize;
    size_t itemNodeAt;
};

// The virtual table pointer comes first, then count, head and tail.
constexpr ListLayout kLayout32{4, 16, 4, 8, 12, 8, 4};
constexpr ListLayout kLayout64{8, 32, 8, 16, 24, 16, 8};
constexpr ListLayout kExpected = sizeof(void*) == 4 ? kLayout32 : kLayout64;

// CXmlNodeList has a virtual destructor, so offsetof is only conditionally
// supported for it; GCC computes it and warns, which is what we want here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(void*) == kExpected.pointer, "pointer size");
static_assert(sizeof(CXmlNodeList) == kExpected.listSize, "CXmlNodeList size");
static_assert(offsetof(CXmlNodeList, count) == kExpected.countAt, "CXmlNodeList::count");
static_assert(offsetof(CXmlNodeList, head) == kExpected.headAt, "CXmlNodeList::head");
static_assert(offsetof(CXmlNodeList, tail) == kExpected.tailAt, "CXmlNodeList::tail");
#pragma GCC diagnostic pop

static_assert(sizeof(XmlNodeListItem) == kExpected.itemSize, "XmlNodeListItem size");
static_assert(offsetof(XmlNodeListItem, next) == 0, "XmlNodeListItem::next");
static_assert(offsetof(XmlNodeListItem, node) == kExpected.itemNodeAt, "XmlNodeListItem::node");

static_assert(sizeof(XmlRect) == 16, "XmlRect size");
static_assert(offsetof(XmlRect, left) == 0 && offsetof(XmlRect, top) == 4 && offsetof(XmlRect, right) == 8 &&
                  offsetof(XmlRect, bottom) == 12,
              "XmlRect members");

static_assert(sizeof(WCHAR) == 2, "WCHAR is a UTF-16 code unit");
static_assert(sizeof(int32_t) == 4 && sizeof(uint32_t) == 4, "32-bit results");

// The same places, seen from a live object as a client's code reads them.
TEST(InterfaceLayout, ListMembersLieWhereTheClientReadsThem)
{
    CXmlNodeList list;
    IXmlNode* const marker = reinterpret_cast<IXmlNode*>(&list);
    list.Append(marker);
    const unsigned char* base = reinterpret_cast<const unsigned char*>(&list);

    int32_t count = 0;
    std::memcpy(&count, base + kExpected.countAt, sizeof(count));
    XmlNodeListItem* head = nullptr;
    std::memcpy(&head, base + kExpected.headAt, sizeof(head));
    XmlNodeListItem* tail = nullptr;
    std::memcpy(&tail, base + kExpected.tailAt, sizeof(tail));

    EXPECT_EQ(count, 1);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head, tail);
    EXPECT_EQ(head->node, marker);
    EXPECT_EQ(head->next, nullptr);
}

} // namespace
