// Failures of the posix back end's system calls on demand, for tests: the
// library's files, folders, registry store, debugger output and version
// reading reach the system through one seam that a test arms the way it
// arms the allocation hook. Disarmed, every call goes straight through.
#ifndef KVOR_SYSTEM_CALL_FAULTS_H
#define KVOR_SYSTEM_CALL_FAULTS_H

#include <climits>
#include <cstddef>

namespace kvor {
namespace testing {

enum class SystemCall {
    Open,            // open, mkostemp
    Read,            // read, pread
    Write,           // write
    Seek,            // lseek
    FileStatus,      // fstat
    Sync,            // fsync
    PathStatus,      // stat
    Unlink,          // unlink
    MakeFolder,      // mkdir, mkdtemp
    OpenFolder,      // opendir
    Rename,          // rename
    ReadLink,        // readlink
    Count
};

// For count: every call from the nth on fails.
constexpr long kFromThenOn = LONG_MAX;

// Calls nth .. nth + count - 1 of which, counted from now (1 is the next
// one), fail with errno error; the others go through.
void FailSystemCall(SystemCall which, long nth, int error, long count = 1);
// The nth call of which (Read or Write) moves at most bytes; 0 makes a
// read see the end of the file and a write move nothing.
void ShortenSystemCall(SystemCall which, long nth, size_t bytes);
// Disarms every fault; true when one of them struck since it was armed.
bool ClearSystemCallFaults();

} // namespace testing
} // namespace kvor

#endif // KVOR_SYSTEM_CALL_FAULTS_H
