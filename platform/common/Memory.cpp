#include <atomic>
#include <cstdint>
#include <new>

#include "BlockPool.h"
#include "kvor/platform/kvorPlatform.h"

namespace kvor {

namespace {

std::atomic<testing::AllocationHook> g_hook{nullptr};

// Constant-initialised and never destroyed: blocks may still be released
// while the process shuts down.
BlockPool g_pool;

} // namespace

void* Allocate(size_t bytes)
{
    testing::AllocationHook hook = g_hook.load(std::memory_order_relaxed);
    if (hook == nullptr && bytes <= BlockPool::kLargestBlock) {
        return g_pool.Allocate(bytes);
    }
    if (bytes > SIZE_MAX - sizeof(BlockHeader)) {
        return nullptr;
    }
    const size_t total = bytes + sizeof(BlockHeader);
    void* memory = hook != nullptr ? hook(total) : ::operator new(total, std::nothrow);
    if (memory == nullptr) {
        return nullptr;
    }
    BlockHeader* header = static_cast<BlockHeader*>(memory);
    header->chunk = nullptr;
    return header + 1;
}

KVOR_HEAP_INTERNAL void Release(void* block) noexcept
{
    if (block == nullptr) {
        return;
    }
    BlockHeader* header = HeaderOf(block);
    if (header->chunk != nullptr) {
        BlockPool::Release(block);
    } else {
        ::operator delete(header);
    }
}

void ReleaseSpareMemory() noexcept
{
    g_pool.ReleaseEmptyChunks();
}

void* HeapObject::operator new(size_t bytes)
{
    void* block = Allocate(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

namespace testing {
void SetAllocationHook(AllocationHook hook)
{
    g_hook.store(hook);
}

HeapCount CountHeap()
{
    return HeapCount{g_pool.BlocksInUse(), g_pool.ChunkCount()};
}

} // namespace testing

} // namespace kvor
