// The pool behind the library's small blocks: every block its own, aligned
// and of full size; empty chunks kept for the next tree until released; a refused
// chunk costs nothing but the one block; threads share one pool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
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

// count blocks of bytes each, block i filled with first + i.
std::vector<Block> Take(BlockPool& pool, size_t bytes, int count = 1, int first = 0)
{
    std::vector<Block> blocks;
    for (int i = 0; i < count; ++i) {
        const Block block{static_cast<unsigned char*>(pool.Allocate(bytes)), bytes,
                          static_cast<unsigned char>(first + i)};
        EXPECT_NE(block.memory, nullptr) << bytes << " bytes";
        std::memset(block.memory, block.fill, bytes);
        blocks.push_back(block);
    }
    return blocks;
}

// Gives the blocks back; names those that no longer hold what was written into them.
std::string GiveAll(const std::vector<Block>& blocks)
{
    std::string damaged;
    for (const Block& block : blocks) {
        if (static_cast<size_t>(std::count(block.memory, block.memory + block.bytes, block.fill)) != block.bytes) {
            damaged += std::to_string(block.bytes) + " bytes filled with " + std::to_string(block.fill) + "; ";
        }
        BlockPool::Release(block.memory);
    }
    return damaged;
}

TEST(BlockPool, BlocksAreAlignedOwnAndOfFullSize)
{
    BlockPool pool;
    std::vector<Block> blocks;
    blocks.reserve(39);
    const long liveWithList = kvortest::LiveBlocks();
    for (int round = 0; round < 3; ++round) {
        for (size_t bytes : {0, 1, 2, 15, 16, 17, 31, 100, 520, 696, 1536, 2047, 2048}) {
            blocks.push_back(Take(pool, bytes, 1, static_cast<int>(blocks.size()) + 1)[0]);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks.back().memory) % alignof(std::max_align_t), 0u) << bytes;
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
    std::vector<Block> blocks = Take(pool, 1536, 100);
    const std::vector<Block> strings = Take(pool, 100, 1000);
    EXPECT_EQ(pool.BlocksInUse(), 1100u);
    const size_t chunks = pool.ChunkCount();
    blocks.insert(blocks.end(), strings.begin(), strings.end() - 1);
    EXPECT_EQ(GiveAll(blocks), "");
    EXPECT_EQ(pool.ChunkCount(), chunks);
    EXPECT_EQ(pool.BlocksInUse(), 1u);
    const std::vector<Block> others = Take(pool, 700, 200);
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
    std::vector<Block> blocks;
    while (pool.ChunkCount() < 2) {
        blocks.push_back(Take(pool, 2000, 1, static_cast<int>(blocks.size()))[0]);
    }
    EXPECT_EQ(GiveAll({blocks.back()}), "");
    blocks.pop_back();
    pool.ReleaseEmptyChunks();
    ASSERT_EQ(pool.ChunkCount(), 1u);
    {
        kvortest::ScopedAllocationFailure refuse(1);
        EXPECT_EQ(pool.Allocate(2000), nullptr);
        EXPECT_TRUE(kvortest::AllocationWasRefused());
    }
    blocks.push_back(Take(pool, 2000, 1, 0xAB)[0]); // the successor's first block
    Block& inFull = blocks[blocks.size() / 2];
    unsigned char* const freed = inFull.memory;
    BlockPool::Release(freed);
    inFull = Take(pool, 2000, 1, inFull.fill)[0];
    EXPECT_EQ(inFull.memory, freed) << "the successor's block came before the one freed in the full chunk";
    EXPECT_EQ(GiveAll(blocks), "");
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

// With a second thread alive a thread takes blocks through a cache of its
// own, filled from the chunks that have room: a refused chunk still fails
// only the block that needed it, after every slot of the chunk in hand.
TEST(BlockPool, ACacheFillsOnlyFromChunksWithRoom)
{
    std::mutex held;
    held.lock();
    std::thread idle([&held] { std::lock_guard<std::mutex> wait(held); });
    std::vector<void*> blocks;
    blocks.reserve(256);
    for (size_t bytes : {100, 528, 1000}) { // a chunk's last slots fall in a fill or at its start
        BlockPool pool;
        {
            kvortest::ScopedAllocationFailure refuseTheSecondChunk(2);
            for (void* block = pool.Allocate(bytes); block != nullptr; block = pool.Allocate(bytes)) {
                blocks.push_back(block);
            }
        }
        EXPECT_EQ(blocks.size(), pool.BlocksInUse()) << bytes;
        EXPECT_EQ(pool.ChunkCount(), 1u) << bytes;
        EXPECT_GT(blocks.size() * (bytes + 32), BlockPool::kChunkBytes / 2) << bytes << ": slots left unused";
        std::for_each(blocks.begin(), blocks.end(), BlockPool::Release);
        blocks.clear();
        pool.ReleaseEmptyChunks();
        EXPECT_EQ(pool.ChunkCount(), 0u) << bytes;
    }
    held.unlock();
    idle.join();
}

// Blocks of every class taken and given by four threads at once; what each
// holds at the end is given back by another thread, the main one, and
// what the threads kept for themselves is free.
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
                    held[t].push_back(Take(pool, random() % (BlockPool::kLargestBlock + 1), 1, t * 50 + i % 50)[0]);
                } else if (!held[t].empty()) {
                    const size_t pick = random() % held[t].size();
                    damaged[t] += GiveAll({held[t][pick]});
                    held[t][pick] = held[t].back();
                    held[t].pop_back();
                }
            }
        });
    }
    for (int t = 0; t < 4; ++t) {
        workers[t].join();
        EXPECT_EQ(damaged[t] + GiveAll(held[t]), "") << "thread " << t;
    }
    EXPECT_EQ(pool.BlocksInUse(), 0u) << "a block a thread keeps for itself counted in use";
    pool.ReleaseEmptyChunks();
    EXPECT_EQ(pool.ChunkCount(), 0u);
}

// Tests run the heap as shipped: small blocks from the pool, unless a test
// is refusing allocations; a size that cannot be had is refused.
TEST(Memory, SmallBlocksComeFromThePoolExceptWhileAllocationsAreRefused)
{
    EXPECT_EQ(kvor::Allocate(SIZE_MAX - 4), nullptr);
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
// system heap would be; each misuse runs in a child process of its own.
TEST(MemoryDeathTest, SanitizerReportsMisuseOfPooledBlocks)
{
    if (!KVOR_ADDRESS_SANITIZER) {
        GTEST_SKIP() << "built without AddressSanitizer";
    }
    volatile char* block = static_cast<char*>(kvor::Allocate(40));
    char* const owned = const_cast<char*>(block);
    EXPECT_DEATH(block[40] = 1, "use-after-poison") << "write one past the end";
    EXPECT_DEATH(block[48] = 1, "use-after-poison") << "write into the next slot";
    EXPECT_DEATH({ kvor::Release(owned); (void)block[0]; }, "use-after-poison") << "read after release";
    EXPECT_DEATH({ kvor::Release(owned); kvor::Release(owned); }, "released a block that is not in use");
    kvor::Release(owned);
}

} // namespace
