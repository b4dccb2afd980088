// Files and folders of the posix back end: Win32 semantics over open/read/
// write/lseek/fsync/unlink/mkdir/stat, with Win32 error codes. Files are
// opened as the library opens them: OPEN_ALWAYS or CREATE_ALWAYS.
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "PosixSupport.h"
#include "SystemCalls.h"

namespace sys = kvor::posix::sys;

namespace {

using kvor::posix::KernelObject;

class FileObject : public KernelObject {
public:

    explicit FileObject(int descriptor) : m_descriptor(descriptor) {}
    ~FileObject() override { close(m_descriptor); }
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    int Descriptor() const { return m_descriptor; }

private:
    int m_descriptor;
};

void FailWith(DWORD code)
{
    SetLastError(code);
}

void FailWithErrno(int error)
{
    SetLastError(kvor::posix::Win32ErrorFromErrno(error));
}

// The library hands these calls only the files it opened.
FileObject* AsFile(HANDLE handle)
{
    return static_cast<FileObject*>(static_cast<KernelObject*>(handle));
}

// The device path as a Linux path; false when it cannot be built.
bool ToNative(LPCWSTR path, std::string& native)
{
    try {
        native = kvor::posix::NativePath(path);
    } catch (const std::bad_alloc&) {
        FailWith(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (native.empty()) {
        FailWith(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return true;
}

bool IsFolder(const char* path)
{
    struct stat info;
    return sys::PathStatus(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// ENOENT means "file not found" when the folder holding it exists and
// "path not found" when it does not, as Win32 tells the two apart. The
// folder is looked at by cutting path in place: a copy could be refused.
DWORD MissingError(std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ERROR_FILE_NOT_FOUND;
    }
    const size_t end = slash == 0 ? 1 : slash;
    const char kept = path[end];
    path[end] = '\0';
    const bool folderExists = IsFolder(path.c_str());
    path[end] = kept;
    return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

void FailOpen(int error, std::string& path)
{
    if (error == ENOENT) {
        FailWith(MissingError(path));
    } else {
        FailWithErrno(error);
    }
}

int AccessFlags(DWORD access)
{
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    if (read && write) {
        return O_RDWR;
    }
    return write ? O_WRONLY : O_RDONLY;
}

struct Opened {
    int descriptor;
    bool existed;
};

// OPEN_ALWAYS and CREATE_ALWAYS: create it new, else open what is there;
// retried in case another process removes it in between. existed tells
// whether the file was already there. What is there is opened without
// waiting, so that a FIFO without a writer cannot hold the caller.
Opened OpenAlways(const std::string& path, int flags, DWORD disposition)
{
    const int existing = (disposition == CREATE_ALWAYS ? flags | O_TRUNC : flags) | O_NONBLOCK;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int created = sys::Open(path.c_str(), flags | O_CREAT | O_EXCL, 0644);
        if (created >= 0 || errno != EEXIST) {
            return {created, false};
        }
        const int opened = sys::Open(path.c_str(), existing);
        if (opened >= 0 || errno != ENOENT) {
            return {opened, true};
        }
    }
    return {-1, false};
}

// Only plain files are files here, as on the device: a folder, a FIFO or
// a device node is refused. The file then reads and writes waiting again.
bool RejectAllButFiles(int descriptor)
{
    struct stat info;
    const bool known = sys::FileStatus(descriptor, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        const int error = errno;
        close(descriptor);
        if (known) {
            FailWith(ERROR_ACCESS_DENIED);
        } else {
            FailWithErrno(error);
        }
        return true;
    }
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return false;
}

} // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD /*share*/, LPSECURITY_ATTRIBUTES /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/)
{
    std::string native;
    if (!ToNative(path, native)) {
        return INVALID_HANDLE_VALUE;
    }
    const Opened opened = OpenAlways(native, AccessFlags(access) | O_CLOEXEC, disposition);
    if (opened.descriptor < 0) {
        FailOpen(errno, native);
        return INVALID_HANDLE_VALUE;
    }
    if (RejectAllButFiles(opened.descriptor)) {
        return INVALID_HANDLE_VALUE;
    }
    FileObject* file = new (std::nothrow) FileObject(opened.descriptor);
    if (file == nullptr) {
        close(opened.descriptor);
        FailWith(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(opened.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return static_cast<KernelObject*>(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED /*overlapped*/)
{
    *read = 0;
    FileObject* file = AsFile(handle);
    // Like Win32, one call reads what is there up to toRead; short only at
    // the end of the file.
    DWORD total = 0;
    while (total < toRead) {
        const ssize_t got = sys::Read(file->Descriptor(), static_cast<char*>(buffer) + total, toRead - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            FailWithErrno(errno);
            return FALSE;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<DWORD>(got);
    }
    *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED /*overlapped*/)
{
    FileObject* file = AsFile(handle);
    DWORD total = 0;
    while (total < toWrite) {
        const ssize_t put =
            sys::Write(file->Descriptor(), static_cast<const char*>(buffer) + total, toWrite - total);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            FailWithErrno(put < 0 ? errno : ENOSPC);
            *written = total;
            return FALSE;
        }
        total += static_cast<DWORD>(put);
    }
    *written = total;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD /*sizeHigh*/)
{
    struct stat info;
    if (sys::FileStatus(AsFile(handle)->Descriptor(), &info) != 0) {
        FailWithErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    // Win32 clears the last error here, since INVALID_FILE_SIZE is also a size.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

// Moves by a 32-bit distance from the end, where the library appends.
DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* /*distanceHigh*/, DWORD /*method*/)
{
    const off_t position = sys::Seek(AsFile(handle)->Descriptor(), static_cast<off_t>(distance), SEEK_END);
    if (position < 0 || static_cast<uint64_t>(position) >= INVALID_SET_FILE_POINTER) {
        FailWithErrno(position < 0 ? errno : EFBIG);
        return INVALID_SET_FILE_POINTER;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL FlushFileBuffers(HANDLE handle)
{
    if (sys::Sync(AsFile(handle)->Descriptor()) != 0) {
        FailWithErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    delete static_cast<KernelObject*>(object);
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path)
{
    std::string native;
    if (!ToNative(path, native)) {
        return FALSE;
    }
    if (IsFolder(native.c_str())) {
        FailWith(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (sys::Unlink(native.c_str()) != 0) {
        FailOpen(errno, native);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES /*security*/)
{
    std::string native;
    if (!ToNative(path, native)) {
        return FALSE;
    }
    while (native.size() > 1 && native.back() == '/') {
        native.pop_back();
    }
    if (sys::MakeFolder(native.c_str(), 0755) != 0) {
        // A missing parent is "path not found" for a folder being made.
        FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : kvor::posix::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    std::string native;
    if (!ToNative(path, native)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat info;
    if (sys::PathStatus(native.c_str(), &info) != 0) {
        FailOpen(errno, native);
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}
