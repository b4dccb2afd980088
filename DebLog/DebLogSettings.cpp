// The logger's registry settings: the global key with its defaults, the
// per-executable overrides, the per-zone keys, and the diagnostic line the
// registry functions print.
#include "DebLogger.h"
#include "kvor/deblog/DebLogRegistry.h"

namespace {

const WCHAR kKvorKey[] = KVOR_TEXT("SOFTWARE\\KVOR\\");
const WCHAR kLoggerName[] = KVOR_TEXT("DebLogger");
const WCHAR kZoneName[] = KVOR_TEXT("Zone");
const WCHAR kOutputEnable[] = KVOR_TEXT("OutputEnable");
const WCHAR kSeverity[] = KVOR_TEXT("Severity");
const WCHAR kOutputType[] = KVOR_TEXT("OutputType");
const WCHAR kFileMode[] = KVOR_TEXT("FileMode");
const WCHAR kTimeFormat[] = KVOR_TEXT("TimeFormat");

HKEY CreateSubkey(HKEY parent, const WCHAR* name, DWORD* disposition)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, name, 0, nullptr, 0, 0, nullptr, &key, disposition) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

const WCHAR kDebLogKey[] = KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger");
const WCHAR kDebLogZoneKey[] = KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger\\Zone");
const DebLogDword kDebLogGlobalDefaults[kDebLogGlobalDefaultCount] = {
    {kOutputType, 1},
    {kSeverity, 3},
    {kFileMode, 0},
    {kTimeFormat, 0},
};
const DebLogDword kDebLogZoneDefault = {kOutputEnable, 1};

uint32_t DebLogger::CreateGlobalSetting()
{
    SettingsPrint(KVOR_TEXT("DEB_KVOR_PATH = %s"), kKvorKey);
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKvorKey, 0, 0, &parent) != ERROR_SUCCESS) {
        SettingsPrint(KVOR_TEXT("Open registry key %s unsuccessfully, Last Error = 0x%08X"), kKvorKey,
                      GetLastError());
        return 1;
    }
    DWORD disposition = 0;
    HKEY logger = CreateSubkey(parent, kLoggerName, &disposition);
    if (logger == nullptr) {
        SettingsPrint(KVOR_TEXT("Create registry key %s unsuccessfully, Last Error = 0x%08X"), kLoggerName,
                      GetLastError());
        RegCloseKey(parent);
        return 1;
    }
    uint32_t failed = 0;
    if (disposition == REG_CREATED_NEW_KEY) {
        for (const DebLogDword& value : kDebLogGlobalDefaults) {
            if (WriteRegDword(logger, value.name, value.value) == 0) {
                SettingsPrint(KVOR_TEXT("Succeed to set value of %s in registry key %s\r\n"), value.name,
                              kLoggerName);
            } else {
                failed = 1;
                SettingsPrint(KVOR_TEXT("Set value of %s in registry key %s unsuccessfully, Last Error = 0x%08X"),
                              value.name, kLoggerName, GetLastError());
            }
        }
        HKEY zone = CreateSubkey(logger, kZoneName, nullptr);
        if (zone == nullptr) {
            SettingsPrint(KVOR_TEXT("Failed to create subkey %s of %s, Last Error = 0x%08X\r\n"), kZoneName,
                          kLoggerName, GetLastError());
            RegCloseKey(logger);
            RegCloseKey(parent);
            return 1;
        }
        SettingsPrint(KVOR_TEXT("Succeed to create subkey %s of %s\r\n"), kZoneName, kLoggerName);
        RegCloseKey(zone);
    }
    RegCloseKey(logger);
    RegCloseKey(parent);
    return failed;
}

uint32_t DebLogger::ReadGlobalSetting(const WCHAR* keyPath, GlobalSetting* setting)
{
    uint32_t value = 0;
    if (ReadRegDword(HKEY_LOCAL_MACHINE, keyPath, kOutputType, &value) == 0) {
        setting->OutputType = static_cast<uint16_t>(value);
    }
    if (ReadRegDword(HKEY_LOCAL_MACHINE, keyPath, kSeverity, &value) == 0) {
        setting->Severity = static_cast<uint16_t>(value);
    }
    if (ReadRegDword(HKEY_LOCAL_MACHINE, keyPath, kFileMode, &value) == 0) {
        setting->FileMode = static_cast<uint16_t>(value);
    }
    if (ReadRegDword(HKEY_LOCAL_MACHINE, keyPath, kTimeFormat, &value) == 0) {
        setting->TimeFormat = static_cast<uint16_t>(value & 0xFF);
    }
    return 0;
}

