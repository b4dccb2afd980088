#include "FailingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "kvor/platform/kvorPlatform.h"

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_counted{0};
std::atomic<long> g_failAt{0};
std::atomic<bool> g_refused{false};
std::atomic<long> g_live{0};

bool ShouldRefuse()
{
    if (!g_armed.load(std::memory_order_relaxed) || ++g_counted != g_failAt.load()) {
        return false;
    }
    g_refused = true;
    return true;
}

void* RawAllocate(std::size_t bytes)
{
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) {
        ++g_live;
    }
    return block;
}

// A counted block, or null when this is the allocation to refuse.
void* Counted(std::size_t bytes) noexcept
{
    return ShouldRefuse() ? nullptr : RawAllocate(bytes);
}

void RawRelease(void* block) noexcept
{
    if (block != nullptr) {
        --g_live;
        std::free(block);
    }
}

std::atomic<bool> g_throwing{false};

// While a test refuses allocations the library's blocks come through this
// hook, none from its pool, so that each one is counted, and can be refused,
// one by one like any other allocation. Refusal answers null, or throws when
// the test asks for an allocator with exceptions (the factory's other path).
void* CountingHook(std::size_t bytes)
{
    void* block = Counted(bytes);
    if (block == nullptr && g_throwing.load()) {
        throw std::bad_alloc();
    }
    return block;
}

} // namespace

namespace kvortest {

void FailAllocation(long nth, FailureMode mode)
{
    g_counted = 0;
    g_refused = false;
    g_failAt = nth;
    g_throwing = mode == FailureMode::ThrowBadAlloc;
    g_armed = true;
    kvor::testing::SetAllocationHook(CountingHook);
}

long StopFailing()
{
    kvor::testing::SetAllocationHook(nullptr);
    g_armed = false;
    g_throwing = false;
    return g_counted.load();
}

bool AllocationWasRefused() { return g_refused.load(); }

long LiveBlocks()
{
    // The pool's chunks are system blocks; what counts is the blocks in them.
    const kvor::testing::HeapCount pool = kvor::testing::CountHeap();
    return g_live.load() - static_cast<long>(pool.chunks) + static_cast<long>(pool.blocks);
}

} // namespace kvortest

// Every form, one by one: AddressSanitizer intercepts each of them.
void* operator new(std::size_t bytes)
{
    void* block = Counted(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}
void* operator new[](std::size_t bytes) { return ::operator new(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return Counted(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t& tag) noexcept { return ::operator new(bytes, tag); }
void operator delete(void* block) noexcept { RawRelease(block); }
void operator delete[](void* block) noexcept { RawRelease(block); }
void operator delete(void* block, std::size_t) noexcept { RawRelease(block); }
void operator delete[](void* block, std::size_t) noexcept { RawRelease(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { RawRelease(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { RawRelease(block); }
