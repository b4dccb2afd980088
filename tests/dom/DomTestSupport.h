// Helpers of the document model tests: a byte stream in memory, and the
// content setter that only the element parser has in the library.
#ifndef KVOR_DOM_TEST_SUPPORT_H
#define KVOR_DOM_TEST_SUPPORT_H

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "JXMLNode.h"
#include "Streamable.h"
#include "TestText.h"

class JXMLNodeTestPeer {
public:
    static void SetContent(CJXMLNode& node, const std::string& text)
    {
        const kvortest::WString wide = kvortest::W(text);
        WCHAR* content = kvor::AllocateArray<WCHAR>(CJXMLNode::kNameCapacity);
        ASSERT_NE(content, nullptr);
        StringCchCopyW(content, CJXMLNode::kNameCapacity, wide.c_str());
        kvor::Release(node.m_content);
        node.m_content = content;
    }
};

namespace kvortest {

// Writes append; reads take from the front, as much as is left.
class MemoryStream : public IByteStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}
    virtual ~MemoryStream() = default;

    uint32_t Read(void* buffer, uint32_t bytes) override
    {
        const size_t available = m_bytes.size() - m_position;
        const size_t taken = std::min<size_t>(bytes, available);
        if (taken > 0) {
            std::memcpy(buffer, m_bytes.data() + m_position, taken);
        }
        m_position += taken;
        return static_cast<uint32_t>(taken);
    }
    uint32_t Write(const void* buffer, uint32_t bytes) override
    {
        const unsigned char* data = static_cast<const unsigned char*>(buffer);
        m_bytes.insert(m_bytes.end(), data, data + bytes);
        return bytes;
    }
    const std::vector<unsigned char>& Bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
    size_t m_position = 0;
};

// The entries of a table as "key=value/data" lines, null values as "(null)".
inline std::vector<std::string> Entries(CKeyValueTable& table)
{
    std::vector<std::string> entries;
    for (int32_t index = 0; index < table.GetCount(); ++index) {
        const WCHAR* key = nullptr;
        const WCHAR* value = nullptr;
        uint32_t data = 0;
        if (table.GetAt(index, &key, &value, &data) == 1) {
            entries.push_back(U8(key) + "=" + U8(value) + "/" + std::to_string(data));
        }
    }
    return entries;
}

} // namespace kvortest

#endif // KVOR_DOM_TEST_SUPPORT_H
