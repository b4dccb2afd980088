// Events and critical sections of the posix back end, as the library uses
// them: an auto-reset event as a lock (waited for without limit, set with
// EventModify) and recursive critical sections.
//
// An event keeps its state in an atomic flag, so that taking a signalled
// event and setting one that nobody waits for never touch a mutex. A thread
// that has to sleep sleeps on one mutex and condition variable shared by
// every event of the process: each attribute table of a loaded tree holds
// two events, and a mutex and condition variable of their own made every
// event several cache lines to write on a load and to free on a release. A
// process with a single thread sets and takes the flag without atomic
// read-modify-write: every attribute table takes and gives its event on
// each call.
#include <atomic>
#include <new>

#include "PosixSupport.h"

namespace {

using kvor::posix::KernelObject;

// Where threads wait for an event that is not signalled. A set wakes every
// sleeper, each of which looks at its own event's flag again.
pthread_mutex_t g_sleepers = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_wake = PTHREAD_COND_INITIALIZER;

// An auto-reset event: a wait takes the signal, a set gives it back.
class EventObject : public KernelObject {
public:
    explicit EventObject(bool signalled) : m_signalled(signalled) {}
    EventObject(const EventObject&) = delete;
    EventObject& operator=(const EventObject&) = delete;

    void Set()
    {
        // In a process with one thread nobody can be waiting, and nobody
        // can look at the flag meanwhile.
        if (kvor::ProcessIsSingleThreaded()) {
            m_signalled.store(true, std::memory_order_relaxed);
            return;
        }
        m_signalled.store(true);
        if (m_waiters.load() > 0) {
            pthread_mutex_lock(&g_sleepers);
            pthread_cond_broadcast(&g_wake);
            pthread_mutex_unlock(&g_sleepers);
        }
    }

    void Wait()
    {
        if (TryTake()) {
            return;
        }
        pthread_mutex_lock(&g_sleepers);
        ++m_waiters;
        while (!TryTake()) {
            pthread_cond_wait(&g_wake, &g_sleepers);
        }
        --m_waiters;
        pthread_mutex_unlock(&g_sleepers);
    }

private:
    bool TryTake()
    {
        if (kvor::ProcessIsSingleThreaded()) {
            const bool taken = m_signalled.load(std::memory_order_relaxed);
            m_signalled.store(false, std::memory_order_relaxed);
            return taken;
        }
        bool expected = true;
        return m_signalled.compare_exchange_strong(expected, false);
    }

    std::atomic<bool> m_signalled;
    // Sleepers on this event; changed under the shared mutex, read without
    // it by Set. Set stores the flag before reading this and a sleeper
    // counts itself before its last look at the flag, so one of the two
    // always sees the other.
    std::atomic<int> m_waiters{0};
};

// The library hands these calls only the events it created.
EventObject* AsEvent(HANDLE handle)
{
    return static_cast<EventObject*>(static_cast<KernelObject*>(handle));
}

} // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES /*security*/, BOOL /*manualReset*/, BOOL initialState, LPCWSTR /*name*/)
{
    EventObject* event = new (std::nothrow) EventObject(initialState != FALSE);
    if (event == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<KernelObject*>(event);
}

BOOL EventModify(HANDLE handle, DWORD /*action*/)
{
    AsEvent(handle)->Set();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD /*milliseconds*/)
{
    AsEvent(handle)->Wait();
    return WAIT_OBJECT_0;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutex_lock(&section->mutex);
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutex_unlock(&section->mutex);
}

void DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    pthread_mutex_destroy(&section->mutex);
}
