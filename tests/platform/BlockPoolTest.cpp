// The pool behind the library's small blocks: every block its own, aligned
// and of full size; empty chunks reused, then back to the system; a refused
// chunk costs nothing but the one block; threads share one pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
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

std::vector<Block> TakeMany(BlockPool& pool, int count, size_t bytes)
{
    std::vector<Block> blocks;
    for (int i = 0; i < count; ++i) {
        blocks.push_back(Take(pool, bytes, static_cast<unsigned char>(i)));
    }
    return blocks;
}

// Gives the blocks back; names those that no longer hold what was written into them.
std::string GiveAll(const std::vector<Block>& blocks)
{
    std::string damaged;
    for (const Block& block : blocks) {
        if (!std::all_of(block.memory, block.memory + block.bytes, [&](unsigned char b) { return b == block.fill; })) {
            damaged += std::to_string(block.bytes) + " bytes filled with " + std::to_string(block.fill) + "; ";
        }
        BlockPool::Release(block.memory);
    }
    return damaged;
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
    EXPECT_EQ(GiveAll(blocks), "");
    // Each of the 7 classes (16, 32, 112, 528, 704, 1536 and 2048 bytes)
    // keeps one empty chunk until asked to let it go.
    EXPECT_EQ(pool.ChunkCount(), 7u);
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
    EXPECT_EQ(kvortest::LiveBlocks(), liveWithList);
}

// A freed tree's chunks are kept as they empty, and the next tree takes
// them whatever its sizes; a block in use keeps its chunk; asked to, the
// pool gives every empty chunk back.
TEST(BlockPool, EmptyChunksAreKeptForAnyClassUntilReleased)
{
    BlockPool pool;
    std::vector<Block> blocks = TakeMany(pool, 100, 1536);
    const std::vector<Block> strings = TakeMany(pool, 1000, 100);
    EXPECT_EQ(pool.BlocksInUse(), 1100u);
    const size_t chunks = pool.ChunkCount();
    blocks.insert(blocks.end(), strings.begin(), strings.end() - 1);
    EXPECT_EQ(GiveAll(blocks), "");
    EXPECT_EQ(pool.ChunkCount(), chunks);
    EXPECT_EQ(pool.BlocksInUse(), 1u);
    const std::vector<Block> others = TakeMany(pool, 200, 700);
    EXPECT_EQ(pool.ChunkCount(), chunks) << "a new tree of other sizes took new chunks";
    EXPECT_EQ(GiveAll(others), "");
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 1u) << "the chunk in use";
    EXPECT_EQ(GiveAll({strings.back()}), "");
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

// A chunk that fills up: a refused successor fails only the one block and
// leaves the blocks already out good; once a successor exists, a block
// freed in the full chunk is still taken before the successor's.
TEST(BlockPool, FullChunkOutlivesARefusedSuccessorAndIsReusedFirst)
{
    BlockPool pool;
    {
        kvortest::ScopedAllocationFailure refuse(1);
        EXPECT_EQ(pool.Allocate(40), nullptr);
        EXPECT_TRUE(kvortest::AllocationWasRefused());
    }
    EXPECT_EQ(pool.ChunkCount(), 0u);
    std::vector<Block> blocks;
    while (pool.ChunkCount() < 2) {
        blocks.push_back(Take(pool, 2000, static_cast<unsigned char>(blocks.size())));
    }
    EXPECT_EQ(GiveAll({blocks.back()}), "");
    blocks.pop_back();
    pool.ReleaseEmptyChunks();
    ASSERT_EQ(pool.ChunkCount(), 1u);
    {
        kvortest::ScopedAllocationFailure refuse(1);
        EXPECT_EQ(pool.Allocate(2000), nullptr);
    }
    blocks.push_back(Take(pool, 2000, 0xAB)); // the successor's first block
    ASSERT_NE(blocks.back().memory, nullptr);
    Block& inFull = blocks[blocks.size() / 2];
    unsigned char* const freed = inFull.memory;
    BlockPool::Release(freed);
    inFull = Take(pool, 2000, inFull.fill);
    EXPECT_EQ(inFull.memory, freed) << "the successor's block came before the one freed in the full chunk";
    EXPECT_EQ(GiveAll(blocks), "");
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

// Blocks of every class taken and given by four threads at once; what each
// holds at the end is given back by another thread, the main one.
TEST(BlockPool, ThreadsShareOnePool)
{
    BlockPool pool;
    std::vector<std::vector<Block>> held(4);
    std::vector<std::string> damaged(4);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t + 1));
            for (int i = 0; i < 20000; ++i) {
                if (held[t].size() < 64 && random() % 3 != 0) {
                    const size_t bytes = random() % (BlockPool::kLargestBlock + 1);
                    held[t].push_back(Take(pool, bytes, static_cast<unsigned char>(t * 50 + i % 50)));
                } else if (!held[t].empty()) {
                    const size_t pick = random() % held[t].size();
                    damaged[t] += GiveAll({held[t][pick]});
                    held[t][pick] = held[t].back();
                    held[t].pop_back();
                }
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(damaged[t] + GiveAll(held[t]), "") << "thread " << t;
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
    // Each misuse runs in a child process of its own, on the same block.
    volatile char* block = static_cast<char*>(kvor::Allocate(40));
    char* const owned = const_cast<char*>(block);
    EXPECT_DEATH(block[40] = 1, "use-after-poison") << "write one past the end";
    EXPECT_DEATH(block[48] = 1, "use-after-poison") << "write into the next slot";
    EXPECT_DEATH(
        {
            kvor::Release(owned);
            (void)block[0];
        },
        "use-after-poison")
        << "read after release";
    EXPECT_DEATH(
        {
            kvor::Release(owned);
            kvor::Release(owned);
        },
        "released a block that is not in use")
        << "release twice";
    kvor::Release(owned);
}

} // namespace
