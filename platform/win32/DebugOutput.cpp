// Kernel debugger output on Windows: the line goes to the attached
// debugger through OutputDebugStringW.
#include "kvor/platform/kvorPlatform.h"

namespace {
// The longest line written whole; longer ones are cut.
constexpr size_t LineCharacters = 4096;
} // namespace

void NKDbgPrintfW(LPCWSTR format, ...)
{
    // A caller may log right after a failing call and then read its error.
    const DWORD savedError = GetLastError();
    WCHAR line[LineCharacters];
    va_list arguments;
    va_start(arguments, format);
    const int full = kvor::_vsnwprintf(line, LineCharacters, format, arguments);
    va_end(arguments);
    const size_t length = kvor::wcslen(line);
    if (full > 0 && static_cast<size_t>(full) > length) {
        // A cut line still ends its line, so that the next one starts fresh.
        line[length - 1] = L'\n';
    }
    OutputDebugStringW(line);
    SetLastError(savedError);
}
