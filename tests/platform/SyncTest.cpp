// Events and critical sections.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "kvor/platform/kvorPlatform.h"

namespace {

void CheckStatesWithoutWaiters()
{
    struct Case { const char* name; bool manual, initial; DWORD action; DWORD firstWait, secondWait; };
    const DWORD none = 0, taken = WAIT_OBJECT_0, timeout = WAIT_TIMEOUT;
    const Case cases[] = {
        {"auto, set", false, true, none, taken, timeout},
        {"auto, reset", false, false, none, timeout, timeout},
        {"auto, set later", false, false, EVENT_SET, taken, timeout},
        {"auto, pulsed without waiters", false, false, EVENT_PULSE, timeout, timeout},
        {"manual, set later", true, false, EVENT_SET, taken, taken},
        {"manual, reset later", true, true, EVENT_RESET, timeout, timeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HANDLE event = CreateEventW(nullptr, c.manual, c.initial, nullptr);
        EXPECT_TRUE(c.action == none || EventModify(event, c.action));
        EXPECT_EQ(WaitForSingleObject(event, 0), c.firstWait);
        EXPECT_EQ(WaitForSingleObject(event, 20), c.secondWait);
        EXPECT_TRUE(CloseHandle(event));
    }
}

// A process with one thread takes a shorter way to the same states.
TEST(Event, StateAfterCreationAndEachActionWithoutWaiters)
{
    {
        SCOPED_TRACE("one thread");
        CheckStatesWithoutWaiters();
    }
    std::atomic<bool> done{false};
    std::thread companion([&done] {
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    {
        SCOPED_TRACE("two threads");
        EXPECT_FALSE(kvor::ProcessIsSingleThreaded());
        CheckStatesWithoutWaiters();
    }
    done = true;
    companion.join();
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

// A table whose event could not be created holds a null handle.
TEST(Event, NullHandleFails)
{
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(EventModify(nullptr, EVENT_SET));
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
