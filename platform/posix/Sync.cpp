// Events and critical sections of the posix back end, as the library uses
// them: an auto-reset event as a lock (waited for without limit, set with
// EventModify) and recursive critical sections.
//
// An event keeps its state in an atomic flag, so that taking a signalled
// event and setting one that nobody waits for never touch the mutex; the
// mutex and condition variable serve only threads that have to sleep. A
// process with a single thread sets and takes the flag without atomic
// read-modify-write: every attribute table takes and gives its event on
// each call.
#include <atomic>
#include <new>

#include "PosixSupport.h"

namespace {

using kvor::posix::KernelObject;

// An auto-reset event: a wait takes the signal, a set gives it back.
class EventObject : public KernelObject {
public:

    explicit EventObject(bool signalled) : m_signalled(signalled) {}
    // The mutex and condition variable start from their static initialisers;
    // one that was never locked holds nothing to give back, and tables
    // create and destroy two events each.
    ~EventObject() override
    {
        if (m_mutexUsed) {
            pthread_cond_destroy(&m_wake);
            pthread_mutex_destroy(&m_mutex);
        }
    }
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
            LockMutex();
            pthread_cond_signal(&m_wake);
            pthread_mutex_unlock(&m_mutex);
        }
    }

    void Wait()
    {
        if (TryTake()) {
            return;
        }
        LockMutex();
        ++m_waiters;
        while (!TryTake()) {
            pthread_cond_wait(&m_wake, &m_mutex);
        }
        --m_waiters;
        pthread_mutex_unlock(&m_mutex);
    }

private:
    void LockMutex()
    {
        pthread_mutex_lock(&m_mutex);
        m_mutexUsed = true;
    }

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
    // Sleepers; changed under the mutex, read without it by Set. Set stores
    // the flag before reading this and a sleeper counts itself before its
    // last look at the flag, so one of the two always sees the other.
    std::atomic<int> m_waiters{0};
    pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t m_wake = PTHREAD_COND_INITIALIZER;
    bool m_mutexUsed = false; // set under the mutex
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
