// Registry keys with the access the device grants every caller.
#include "kvorPlatform.h"

#undef RegOpenKeyExW
#undef RegCreateKeyExW

namespace {

REGSAM DeviceAccess(REGSAM access)
{
    return access == 0 ? KEY_READ | KEY_WRITE : access;
}

} // namespace

LSTATUS KvorRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    return RegOpenKeyExW(key, subKey, options, DeviceAccess(access), result);
}

LSTATUS KvorRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    return RegCreateKeyExW(key, subKey, reserved, className, options, DeviceAccess(access), security, result,
                           disposition);
}
