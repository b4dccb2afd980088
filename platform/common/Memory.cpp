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

// The last large block released - as a rule the file buffer of the last
// load - kept for the next large request it fits without wasting half of
// it: taking such a block from the system heap and giving it back made the
// heap merge and split its free memory on every load. Not under
// AddressSanitizer, which is to see every block of the system heap come
// and go.
constexpr size_t kSpareSmallest = 64 * 1024;
constexpr size_t kSpareLargest = 32 * 1024 * 1024;
std::atomic<BlockHeader*> g_largeSpare{nullptr};

BlockHeader* TakeLargeSpare(size_t bytes)
{
    BlockHeader* spare = g_largeSpare.exchange(nullptr);
    if (spare != nullptr && (spare->largeBytes < bytes || spare->largeBytes / 2 > bytes)) {
        ::operator delete(spare);
        spare = nullptr;
    }
    return spare;
}

// True when the block is kept.
bool KeepLargeSpare(BlockHeader* header)
{
    if (KVOR_ADDRESS_SANITIZER || header->largeBytes < kSpareSmallest || header->largeBytes > kSpareLargest) {
        return false;
    }
    BlockHeader* previous = g_largeSpare.exchange(header);
    if (previous != nullptr) {
        ::operator delete(previous);
    }
    return true;
}

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
    if (hook == nullptr && bytes >= kSpareSmallest) {
        BlockHeader* spare = TakeLargeSpare(bytes);
        if (spare != nullptr) {
            return spare + 1;
        }
    }
    const size_t total = bytes + sizeof(BlockHeader);
    void* memory = hook != nullptr ? hook(total) : ::operator new(total, std::nothrow);
    if (memory == nullptr) {
        return nullptr;
    }
    BlockHeader* header = static_cast<BlockHeader*>(memory);
    header->chunk = nullptr;
    // A block from a hook is never kept: it goes back as it came.
    header->largeBytes = hook != nullptr ? 0 : bytes;
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
    } else if (!KeepLargeSpare(header)) {
        ::operator delete(header);
    }
}

void ReleaseSpareMemory() noexcept
{
    g_pool.ReleaseEmptyChunks();
    ::operator delete(g_largeSpare.exchange(nullptr));
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
    // The kept large block is the heap's, as a chunk is.
    const size_t spare = g_largeSpare.load() != nullptr ? 1 : 0;
    return HeapCount{g_pool.BlocksInUse(), g_pool.ChunkCount() + spare};
}

} // namespace testing

} // namespace kvor
