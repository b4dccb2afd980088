#include "BlockPool.h"

#include "kvor/platform/kvorPlatform.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <thread>

#if KVOR_ADDRESS_SANITIZER
#include <cstdio>
#include <cstdlib>
#include <sanitizer/asan_interface.h>
#endif

namespace kvor {

namespace {

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
void MarkUnaddressable(const void* memory, size_t bytes)
{
    ASAN_POISON_MEMORY_REGION(memory, bytes);
}

void MarkAddressable(const void* memory, size_t bytes)
{
    ASAN_UNPOISON_MEMORY_REGION(memory, bytes == 0 ? 1 : bytes);
}

void CheckLive(void* block)
{
    if (__asan_address_is_poisoned(block)) {
        std::fprintf(stderr, "kvor heap: released a block that is not in use: %p\n", block);
        __asan_describe_address(block);
        std::abort();
    }
}
#else
void MarkUnaddressable(const void*, size_t) {}
void MarkAddressable(const void*, size_t) {}
void CheckLive(void*) {}
#endif

} // namespace

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

namespace {
constexpr size_t kSlotsStart = RoundUp(sizeof(PoolChunk), alignof(std::max_align_t));
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

namespace {

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

} // namespace

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

KVOR_QUICK_THREAD_LOCAL thread_local BlockPool::ThreadCache* BlockPool::t_cache;
KVOR_QUICK_THREAD_LOCAL thread_local bool BlockPool::t_ended;

// Gives the thread's cache back when the thread ends; a block taken or
// given after that, by a later destructor, goes by the lock.
struct BlockPool::ThreadEnd {
    ThreadEnd() = default;
    ThreadEnd(const ThreadEnd&) = delete;
    ThreadEnd& operator=(const ThreadEnd&) = delete;
    KVOR_HEAP_INTERNAL ~ThreadEnd()
    {
        t_ended = true;
        ThreadCache* cache = t_cache;
        t_cache = nullptr;
        Unbind(*cache);
        cache->~ThreadCache();
        std::free(cache);
    }
};

KVOR_HEAP_INTERNAL void* BlockPool::Allocate(size_t bytes) noexcept
{
    const size_t classIndex = bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
    if (!CachesPay()) {
        Guard guard(m_locked);
        void* block = TakeBlock(classIndex);
        if (block != nullptr) {
            MarkAddressable(block, bytes);
        }
        return block;
    }
    ThreadCache* cache = t_cache;
    if (cache == nullptr || cache->pool != this || cache->classes[classIndex].first == nullptr) {
        return AllocateUncached(classIndex, bytes);
    }
    void* block = cache->Pop(classIndex);
    MarkAddressable(block, bytes);
    return block;
}

// The block asked for, and half a cache more of its class from the chunks
// that have room: a chunk is added only for the block asked for, so that
// a refused chunk fails that block and no other.
KVOR_HEAP_INTERNAL void* BlockPool::AllocateUncached(size_t classIndex, size_t bytes) noexcept
{
    ThreadCache* cache = t_cache;
    if (cache == nullptr || cache->pool != this) {
        cache = Bind();
    }
    Guard guard(m_locked);
    void* block = TakeBlock(classIndex);
    if (block == nullptr) {
        return nullptr;
    }
    if (cache != nullptr) {
        for (size_t taken = 0; taken < kCacheLimits.ofClass[classIndex] / 2; ++taken) {
            if (m_classes[classIndex].available == nullptr) {
                break;
            }
            cache->Push(classIndex, TakeBlock(classIndex));
        }
    }
    MarkAddressable(block, bytes);
    return block;
}

KVOR_HEAP_INTERNAL void BlockPool::Release(void* block) noexcept
{
    CheckLive(block);
    PoolChunk* chunk = HeaderOf(block)->chunk;
    BlockPool& pool = *chunk->pool;
    if (!CachesPay()) {
        Guard guard(pool.m_locked);
        MarkUnaddressable(block, chunk->slotBytes - sizeof(BlockHeader));
        pool.GiveBlock(block);
        return;
    }
    ThreadCache* cache = t_cache;
    if (cache == nullptr || cache->pool != &pool || cache->IsFull(chunk->classIndex)) {
        pool.ReleaseUncached(block);
        return;
    }
    MarkUnaddressable(block, chunk->slotBytes - sizeof(BlockHeader));
    cache->Push(chunk->classIndex, block);
}

// Into the cache, after half of a full cache went back to the chunks.
KVOR_HEAP_INTERNAL void BlockPool::ReleaseUncached(void* block) noexcept
{
    const size_t classIndex = HeaderOf(block)->chunk->classIndex;
    MarkUnaddressable(block, HeaderOf(block)->chunk->slotBytes - sizeof(BlockHeader));
    ThreadCache* cache = t_cache;
    if (cache == nullptr || cache->pool != this) {
        cache = Bind();
    }
    if (cache == nullptr) {
        Guard guard(m_locked);
        GiveBlock(block);
        return;
    }
    if (cache->IsFull(classIndex)) {
        Guard guard(m_locked);
        GiveCached(*cache, classIndex, kCacheLimits.ofClass[classIndex] / 2);
    }
    cache->Push(classIndex, block);
}

// The cache lives in memory of the C library's own heap: it is no block of
// the library's, and the thread-local room it would take is scarce.
KVOR_HEAP_INTERNAL BlockPool::ThreadCache* BlockPool::Bind() noexcept
{
    if (t_ended) {
        return nullptr;
    }
    ThreadCache* cache = t_cache;
    if (cache == nullptr) {
        void* memory = std::malloc(sizeof(ThreadCache));
        if (memory == nullptr) {
            return nullptr;
        }
        static thread_local ThreadEnd threadEnd;
        (void)threadEnd;
        cache = ::new (memory) ThreadCache();
        t_cache = cache;
    }
    Unbind(*cache);
    Guard guard(m_locked);
    cache->pool = this;
    cache->previous = nullptr;
    cache->next = m_caches;
    if (m_caches != nullptr) {
        m_caches->previous = cache;
    }
    m_caches = cache;
    return cache;
}

KVOR_HEAP_INTERNAL void BlockPool::Unbind(ThreadCache& cache) noexcept
{
    BlockPool* pool = cache.pool;
    if (pool == nullptr) {
        return;
    }
    Guard guard(pool->m_locked);
    for (size_t classIndex = 0; classIndex < kClassCount; ++classIndex) {
        pool->GiveCached(cache, classIndex, 0);
    }
    if (cache.previous != nullptr) {
        cache.previous->next = cache.next;
    } else {
        pool->m_caches = cache.next;
    }
    if (cache.next != nullptr) {
        cache.next->previous = cache.previous;
    }
    cache.pool = nullptr;
}

KVOR_HEAP_INTERNAL void* BlockPool::TakeBlock(size_t classIndex) noexcept
{
    SizeClass& sizeClass = m_classes[classIndex];
    PoolChunk* chunk = sizeClass.available;
    if (chunk == nullptr) {
        chunk = AddChunk(classIndex);
        if (chunk == nullptr) {
            return nullptr;
        }
    }
    if (chunk == sizeClass.spare) {
        sizeClass.spare = nullptr;
    }
    void* block = chunk->Take();
    if (chunk->IsFull()) {
        Unlink(chunk);
        Link(chunk);
    }
    ++m_blocksInUse;
    return block;
}

KVOR_HEAP_INTERNAL void BlockPool::GiveBlock(void* block) noexcept
{
    PoolChunk* chunk = HeaderOf(block)->chunk;
    --m_blocksInUse;
    if (chunk->onFullList) {
        Unlink(chunk);
        chunk->Give(block);
        Link(chunk);
    } else {
        chunk->Give(block);
    }
    if (chunk->blocksInUse > 0) {
        return;
    }
    SizeClass& sizeClass = m_classes[chunk->classIndex];
    if (sizeClass.spare == nullptr) {
        sizeClass.spare = chunk;
    } else {
        Unlink(chunk);
        RetireChunk(chunk);
    }
}

// The class's cached blocks past keep, back to their chunks.
KVOR_HEAP_INTERNAL void BlockPool::GiveCached(ThreadCache& cache, size_t classIndex, size_t keep) noexcept
{
    while (cache.classes[classIndex].count > keep) {
        GiveBlock(cache.Pop(classIndex));
    }
}

KVOR_HEAP_INTERNAL void BlockPool::ReleaseEmptyChunks() noexcept
{
    if (ThreadsKeepHeapBlocks() && t_cache != nullptr && t_cache->pool == this) {
        Unbind(*t_cache);
    }
    Guard guard(m_locked);
    for (SizeClass& sizeClass : m_classes) {
        if (sizeClass.spare != nullptr) {
            Unlink(sizeClass.spare);
            DropChunk(sizeClass.spare);
            sizeClass.spare = nullptr;
        }
    }
    while (m_reserve != nullptr) {
        PoolChunk* chunk = m_reserve;
        m_reserve = chunk->next;
        DropChunk(chunk);
    }
    m_reserveCount = 0;
}

size_t BlockPool::ChunkCount() const noexcept
{
    return m_chunkCount;
}

size_t BlockPool::BlocksInUse() const noexcept
{
    Guard guard(m_locked);
    size_t cached = 0;
    for (const ThreadCache* cache = m_caches; cache != nullptr; cache = cache->next) {
        cached += cache->blocks.load(std::memory_order_relaxed);
    }
    return m_blocksInUse - cached;
}

KVOR_HEAP_INTERNAL PoolChunk* BlockPool::AddChunk(size_t classIndex) noexcept
{
    char* memory = reinterpret_cast<char*>(m_reserve);
    if (memory != nullptr) {
        m_reserve = m_reserve->next;
        --m_reserveCount;
    } else {
        memory = static_cast<char*>(::operator new(kChunkBytes, std::nothrow));
        if (memory == nullptr) {
            return nullptr;
        }
        ++m_chunkCount;
        // The chunk's own bookkeeping stays addressable: the pool's lists of
        // chunks run through it, and the leak checker follows only pointers in
        // memory the program may touch. A chunk from the reserve is marked so
        // already: every block in it was released.
        MarkUnaddressable(memory + kSlotsStart, kChunkBytes - kSlotsStart);
    }
    PoolChunk* chunk = ::new (memory) PoolChunk();
    chunk->pool = this;
    chunk->unused = memory + kSlotsStart;
    chunk->end = memory + kChunkBytes;
    chunk->slotBytes = sizeof(BlockHeader) + classIndex * kGranule;
    chunk->classIndex = classIndex;
    Link(chunk);
    return chunk;
}

KVOR_HEAP_INTERNAL void BlockPool::RetireChunk(PoolChunk* chunk) noexcept
{
    if (m_reserveCount == kReserveChunks) {
        DropChunk(chunk);
        return;
    }
    chunk->next = m_reserve;
    m_reserve = chunk;
    ++m_reserveCount;
}

KVOR_HEAP_INTERNAL void BlockPool::DropChunk(PoolChunk* chunk) noexcept
{
    --m_chunkCount;
    MarkAddressable(chunk, kChunkBytes);
    ::operator delete(chunk);
}

KVOR_HEAP_INTERNAL PoolChunk*& BlockPool::ListOf(const PoolChunk* chunk) noexcept
{
    SizeClass& sizeClass = m_classes[chunk->classIndex];
    return chunk->onFullList ? sizeClass.full : sizeClass.available;
}

// Puts the chunk first on the list its state calls for.
KVOR_HEAP_INTERNAL void BlockPool::Link(PoolChunk* chunk) noexcept
{
    chunk->onFullList = chunk->IsFull();
    PoolChunk*& first = ListOf(chunk);
    chunk->previous = nullptr;
    chunk->next = first;
    if (first != nullptr) {
        first->previous = chunk;
    }
    first = chunk;
}

KVOR_HEAP_INTERNAL void BlockPool::Unlink(PoolChunk* chunk) noexcept
{
    if (chunk->previous != nullptr) {
        chunk->previous->next = chunk->next;
    } else {
        ListOf(chunk) = chunk->next;
    }
    if (chunk->next != nullptr) {
        chunk->next->previous = chunk->previous;
    }
}

} // namespace kvor
