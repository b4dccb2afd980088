// The pool behind the library's small blocks: every block its own, aligned
// and of full size; empty chunks reused, then back to the system; a refused
// chunk costs nothing but the one block; threads share one pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "FailingAllocator.h"
#include "common/BlockPool.h"
#include "kvor/platform/kvorPlatform.h"

using kvor::BlockPool;

namespace {

struct Block {
    unsigned char* memory;
    size_t bytes;
    unsigned char fill;
};

Block Take(BlockPool& pool, size_t bytes, unsigned char fill)
{
    unsigned char* memory = static_cast<unsigned char*>(pool.Allocate(bytes));
    if (memory != nullptr) {
        std::memset(memory, fill, bytes);
    }
    return Block{memory, bytes, fill};
}

// Whether the block still holds what was written into it, and gives it back.
bool Give(const Block& block)
{
    bool intact = true;
    for (size_t i = 0; i < block.bytes; ++i) {
        intact = intact && block.memory[i] == block.fill;
    }
    BlockPool::Release(block.memory);
    return intact;
}

TEST(BlockPool, BlocksAreAlignedOwnAndOfFullSize)
{
    const std::vector<size_t> sizes = {0, 1, 2, 15, 16, 17, 31, 100, 520, 696, 1536, 2047, 2048};
    BlockPool pool;
    std::vector<Block> blocks;
    blocks.reserve(3 * sizes.size());
    const long liveWithList = kvortest::LiveBlocks();
    for (int round = 0; round < 3; ++round) {
        for (size_t bytes : sizes) {
            blocks.push_back(Take(pool, bytes, static_cast<unsigned char>(blocks.size() + 1)));
            ASSERT_NE(blocks.back().memory, nullptr) << bytes << " bytes";
            EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks.back().memory) % alignof(std::max_align_t), 0u)
                << bytes << " bytes";
        }
    }
    for (const Block& block : blocks) {
        EXPECT_TRUE(Give(block)) << block.bytes << " bytes, block " << int(block.fill);
    }
    // Each of the 7 classes (16, 32, 112, 528, 704, 1536 and 2048 bytes)
    // keeps one empty chunk until asked to let it go.
    EXPECT_EQ(pool.ChunkCount(), 7u);
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
    EXPECT_EQ(kvortest::LiveBlocks(), liveWithList);
}

std::vector<Block> TakeMany(BlockPool& pool, int count, size_t bytes)
{
    std::vector<Block> blocks;
    for (int i = 0; i < count; ++i) {
        blocks.push_back(Take(pool, bytes, static_cast<unsigned char>(i)));
    }
    return blocks;
}

