// Events and critical sections.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "kvor/platform/kvorPlatform.h"

namespace {

// Created signalled, the first wait passes and takes the signal; each set
// then lets exactly one more wait through.
TEST(Event, AutoResetLetsOneWaitThroughPerSet)
{
    const HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    std::atomic<int> through{0};
    std::thread waiter([&] {
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
            ++through;
        }
    });
    for (int sets = 0; sets < 2; ++sets) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(through.load(), sets) << "waits through after " << sets << " sets";
        EXPECT_TRUE(EventModify(event, EVENT_SET));
        for (int i = 0; i < 1000 && through.load() <= sets; ++i) { // up to a second
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(through.load(), sets + 1) << "set " << sets + 1 << " let no wait through";
    }
    waiter.join();
    EXPECT_TRUE(CloseHandle(event));
}

// The attribute table's lock: threads that wait are woken one per set.
TEST(Event, AutoResetGuardsOneHolderAtATime)
{
    const HANDLE lock = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    int counter = 0; // deliberately not atomic: the event alone guards it
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                ASSERT_EQ(WaitForSingleObject(lock, INFINITE), WAIT_OBJECT_0);
                ++counter;
                EventModify(lock, EVENT_SET);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(counter, 4 * 10000);
    CloseHandle(lock);
}

// A table whose event could not be created holds a null handle; the
// library only ever sets an event.
TEST(Event, NullHandleAndOtherActionsFail)
{
    EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(EventModify(nullptr, EVENT_SET));
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_FALSE(EventModify(event, EVENT_SET - 1)) << "the device's reset";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(event);
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
