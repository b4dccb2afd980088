// The binary interface a client compiles against: the list it walks
// itself, the rectangle it passes in and the character type. A client on
// the device (32-bit ARM) expects the 32-bit numbers; 64-bit targets have
// their own. Checked at compile time, so a wrong layout fails the build.
#include <cstddef>
#include <cstdint>

#include "kvorXMLParser.h"

namespace {

// The virtual table pointer comes first, then count, head and tail.
struct ListLayout { size_t listSize, countAt, headAt, tailAt, itemSize, itemNodeAt; };
constexpr ListLayout kExpected = sizeof(void*) == 4 ? ListLayout{16, 4, 8, 12, 8, 4} : ListLayout{32, 8, 16, 24, 16, 8};

// CXmlNodeList has a virtual destructor, so offsetof is only conditionally
// supported for it; GCC computes it and warns, which is what we want here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(CXmlNodeList) == kExpected.listSize && offsetof(CXmlNodeList, count) == kExpected.countAt &&
                  offsetof(CXmlNodeList, head) == kExpected.headAt && offsetof(CXmlNodeList, tail) == kExpected.tailAt,
              "CXmlNodeList: virtual table pointer, count, head, tail");
#pragma GCC diagnostic pop

static_assert(sizeof(XmlNodeListItem) == kExpected.itemSize && offsetof(XmlNodeListItem, next) == 0 &&
                  offsetof(XmlNodeListItem, node) == kExpected.itemNodeAt,
              "XmlNodeListItem: next, node");
static_assert(sizeof(XmlRect) == 16 && offsetof(XmlRect, left) == 0 && offsetof(XmlRect, top) == 4 &&
                  offsetof(XmlRect, right) == 8 && offsetof(XmlRect, bottom) == 12,
              "XmlRect: four 32-bit numbers");
static_assert(sizeof(WCHAR) == 2, "WCHAR is a UTF-16 code unit");

} // namespace
