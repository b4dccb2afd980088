#include "kvor/reader/WideString.h"

#include <cstring>

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
