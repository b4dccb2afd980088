// The kernel debugger output on Linux: KVOR_DEBUG_OUTPUT names where lines
// go. Each line is formatted and converted on the stack and leaves in one
// write, so that lines of concurrent writers stay whole.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "PosixSupport.h"
#include "SystemCalls.h"

namespace sys = kvor::posix::sys;

namespace {

constexpr size_t LineCharacters = 4096;

void Emit(const char* target, const char* bytes, size_t length)
{
    if (std::strcmp(target, "stderr") == 0) {
        kvor::posix::WriteAll(STDERR_FILENO, bytes, length);
        return;
    }
    const int descriptor = sys::Open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        return;
    }
    kvor::posix::WriteAll(descriptor, bytes, length);
    close(descriptor);
}

} // namespace

void NKDbgPrintfW(LPCWSTR format, ...)
{
    const char* target = std::getenv("KVOR_DEBUG_OUTPUT");
    if (target == nullptr || target[0] == 0) {
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
    const size_t count = kvor::posix::EncodeUtf8(line, length, bytes);
    Emit(target, bytes, count);
    errno = savedErrno;
}
