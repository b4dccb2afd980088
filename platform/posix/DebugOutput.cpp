// The kernel debugger output on Linux: KVOR_DEBUG_OUTPUT names where lines
// go. Each line is formatted and converted on the stack and leaves in one
// write, so that lines of concurrent writers stay whole.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "kvor/platform/kvorPlatform.h"

namespace {

constexpr size_t LineCharacters = 4096;

// UTF-16 to UTF-8 into out (room for 3 bytes per unit); unpaired surrogates
// become U+FFFD. Returns the byte count.
size_t EncodeUtf8(const WCHAR* text, size_t length, char* out)
{
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out[at++] = static_cast<char>(code);
        } else if (code < 0x800) {
            out[at++] = static_cast<char>(0xC0 | (code >> 6));
            out[at++] = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out[at++] = static_cast<char>(0xE0 | (code >> 12));
            out[at++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out[at++] = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out[at++] = static_cast<char>(0xF0 | (code >> 18));
            out[at++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out[at++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out[at++] = static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return at;
}

void WriteWhole(int descriptor, const char* bytes, size_t length)
{
    while (length > 0) {
        const ssize_t put = write(descriptor, bytes, length);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return;
        }
        bytes += put;
        length -= static_cast<size_t>(put);
    }
}

void Emit(const char* target, const char* bytes, size_t length)
{
    if (std::strcmp(target, "stderr") == 0) {
        WriteWhole(STDERR_FILENO, bytes, length);
        return;
    }
    const int descriptor = open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return;
    }
    WriteWhole(descriptor, bytes, length);
    close(descriptor);
}

} // namespace

void NKDbgPrintfW(LPCWSTR format, ...)
{
    const char* target = std::getenv("KVOR_DEBUG_OUTPUT");
    if (format == nullptr || target == nullptr || target[0] == 0) {
        return; // no debugger attached
    }
    const int savedErrno = errno;
    WCHAR line[LineCharacters];
    va_list arguments;
    va_start(arguments, format);
    const int full = kvor::_vsnwprintf(line, LineCharacters, format, arguments);
    va_end(arguments);
    size_t length = kvor::wcslen(line);
    if (full > 0 && static_cast<size_t>(full) > length) {
        // A cut line still ends its line, so that the next one starts fresh.
        line[length - 1] = u'\n';
    }
    char bytes[LineCharacters * 3];
    const size_t count = EncodeUtf8(line, length, bytes);
    Emit(target, bytes, count);
    errno = savedErrno;
}