// A freed tree's chunks go back to the system as they empty, but for one
// per class; a block in use keeps its chunk.
TEST(BlockPool, EmptyChunksGoBackButOnePerClass)
{
    BlockPool pool;
    std::vector<Block> tables = TakeMany(pool, 100, 1536);
    std::vector<Block> strings = TakeMany(pool, 1000, 100);
    EXPECT_EQ(pool.BlocksInUse(), 1100u);
    const Block kept = strings.back();
    strings.pop_back();
    for (const std::vector<Block>* blocks : {&tables, &strings}) {
        for (const Block& block : *blocks) {
            EXPECT_TRUE(Give(block));
        }
    }
    EXPECT_EQ(pool.ChunkCount(), 3u) << "an empty one per class and the chunk in use";
    EXPECT_EQ(pool.BlocksInUse(), 1u);
    EXPECT_TRUE(Give(kept));
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

TEST(BlockPool, BlockFreedFromAFullChunkIsTakenBeforeANewChunk)
{
    BlockPool pool;
    std::vector<void*> first;
    while (pool.ChunkCount() < 2) {
        first.push_back(pool.Allocate(600));
    }
    void* opener = first.back(); // the first block of the second chunk
    first.pop_back();
    void* freed = first[first.size() / 2];
    BlockPool::Release(freed);
    EXPECT_EQ(pool.Allocate(600), freed);
    BlockPool::Release(opener);
    for (void* block : first) {
        BlockPool::Release(block);
    }
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

TEST(BlockPool, RefusedChunkFailsOnlyThatBlock)
{
    BlockPool pool;
    {
        kvortest::ScopedAllocationFailure refuse(1);
        EXPECT_EQ(pool.Allocate(40), nullptr);
        EXPECT_TRUE(kvortest::AllocationWasRefused());
    }
    EXPECT_EQ(pool.ChunkCount(), 0u);
    // A full chunk whose successor is refused: the blocks already out stay good.
    std::vector<Block> blocks;
    while (pool.ChunkCount() < 2) {
        blocks.push_back(Take(pool, 2000, static_cast<unsigned char>(blocks.size())));
    }
    BlockPool::Release(blocks.back().memory);
    blocks.pop_back();
    pool.ReleaseEmptyChunks();
    ASSERT_EQ(pool.ChunkCount(), 1u);
    {
        kvortest::ScopedAllocationFailure refuse(1);
        EXPECT_EQ(pool.Allocate(2000), nullptr);
    }
    blocks.push_back(Take(pool, 2000, 0xAB));
    ASSERT_NE(blocks.back().memory, nullptr);
    for (const Block& block : blocks) {
        EXPECT_TRUE(Give(block));
    }
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

// Blocks of every class taken and given by four threads at once, some of
// them given back by another thread than the one that took them.
TEST(BlockPool, ThreadsShareOnePool)
{
    BlockPool pool;
    const int threads = 4;
    std::vector<std::vector<Block>> leftovers(threads);
    std::vector<int> damaged(threads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t + 1));
            std::vector<Block> held;
            for (int i = 0; i < 20000; ++i) {
                if (held.size() < 64 && random() % 3 != 0) {
                    const size_t bytes = random() % (BlockPool::kLargestBlock + 1);
                    held.push_back(Take(pool, bytes, static_cast<unsigned char>(t * 50 + i % 50)));
                } else if (!held.empty()) {
                    const size_t pick = random() % held.size();
                    damaged[t] += Give(held[pick]) ? 0 : 1;
                    held[pick] = held.back();
                    held.pop_back();
                }
            }
            leftovers[(t + 1) % threads] = held;
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::vector<std::thread> givers;
    for (int t = 0; t < threads; ++t) {
        givers.emplace_back([&, t] {
            for (const Block& block : leftovers[t]) {
                damaged[t] += Give(block) ? 0 : 1;
            }
        });
    }
    for (std::thread& giver : givers) {
        giver.join();
    }
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(damaged[t], 0) << "thread " << t;
    }
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

TEST(Memory, OversizedRequestsAreRefusedAndNullIsReleased)
{
    EXPECT_EQ(kvor::Allocate(SIZE_MAX), nullptr);
    EXPECT_EQ(kvor::Allocate(SIZE_MAX - 4), nullptr);
    kvor::Release(nullptr);
    void* large = kvor::Allocate(BlockPool::kLargestBlock + 1);
    ASSERT_NE(large, nullptr);
    std::memset(large, 0x5A, BlockPool::kLargestBlock + 1);
    kvor::Release(large);
}

// Tests run the heap as shipped: small blocks from the pool, unless a test
// is refusing allocations.
TEST(Memory, SmallBlocksComeFromThePoolExceptWhileAllocationsAreRefused)
{
    const size_t before = kvor::testing::CountHeap().blocks;
    void* pooled = kvor::Allocate(100);
    EXPECT_EQ(kvor::testing::CountHeap().blocks, before + 1);
    void* counted = nullptr;
    {
        kvortest::ScopedAllocationFailure refuse(2);
        counted = kvor::Allocate(100);
    }
    EXPECT_EQ(kvor::testing::CountHeap().blocks, before + 1);
    kvor::Release(counted);
    kvor::Release(pooled);
    EXPECT_EQ(kvor::testing::CountHeap().blocks, before);
}

// Under AddressSanitizer a pooled block is watched as a block of the
// system heap would be.
TEST(MemoryDeathTest, SanitizerReportsMisuseOfPooledBlocks)
{
    if (!KVOR_ADDRESS_SANITIZER) {
        GTEST_SKIP() << "built without AddressSanitizer";
    }
    struct Case {
        const char* name;
        void (*misuse)();
        const char* report;
    };
    const Case cases[] = {
        {"read after release",
         [] {
             volatile char* block = static_cast<char*>(kvor::Allocate(40));
             kvor::Release(const_cast<char*>(block));
             (void)block[0];
         },
         "use-after-poison"},
        {"write one past the end",
         [] { static_cast<volatile char*>(kvor::Allocate(40))[40] = 1; }, "use-after-poison"},
        {"write into the next slot", [] { static_cast<volatile char*>(kvor::Allocate(40))[48] = 1; },
         "use-after-poison"},
        {"release twice",
         [] {
             void* block = kvor::Allocate(40);
             kvor::Release(block);
             kvor::Release(block);
         },
         "released a block that is not in use"},
    };
    for (const Case& c : cases) {
        EXPECT_DEATH(c.misuse(), c.report) << c.name;
    }
}

} // namespace
