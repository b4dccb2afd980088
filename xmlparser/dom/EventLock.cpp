#include "kvor/dom/EventLock.h"

// Auto-reset and created signalled: the first Lock passes, the next waits
// until Unlock sets the event again.
CEventLock::CEventLock() : m_event(CreateEventW(nullptr, FALSE, TRUE, nullptr)) {}

CEventLock::~CEventLock()
{
    if (m_event != nullptr) {
        CloseHandle(m_event);
    }
}

// Without an event (the system refused one) the lock guards nothing rather
// than blocking its owner for ever.
void CEventLock::Lock()
{
    if (m_event != nullptr) {
        WaitForSingleObject(m_event, INFINITE);
    }
}

void CEventLock::Unlock()
{
    if (m_event != nullptr) {
        EventModify(m_event, EVENT_SET);
    }
}
