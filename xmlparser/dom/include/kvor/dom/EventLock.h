// CEventLock: one unnamed auto-reset event used as a lock: one holder at a
// time, not re-entrant, created free.
#ifndef KVOR_EVENT_LOCK_H
#define KVOR_EVENT_LOCK_H

#include "kvor/platform/kvorPlatform.h"

class CEventLock {
public:
    CEventLock();
    virtual ~CEventLock();
    CEventLock(const CEventLock&) = delete;
    CEventLock& operator=(const CEventLock&) = delete;

    void Lock();   // waits without limit
    void Unlock(); // EventModify(EVENT_SET)

private:
    HANDLE m_event;
};

#endif // KVOR_EVENT_LOCK_H
