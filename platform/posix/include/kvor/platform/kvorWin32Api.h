// The Win32 subset that the library and its client call, as the posix back
// end provides it: the contract of both back ends (on Windows the system's
// own declarations stand for it). Each call keeps the device's meaning for
// the arguments the library passes; where a call is narrower than on the
// device, its comment says so, and other arguments are not checked for.
// Types, constants and error codes keep their Win32 values, so the core
// reads the same on every target.
#ifndef KVOR_WIN32_API_H
#define KVOR_WIN32_API_H

#include <cstdint>
#include <pthread.h>
#include <sys/single_threaded.h>

#include "kvorXMLParser.h"

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t HRESULT;
typedef void* HANDLE;
typedef void* HMODULE;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef BYTE* LPBYTE;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const char* LPCSTR;
typedef void* LPSECURITY_ATTRIBUTES;
typedef void* LPOVERLAPPED;
typedef DWORD REGSAM;
typedef struct KvorRegistryKey* HKEY;
typedef HKEY* PHKEY;
typedef LONG LSTATUS;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)0xFFFFFFFF)
#define INVALID_FILE_ATTRIBUTES ((DWORD)0xFFFFFFFF)

// Files
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1u
#define FILE_SHARE_WRITE 0x2u
#define CREATE_ALWAYS 2u
#define OPEN_ALWAYS 4u
#define FILE_ATTRIBUTE_DIRECTORY 0x10u
#define FILE_ATTRIBUTE_NORMAL 0x80u
#define FILE_END 2u

// Synchronisation
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x0u

// Code pages
#define CP_ACP 0u
#define CP_UTF8 65001u

// System messages
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x200u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x1000u

// Error codes (GetLastError)
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L

// Registry
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_DWORD 4u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
typedef FILETIME* PFILETIME;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// A recursive mutex, as Win32 critical sections are.
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

#define HIWORD(l) ((WORD)(((DWORD)(l) >> 16) & 0xFFFF))
#define LOWORD(l) ((WORD)((DWORD)(l) & 0xFFFF))

// Errors
DWORD GetLastError();
void SetLastError(DWORD code);

// Files and folders. CreateFileW opens OPEN_ALWAYS or CREATE_ALWAYS; share
// modes have no effect. Handles are those these calls made, never null or
// INVALID_HANDLE_VALUE; ReadFile and WriteFile are given where to count.
// GetFileSize has no high part. SetFilePointer moves by a 32-bit distance
// from FILE_END (no high part). GetFileAttributesW tells a folder
// (FILE_ATTRIBUTE_DIRECTORY) from a file (FILE_ATTRIBUTE_NORMAL). CloseHandle
// closes files and events.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE object);
BOOL DeleteFileW(LPCWSTR path);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
DWORD GetFileAttributesW(LPCWSTR path);

// Text: CP_ACP (KVOR_ACP: UTF-8 or 1252) and CP_UTF8, from a count of
// bytes (no -1; none gives 0). With targetChars 0 it measures; a target
// has room for what the measuring call gave.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes, LPWSTR target,
                        int targetChars);

// Synchronisation. Events are auto-reset (an unnamed one, used as a lock),
// waited for INFINITE and set with EventModify (kvorPlatform.h); the other
// kinds, time-outs and actions are not there. Critical sections are
// recursive.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);

// Process and system information. FormatMessageW: FORMAT_MESSAGE_FROM_SYSTEM.
// Buffers are given with room for at least one character.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
DWORD GetTickCount();
void GetLocalTime(SYSTEMTIME* time);
DWORD GetCurrentThreadId();
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, void* arguments);

// Registry, below HKEY_LOCAL_MACHINE. Values are written as REG_DWORD or
// REG_SZ. RegDeleteTreeW deletes subKey with all its values and subkeys
// (without subKey, what key holds), as the device's RegDeleteKey does.
// Subkeys and values are enumerated in the order of their names; keys
// have neither class nor time of last write. Keys are HKEY_LOCAL_MACHINE
// or ones these calls handed out.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                        REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataSize);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);
LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey);
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPWSTR className,
                      LPDWORD classChars, PFILETIME lastWrite);
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);

// Executable version: the root block (the fixed file information) only,
// into a block of the size GetFileVersionInfoSizeW gave; every pointer is
// given.
DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

namespace kvor {
// True only while the process has a single thread, so that a lock over
// this process's own memory can be skipped; false where the system cannot
// tell. Inline: the heap and the events ask on every call.
inline bool ProcessIsSingleThreaded()
{
    return __libc_single_threaded != 0;
}
// True where each thread may keep free heap blocks of its own: thread-local
// variables are the system's, read by a load and torn down in order when
// their thread ends.
constexpr bool ThreadsKeepHeapBlocks()
{
    return true;
}
} // namespace kvor

#endif // KVOR_WIN32_API_H
