#include "BlockPoolInternals.h"

#include <new>

namespace kvor {

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

KVOR_HEAP_INTERNAL void BlockPool::Release(void* block) noexcept
{
    CheckLive(block);
    PoolChunk* chunk = HeaderOf(block)->chunk;
    BlockPool& pool = *chunk->pool;
    if (!CachesPay()) {
        Guard guard(pool.m_locked);
        MarkReleased(block);
        pool.GiveBlock(block);
        return;
    }
    ThreadCache* cache = t_cache;
    if (cache == nullptr || cache->pool != &pool || cache->IsFull(chunk->classIndex)) {
        pool.ReleaseUncached(block);
        return;
    }
    MarkReleased(block);
    cache->Push(chunk->classIndex, block);
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
