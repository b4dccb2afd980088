// Table rows that arm one fault of the posix back end's system calls, and
// the checks every row shares: the fault struck, and no descriptor and no
// heap block was left behind.
#ifndef KVOR_TEST_SYSTEM_CALL_FAULT_H
#define KVOR_TEST_SYSTEM_CALL_FAULT_H

#include <filesystem>
#include <gtest/gtest.h>

#include "kvor/platform/SystemCallFaults.h"
#include "kvor/platform/kvorPlatform.h"

namespace kvortest {

using kvor::testing::SystemCall;

struct Fault {
    SystemCall call; // Count: no fault
    int error;       // 0: no failure
    long nth;
    long shortTo;    // >= 0: the first call moves at most this many bytes
};

inline Fault Failing(SystemCall call, int error, long nth = 1) { return {call, error, nth, -1}; }
// The first call moves at most bytes; the second fails with thenError, if any.
inline Fault Shortened(SystemCall call, long bytes, int thenError = 0) { return {call, thenError, 2, bytes}; }
const Fault kNoFault = {SystemCall::Count, 0, 0, -1};

inline long OpenDescriptors()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// Arms fault for one scope; on leaving it checks that the fault struck and
// that descriptors and heap blocks are as they were.
class ArmedFault {
public:
    explicit ArmedFault(const Fault& fault)
        : m_armed(fault.call != SystemCall::Count), m_descriptors(OpenDescriptors()),
          m_blocks(kvor::testing::CountHeap().blocks)
    {
        if (fault.shortTo >= 0) {
            kvor::testing::ShortenSystemCall(fault.call, 1, static_cast<size_t>(fault.shortTo));
        }
        if (m_armed && fault.error != 0) {
            kvor::testing::FailSystemCall(fault.call, fault.nth, fault.error);
        }
    }
    ~ArmedFault()
    {
        if (kvor::testing::ClearSystemCallFaults() != m_armed) {
            ADD_FAILURE() << (m_armed ? "the fault never struck" : "a fault struck unarmed");
        }
        EXPECT_EQ(OpenDescriptors(), m_descriptors) << "descriptors left open";
        EXPECT_EQ(kvor::testing::CountHeap().blocks, m_blocks) << "heap blocks left";
    }

    ArmedFault(const ArmedFault&) = delete;
    ArmedFault& operator=(const ArmedFault&) = delete;

private:
    const bool m_armed;
    const long m_descriptors;
    const size_t m_blocks;
};

// What an operation under a fault gave: its result, the last error and
// whatever else the row looks at.
struct Outcome {
    long long result;
    DWORD error;
    std::string detail;
};

// The last error that an operation which succeeds leaves as it found it.
const DWORD kUntouched = 12345;

inline void ExpectOutcome(const Outcome& got, long long result, DWORD error, const std::string& detail)
{
    EXPECT_EQ(got.result, result);
    EXPECT_EQ(got.error, error);
    EXPECT_EQ(got.detail, detail);
}

// Runs operation with fault armed and the last error at kUntouched.
template <typename Operation>
Outcome UnderFault(const Fault& fault, Operation operation)
{
    ArmedFault armed(fault);
    SetLastError(kUntouched);
    return operation();
}

} // namespace kvortest

#endif // KVOR_TEST_SYSTEM_CALL_FAULT_H
