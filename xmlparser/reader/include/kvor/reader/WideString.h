// WideString: a heap copy of a token, as the token readers trimmed it.
#ifndef KVOR_WIDE_STRING_H
#define KVOR_WIDE_STRING_H

#include "kvor/dom/ObjectBase.h"
#include "kvor/platform/kvorPlatform.h"

class WideString : public CObjectBase {
public:
    // The first length characters of source, none of them NUL.
    WideString(const WCHAR* source, size_t length);
    ~WideString() override;
    WideString(const WideString&) = delete;
    WideString& operator=(const WideString&) = delete;

    // Never null: the empty string when the copy could not be allocated.
    const WCHAR* GetText() const { return m_text != nullptr ? m_text : &m_empty; }
    int32_t GetLength() const { return m_length; }

private:
    WCHAR* m_text;
    int32_t m_length;
    WCHAR m_empty;
};

#endif // KVOR_WIDE_STRING_H
