// The logger object: construction with its defaults, initialisation from the
// registry, zone registration, the enabled test and the start of an entry.
#include "kvor/deblog/DebLog.h"
#include "DebLogger.h"
#include "kvor/deblog/DebLogRegistry.h"

namespace {

const WCHAR kLogFolder[] = KVOR_TEXT("\\DebLogger\\");
const WCHAR kLogExtension[] = KVOR_TEXT(".log");
const WCHAR kExecutableKeyPrefix[] = KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger\\");

// Holds the logger lock for one scope, whichever way the scope is left.
class LockGuard {
public:
    explicit LockGuard(CRITICAL_SECTION* lock) : m_lock(lock) { EnterCriticalSection(m_lock); }
    ~LockGuard() { LeaveCriticalSection(m_lock); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    CRITICAL_SECTION* m_lock;
};

} // namespace

DebLogger::DebLogger() : m_logFile(INVALID_HANDLE_VALUE), m_initialized(0), m_clockOffset(0)
{
    m_setting.FileMode = 0;
    m_setting.Severity = 3;
    m_setting.OutputType = 1;
    m_setting.TimeFormat = 0;
    InitializeCriticalSection(&m_lock);
    for (uint32_t zone = 0; zone < MAX_ZONE_ID; ++zone) {
        m_registered[zone] = 0;
        m_zones[zone].OutputEnable = 1;
        m_zones[zone].severity = 0;
        m_zones[zone].name[0] = 0;
        m_zones[zone].tag[0] = 0;
    }
    ClearEntry();
}

DebLogger::~DebLogger()
{
    if (m_logFile != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(m_logFile);
        CloseHandle(m_logFile);
        m_logFile = INVALID_HANDLE_VALUE;
    }
    DeleteCriticalSection(&m_lock);
}

DebLogger* DebLogGetInstance()
{
    // Its destructor is the teardown, run when the library is unloaded.
    static DebLogger instance;
    if (instance.IsInitialized() != 0) {
        return &instance;
    }
    return instance.Initialize() != 0 ? &instance : nullptr;
}

uint32_t DebLogger::Initialize()
{
    LockGuard guard(&m_lock);
    if (CreateGlobalSetting() != 0) {
        DebugPrint(KVOR_TEXT("Create global setting in registry unsuccessfully"));
        return 0;
    }
    ReadGlobalSetting(kDebLogKey, &m_setting);

    WCHAR executableKey[kPathCapacity];
    StringCchCopyW(executableKey, kPathCapacity, kExecutableKeyPrefix);
    StringCchCatW(executableKey, kPathCapacity, GetExeFileTitle());
    ReadGlobalSetting(executableKey, &m_setting);

    if ((m_setting.OutputType & 2) != 0) {
        const WCHAR* title = GetExeFileTitle();
        if (title[0] == 0) {
            DebugPrint(KVOR_TEXT("Failed to get exe file title, cannot create log file\n"));
            return 0;
        }
        WCHAR path[kPathCapacity];
        StringCchCopyW(path, kPathCapacity, kLogFolder);
        StringCchCatW(path, kPathCapacity, title);
        StringCchCatW(path, kPathCapacity, kLogExtension);
        if (GetFileAttributesW(kLogFolder) == INVALID_FILE_ATTRIBUTES &&
            CreateDirectoryW(kLogFolder, nullptr) == FALSE) {
            DebugPrint(KVOR_TEXT("Create the log foder %s unsuccessfully\n"), kLogFolder);
            return 0;
        }
        if (OpenLogFile(path) != 0) {
            DebugPrint(KVOR_TEXT("Create the log file %s unsuccessfully\n"), path);
            return 0;
        }
        WriteExeInfo();
    }

    if (RegisterZone(1, KVOR_TEXT("DebLog"), KVOR_SOURCE_FILE, __LINE__) == 0) {
        DebugPrint(KVOR_TEXT("Create zone setting for DebLog unsuccessfully\n"));
        return 0;
    }
    if (RegisterZone(2, KVOR_TEXT("Win32"), KVOR_SOURCE_FILE, __LINE__) == 0) {
        DebugPrint(KVOR_TEXT("Create zone setting for Win32 unsuccessfully\n"));
        return 0;
    }
    if (RegisterZone(65, KVOR_TEXT("DefaultZone"), KVOR_SOURCE_FILE, __LINE__) == 0) {
        DebugPrint(KVOR_TEXT("Create zone setting for DefaultZone unsuccessfully\n"));
        return 0;
    }
    CalibrateClock();
    m_initialized = 1;
    return 1;
}

// Zones are registered while the library is attached, before any thread of
// it logs, so the table is written without the lock.
uint32_t DebLogger::RegisterZone(uint32_t zoneId, const WCHAR* name, const WCHAR* sourceFile, int32_t line)
{
    if (name == nullptr || sourceFile == nullptr) {
        NKDbgPrintfW(KVOR_TEXT("[%s#%d][%d][%s]Zonename or Filename is NULL\n"), sourceFile, line, zoneId, name);
        return 0;
    }
    if (zoneId >= MAX_ZONE_ID) {
        NKDbgPrintfW(KVOR_TEXT("[%s#%d][%d][%s]DebLog ZONEID exceed MAX_ZONE_ID\n"), sourceFile, line, zoneId,
                     name);
        return 0;
    }
    ZoneRecord& zone = m_zones[zoneId];
    if (zone.name[0] != 0) {
        NKDbgPrintfW(KVOR_TEXT("[%s#%d][%d][%s]DebLog SourcID %d already registered with name %s\n"), sourceFile,
                     line, zoneId, name, zoneId, zone.name);
        return 0;
    }
    if (CreateZoneSetting(name) != 0) {
        NKDbgPrintfW(KVOR_TEXT("[%s#%d][%d][%s]Create zone setting unsuccessfully\n"), sourceFile, line, zoneId,
                     name);
        return 0;
    }
    uint32_t outputEnable = 1;
    uint32_t severity = m_setting.Severity;
    if (ReadZoneSetting(name, &outputEnable, &severity) != 0) {
        NKDbgPrintfW(KVOR_TEXT("[%s#%d][%d][%s]Read zone setting unsuccessfully\n"), sourceFile, line, zoneId,
                     name);
        return 0;
    }
    zone.OutputEnable = outputEnable;
    zone.severity = static_cast<uint16_t>(severity);
    StringCchCopyW(zone.name, sizeof(zone.name) / sizeof(zone.name[0]), name);
    m_registered[zoneId] = 1;
    StringCchCopyW(zone.tag, sizeof(zone.tag) / sizeof(zone.tag[0]), zone.name);
    return 1;
}

void DebLogger::ClearEntry()
{
    m_entry.zoneId = 0;
    m_entry.severity = 0;
    m_entry.systemError = 0;
    m_entry.sourceFile = nullptr;
    m_entry.line = 0;
}

uint32_t DebLogger::IsZoneEnabled(uint32_t zoneId, uint32_t severity) const
{
    if (zoneId >= MAX_ZONE_ID || m_registered[zoneId] == 0) {
        return 0;
    }
    const ZoneRecord& zone = m_zones[zoneId];
    if (zone.severity > severity || m_setting.OutputType == 0) {
        return 0;
    }
    return (zone.OutputEnable & 1) != 0 ? 1 : 0;
}

void DebLogger::BeginEntry(uint32_t zoneId, uint32_t severity, uint32_t systemError, const WCHAR* sourceFile,
                           int32_t line)
{
    EnterCriticalSection(&m_lock);
    m_entry.zoneId = zoneId;
    m_entry.severity = severity;
    m_entry.systemError = systemError;
    m_entry.line = line;
    m_entry.sourceFile = sourceFile;
    if (sourceFile != nullptr) {
        for (const WCHAR* at = sourceFile; *at != 0; ++at) {
            if (*at == KVOR_TEXT('\\')) {
                m_entry.sourceFile = at + 1;
            }
        }
    }
}
