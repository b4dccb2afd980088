#include "EventLock.h"

#include <thread>

// Contended only when two threads call into one table at once; the holder
// is a few copies away from letting go.
void CEventLock::WaitWhileHeld()
{
    while (m_held.load(std::memory_order_relaxed)) {
        std::this_thread::yield();
    }
}
