// The Win32 subset the library calls, on Windows: the system's own
// declarations. WCHAR is wchar_t here, as the public header says.
#ifndef KVOR_WIN32_API_H
#define KVOR_WIN32_API_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winreg.h>
#include <winver.h>

#include "kvorXMLParser.h"

// On the device the registry's access mask is not used and the library
// passes 0; the desktop registry would hand out a key that can neither read
// nor write. These open and create with the access the library needs.
// The device's registry calls also leave their result as the thread's last
// error, which the library reports after a failure; the desktop's do not,
// so these calls set it.
LSTATUS KvorRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS KvorRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS KvorRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LSTATUS KvorRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LSTATUS KvorRegDeleteValueW(HKEY key, LPCWSTR name);
LSTATUS KvorRegDeleteTreeW(HKEY key, LPCWSTR subKey);
LSTATUS KvorRegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                          LPWSTR className, LPDWORD classChars, PFILETIME lastWrite);
LSTATUS KvorRegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type,
                          LPBYTE data, LPDWORD dataSize);
// A key the process created keeps other processes from opening keys until
// it is closed, so that they never find it half filled.
LSTATUS KvorRegCloseKey(HKEY key);
#undef RegOpenKeyExW
#undef RegCreateKeyExW
#undef RegQueryValueExW
#undef RegSetValueExW
#undef RegDeleteValueW
#undef RegDeleteTreeW
#undef RegEnumKeyExW
#undef RegEnumValueW
#undef RegCloseKey
#define RegOpenKeyExW KvorRegOpenKeyExW
#define RegCreateKeyExW KvorRegCreateKeyExW
#define RegQueryValueExW KvorRegQueryValueExW
#define RegSetValueExW KvorRegSetValueExW
#define RegDeleteValueW KvorRegDeleteValueW
#define RegDeleteTreeW KvorRegDeleteTreeW
#define RegEnumKeyExW KvorRegEnumKeyExW
#define RegEnumValueW KvorRegEnumValueW
#define RegCloseKey KvorRegCloseKey

// kvorPlatform.h names the results of the bounded string functions itself,
// with the same values the system headers use.
#undef S_OK

namespace kvor {
// True only while the process has a single thread, so that a lock over
// this process's own memory can be skipped; false where the system cannot
// tell. Inline: the heap and the events ask on every call.
inline bool ProcessIsSingleThreaded()
{
    return false;
}
// False: thread-local variables are emulated by the compiler's run-time
// here, each read is a call, and when a thread ends the storage of one may
// be gone before the teardown of another has run.
constexpr bool ThreadsKeepHeapBlocks()
{
    return false;
}
} // namespace kvor

#endif // KVOR_WIN32_API_H
