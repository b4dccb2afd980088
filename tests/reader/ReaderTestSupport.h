// Helpers of the reader tests: a cursor over test text, access to the
// parser's single steps, and a compact rendering of a tree.
#ifndef KVOR_READER_TEST_SUPPORT_H
#define KVOR_READER_TEST_SUPPORT_H

#include <string>

#include <gtest/gtest.h>

#include "kvor/dom/JXMLNode.h"
#include "kvor/dom/NodeAccess.h"
#include "kvor/reader/ElementReader.h"
#include "RejectedDocuments.h"
#include "TestText.h"
#include "kvor/reader/XmlCursor.h"

namespace kvortest {

// The cursor does not own its text; this keeps both together.
struct TextCursor {
    explicit TextCursor(const std::string& utf8)
        : text(W(utf8)), cursor(text.data(), static_cast<int32_t>(text.size())) {}
    WString text;
    XmlCursor cursor;
};

// Names a parameterised case after its name member, in listings and in test names.
#define KVOR_PRINTS_CASE_NAME(Case) \
    void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const { return info.param.name; }
};

// A tree as name[key=value,...]"text"{child,...}; empty parts are left out,
// a value stored as null reads (null).
inline std::string RenderTree(IXmlNode* node)
{
    std::string out = U8(node->GetName());
    CKeyValueTable& table = NodeAccess::Attributes(NodeAccess::Of(node));
    for (int32_t i = 0; i < table.GetCount(); ++i) {
        const WCHAR* key = nullptr;
        const WCHAR* value = nullptr;
        uint32_t data = 0;
        table.GetAt(i, &key, &value, &data);
        out += (i == 0 ? "[" : ",") + U8(key) + "=" + U8(value) + (i + 1 == table.GetCount() ? "]" : "");
    }
    if (node->GetContent() != nullptr) {
        out += "\"" + U8(node->GetContent()) + "\"";
    }
    std::string children;
    IXmlNode* child = nullptr;
    for (uint32_t more = node->GetFirstChild(&child); more != 0; more = node->GetNextChild(&child)) {
        children += (children.empty() ? "{" : ",") + RenderTree(child);
    }
    return children.empty() ? out : out + children + "}";
}

// The rendering of inner below levels of e.
inline std::string NestedTree(size_t levels, const std::string& inner)
{
    std::string open, close;
    for (size_t i = 0; i < levels; ++i) {
        open += "e{";
        close += "}";
    }
    return open + inner + close;
}

const char* const kFailed = "FAIL";

} // namespace kvortest

#endif // KVOR_READER_TEST_SUPPORT_H