uint32_t DebLogger::CreateZoneSetting(const WCHAR* zoneName)
{
    HKEY zones = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDebLogZoneKey, 0, 0, &zones) != ERROR_SUCCESS) {
        SettingsPrint(KVOR_TEXT("Failed to open registry key %s, Last Error = 0x%08X\r\n"), kDebLogZoneKey,
                      GetLastError());
        return 1;
    }
    DWORD disposition = 0;
    HKEY zone = CreateSubkey(zones, zoneName, &disposition);
    if (zone == nullptr) {
        const DWORD error = GetLastError();
        RegCloseKey(zones);
        SettingsPrint(KVOR_TEXT("Failed to create subkey %s of %s, Last Error = 0x%08X\r\n"), zoneName,
                      kDebLogZoneKey, error);
        return 1;
    }
    uint32_t failed = 0;
    if (disposition == REG_CREATED_NEW_KEY &&
        WriteRegDword(zone, kDebLogZoneDefault.name, kDebLogZoneDefault.value) != 0) {
        failed = 1;
        SettingsPrint(KVOR_TEXT("Failed to set value of %s in registry key %s\\%s, Last Error = 0x%08X\r\n"),
                      kOutputEnable, kDebLogZoneKey, zoneName, GetLastError());
    }
    RegCloseKey(zone);
    RegCloseKey(zones);
    return failed;
}

uint32_t DebLogger::ReadZoneSetting(const WCHAR* zoneName, uint32_t* outputEnable, uint32_t* severity)
{
    WCHAR keyPath[kPathCapacity];
    StringCchCopyW(keyPath, kPathCapacity, kDebLogZoneKey);
    StringCchCatW(keyPath, kPathCapacity, KVOR_TEXT("\\"));
    StringCchCatW(keyPath, kPathCapacity, zoneName);

    *outputEnable = 1;
    if (ReadRegDword(HKEY_LOCAL_MACHINE, keyPath, kOutputEnable, outputEnable) != 0) {
        SettingsPrint(KVOR_TEXT("Read value from registry key %s\\%s with zone name %s unsuccessfully"), keyPath,
                      kOutputEnable, zoneName);
        return 1;
    }
    ReadRegDword(HKEY_LOCAL_MACHINE, keyPath, kSeverity, severity);
    return 0;
}

uint32_t DebLogger::ReadRegDword(HKEY root, const WCHAR* keyPath, const WCHAR* valueName, uint32_t* value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath, 0, 0, &key) != ERROR_SUCCESS) {
        return 1;
    }
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LSTATUS status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size);
    RegCloseKey(key);
    // Only a four-byte REG_DWORD counts; anything else leaves the caller's value.
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) {
        return 1;
    }
    *value = data;
    return 0;
}

uint32_t DebLogger::WriteRegDword(HKEY key, const WCHAR* valueName, uint32_t value)
{
    const DWORD data = value;
    const LSTATUS status =
        RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    return status == ERROR_SUCCESS ? 0 : 1;
}

void DebLogger::SettingsPrint(const WCHAR* format, ...)
{
    WCHAR message[kMessageCapacity + 1];
    va_list arguments;
    va_start(arguments, format);
    kvor::_vsnwprintf(message, kMessageCapacity + 1, format, arguments);
    va_end(arguments);

    SYSTEMTIME now;
    GetLocalTime(&now);
    // The executable's own name, not the shortened title: these lines are
    // read by a person setting up the registry. The name may be empty (a
    // file named ".hidden", or a path without a backslash); only a path
    // that cannot be read leaves it out of the line.
    WCHAR path[kPathCapacity];
    WCHAR name[kPathCapacity];
    if (GetModuleFileNameW(nullptr, path, kPathCapacity) == 0) {
        NKDbgPrintfW(KVOR_TEXT("[%02d:%02d:%02d][%u]%s\n"), now.wHour, now.wMinute, now.wSecond,
                     GetCurrentThreadId(), message);
        return;
    }
    path[kPathCapacity - 1] = 0;
    TitleFromPath(path, name, kPathCapacity);
    NKDbgPrintfW(KVOR_TEXT("[%02d:%02d:%02d][%s.exe][%u]%s\n"), now.wHour, now.wMinute, now.wSecond, name,
                 GetCurrentThreadId(), message);
}
