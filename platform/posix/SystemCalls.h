// The system calls of the posix back end whose failures the library
// handles, behind the seam a test can arm (kvor/platform/SystemCallFaults.h).
// Disarmed, each costs one relaxed atomic load before the real call.
#ifndef KVOR_POSIX_SYSTEM_CALLS_H
#define KVOR_POSIX_SYSTEM_CALLS_H

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kvor/platform/SystemCallFaults.h"

namespace kvor {
namespace posix {
namespace sys {

using kvor::testing::SystemCall;

extern std::atomic<bool> g_faultsArmed;

// Whether the armed fault strikes this call (errno is then set); a short
// transfer lowers *bytes instead.
bool Strikes(SystemCall call, size_t* bytes);

inline bool Fails(SystemCall call, size_t* bytes = nullptr)
{
    return g_faultsArmed.load(std::memory_order_relaxed) && Strikes(call, bytes);
}

inline int Open(const char* path, int flags, mode_t mode = 0)
{
    return Fails(SystemCall::Open) ? -1 : ::open(path, flags, mode);
}
inline int MakeTemporaryFile(char* pattern, int flags)
{
    return Fails(SystemCall::Open) ? -1 : ::mkostemp(pattern, flags);
}
inline ssize_t Read(int descriptor, void* buffer, size_t bytes)
{
    return Fails(SystemCall::Read, &bytes) ? -1 : ::read(descriptor, buffer, bytes);
}
inline ssize_t ReadAt(int descriptor, void* buffer, size_t bytes, off_t offset)
{
    return Fails(SystemCall::Read, &bytes) ? -1 : ::pread(descriptor, buffer, bytes, offset);
}
inline ssize_t Write(int descriptor, const void* buffer, size_t bytes)
{
    return Fails(SystemCall::Write, &bytes) ? -1 : ::write(descriptor, buffer, bytes);
}
inline off_t Seek(int descriptor, off_t offset, int whence)
{
    return Fails(SystemCall::Seek) ? -1 : ::lseek(descriptor, offset, whence);
}
inline int FileStatus(int descriptor, struct stat* status)
{
    return Fails(SystemCall::FileStatus) ? -1 : ::fstat(descriptor, status);
}
inline int Sync(int descriptor)
{
    return Fails(SystemCall::Sync) ? -1 : ::fsync(descriptor);
}
inline int PathStatus(const char* path, struct stat* status)
{
    return Fails(SystemCall::PathStatus) ? -1 : ::stat(path, status);
}
inline int Unlink(const char* path)
{
    return Fails(SystemCall::Unlink) ? -1 : ::unlink(path);
}
inline int MakeFolder(const char* path, mode_t mode)
{
    return Fails(SystemCall::MakeFolder) ? -1 : ::mkdir(path, mode);
}
inline char* MakeTemporaryFolder(char* pattern)
{
    return Fails(SystemCall::MakeFolder) ? nullptr : ::mkdtemp(pattern);
}
inline DIR* OpenFolder(const char* path)
{
    return Fails(SystemCall::OpenFolder) ? nullptr : ::opendir(path);
}
inline int Rename(const char* from, const char* to)
{
    return Fails(SystemCall::Rename) ? -1 : ::rename(from, to);
}
inline ssize_t ReadLink(const char* path, char* buffer, size_t size)
{
    return Fails(SystemCall::ReadLink) ? -1 : ::readlink(path, buffer, size);
}

} // namespace sys
} // namespace posix
} // namespace kvor

#endif // KVOR_POSIX_SYSTEM_CALLS_H
