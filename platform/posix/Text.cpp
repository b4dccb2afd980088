// Character classes and the ANSI code page of the posix back end.
#include <cstdlib>
#include <cstring>

#include "kvor/platform/kvorPlatform.h"

namespace {

constexpr UINT Windows1252 = 1252;
constexpr WCHAR Replacement = 0xFFFD;

bool IsWhiteSpace(WCHAR c)
{
    if (c <= 0x20) {
        return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    }
    if (c < 0x85) {
        return false;
    }
    switch (c) {
    case 0x0085: case 0x00A0: case 0x1680: case 0x2028: case 0x2029:
    case 0x202F: case 0x205F: case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

// The ANSI code page on Linux: KVOR_ACP, read at each call, UTF-8 unless "1252".
UINT AnsiCodePage()
{
    const char* value = std::getenv("KVOR_ACP");
    return (value != nullptr && std::strcmp(value, "1252") == 0) ? Windows1252 : CP_UTF8;
}

// 0x80..0x9F of Windows-1252; the five bytes it leaves undefined map to the
// control character of the same number, as Windows maps them.
const WCHAR g_1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Receives decoded characters; counts only when there is no target. The
// target has room for them all: the callers measure first.
template <bool Store>
class Sink {
public:
    explicit Sink(WCHAR* target) : m_target(target) {}

    void Put(WCHAR c)
    {
        if (Store) {
            m_target[m_count] = c;
        }
        ++m_count;
    }

    // A run of ASCII bytes, which stand for themselves.
    void PutAscii(const unsigned char* bytes, size_t length)
    {
        if (Store) {
            for (size_t i = 0; i < length; ++i) {
                m_target[m_count + i] = bytes[i];
            }
        }
        m_count += length;
    }

    size_t Count() const { return m_count; }

private:
    WCHAR* m_target;
    size_t m_count = 0;
};

template <bool Store>
void Decode1252(const unsigned char* source, size_t length, Sink<Store>& sink)
{
    for (size_t i = 0; i < length; ++i) {
        const unsigned char b = source[i];
        sink.Put((b >= 0x80 && b < 0xA0) ? g_1252High[b - 0x80] : static_cast<WCHAR>(b));
    }
}

// The sequence a lead byte starts: how many continuation bytes follow and
// the range the first of them must lie in (overlong forms, surrogates and
// values above U+10FFFF are excluded there).
struct LeadByte {
    unsigned char extra;
    unsigned char low;
    unsigned char high;
};

LeadByte Lead(unsigned char b)
{
    if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    return {0, 0, 0};
}

template <bool Store>
void PutCodePoint(uint32_t code, Sink<Store>& sink)
{
    if (code < 0x10000) {
        sink.Put(static_cast<WCHAR>(code));
        return;
    }
    code -= 0x10000;
    sink.Put(static_cast<WCHAR>(0xD800 + (code >> 10)));
    sink.Put(static_cast<WCHAR>(0xDC00 + (code & 0x3FF)));
}

// UTF-8; each maximal invalid subpart becomes one U+FFFD.
template <bool Store>
void DecodeUtf8(const unsigned char* source, size_t length, Sink<Store>& sink)
{
    size_t i = 0;
    while (i < length) {
        const unsigned char b = source[i];
        if (b < 0x80) {
            size_t end = i + 1;
            while (end < length && source[end] < 0x80) {
                ++end;
            }
            sink.PutAscii(source + i, end - i);
            i = end;
            continue;
        }
        const LeadByte lead = Lead(b);
        uint32_t code = b & (0x3F >> lead.extra);
        size_t taken = 1;
        bool complete = lead.extra != 0;
        for (unsigned k = 0; k < lead.extra; ++k, ++taken) {
            const unsigned char low = k == 0 ? lead.low : 0x80;
            const unsigned char high = k == 0 ? lead.high : 0xBF;
            if (i + taken >= length || source[i + taken] < low || source[i + taken] > high) {
                complete = false;
                break;
            }
            code = (code << 6) | (source[i + taken] & 0x3F);
        }
        i += taken;
        PutCodePoint(complete ? code : Replacement, sink);
    }
}

// No more characters than bytes, so the count fits.
template <bool Store>
int Convert(UINT codePage, const unsigned char* source, size_t length, WCHAR* target)
{
    Sink<Store> sink(target);
    if (codePage == Windows1252) {
        Decode1252(source, length, sink);
    } else {
        DecodeUtf8(source, length, sink);
    }
    return static_cast<int>(sink.Count());
}

} // namespace

namespace kvor {

int iswctype(WCHAR character, int mask)
{
    return (mask & SpaceClass) != 0 && IsWhiteSpace(character) ? SpaceClass : 0;
}

} // namespace kvor

int MultiByteToWideChar(UINT codePage, DWORD /*flags*/, LPCSTR source, int sourceBytes, LPWSTR target,
                        int targetChars)
{
    if (codePage == CP_ACP) {
        codePage = AnsiCodePage();
    }
    const size_t length = sourceBytes > 0 ? static_cast<size_t>(sourceBytes) : 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(source);
    return targetChars == 0 ? Convert<false>(codePage, bytes, length, nullptr)
                            : Convert<true>(codePage, bytes, length, target);
}
