// Events and critical sections.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "kvorPlatform.h"

namespace {

// Closes the event with the scope.
class Event {
public:
    Event(bool manualReset, bool initialState) : m_handle(CreateEventW(nullptr, manualReset, initialState, nullptr)) {}
    ~Event() { CloseHandle(m_handle); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Spins until condition holds or ten seconds pass; true when it held.
template <typename Condition>
bool Eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

TEST(Event, GuardsOneHolderAtATime)
{
    Event lock(false, true);
    ASSERT_NE(lock.Handle(), nullptr);
    int counter = 0; // deliberately not atomic: the event alone guards it
    const int threads = 4;
    const int increments = 10000;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < increments; ++i) {
                ASSERT_EQ(WaitForSingleObject(lock.Handle(), INFINITE), WAIT_OBJECT_0);
                ++counter;
                EventModify(lock.Handle(), EVENT_SET);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(counter, threads * increments);
}

TEST(Event, AutoResetReleasesOneWaiterPerSet)
{
    Event event(false, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int t = 0; t < 3; ++t) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event.Handle(), 5000) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    SetEvent(event.Handle());
    EXPECT_TRUE(Eventually([&] { return released.load() >= 1; }));
    // Nothing else may pass until the next set; the event is taken again.
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(released.load(), 1);
    // Sets do not add up: each one releases a waiter once that one is taken.
    for (int expected = 2; expected <= 3; ++expected) {
        SetEvent(event.Handle());
        EXPECT_TRUE(Eventually([&] { return released.load() >= expected; })) << expected;
    }
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 3);
}

TEST(Event, StartsInTheStateAskedFor)
{
    Event set(false, true);
    Event unset(false, false);
    EXPECT_EQ(WaitForSingleObject(set.Handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(set.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT)); // auto reset
    EXPECT_EQ(WaitForSingleObject(unset.Handle(), 20), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    Event event(true, false);
    EXPECT_TRUE(EventModify(event.Handle(), EVENT_SET));
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), WAIT_OBJECT_0);
    EXPECT_TRUE(EventModify(event.Handle(), EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, ManualSetWakesEveryWaiter)
{
    Event event(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int t = 0; t < 3; ++t) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event.Handle(), INFINITE) == WAIT_OBJECT_0) {
                ++released;
            }
        });
    }
    SetEvent(event.Handle());
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(released.load(), 3);
}

TEST(Event, PulseWithoutWaitersLeavesItReset)
{
    Event automatic(false, false);
    Event manual(true, false);
    EXPECT_TRUE(EventModify(automatic.Handle(), EVENT_PULSE));
    EXPECT_TRUE(EventModify(manual.Handle(), EVENT_PULSE));
    EXPECT_EQ(WaitForSingleObject(automatic.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(manual.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, PulseReleasesAWaiter)
{
    Event event(true, false);
    std::atomic<bool> waiting{false};
    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] {
        waiting = true;
        result = WaitForSingleObject(event.Handle(), 10000);
    });
    EXPECT_TRUE(Eventually([&] { return waiting.load(); }));
    // Pulse until the waiter has gone to sleep and been released by one.
    while (result.load() == WAIT_FAILED) {
        EventModify(event.Handle(), EVENT_PULSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Event, BadHandlesFail)
{
    const HANDLE handles[] = {nullptr, INVALID_HANDLE_VALUE};
    for (HANDLE handle : handles) {
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(EventModify(handle, EVENT_SET));
        EXPECT_FALSE(CloseHandle(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
    Event event(false, false);
    EXPECT_FALSE(EventModify(event.Handle(), 99));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
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

TEST(LastError, BelongsToTheThread)
{
    SetLastError(42);
    DWORD seen = 1;
    std::thread other([&] {
        seen = GetLastError();
        SetLastError(7);
    });
    other.join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 42u);
}

} // namespace
