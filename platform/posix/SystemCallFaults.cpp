// The armed faults of the system call seam: per call, which of the coming
// calls fail and how. Tests arm and disarm between operations; the calls
// count under a lock only while something is armed.
#include <cerrno>
#include <mutex>

#include "SystemCalls.h"

namespace kvor {
namespace posix {
namespace sys {

std::atomic<bool> g_faultsArmed{false};

namespace {

struct Fault {
    long seen;     // calls counted since arming
    long first;    // the first call that strikes; 0 when disarmed
    long last;
    int error;     // 0: a short transfer
    size_t bytes;
};

std::mutex g_mutex;
Fault g_faults[static_cast<int>(SystemCall::Count)];
bool g_struck = false;

void Arm(SystemCall which, const Fault& fault)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    g_faults[static_cast<int>(which)] = fault;
    g_faultsArmed.store(true, std::memory_order_relaxed);
}

} // namespace

bool Strikes(SystemCall call, size_t* bytes)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    Fault& fault = g_faults[static_cast<int>(call)];
    if (fault.first == 0) {
        return false;
    }
    const long nth = ++fault.seen;
    if (nth < fault.first || nth > fault.last) {
        return false;
    }
    g_struck = true;
    if (fault.error == 0) {
        if (bytes != nullptr && *bytes > fault.bytes) {
            *bytes = fault.bytes;
        }
        return false;
    }
    errno = fault.error;
    return true;
}

} // namespace sys
} // namespace posix

namespace testing {

void FailSystemCall(SystemCall which, long nth, int error, long count)
{
    const long last = count >= kFromThenOn - nth ? kFromThenOn : nth + count - 1;
    posix::sys::Arm(which, {0, nth, last, error, 0});
}

void ShortenSystemCall(SystemCall which, long nth, size_t bytes)
{
    posix::sys::Arm(which, {0, nth, nth, 0, bytes});
}

bool ClearSystemCallFaults()
{
    std::lock_guard<std::mutex> guard(posix::sys::g_mutex);
    posix::sys::g_faultsArmed.store(false, std::memory_order_relaxed);
    for (posix::sys::Fault& fault : posix::sys::g_faults) {
        fault = {};
    }
    const bool struck = posix::sys::g_struck;
    posix::sys::g_struck = false;
    return struck;
}

} // namespace testing
} // namespace kvor
