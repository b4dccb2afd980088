// The device kernel's one event call, over the desktop calls it stands for.
#include "kvor/platform/kvorPlatform.h"

BOOL EventModify(HANDLE event, DWORD action)
{
    switch (action) {
    case EVENT_SET:
        return SetEvent(event);
    case EVENT_RESET:
        return ResetEvent(event);
    case EVENT_PULSE:
        return PulseEvent(event);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}
