// Registry keys with the access the device grants every caller, and the
// call's result left as the last error, as the device leaves it.
//
// Several processes may start on a fresh registry at once. A process that
// creates a key holds the creation lock until it closes that key, so that
// another process never opens a key that is still being filled (the logger
// writes its defaults and its Zone key into the key it has just created).
#include "kvor/platform/kvorPlatform.h"

#undef RegOpenKeyExW
#undef RegCreateKeyExW
#undef RegQueryValueExW
#undef RegSetValueExW
#undef RegDeleteValueW
#undef RegDeleteTreeW
#undef RegEnumKeyExW
#undef RegEnumValueW
#undef RegCloseKey

namespace {

// A named mutex, so that a process that dies while filling a key hands the
// lock on. It is owned by a thread: a key is closed on the thread that
// created it, as the logger's start does.
class CreationLock {
public:
    static CreationLock& Instance()
    {
        static CreationLock lock;
        return lock;
    }
    void Acquire() { WaitForSingleObject(m_mutex, INFINITE); }
    void Release() { ReleaseMutex(m_mutex); }
    // Waits until no other process is filling a key it created.
    void WaitForCreators()
    {
        Acquire();
        Release();
    }
    // Keeps the lock until key is closed; false when every slot is taken.
    bool HoldUntilClosed(HKEY key) { return Exchange(nullptr, key); }
    // Whether key held the lock; it no longer does.
    bool Closed(HKEY key) { return key != nullptr && Exchange(key, nullptr); }

private:
    CreationLock() : m_mutex(CreateMutexW(nullptr, FALSE, L"kvorXMLParser-registry-creation"))
    {
        InitializeCriticalSection(&m_section);
    }
    bool Exchange(HKEY from, HKEY to)
    {
        EnterCriticalSection(&m_section);
        bool found = false;
        for (HKEY& holder : m_holders) {
            if (holder == from) {
                holder = to;
                found = true;
                break;
            }
        }
        LeaveCriticalSection(&m_section);
        return found;
    }

    HANDLE m_mutex;
    CRITICAL_SECTION m_section;
    HKEY m_holders[16] = {}; // nested creations: a key and the keys created below it
};

REGSAM DeviceAccess(REGSAM access)
{
    return access == 0 ? KEY_READ | KEY_WRITE | DELETE : access;
}

LSTATUS Reported(LSTATUS result)
{
    SetLastError(static_cast<DWORD>(result));
    return result;
}

} // namespace

LSTATUS KvorRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    CreationLock::Instance().WaitForCreators();
    return Reported(RegOpenKeyExW(key, subKey, options, DeviceAccess(access), result));
}

LSTATUS KvorRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                            REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    CreationLock& lock = CreationLock::Instance();
    lock.Acquire();
    DWORD created = 0;
    const LSTATUS status = RegCreateKeyExW(key, subKey, reserved, className, options, DeviceAccess(access), security,
                                           result, &created);
    if (status != ERROR_SUCCESS || created != REG_CREATED_NEW_KEY || !lock.HoldUntilClosed(*result)) {
        lock.Release();
    }
    if (status == ERROR_SUCCESS && disposition != nullptr) {
        *disposition = created;
    }
    return Reported(status);
}

LSTATUS KvorRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return Reported(RegQueryValueExW(key, name, reserved, type, data, size));
}

LSTATUS KvorRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    return Reported(RegSetValueExW(key, name, reserved, type, data, size));
}

LSTATUS KvorRegDeleteValueW(HKEY key, LPCWSTR name)
{
    return Reported(RegDeleteValueW(key, name));
}

LSTATUS KvorRegDeleteTreeW(HKEY key, LPCWSTR subKey)
{
    return Reported(RegDeleteTreeW(key, subKey));
}

LSTATUS KvorRegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                          LPWSTR className, LPDWORD classChars, PFILETIME lastWrite)
{
    return Reported(RegEnumKeyExW(key, index, name, nameChars, reserved, className, classChars, lastWrite));
}

LSTATUS KvorRegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved, LPDWORD type,
                          LPBYTE data, LPDWORD dataSize)
{
    return Reported(RegEnumValueW(key, index, name, nameChars, reserved, type, data, dataSize));
}

LSTATUS KvorRegCloseKey(HKEY key)
{
    const LSTATUS status = RegCloseKey(key);
    if (CreationLock::Instance().Closed(key)) {
        CreationLock::Instance().Release();
    }
    return status;
}
