#include "XmlCursor.h"

#include "WhiteSpace.h"
#include "WideString.h"

namespace {

bool EndsName(WCHAR c)
{
    switch (c) {
    case KVOR_TEXT('='):
    case KVOR_TEXT('"'):
    case KVOR_TEXT('/'):
    case KVOR_TEXT('<'):
    case KVOR_TEXT('>'):
    case KVOR_TEXT('?'):
    case KVOR_TEXT('\''):
        return true;
    default:
        return kvor::IsWhiteSpace(c);
    }
}

// White space, "=", "/" and "?" belong to a value.
bool EndsValue(WCHAR c)
{
    return c == KVOR_TEXT('"') || c == KVOR_TEXT('<') || c == KVOR_TEXT('>') || c == KVOR_TEXT('\'');
}

} // namespace

WCHAR XmlCursor::NextNonSpace()
{
    while (m_position < m_length) {
        const WCHAR c = m_text[m_position++];
        if (!kvor::IsWhiteSpace(c)) {
            return c;
        }
    }
    return 0;
}

int32_t XmlCursor::ReadName(WCHAR* out, int32_t size)
{
    if (NextNonSpace() != 0) {
        --m_position; // stand on the first character of the name
    }
    return ReadToken(out, size, EndsName);
}

int32_t XmlCursor::ReadValue(WCHAR* out, int32_t size)
{
    return ReadToken(out, size, EndsValue);
}

int32_t XmlCursor::ReadToken(WCHAR* out, int32_t size, bool (*isTerminator)(WCHAR))
{
    WCHAR token[kTokenLimit];
    int32_t count = 0;
    bool giveBack = false;
    for (;;) {
        if (count == kTokenLimit) {
            giveBack = true; // the 260th character is the next token's
            break;
        }
        if (m_position >= m_length) {
            break;
        }
        const WCHAR c = m_text[m_position++];
        token[count++] = c;
        if (isTerminator(c)) {
            giveBack = true;
            break;
        }
    }
    if (giveBack) {
        --m_position;
        --count;
    }
    token[count] = 0;

    WideString trimmed(token);
    trimmed.Trim();
    if (out != nullptr) {
        StringCchCopyW(out, static_cast<size_t>(size), trimmed.GetText());
    }
    return trimmed.GetLength();
}
