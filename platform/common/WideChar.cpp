// The wide C-library string functions with their Windows meaning for 16-bit
// text: Linux's own wchar_t functions work on 32-bit characters.
#include <climits>

#include "kvor/platform/kvorPlatform.h"

namespace {

WCHAR FoldAscii(WCHAR c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + (u'a' - u'A')) : c;
}

int Sign(int difference)
{
    return (difference > 0) - (difference < 0);
}

bool IsDelimiter(WCHAR c, const WCHAR* delimiters)
{
    for (const WCHAR* d = delimiters; *d != 0; ++d) {
        if (*d == c) {
            return true;
        }
    }
    return false;
}

// Copies source behind target[start], cut to fit size; always terminates.
HRESULT CopyCut(LPWSTR target, size_t size, size_t start, LPCWSTR source)
{
    size_t at = start;
    if (source != nullptr) {
        while (at + 1 < size && *source != 0) {
            target[at++] = *source++;
        }
    }
    target[at] = 0;
    return (source != nullptr && *source != 0) ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

} // namespace

HRESULT StringCchCopyW(LPWSTR target, size_t size, LPCWSTR source)
{
    return CopyCut(target, size, 0, source);
}

HRESULT StringCchCatW(LPWSTR target, size_t size, LPCWSTR source)
{
    return CopyCut(target, size, kvor::wcslen(target), source);
}

namespace kvor {

size_t wcslen(const WCHAR* text)
{
    const WCHAR* end = text;
    while (*end != 0) {
        ++end;
    }
    return static_cast<size_t>(end - text);
}

int wcscmp(const WCHAR* left, const WCHAR* right)
{
    while (*left != 0 && *left == *right) {
        ++left;
        ++right;
    }
    return Sign(static_cast<int>(*left) - static_cast<int>(*right));
}

int _wcsicmp(const WCHAR* left, const WCHAR* right)
{
    WCHAR l;
    WCHAR r;
    do {
        l = FoldAscii(*left++);
        r = FoldAscii(*right++);
    } while (l != 0 && l == r);
    return Sign(static_cast<int>(l) - static_cast<int>(r));
}

WCHAR* wcstok(WCHAR* text, const WCHAR* delimiters, WCHAR** context)
{
    WCHAR* at = text != nullptr ? text : *context;
    while (*at != 0 && IsDelimiter(*at, delimiters)) {
        ++at;
    }
    if (*at == 0) {
        *context = at;
        return nullptr;
    }
    WCHAR* token = at;
    while (*at != 0 && !IsDelimiter(*at, delimiters)) {
        ++at;
    }
    if (*at != 0) {
        *at++ = 0;
    }
    *context = at;
    return token;
}

long _wtol(const WCHAR* text)
{
    while (*text != 0 && iswctype(*text, SpaceClass)) {
        ++text;
    }
    const bool negative = *text == u'-';
    if (*text == u'-' || *text == u'+') {
        ++text;
    }
    // Accumulate in a wider type and stop growing once past the 32-bit range.
    const long long limit = negative ? -static_cast<long long>(INT32_MIN) : INT32_MAX;
    long long value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        if (value <= limit) {
            value = value * 10 + (*text - u'0');
        }
    }
    if (value > limit) {
        value = limit;
    }
    return static_cast<long>(negative ? -value : value);
}

WCHAR* _itow(int value, WCHAR* buffer, int radix)
{
    if (radix < 2 || radix > 36) {
        buffer[0] = 0;
        return buffer;
    }
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const bool negative = radix == 10 && value < 0;
    // Other radixes show the 32-bit pattern, as Windows does.
    uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    WCHAR reversed[32];
    size_t count = 0;
    do {
        reversed[count++] = static_cast<WCHAR>(digits[magnitude % static_cast<uint32_t>(radix)]);
        magnitude /= static_cast<uint32_t>(radix);
    } while (magnitude != 0);
    WCHAR* out = buffer;
    if (negative) {
        *out++ = u'-';
    }
    while (count > 0) {
        *out++ = reversed[--count];
    }
    *out = 0;
    return buffer;
}

} // namespace kvor
