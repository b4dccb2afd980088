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

// One call's faults; call numbers count from the last disarming.
struct Fault {
    long seen;
    long failFirst; // 0: no failure armed
    long failLast;
    int error;
    long shortAt;   // 0: no short transfer armed
    size_t shortBytes;
};

std::mutex g_mutex;
Fault g_faults[static_cast<int>(SystemCall::Count)];
bool g_struck = false;

} // namespace

bool Strikes(SystemCall call, size_t* bytes)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    Fault& fault = g_faults[static_cast<int>(call)];
    const long nth = ++fault.seen;
    if (nth == fault.shortAt && bytes != nullptr) {
        g_struck = true;
        *bytes = *bytes < fault.shortBytes ? *bytes : fault.shortBytes;
    }
    if (fault.failFirst == 0 || nth < fault.failFirst || nth > fault.failLast) {
        return false;
    }
    g_struck = true;
    errno = fault.error;
    return true;
}

} // namespace sys
} // namespace posix

namespace testing {

using posix::sys::g_faults;
using posix::sys::g_mutex;

void FailSystemCall(SystemCall which, long nth, int error, long count)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    posix::sys::Fault& fault = g_faults[static_cast<int>(which)];
    fault.failFirst = fault.seen + nth;
    fault.failLast = count >= kFromThenOn - fault.failFirst ? kFromThenOn : fault.failFirst + count - 1;
    fault.error = error;
    posix::sys::g_faultsArmed.store(true, std::memory_order_relaxed);
}

void ShortenSystemCall(SystemCall which, long nth, size_t bytes)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    posix::sys::Fault& fault = g_faults[static_cast<int>(which)];
    fault.shortAt = fault.seen + nth;
    fault.shortBytes = bytes;
    posix::sys::g_faultsArmed.store(true, std::memory_order_relaxed);
}

bool ClearSystemCallFaults()
{
    std::lock_guard<std::mutex> guard(g_mutex);
    posix::sys::g_faultsArmed.store(false, std::memory_order_relaxed);
    for (posix::sys::Fault& fault : g_faults) {
        fault = {};
    }
    const bool struck = posix::sys::g_struck;
    posix::sys::g_struck = false;
    return struck;
}

} // namespace testing
} // namespace kvor
