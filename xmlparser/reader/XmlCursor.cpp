#include "kvor/reader/XmlCursor.h"

#include <cstring>

#include "kvor/reader/WideString.h"

namespace {

// The ASCII characters below 64 that end a token, one bit each, and NUL,
// which ends the token's text (as the end of a C string) but not the read.
constexpr uint64_t Bit(unsigned c)
{
    return uint64_t{1} << c;
}
constexpr uint64_t kValueEnds = Bit(0) | Bit('"') | Bit('\'') | Bit('<') | Bit('>');
constexpr uint64_t kNameEnds = kValueEnds | Bit('=') | Bit('/') | Bit('?') | Bit(' ') | Bit('\t') |
                               Bit('\n') | Bit('\v') | Bit('\f') | Bit('\r');

// NUL, white space, "=", the quotes, "/", "<", ">" and "?".
struct StopsName {
    bool operator()(WCHAR c) const
    {
        if (c < 64) {
            return ((kNameEnds >> c) & 1) != 0;
        }
        return c >= 0x80 && kvor::IsWhiteSpace(c);
    }
};

// NUL, the quotes, "<" and ">"; white space, "=", "/" and "?" belong to a value.
struct StopsValue {
    bool operator()(WCHAR c) const { return c < 64 && ((kValueEnds >> c) & 1) != 0; }
};

} // namespace

int32_t XmlCursor::ReadName(WCHAR* out, int32_t size)
{
    if (NextNonSpace() != 0) {
        --m_position; // stand on the first character of the name
    }
    return ReadToken(out, size, StopsName());
}

int32_t XmlCursor::ReadValue(WCHAR* out, int32_t size)
{
    return ReadToken(out, size, StopsValue());
}

template <typename Stop>
int32_t XmlCursor::ReadToken(WCHAR* out, int32_t size, Stop stops)
{
    // Up to 260 characters are looked at. The one that ends the token - a
    // terminator, or the 260th - is given back: it stays ahead of the cursor.
    // The token's text ends at its first NUL, if it holds one.
    const WCHAR* const start = m_text + m_position;
    const int32_t available = m_length - m_position;
    const int32_t limit = available < kTokenLimit ? available : kTokenLimit;
    int32_t count = 0;
    int32_t firstNul = -1;
    for (; count < limit; ++count) {
        const WCHAR c = start[count];
        if (stops(c)) {
            if (c != 0) {
                break;
            }
            if (firstNul < 0) {
                firstNul = count;
            }
        }
    }
    m_tokenCut = count == kTokenLimit;
    if (m_tokenCut) {
        --count;
    }
    m_position += count;

    // The token's copy holds its text without the white space around it.
    const int32_t textLength = firstNul >= 0 && firstNul < count ? firstNul : count;
    const int32_t end = kvor::LengthWithoutTrailingWhiteSpace(start, textLength);
    const int32_t first = kvor::LeadingWhiteSpace(start, end);
    WideString token(start + first, static_cast<size_t>(end - first));
    if (out != nullptr) {
        CopyOut(out, size, token.GetText(), token.GetLength());
    }
    return token.GetLength();
}

// What StringCchCopyW makes of it: cut to size - 1 characters, terminated.
void XmlCursor::CopyOut(WCHAR* out, int32_t size, const WCHAR* text, int32_t length)
{
    if (size <= 0 || size > kTokenLimit) {
        StringCchCopyW(out, static_cast<size_t>(size), text);
        return;
    }
    const int32_t kept = length < size - 1 ? length : size - 1;
    std::memcpy(out, text, static_cast<size_t>(kept) * sizeof(WCHAR));
    out[kept] = 0;
}
