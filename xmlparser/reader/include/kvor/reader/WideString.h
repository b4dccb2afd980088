// WideString: a heap copy of a token. The token readers copy a token without
// the white space around it; Trim and its halves make the same cut on a
// string that still has it.
#ifndef KVOR_WIDE_STRING_H
#define KVOR_WIDE_STRING_H

#include "kvor/dom/ObjectBase.h"
#include "kvor/platform/kvorPlatform.h"

class WideString : public CObjectBase {
public:
    explicit WideString(const WCHAR* source);
    // The first length characters of source, none of them NUL.
    WideString(const WCHAR* source, size_t length);
    ~WideString() override;
    WideString(const WideString&) = delete;
    WideString& operator=(const WideString&) = delete;

    void Trim();
    void TrimRight();
    void TrimLeft();
    // Never null: the empty string when the copy could not be allocated.
    const WCHAR* GetText() const { return m_text != nullptr ? m_text : &m_empty; }
    int32_t GetLength() const { return m_length; }

    uint32_t GetHashCode() override;
    int32_t Equals(CObjectBase* other) override;

private:
    void MakeEmpty();

    WCHAR* m_text;
    int32_t m_length;
    WCHAR m_empty;
};

#endif // KVOR_WIDE_STRING_H
