// Helpers of the document model tests: a table's entries as text and the
// content setter that only the element parser has.
#ifndef KVOR_DOM_TEST_SUPPORT_H
#define KVOR_DOM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "kvor/dom/JXMLNode.h"
#include "kvor/dom/NodeAccess.h"
#include "MemoryStream.h"
#include "TestText.h"

namespace kvortest {

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

} // namespace kvortest

#endif // KVOR_DOM_TEST_SUPPORT_H
