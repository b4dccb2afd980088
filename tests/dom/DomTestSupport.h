// Helpers of the document model tests: a byte stream in memory, a table's
// entries as text, and the content setter that only the element parser has.
#ifndef KVOR_DOM_TEST_SUPPORT_H
#define KVOR_DOM_TEST_SUPPORT_H

#include <algorithm>
#include <gtest/gtest.h>

#include "kvor/dom/JXMLNode.h"
#include "kvor/dom/NodeAccess.h"
#include "kvor/dom/Streamable.h"
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

// Writes append; reads take from the front, as much as is left.
struct MemoryStream : IByteStream {
    explicit MemoryStream(std::vector<unsigned char> initial = {}) : bytes(std::move(initial)) {}
    uint32_t Read(void* buffer, uint32_t count) override
    {
        const size_t taken = std::min<size_t>(count, bytes.size() - position);
        std::copy_n(bytes.begin() + static_cast<long>(position), taken, static_cast<unsigned char*>(buffer));
        position += taken;
        return static_cast<uint32_t>(taken);
    }
    uint32_t Write(const void* buffer, uint32_t count) override
    {
        const unsigned char* data = static_cast<const unsigned char*>(buffer);
        bytes.insert(bytes.end(), data, data + count);
        return count;
    }
    std::vector<unsigned char> bytes;
    size_t position = 0;
};

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
