#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "DomTestSupport.h"
#include "KeyValueTable.h"

using kvortest::W;

namespace {

// Threads add, replace and remove their own keys in one table at once,
// through several growths of its array. Each call is atomic, so nothing may
// be lost, doubled or torn.
TEST(KeyValueTableConcurrency, AddSetRemoveFromFourThreadsLoseNothing)
{
    const int kThreads = 4;
    const int kKeys = 1000;
    CKeyValueTable table;
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&table, &ready, t] {
            // All start together, so that the calls really overlap.
            for (++ready; ready.load() < kThreads;) {
                std::this_thread::yield();
            }
            for (int i = 0; i < kKeys; ++i) {
                const std::string id = std::to_string(t) + "-" + std::to_string(i);
                const kvortest::WString key = W("k" + id);
                table.Add(key.c_str(), KVOR_TEXT("added"), 0);
                table.Set(key.c_str(), W("set" + id).c_str(), static_cast<uint32_t>(i));
                table.Set(W("n" + id).c_str(), KVOR_TEXT("new"), 1);
                if (i % 3 == 0) {
                    table.Remove(key.c_str());
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::map<std::string, int> seen;
    for (const std::string& entry : kvortest::Entries(table)) {
        ++seen[entry];
    }
    size_t expected = 0;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kKeys; ++i) {
            const std::string id = std::to_string(t) + "-" + std::to_string(i);
            EXPECT_EQ(seen["n" + id + "=new/1"], 1) << id;
            expected += 1;
            if (i % 3 != 0) {
                EXPECT_EQ(seen["k" + id + "=set" + id + "/" + std::to_string(i)], 1) << id;
                expected += 1;
            }
        }
    }
    EXPECT_EQ(static_cast<size_t>(table.GetCount()), expected);
}

} // namespace
