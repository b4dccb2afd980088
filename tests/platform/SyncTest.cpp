// Events and critical sections, as the library's locks use them: an
// attribute table's lock under contention is the table's own test.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "kvor/platform/kvorPlatform.h"

namespace {

// Created signalled, the first wait passes and takes the signal; of two
// waiters then asleep, each set lets exactly one through.
TEST(Event, AutoResetLetsOneWaitThroughPerSet)
{
    const HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    std::atomic<int> through{0};
    const auto wait = [&] {
        EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
        ++through;
    };
    std::thread first(wait), second(wait);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(through.load(), 0) << "a wait passed without a set";
    EXPECT_TRUE(EventModify(event, EVENT_SET));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (through.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(through.load(), 1) << "one set let both waiters through";
    EXPECT_TRUE(EventModify(event, EVENT_SET));
    first.join();
    second.join();
    EXPECT_TRUE(CloseHandle(event));
}

TEST(CriticalSection, IsRecursiveAndExcludesOthers)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section); // the owner enters again without blocking
    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(entered.load()) << "entered while the owner still held one level";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered.load());
    DeleteCriticalSection(&section);
}

} // namespace
