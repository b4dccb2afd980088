#include "BlockPool.h"

#include "kvorPlatform.h"

#include <cstdint>
#include <new>
#include <thread>

namespace kvor {

namespace {

struct FreeSlot {
    FreeSlot* next;
};

constexpr size_t RoundUp(size_t bytes, size_t granule)
{
    return (bytes + granule - 1) / granule * granule;
}

} // namespace

// A chunk's bookkeeping sits at its start; its slots (header and block)
// follow. Slots are handed out from the never-used tail first, then from
// the list of freed ones.
struct PoolChunk {
    BlockPool* pool;
    PoolChunk* previous; // in its class's list of chunks with room
    PoolChunk* next;
    FreeSlot* freed;
    char* unused;
    char* end;
    size_t slotBytes;
    size_t classIndex;
    size_t blocksInUse;
    bool onFullList;

    bool IsFull() const { return freed == nullptr && static_cast<size_t>(end - unused) < slotBytes; }

    void* Take()
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

    void Give(void* block)
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

void* BlockPool::Allocate(size_t bytes) noexcept
{
    const size_t classIndex = bytes == 0 ? 1 : (bytes + kGranule - 1) / kGranule;
    Guard guard(m_locked);
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
    return block;
}

void BlockPool::Release(void* block) noexcept
{
    PoolChunk* chunk = HeaderOf(block)->chunk;
    BlockPool& pool = *chunk->pool;
    Guard guard(pool.m_locked);
    if (chunk->onFullList) {
        pool.Unlink(chunk);
        chunk->Give(block);
        pool.Link(chunk);
    } else {
        chunk->Give(block);
    }
    if (chunk->blocksInUse > 0) {
        return;
    }
    SizeClass& sizeClass = pool.m_classes[chunk->classIndex];
    if (sizeClass.spare == nullptr) {
        sizeClass.spare = chunk;
    } else {
        pool.DropChunk(chunk);
    }
}

void BlockPool::ReleaseSpareChunks() noexcept
{
    Guard guard(m_locked);
    for (SizeClass& sizeClass : m_classes) {
        if (sizeClass.spare != nullptr) {
            DropChunk(sizeClass.spare);
            sizeClass.spare = nullptr;
        }
    }
}

size_t BlockPool::ChunkCount() const noexcept
{
    return m_chunkCount;
}

PoolChunk* BlockPool::AddChunk(size_t classIndex) noexcept
{
    char* memory = static_cast<char*>(::operator new(kChunkBytes, std::nothrow));
    if (memory == nullptr) {
        return nullptr;
    }
    PoolChunk* chunk = ::new (memory) PoolChunk();
    chunk->pool = this;
    chunk->unused = memory + kSlotsStart;
    chunk->end = memory + kChunkBytes;
    chunk->slotBytes = sizeof(BlockHeader) + classIndex * kGranule;
    chunk->classIndex = classIndex;
    ++m_chunkCount;
    Link(chunk);
    return chunk;
}

void BlockPool::DropChunk(PoolChunk* chunk) noexcept
{
    Unlink(chunk);
    --m_chunkCount;
    ::operator delete(chunk);
}

PoolChunk*& BlockPool::ListOf(const PoolChunk* chunk) noexcept
{
    SizeClass& sizeClass = m_classes[chunk->classIndex];
    return chunk->onFullList ? sizeClass.full : sizeClass.available;
}

// Puts the chunk first on the list its state calls for.
void BlockPool::Link(PoolChunk* chunk) noexcept
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

void BlockPool::Unlink(PoolChunk* chunk) noexcept
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
