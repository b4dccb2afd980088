// Helpers of the model, reader and parser tests: names for parameterised
// cases, a tree and a table as text, and the content setter that only the
// element parser has.
#ifndef KVOR_DOM_TEST_SUPPORT_H
#define KVOR_DOM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "../parser/TreeSnapshot.h"
#include "MemoryStream.h"
#include "TestText.h"

namespace kvortest {

// Names a parameterised case after its name member, in listings and in test names.
#define KVOR_PRINTS_CASE_NAME(Case) \
    void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const { return info.param.name; }
};

inline void SetContent(IXmlNode* node, const char* text)
{
    WCHAR*& content = NodeAccess::Content(NodeAccess::Of(node));
    kvor::Release(content);
    content = kvor::AllocateArray<WCHAR>(CJXMLNode::kNameCapacity);
    ASSERT_NE(content, nullptr);
    StringCchCopyW(content, CJXMLNode::kNameCapacity, W(text).c_str());
}

// The entries of a table as "key=value/data", space separated; a null value reads "(null)".
inline std::string Entries(CKeyValueTable& table)
{
    std::string entries;
    const WCHAR *key = nullptr, *value = nullptr;
    uint32_t data = 0;
    for (int32_t index = 0; table.GetAt(index, &key, &value, &data) == 1; ++index) {
        entries += (index > 0 ? " " : "") + U8(key) + "=" + U8(value) + "/" + std::to_string(data);
    }
    return entries;
}

// A tree as name[key=value,...]"text"{child,...}; empty parts are left out,
// a value stored as null reads (null).
inline std::string Render(const NodeSnapshot& node)
{
    std::string out = U8(node.name);
    for (const AttributeSnapshot& a : node.attributes) {
        out += (&a == &node.attributes.front() ? "[" : ",") + U8(a.key) + "=" + (a.hasValue ? U8(a.value) : "(null)");
    }
    out += node.attributes.empty() ? "" : "]";
    out += node.hasContent ? "\"" + U8(node.content) + "\"" : "";
    for (const NodeSnapshot& child : node.children) {
        out += (&child == &node.children.front() ? "{" : ",") + Render(child);
    }
    return node.children.empty() ? out : out + "}";
}
inline std::string Render(IXmlNode* node)
{
    return Render(Snapshot(NodeAccess::Of(node)));
}

} // namespace kvortest

#endif // KVOR_DOM_TEST_SUPPORT_H
