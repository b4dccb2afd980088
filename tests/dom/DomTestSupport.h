// Helpers of the model, reader and parser tests: names for parameterised
// cases and a tree as text.
#ifndef KVOR_DOM_TEST_SUPPORT_H
#define KVOR_DOM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "../parser/TreeSnapshot.h"
#include "FailingAllocator.h"
#include "TestText.h"

namespace kvortest {

// Names a parameterised case after its name member, in listings and in test names.
#define KVOR_PRINTS_CASE_NAME(Case) \
    void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const { return info.param.name; }
};

// A tree as name[key=value,...]"text"{child,...}; empty parts are left out,
// a value stored as null reads (null).
inline std::string Render(const NodeSnapshot& node)
{
    std::string out = U8(node.name);
    for (const AttributeSnapshot& a : node.attributes) {
        out += (&a == &node.attributes.front() ? "[" : ",") + U8(a.key) + "=" + (a.hasValue ? U8(a.value) : "(null)");
    }
    out += (node.attributes.empty() ? "" : "]") + (node.hasContent ? "\"" + U8(node.content) + "\"" : "");
    for (const NodeSnapshot& child : node.children) {
        out += (&child == &node.children.front() ? "{" : ",") + Render(child);
    }
    return node.children.empty() ? out : out + "}";
}
inline NodeSnapshot SnapshotOf(IXmlNode* node) { return Snapshot(NodeAccess::Of(node)); }
inline std::string Render(IXmlNode* node) { return Render(SnapshotOf(node)); }

} // namespace kvortest

#define T(s) KVOR_TEXT(s)

#endif // KVOR_DOM_TEST_SUPPORT_H
