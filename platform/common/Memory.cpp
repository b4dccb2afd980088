#include <atomic>
#include <new>

#include "kvorPlatform.h"

namespace kvor {

namespace {
std::atomic<testing::AllocationHook> g_hook{nullptr};
}

void* Allocate(size_t bytes)
{
    testing::AllocationHook hook = g_hook.load(std::memory_order_relaxed);
    if (hook != nullptr) {
        return hook(bytes);
    }
    return ::operator new(bytes, std::nothrow);
}

void Release(void* block) noexcept
{
    ::operator delete(block);
}

namespace testing {
void SetAllocationHook(AllocationHook hook)
{
    g_hook.store(hook);
}
} // namespace testing

} // namespace kvor
