// BlockPool: the small blocks of the library's heap.
//
// A loaded element owns about two dozen blocks, most of them a few bytes of
// text, and loading or freeing a document allocates or frees them in long
// runs. The pool serves them from 16 KB chunks, one size class per 16 bytes
// up to 2 KB. Each class keeps one empty chunk of its own, so that a block
// freed and taken again at once does not cost a chunk each time. Other
// chunks that empty go to a reserve shared by all classes, up to 64 MB, and
// the next tree takes its chunks from there: given back to the system, they
// came back as fresh pages, and faulting in and clearing a tree's pages
// again cost a whole-process load of 1 MB as much as the parsing itself.
// Past the bound, and when asked (ReleaseEmptyChunks), they go back.
//
// Each thread keeps a few free blocks of each class for itself, so that
// with more than one thread in the process a block taken or given costs no
// hold of the pool's lock: it takes them from the chunks, and gives them
// back, half a cache at a time under one hold; a process with a single
// thread takes no lock and goes by no cache, nor does a system whose
// thread-local variables do not serve. A thread caches at most 64
// blocks of a class and no more than 4 KB of them (two blocks of the
// largest classes), so at most about 0.5 MB in all. Cached blocks are free:
// not counted in use, marked like any freed block. A thread's cache serves
// one pool at a time; it goes back to its pool when the thread ends, when
// the thread asks that pool for ReleaseEmptyChunks or turns to another
// pool. So a pool must outlive every thread that used it, or those threads
// must have given their caches back. The system keeps the library loaded
// while a thread that kept blocks lives, so that the cache's teardown still
// finds its code: asked to unload meanwhile, it stays until that thread
// ends, and gives its chunks back then.
//
// Under AddressSanitizer the pool marks the slots of its chunks as
// unaddressable except the blocks it has handed out (block headers, free
// and never-used slots), so that a use after free or an overflow into the
// next slot is reported as it would be for a block of the system heap.
#ifndef KVOR_BLOCK_POOL_H
#define KVOR_BLOCK_POOL_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#if defined(__has_feature)
#define KVOR_HAS_FEATURE(feature) __has_feature(feature)
#else
#define KVOR_HAS_FEATURE(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || KVOR_HAS_FEATURE(address_sanitizer)
#define KVOR_ADDRESS_SANITIZER 1
// The heap's own code reads and writes its bookkeeping, which lies in
// memory marked unaddressable, without the sanitizer's checks.
#define KVOR_HEAP_INTERNAL __attribute__((no_sanitize_address))
#else
#define KVOR_ADDRESS_SANITIZER 0
#define KVOR_HEAP_INTERNAL
#endif

// A thread-local variable reached by one load instead of a call. The loader
// keeps only a few hundred bytes free for these in libraries loaded late,
// and all of a library's thread-local variables then take that room: the
// library keeps no more than a few bytes thread-local.
#if defined(__ELF__)
#define KVOR_QUICK_THREAD_LOCAL __attribute__((tls_model("initial-exec")))
#else
#define KVOR_QUICK_THREAD_LOCAL
#endif

namespace kvor {

struct PoolChunk;

// Stands in front of every block that Allocate hands out: the chunk of a
// pooled block, null for a block of its own from the system heap, whose
// size it also keeps (the header is as large as the alignment makes it).
struct alignas(std::max_align_t) BlockHeader {
    PoolChunk* chunk;
    size_t largeBytes;
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
    static constexpr size_t kReserveChunks = 4096; // 64 MB

    constexpr BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A block of at least bytes (at most kLargestBlock), header written;
    // null when a new chunk was needed and the system refused it.
    void* Allocate(size_t bytes) noexcept;
    // Takes back a block from Allocate of whichever pool made it.
    static void Release(void* block) noexcept;

    // Gives every empty chunk back to the system now.
    void ReleaseEmptyChunks() noexcept;
    // Chunks taken from the system and not yet given back, the reserve's too.
    size_t ChunkCount() const noexcept;
    // Blocks handed out and not yet taken back; blocks in threads' caches
    // are not in use.
    size_t BlocksInUse() const noexcept;

private:
    static constexpr size_t kClassCount = kLargestBlock / kGranule + 1;

    struct ThreadCache;
    struct ThreadEnd;
    // The thread's cache, made when it first turns to a pool; ended once
    // the thread gave it back for good.
    KVOR_QUICK_THREAD_LOCAL static thread_local ThreadCache* t_cache;
    KVOR_QUICK_THREAD_LOCAL static thread_local bool t_ended;

    // Every chunk is on one of the two lists of its class, so that each
    // stays reachable from the pool for as long as it exists.
    struct SizeClass {
        PoolChunk* available = nullptr; // chunks with room, most recently freed into first
        PoolChunk* full = nullptr;
        PoolChunk* spare = nullptr; // the one empty chunk kept, if any
    };

    class Guard;

    void* AllocateUncached(size_t classIndex, size_t bytes) noexcept;
    void ReleaseUncached(void* block) noexcept;
    // The caller's cache bound to this pool; null when the thread has ended
    // or no cache could be made.
    ThreadCache* Bind() noexcept;
    static void Unbind(ThreadCache& cache) noexcept;
    // The following need the lock held, or the process's only thread.
    void* TakeBlock(size_t classIndex) noexcept;
    void GiveBlock(void* block) noexcept;
    void GiveCached(ThreadCache& cache, size_t classIndex, size_t keep) noexcept;
    PoolChunk* AddChunk(size_t classIndex) noexcept;
    // An empty chunk out of its class: into the reserve, or back to the system.
    void RetireChunk(PoolChunk* chunk) noexcept;
    void DropChunk(PoolChunk* chunk) noexcept;
    PoolChunk*& ListOf(const PoolChunk* chunk) noexcept;
    void Link(PoolChunk* chunk) noexcept;
    void Unlink(PoolChunk* chunk) noexcept;

    SizeClass m_classes[kClassCount] = {};
    PoolChunk* m_reserve = nullptr; // empty chunks of no class, linked by next
    size_t m_reserveCount = 0;
    size_t m_chunkCount = 0;
    size_t m_blocksInUse = 0; // blocks out of their chunks, the cached ones too
    ThreadCache* m_caches = nullptr; // of the threads bound to this pool
    mutable std::atomic<bool> m_locked{false};
};

} // namespace kvor

#endif // KVOR_BLOCK_POOL_H
