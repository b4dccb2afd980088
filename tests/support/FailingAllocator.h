// Refuses the n-th heap allocation of an operation, SQLite style: arm,
// run the operation, check the outcome, disarm. Every allocation of the
// process goes through the replaced global operator new while the test
// binary runs, and while armed the library's blocks do too instead of coming
// from its pool, so the count covers the library's blocks and list links
// alike. Disarmed, the library runs its pool as shipped.
#ifndef KVOR_TEST_FAILING_ALLOCATOR_H
#define KVOR_TEST_FAILING_ALLOCATOR_H

#include <cstddef>

#include <gtest/gtest.h>

namespace kvortest {

enum class FailureMode { ReturnNull, ThrowBadAlloc };

// Arms the allocator: allocation number `nth` (1-based, counted from now)
// is refused. ThrowBadAlloc makes the library allocator throw instead of
// answering null, as an allocator with exceptions does.
void FailAllocation(long nth, FailureMode mode = FailureMode::ReturnNull);
// Disarms; returns how many allocations were counted while armed.
long StopFailing();
// Whether the armed refusal has happened.
bool AllocationWasRefused();
// Blocks allocated and not yet freed, process-wide, the library's pooled
// blocks counted one by one.
long LiveBlocks();

// Arms for one scope.
class ScopedAllocationFailure {
public:
    explicit ScopedAllocationFailure(long nth, FailureMode mode = FailureMode::ReturnNull)
    {
        FailAllocation(nth, mode);
    }
    ~ScopedAllocationFailure() { StopFailing(); }
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};

// Runs operation with allocation 1, 2, ... refused in turn until a run sees
// no refusal; check(nth) judges each run (nth == 0: the clean run) and
// releases what it got, after which the blocks must be as before the run
// unless the operation keeps some. Returns the number of allocations of the
// clean run.
template <typename Operation, typename Check>
long SweepBalanced(Operation operation, Check check, bool keepsNothing = true)
{
    for (long nth = 1; nth <= 100000; ++nth) {
        FailAllocation(nth);
        const long live = LiveBlocks();
        operation();
        const bool refused = AllocationWasRefused();
        const long counted = StopFailing();
        check(refused ? nth : 0);
        EXPECT_TRUE(!keepsNothing || live == LiveBlocks()) << "allocation " << (refused ? nth : 0) << " refused: blocks leaked";
        if (!refused) {
            return counted;
        }
    }
    return -1;
}

} // namespace kvortest

#endif // KVOR_TEST_FAILING_ALLOCATOR_H
