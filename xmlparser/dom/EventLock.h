// CEventLock: the lock that guards each single call of an attribute table:
// one holder at a time, not re-entrant, created free.
//
// It is a flag rather than a system event: every element of a document has
// a table, and an event per table (two, with the base) would cost a system
// object, its memory and a kernel call for each element, while the lock is
// held only for a few copies and is almost never contended. A thread that
// finds it taken yields until the holder lets go, without limit.
#ifndef KVOR_EVENT_LOCK_H
#define KVOR_EVENT_LOCK_H

#include <atomic>

class CEventLock {
public:
    CEventLock() : m_held(false) {}
    virtual ~CEventLock() {}
    CEventLock(const CEventLock&) = delete;
    CEventLock& operator=(const CEventLock&) = delete;

    void Lock()
    {
        while (m_held.exchange(true, std::memory_order_acquire)) {
            WaitWhileHeld();
        }
    }
    void Unlock() { m_held.store(false, std::memory_order_release); }

private:
    void WaitWhileHeld();

    std::atomic<bool> m_held;
};

#endif // KVOR_EVENT_LOCK_H
