// The inside of the block pool, shared by its chunks' side (BlockPool.cpp)
// and its threads' caches (BlockPoolCache.cpp).
#ifndef KVOR_BLOCK_POOL_INTERNALS_H
#define KVOR_BLOCK_POOL_INTERNALS_H

#include "BlockPool.h"

#include "kvor/platform/kvorPlatform.h"

#include <atomic>
#include <cstddef>
#include <thread>

#if KVOR_ADDRESS_SANITIZER
#include <cstdio>
#include <cstdlib>
#include <sanitizer/asan_interface.h>
#endif

namespace kvor {

struct FreeSlot {
    FreeSlot* next;
};

constexpr size_t RoundUp(size_t bytes, size_t granule)
{
    return (bytes + granule - 1) / granule * granule;
}

// What the sanitizer may let the program touch: nothing of a chunk but the
// blocks handed out, each exactly as large as asked for (at least a byte,
// so that a block released twice can be told from a live one).
#if KVOR_ADDRESS_SANITIZER
inline void MarkUnaddressable(const void* memory, size_t bytes)
{
    ASAN_POISON_MEMORY_REGION(memory, bytes);
}

inline void MarkAddressable(const void* memory, size_t bytes)
{
    ASAN_UNPOISON_MEMORY_REGION(memory, bytes == 0 ? 1 : bytes);
}

inline void CheckLive(void* block)
{
    if (__asan_address_is_poisoned(block)) {
        std::fprintf(stderr, "kvor heap: released a block that is not in use: %p\n", block);
        __asan_describe_address(block);
        std::abort();
    }
}
#else
inline void MarkUnaddressable(const void*, size_t) {}
inline void MarkAddressable(const void*, size_t) {}
inline void CheckLive(void*) {}
#endif

// A chunk's bookkeeping sits at its start; its slots (header and block)
// follow. Slots are handed out from the never-used tail first, then from
// the list of freed ones.
struct PoolChunk {
    BlockPool* pool;
    PoolChunk* previous; // in its class's list
    PoolChunk* next;     // in its class's list
    FreeSlot* freed;
    char* unused;
    char* end;
    size_t slotBytes;
    size_t classIndex;
    size_t blocksInUse;
    bool onFullList;

    KVOR_HEAP_INTERNAL bool IsFull() const { return freed == nullptr && static_cast<size_t>(end - unused) < slotBytes; }

    KVOR_HEAP_INTERNAL void* Take()
    {
        ++blocksInUse;
        if (freed != nullptr) {
            FreeSlot* slot = freed;
            freed = slot->next;
            return slot;
        }
        BlockHeader* header = reinterpret_cast<BlockHeader*>(unused);
        unused += slotBytes;
        header->chunk = this;
        return header + 1;
    }

    KVOR_HEAP_INTERNAL void Give(void* block)
    {
        --blocksInUse;
        FreeSlot* slot = static_cast<FreeSlot*>(block);
        slot->next = freed;
        freed = slot;
    }
};

constexpr size_t kSlotsStart = RoundUp(sizeof(PoolChunk), alignof(std::max_align_t));

// A block given back: nothing of its slot may be touched until it is handed out again.
KVOR_HEAP_INTERNAL inline void MarkReleased(void* block)
{
    MarkUnaddressable(block, HeaderOf(block)->chunk->slotBytes - sizeof(BlockHeader));
}

// One holder at a time. Every hold is a few pointer moves, so a waiter
// spins, giving up its time slice while it waits. A process with a single
// thread has nobody to wait for and skips the lock.
class BlockPool::Guard {
public:
    explicit Guard(std::atomic<bool>& locked)
        : m_locked(ProcessIsSingleThreaded() ? nullptr : &locked)
    {
        if (m_locked == nullptr) {
            return;
        }
        while (m_locked->exchange(true, std::memory_order_acquire)) {
            while (m_locked->load(std::memory_order_relaxed)) {
                std::this_thread::yield();
            }
        }
    }
    ~Guard()
    {
        if (m_locked != nullptr) {
            m_locked->store(false, std::memory_order_release);
        }
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    std::atomic<bool>* m_locked;
};

// How many blocks of a class a thread caches: at most 64, no more than 4 KB
// of them, at least two.
struct CacheLimits {
    unsigned char ofClass[BlockPool::kLargestBlock / BlockPool::kGranule + 1];

    constexpr CacheLimits() : ofClass()
    {
        for (size_t classIndex = 1; classIndex < sizeof ofClass; ++classIndex) {
            const size_t fitting = 4096 / (classIndex * BlockPool::kGranule);
            ofClass[classIndex] = static_cast<unsigned char>(fitting < 2 ? 2 : fitting > 64 ? 64 : fitting);
        }
    }
};
constexpr CacheLimits kCacheLimits;

// With a single thread the lock costs nothing, and a cache would only add
// its own moves.
inline bool CachesPay()
{
    return ThreadsKeepHeapBlocks() && !ProcessIsSingleThreaded();
}

// A thread's free blocks of one pool, each class a list through the blocks.
struct BlockPool::ThreadCache {
    struct Class {
        FreeSlot* first;
        size_t count;
    };

    BlockPool* pool; // null while it holds nothing
    ThreadCache* previous; // among the pool's caches
    ThreadCache* next;
    // All its blocks. Written by its own thread only, so without a locked
    // instruction; read by BlocksInUse in any thread.
    std::atomic<size_t> blocks;
    Class classes[kClassCount];

    void Added(size_t count) { blocks.store(blocks.load(std::memory_order_relaxed) + count, std::memory_order_relaxed); }
    void Removed(size_t count) { blocks.store(blocks.load(std::memory_order_relaxed) - count, std::memory_order_relaxed); }

    KVOR_HEAP_INTERNAL bool IsFull(size_t classIndex) const
    {
        return classes[classIndex].count == kCacheLimits.ofClass[classIndex];
    }

    KVOR_HEAP_INTERNAL void Push(size_t classIndex, void* block)
    {
        Class& cached = classes[classIndex];
        FreeSlot* slot = static_cast<FreeSlot*>(block);
        slot->next = cached.first;
        cached.first = slot;
        ++cached.count;
        Added(1);
    }

    KVOR_HEAP_INTERNAL void* Pop(size_t classIndex)
    {
        Class& cached = classes[classIndex];
        FreeSlot* slot = cached.first;
        cached.first = slot->next;
        --cached.count;
        Removed(1);
        return slot;
    }
};

} // namespace kvor

#endif // KVOR_BLOCK_POOL_INTERNALS_H
