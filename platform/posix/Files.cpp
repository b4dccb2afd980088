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
    static const Kind kKind = Kind::File;

    explicit FileObject(int descriptor) : KernelObject(kKind), m_descriptor(descriptor) {}
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

FileObject* AsFile(HANDLE handle)
{
    FileObject* file = KernelObject::FromHandle<FileObject>(handle);
    if (file == nullptr) {
        FailWith(ERROR_INVALID_HANDLE);
    }
    return file;
}

// The device path as a Linux path; "" when it is null or cannot be built.
bool ToNative(LPCWSTR path, std::string& native)
{
    if (path == nullptr) {
        FailWith(ERROR_INVALID_PARAMETER);
        return false;
    }
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
    if (disposition != OPEN_ALWAYS && disposition != CREATE_ALWAYS) {
        FailWith(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
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
    if (read != nullptr) {
        *read = 0;
    }
    FileObject* file = AsFile(handle);
    if (file == nullptr) {
        return FALSE;
    }
    if (buffer == nullptr && toRead > 0) {
        FailWith(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
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
    if (read != nullptr) {
        *read = total;
    }
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED /*overlapped*/)
{
    if (written != nullptr) {
        *written = 0;
    }
    FileObject* file = AsFile(handle);
    if (file == nullptr) {
        return FALSE;
    }
    if (buffer == nullptr && toWrite > 0) {
        FailWith(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD total = 0;
    while (total < toWrite) {
        const ssize_t put =
            sys::Write(file->Descriptor(), static_cast<const char*>(buffer) + total, toWrite - total);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            FailWithErrno(put < 0 ? errno : ENOSPC);
            if (written != nullptr) {
                *written = total;
            }
            return FALSE;
        }
        total += static_cast<DWORD>(put);
    }
    if (written != nullptr) {
        *written = total;
    }
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh)
{
    FileObject* file = AsFile(handle);
    struct stat info;
    if (file == nullptr) {
        return INVALID_FILE_SIZE;
    }
    if (sys::FileStatus(file->Descriptor(), &info) != 0) {
        FailWithErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    if (sizeHigh != nullptr) {
        *sizeHigh = static_cast<DWORD>(size >> 32);
    }
    // Win32 clears the last error here, since INVALID_FILE_SIZE is also a size.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

// Moves by a 32-bit distance; the library only goes to the end.
DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method)
{
    FileObject* file = AsFile(handle);
    if (file == nullptr) {
        return INVALID_SET_FILE_POINTER;
    }
    const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    if (distanceHigh != nullptr || method > FILE_END) {
        FailWith(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    const off_t position = sys::Seek(file->Descriptor(), static_cast<off_t>(distance), whence);
    if (position < 0 || static_cast<uint64_t>(position) >= INVALID_SET_FILE_POINTER) {
        FailWithErrno(position < 0 ? errno : EFBIG);
        return INVALID_SET_FILE_POINTER;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL FlushFileBuffers(HANDLE handle)
{
    FileObject* file = AsFile(handle);
    if (file == nullptr) {
        return FALSE;
    }
    if (sys::Sync(file->Descriptor()) != 0) {
        FailWithErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE object)
{
    if (object == nullptr || object == INVALID_HANDLE_VALUE) {
        FailWith(ERROR_INVALID_HANDLE);
        return FALSE;
    }
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
    if (S_ISDIR(info.st_mode)) {
        return FILE_ATTRIBUTE_DIRECTORY;
    }
    return access(native.c_str(), W_OK) == 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}
