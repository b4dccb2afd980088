// Helpers of the reader tests: access to the parser's single steps and to
// a node's attribute table, a compact rendering of a tree, and parsing a
// text held in memory.
#ifndef KVOR_READER_TEST_SUPPORT_H
#define KVOR_READER_TEST_SUPPORT_H

#include <string>

#include <gtest/gtest.h>

#include "JXMLNode.h"
#include "TestText.h"
#include "XmlCursor.h"

struct ParserStepAccess {
    static int32_t SkipComment(XmlCursor& cursor) { return CJXMLNode::SkipComment(cursor); }
    static int32_t ParseAttribute(XmlCursor& cursor, WCHAR* name, WCHAR* value, int32_t size)
    {
        return CJXMLNode::ParseAttribute(cursor, name, value, size);
    }
    static int32_t ParseStartTag(CJXMLNode& node, XmlCursor& cursor) { return node.ParseStartTag(cursor); }
    static CKeyValueTable& Attributes(CJXMLNode& node) { return node.m_attributes; }
};

namespace kvortest {

// A tree as name[key=value,...]"text"{child,...}; the parts without
// anything in them are left out, a value stored as null reads (null).
inline std::string RenderTree(IXmlNode* node)
{
    std::string out = U8(node->GetName());
    CKeyValueTable& table = ParserStepAccess::Attributes(*static_cast<CJXMLNode*>(node));
    for (int32_t i = 0; i < table.GetCount(); ++i) {
        const WCHAR* key = nullptr;
        const WCHAR* value = nullptr;
        uint32_t data = 0;
        table.GetAt(i, &key, &value, &data);
        out += (i == 0 ? "[" : ",") + U8(key) + "=" + U8(value);
    }
    if (table.GetCount() > 0) {
        out += "]";
    }
    if (node->GetContent() != nullptr) {
        out += "\"" + U8(node->GetContent()) + "\"";
    }
    IXmlNode* child = nullptr;
    bool first = true;
    for (uint32_t more = node->GetFirstChild(&child); more != 0; more = node->GetNextChild(&child)) {
        out += (first ? "{" : ",") + RenderTree(child);
        first = false;
    }
    if (!first) {
        out += "}";
    }
    return out;
}

const char* const kFailed = "FAIL";

// Parses one element from the text: its rendering, or kFailed.
// *position, when given, receives where the cursor stopped.
inline std::string ParseElement(const WString& text, int32_t* position = nullptr)
{
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    int32_t success = -1;
    CJXMLNode node(cursor, success);
    EXPECT_TRUE(success == 0 || success == 1) << "flag " << success;
    if (position != nullptr) {
        *position = cursor.GetPosition();
    }
    return success == 1 ? RenderTree(&node) : kFailed;
}

inline std::string ParseElement(const std::string& utf8, int32_t* position = nullptr)
{
    return ParseElement(W(utf8), position);
}

} // namespace kvortest

#endif // KVOR_READER_TEST_SUPPORT_H
