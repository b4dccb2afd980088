// The threads' caches of the block pool: made when a thread first turns to
// a pool, filled and emptied half at a time under the pool's lock, given
// back when the thread ends.
#include "BlockPoolInternals.h"

#include <cstdlib>
#include <new>

namespace kvor {

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

// Into the cache, after half of a full cache went back to the chunks.
KVOR_HEAP_INTERNAL void BlockPool::ReleaseUncached(void* block) noexcept
{
    const size_t classIndex = HeaderOf(block)->chunk->classIndex;
    MarkReleased(block);
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

// The class's cached blocks past keep, back to their chunks.
KVOR_HEAP_INTERNAL void BlockPool::GiveCached(ThreadCache& cache, size_t classIndex, size_t keep) noexcept
{
    while (cache.classes[classIndex].count > keep) {
        GiveBlock(cache.Pop(classIndex));
    }
}

} // namespace kvor
