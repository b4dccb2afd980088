// BlockPool: the small blocks of the library's heap.
//
// A loaded element owns about two dozen blocks, most of them a few bytes of
// text, and loading or freeing a document allocates or frees them in long
// runs. The pool serves them from 16 KB chunks, one size class per 16 bytes
// up to 2 KB, and gives a chunk back to the system as soon as its last
// block is freed, keeping one empty chunk per class so that a block freed
// and taken again at once does not cost a chunk each time.
#ifndef KVOR_BLOCK_POOL_H
#define KVOR_BLOCK_POOL_H

#include <atomic>
#include <cstddef>

namespace kvor {

struct PoolChunk;

// Stands in front of every block that Allocate hands out: the chunk of a
// pooled block, null for a block of its own from the system heap.
struct alignas(std::max_align_t) BlockHeader {
    PoolChunk* chunk;
};

inline BlockHeader* HeaderOf(void* block)
{
    return static_cast<BlockHeader*>(block) - 1;
}

class BlockPool {
public:
    static constexpr size_t kGranule = 16;
    static constexpr size_t kLargestBlock = 2048;
    static constexpr size_t kChunkBytes = 16384;

    constexpr BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A block of at least bytes (at most kLargestBlock), header written;
    // null when a new chunk was needed and the system refused it.
    void* Allocate(size_t bytes) noexcept;
    // Takes back a block from Allocate of whichever pool made it.
    static void Release(void* block) noexcept;

    // Gives the empty chunks kept for reuse back to the system.
    void ReleaseSpareChunks() noexcept;
    // Chunks taken from the system and not yet given back.
    size_t ChunkCount() const noexcept;

private:
    static constexpr size_t kClassCount = kLargestBlock / kGranule + 1;

    // Every chunk is on one of the two lists of its class, so that each
    // stays reachable from the pool for as long as it exists.
    struct SizeClass {
        PoolChunk* available = nullptr; // chunks with room, most recently freed into first
        PoolChunk* full = nullptr;
        PoolChunk* spare = nullptr; // the one empty chunk kept, if any
    };

    class Guard;

    PoolChunk* AddChunk(size_t classIndex) noexcept;
    void DropChunk(PoolChunk* chunk) noexcept;
    PoolChunk*& ListOf(const PoolChunk* chunk) noexcept;
    void Link(PoolChunk* chunk) noexcept;
    void Unlink(PoolChunk* chunk) noexcept;

    SizeClass m_classes[kClassCount] = {};
    size_t m_chunkCount = 0;
    std::atomic<bool> m_locked{false};
};

} // namespace kvor

#endif // KVOR_BLOCK_POOL_H
