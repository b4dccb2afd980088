// The four logging calls through which the library reaches the diagnostic
// logger. Callers use one of three shapes:
//   registration     DebLogRegisterZone(zone, name, KVOR_SOURCE_FILE, __LINE__) once at attach;
//   conditional      if (DebLogIsZoneEnabled(zone, severity)) { DebLogBeginEntry(...); DebLogWriteEntry(...); }
//   trace            DebLogBeginEntry(zone, 0, 0, nullptr, 0); DebLogWriteEntry(...);
// Every DebLogBeginEntry is followed on the same thread by exactly one
// DebLogWriteEntry; the logger lock is held in between.
#ifndef KVOR_DEB_LOG_H
#define KVOR_DEB_LOG_H

#include "kvor/platform/kvorPlatform.h"

// The bare file name of the calling source file, as a wide literal.
#define KVOR_SOURCE_FILE KVOR_TEXT(__FILE_NAME__)

enum : uint32_t {
    DEBLOG_SEVERITY_TRACE = 0, // R
    DEBLOG_SEVERITY_INFO = 1,  // I
    DEBLOG_SEVERITY_WARNING = 2,
    DEBLOG_SEVERITY_ERROR = 3,
    DEBLOG_SEVERITY_FATAL = 4,
    DEBLOG_LAST_SEVERITY = DEBLOG_SEVERITY_FATAL
};

// Starts the process's logger (settings, log file, built-in zones); run once
// by the library's static initialisation, before the process-attach hook.
void DebLogStartup();

// 1 when the zone is now registered; 0 otherwise (and without a logger).
uint32_t DebLogRegisterZone(uint32_t zoneId, const WCHAR* name, const WCHAR* sourceFile, int32_t line);
// Whether an entry of this severity in this zone is wanted. Takes no lock.
uint32_t DebLogIsZoneEnabled(uint32_t zoneId, uint32_t severity);
// Opens an entry: takes the logger lock and keeps the fields. 0 without a logger.
// A zone id of 128 or more gives the line an empty tag and no thread id; a
// severity above 4 prints as the letter "?".
uint32_t DebLogBeginEntry(uint32_t zoneId, uint32_t severity, uint32_t systemError, const WCHAR* sourceFile,
                          int32_t line);
// Formats the message (or takes the system's text for the entry's error
// code), writes the entry line and leaves the lock. 0 without a logger.
uint32_t DebLogWriteEntry(const WCHAR* format, ...);

#endif // KVOR_DEB_LOG_H
