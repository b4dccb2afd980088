// DebLogger: the process's one logger - global settings and 128 zones read
// from the registry, the logger lock, the log file and the entry being
// written. Reached through the logger pointer that the library's static
// initialisation sets (null when initialisation failed).
#ifndef KVOR_DEB_LOGGER_H
#define KVOR_DEB_LOGGER_H

#include "kvor/platform/kvorPlatform.h"

const uint32_t MAX_ZONE_ID = 128;

struct GlobalSetting {
    uint16_t FileMode;   // 0: a new log file each start; else append
    uint16_t Severity;   // threshold of zones without their own
    uint16_t OutputType; // bit 0 debugger output, bit 1 log file
    uint16_t TimeFormat; // low 8 bits of the registry value
};

struct ZoneRecord {
    uint32_t OutputEnable; // bit 0 output on, bit 1 thread id in lines
    uint16_t severity;     // lowest severity let through
    WCHAR name[32];
    WCHAR tag[9];
};

struct DebLogEntry {
    uint32_t zoneId;
    uint32_t severity;
    uint32_t systemError;
    const WCHAR* sourceFile; // after the caller's last backslash; not copied
    int32_t line;
};

struct ClockTime {
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t millisecond;
};

class DebLogger {
public:
    static const int32_t kPathCapacity = 260;
    static const int32_t kMessageCapacity = 1024; // plus the terminator

    DebLogger();
    ~DebLogger(); // the teardown: flush and close the log file, delete the lock
    DebLogger(const DebLogger&) = delete;
    DebLogger& operator=(const DebLogger&) = delete;

    uint32_t Initialize();
    uint32_t IsInitialized() const { return m_initialized; }
    uint32_t RegisterZone(uint32_t zoneId, const WCHAR* name, const WCHAR* sourceFile, int32_t line);
    uint32_t IsZoneEnabled(uint32_t zoneId, uint32_t severity) const;
    // Enters the lock and keeps the entry's fields.
    void BeginEntry(uint32_t zoneId, uint32_t severity, uint32_t systemError, const WCHAR* sourceFile,
                    int32_t line);
    uint32_t GetEntrySystemError() const { return m_entry.systemError; }
    // Writes the entry line, clears the entry and leaves the lock.
    uint32_t OutputEntry(const WCHAR* message);

    // Registry settings
    uint32_t CreateGlobalSetting();
    uint32_t ReadGlobalSetting(const WCHAR* keyPath, GlobalSetting* setting);
    uint32_t CreateZoneSetting(const WCHAR* zoneName);
    uint32_t ReadZoneSetting(const WCHAR* zoneName, uint32_t* outputEnable, uint32_t* severity);
    static uint32_t ReadRegDword(HKEY root, const WCHAR* keyPath, const WCHAR* valueName, uint32_t* value);
    static uint32_t WriteRegDword(HKEY key, const WCHAR* valueName, uint32_t value);
    static void SettingsPrint(const WCHAR* format, ...);

    // Output
    static const WCHAR* GetExeFileTitle();
    static uint32_t GetExeVersionInfo(uint16_t* major, uint16_t* minor, uint16_t* build, uint16_t* revision);
    uint32_t WriteExeInfo();
    uint32_t OpenLogFile(const WCHAR* path);
    void CalibrateClock();
    void GetClockTime(ClockTime* time) const;
    void DebugPrint(const WCHAR* format, ...);

    // The pure steps behind the title and the clock.
    // The file name after the last backslash of path, without the text from
    // its last dot; empty when path holds no backslash.
    static void TitleFromPath(const WCHAR* path, WCHAR* title, size_t capacity);
    // A title of 9 or more characters becomes its first 6 and the low byte of
    // the sum of all its characters in two hexadecimal digits.
    static void ShortenTitle(WCHAR* title, size_t capacity);
    // Milliseconds to add to the tick count to get the time of day.
    static uint32_t ClockOffsetFor(uint16_t hour, uint16_t minute, uint16_t second, uint32_t tickCount);
    static ClockTime ClockTimeAt(uint32_t tickCount, uint32_t clockOffset);

    const GlobalSetting& GetGlobalSetting() const { return m_setting; }
    const ZoneRecord& GetZone(uint32_t zoneId) const { return m_zones[zoneId]; }

private:
    void ClearEntry();

    HANDLE m_logFile;
    GlobalSetting m_setting;
    CRITICAL_SECTION m_lock;
    uint32_t m_registered[MAX_ZONE_ID];
    ZoneRecord m_zones[MAX_ZONE_ID];
    uint32_t m_initialized;
    uint32_t m_clockOffset;
    DebLogEntry m_entry;
};

// The process's logger: constructed and initialised on the first call; null
// when initialisation failed.
DebLogger* DebLogGetInstance();

namespace kvor {
namespace testing {
// Points the four calls at logger (null: no logger); returns the old one.
DebLogger* ReplaceLogger(DebLogger* logger);
} // namespace testing
} // namespace kvor

#endif // KVOR_DEB_LOGGER_H
