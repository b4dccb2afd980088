// Events and critical sections of the posix back end.
//
// An event keeps its state in an atomic flag, so that taking a signalled
// event and setting one that nobody waits for never touch the mutex; the
// mutex and condition variable serve only threads that have to sleep. A
// process with a single thread sets and takes the flag without atomic
// read-modify-write: every attribute table takes and gives its event on
// each call.
#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>

#include "PosixSupport.h"

namespace {

using kvor::posix::KernelObject;

timespec DeadlineAfter(DWORD milliseconds)
{
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

class EventObject : public KernelObject {
public:
    static const Kind kKind = Kind::Event;

    EventObject(bool manualReset, bool signalled)
        : KernelObject(kKind), m_manualReset(manualReset), m_signalled(signalled)
    {
    }
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
            WakeWaiters();
            pthread_mutex_unlock(&m_mutex);
        }
    }

    void Reset() { m_signalled.store(false); }

    // Releases the threads waiting now (manual reset) or one of them (auto
    // reset) and leaves the event reset.
    void Pulse()
    {
        LockMutex();
        if (m_waiters.load() > 0) {
            if (m_manualReset) {
                ++m_pulses;
                pthread_cond_broadcast(&m_wake);
            } else {
                m_signalled.store(true);
                pthread_cond_signal(&m_wake);
            }
        }
        pthread_mutex_unlock(&m_mutex);
    }

    DWORD Wait(DWORD milliseconds)
    {
        if (TryTake()) {
            return WAIT_OBJECT_0;
        }
        if (milliseconds == 0) {
            return WAIT_TIMEOUT;
        }
        const timespec deadline = DeadlineAfter(milliseconds == INFINITE ? 0 : milliseconds);
        LockMutex();
        ++m_waiters;
        const unsigned long pulses = m_pulses;
        DWORD result = WAIT_OBJECT_0;
        while (!TryTake() && pulses == m_pulses) {
            if (milliseconds == INFINITE) {
                pthread_cond_wait(&m_wake, &m_mutex);
            } else if (pthread_cond_clockwait(&m_wake, &m_mutex, CLOCK_MONOTONIC, &deadline) == ETIMEDOUT) {
                result = TryTake() || pulses != m_pulses ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
                break;
            }
        }
        --m_waiters;
        pthread_mutex_unlock(&m_mutex);
        return result;
    }

private:
    void LockMutex()
    {
        pthread_mutex_lock(&m_mutex);
        m_mutexUsed = true;
    }

    bool TryTake()
    {
        if (m_manualReset) {
            return m_signalled.load();
        }
        if (kvor::ProcessIsSingleThreaded()) {
            const bool taken = m_signalled.load(std::memory_order_relaxed);
            m_signalled.store(false, std::memory_order_relaxed);
            return taken;
        }
        bool expected = true;
        return m_signalled.compare_exchange_strong(expected, false);
    }

    void WakeWaiters()
    {
        if (m_manualReset) {
            pthread_cond_broadcast(&m_wake);
        } else {
            pthread_cond_signal(&m_wake);
        }
    }

    const bool m_manualReset;
    std::atomic<bool> m_signalled;
    // Sleepers; changed under the mutex, read without it by Set. Set stores
    // the flag before reading this and a sleeper counts itself before its
    // last look at the flag, so one of the two always sees the other.
    std::atomic<int> m_waiters{0};
    unsigned long m_pulses = 0;
    pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t m_wake = PTHREAD_COND_INITIALIZER; // waits with CLOCK_MONOTONIC deadlines
    bool m_mutexUsed = false;                         // set under the mutex
};

EventObject* AsEvent(HANDLE handle)
{
    EventObject* event = KernelObject::FromHandle<EventObject>(handle);
    if (event == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return event;
}

} // namespace

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES /*security*/, BOOL manualReset, BOOL initialState, LPCWSTR /*name*/)
{
    EventObject* event = new (std::nothrow) EventObject(manualReset != FALSE, initialState != FALSE);
    if (event == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<KernelObject*>(event);
}

BOOL SetEvent(HANDLE handle)
{
    return EventModify(handle, EVENT_SET);
}

BOOL EventModify(HANDLE handle, DWORD action)
{
    EventObject* event = AsEvent(handle);
    if (event == nullptr) {
        return FALSE;
    }
    switch (action) {
    case EVENT_SET:
        event->Set();
        return TRUE;
    case EVENT_RESET:
        event->Reset();
        return TRUE;
    case EVENT_PULSE:
        event->Pulse();
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    EventObject* event = AsEvent(handle);
    return event == nullptr ? WAIT_FAILED : event->Wait(milliseconds);
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
