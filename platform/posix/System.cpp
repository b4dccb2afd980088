// Process and system information of the posix back end.
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

#include "PosixSupport.h"
#include "SystemCalls.h"

namespace sys = kvor::posix::sys;

namespace {

// strerror_r comes in two shapes (XSI returns int, GNU returns the text).
[[maybe_unused]] const char* ErrorText(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char* ErrorText(const char* result, const char*)
{
    return result;
}

// Copies text into buffer cut to size - 1 characters and terminated;
// returns how many characters were copied.
DWORD CopyCut(const WCHAR* text, size_t length, LPWSTR buffer, DWORD size)
{
    const size_t copied = length < size ? length : size - 1;
    for (size_t i = 0; i < copied; ++i) {
        buffer[i] = text[i];
    }
    buffer[copied] = 0;
    return static_cast<DWORD>(copied);
}

} // namespace

DWORD GetTickCount()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(milliseconds);
}

void GetLocalTime(SYSTEMTIME* time)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    // A leap second reads as the last ordinary one, as Win32 never shows 60.
    time->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000L);
}

DWORD GetCurrentThreadId()
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}

// The executable's path with backslashes, as the device names its files.
DWORD GetModuleFileNameW(HMODULE /*module*/, LPWSTR buffer, DWORD size)
{
    char path[PATH_MAX];
    const ssize_t bytes = sys::ReadLink("/proc/self/exe", path, sizeof(path));
    if (bytes <= 0 || static_cast<size_t>(bytes) >= sizeof(path)) {
        SetLastError(bytes <= 0 ? kvor::posix::Win32ErrorFromErrno(errno) : ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    WCHAR wide[PATH_MAX];
    const int length = MultiByteToWideChar(CP_UTF8, 0, path, static_cast<int>(bytes), wide, PATH_MAX);
    for (int i = 0; i < length; ++i) {
        if (wide[i] == u'/') {
            wide[i] = u'\\';
        }
    }
    const DWORD copied = CopyCut(wide, static_cast<size_t>(length), buffer, size);
    if (copied < static_cast<DWORD>(length)) {
        // As Win32: the cut name fills the buffer and the result is its size.
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return copied;
}

// The C library's text for the errno the Win32 code stands for.
DWORD FormatMessageW(DWORD /*flags*/, LPCVOID /*source*/, DWORD messageId, DWORD /*languageId*/, LPWSTR buffer,
                     DWORD size, void* /*arguments*/)
{
    const int error = kvor::posix::ErrnoFromWin32Error(messageId);
    if (error == 0 && messageId != ERROR_SUCCESS) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    char storage[256];
    const char* text = ErrorText(strerror_r(error, storage, sizeof(storage)), storage);
    if (text == nullptr) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    WCHAR wide[256];
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(std::strlen(text)), wide, 256);
    return CopyCut(wide, static_cast<size_t>(length), buffer, size);
}
