#include "TextCodec.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kvorxml {
namespace {

const char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(WString& out, char32_t c)
{
    if (c < 0x10000) {
        out += static_cast<WCHAR>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<WCHAR>(0xD800 + (c >> 10));
    out += static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
}

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One UTF-8 sequence starting at text[i]; i moves past it. Overlong forms,
// surrogates and truncated sequences give U+FFFD and consume one byte.
char32_t NextUtf8(const std::string& text, size_t& i)
{
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 1) {
        ++i;
        return lead;
    }
    if (length == 0 || i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    char32_t c = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
    }
    static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return c;
}

// Windows-1252 at 0x80..0x9F; the rest of the page is Latin-1. Unassigned
// bytes map to themselves, as the system's converter does.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool AnsiIsCp1252()
{
    const char* acp = std::getenv("KVOR_ACP");
    return acp != nullptr && std::strcmp(acp, "1252") == 0;
}

} // namespace

std::string ToUtf8(const WCHAR* text)
{
    std::string out;
    if (text == nullptr) {
        return out;
    }
    for (size_t i = 0; text[i] != 0; ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (IsHigh(c) && IsLow(static_cast<char16_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string ToUtf8(const WString& text) { return ToUtf8(text.c_str()); }

WString FromUtf8(const std::string& text)
{
    WString out;
    for (size_t i = 0; i < text.size();) {
        AppendUtf16(out, NextUtf8(text, i));
    }
    return out;
}

WString DecodeDocument(const std::vector<unsigned char>& bytes)
{
    WString out;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            out += static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8));
        }
        return out;
    }
    if (AnsiIsCp1252()) {
        for (unsigned char byte : bytes) {
            out += static_cast<WCHAR>(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte);
        }
        return out;
    }
    return FromUtf8(std::string(bytes.begin(), bytes.end()));
}

bool ReadFileBytes(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

} // namespace kvorxml
