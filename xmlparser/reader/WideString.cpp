#include "kvor/reader/WideString.h"

#include <cstring>

#include "kvor/reader/WhiteSpace.h"

WideString::WideString(const WCHAR* source) : WideString(source, source != nullptr ? kvor::wcslen(source) : 0)
{
}

WideString::WideString(const WCHAR* source, size_t length) : m_text(nullptr), m_length(0), m_empty(0)
{
    AppendClassId(KVOR_CLASS_WIDE_STRING);
    m_text = kvor::AllocateArray<WCHAR>(length + 1);
    if (m_text == nullptr) {
        return; // reads as the empty string
    }
    if (length > 0) {
        std::memcpy(m_text, source, length * sizeof(WCHAR));
    }
    m_text[length] = 0;
    m_length = static_cast<int32_t>(length);
}

WideString::~WideString()
{
    kvor::Release(m_text);
}

void WideString::MakeEmpty()
{
    m_text[0] = 0;
    m_length = 0;
}

void WideString::Trim()
{
    TrimRight();
    TrimLeft();
}

void WideString::TrimRight()
{
    if (m_text == nullptr) {
        return;
    }
    const int32_t length = kvor::LengthWithoutTrailingWhiteSpace(m_text, m_length);
    if (length == 0) {
        MakeEmpty();
    } else if (length < m_length) {
        m_text[length] = 0;
        m_length = length;
    }
}

void WideString::TrimLeft()
{
    if (m_text == nullptr) {
        return;
    }
    const int32_t leading = kvor::LeadingWhiteSpace(m_text, m_length);
    if (leading == m_length) {
        MakeEmpty();
    } else if (leading > 0) {
        // The remaining characters and the NUL move to the front.
        std::memmove(m_text, m_text + leading, (m_length - leading + 1) * sizeof(WCHAR));
        m_length -= leading;
    }
}

uint32_t WideString::GetHashCode()
{
    if (m_text == nullptr) {
        return 0;
    }
    if (m_hash != 0) {
        return m_hash;
    }
    uint32_t hash = 0;
    for (int32_t i = 0; i < m_length; ++i) {
        hash = hash * 31u + static_cast<uint32_t>(m_text[i]);
    }
    m_hash = hash;
    return hash;
}

int32_t WideString::Equals(CObjectBase* other)
{
    if (other == nullptr || other->GetClassId() != KVOR_CLASS_WIDE_STRING) {
        return 0;
    }
    const WideString* string = static_cast<const WideString*>(other);
    if (m_text == nullptr || string->m_text == nullptr) {
        return 0;
    }
    return kvor::wcscmp(m_text, string->m_text) == 0 ? 1 : 0;
}
