// The thread's last error and the translation between errno and Win32 codes.
#include <cerrno>

#include "PosixSupport.h"

namespace {
thread_local DWORD t_lastError = 0;

// ERROR_GEN_FAILURE: what Win32 reports for an I/O fault without a closer code.
constexpr DWORD GeneralFailure = 31;

struct ErrorPair {
    int error;
    DWORD code;
};

// errno to Win32; the first entry for an errno wins in both directions.
constexpr ErrorPair g_pairs[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EROFS, ERROR_WRITE_PROTECT},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {ENOBUFS, ERROR_INSUFFICIENT_BUFFER},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ELOOP, ERROR_INVALID_NAME},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {EILSEQ, ERROR_NO_UNICODE_TRANSLATION},
    {EIO, GeneralFailure},
};

// Win32 codes that share an errno with another code above.
constexpr ErrorPair g_extraCodes[] = {
    {ENOENT, ERROR_PATH_NOT_FOUND},
    {EEXIST, ERROR_FILE_EXISTS},
};
} // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD code)
{
    t_lastError = code;
}

namespace kvor {
namespace posix {

DWORD Win32ErrorFromErrno(int error)
{
    for (const ErrorPair& pair : g_pairs) {
        if (pair.error == error) {
            return pair.code;
        }
    }
    return GeneralFailure;
}

int ErrnoFromWin32Error(DWORD code)
{
    for (const ErrorPair& pair : g_extraCodes) {
        if (pair.code == code) {
            return pair.error;
        }
    }
    for (const ErrorPair& pair : g_pairs) {
        if (pair.code == code) {
            return pair.error;
        }
    }
    return 0;
}

} // namespace posix
} // namespace kvor
