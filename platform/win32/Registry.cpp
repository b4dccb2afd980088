// Registry keys with the access the device grants every caller, and the
// call's result left as the last error, as the device leaves it.
#include "kvorPlatform.h"

#undef RegOpenKeyExW
#undef RegCreateKeyExW
#undef RegQueryValueExW
#undef RegSetValueExW

namespace {

REGSAM DeviceAccess(REGSAM access)
{
    return access == 0 ? KEY_READ | KEY_WRITE : access;
}

LSTATUS Reported(LSTATUS result)
{
    SetLastError(static_cast<DWORD>(result));
    return result;
}

} // namespace

LSTATUS KvorRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    return Reported(RegOpenKeyExW(key, subKey, options, DeviceAccess(access), result));
}

LSTATUS KvorRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    return Reported(RegCreateKeyExW(key, subKey, reserved, className, options, DeviceAccess(access), security,
                                    result, disposition));
}

LSTATUS KvorRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return Reported(RegQueryValueExW(key, name, reserved, type, data, size));
}

LSTATUS KvorRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    return Reported(RegSetValueExW(key, name, reserved, type, data, size));
}
