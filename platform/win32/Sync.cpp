// The device kernel's one event call, over the desktop call it stands for.
#include "kvor/platform/kvorPlatform.h"

BOOL EventModify(HANDLE event, DWORD action)
{
    if (action != EVENT_SET) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return SetEvent(event);
}
