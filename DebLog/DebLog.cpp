// The four logging calls, over the process's logger pointer. Without a
// logger (initialisation failed, or the logger not started) they answer 0
// and touch nothing.
#include "kvor/deblog/DebLog.h"

#include "DebLogger.h"

namespace {
// Set once while the library's static objects are constructed.
DebLogger* g_logger = nullptr;
} // namespace

void DebLogStartup()
{
    g_logger = DebLogGetInstance();
}

namespace kvor {
namespace testing {
DebLogger* ReplaceLogger(DebLogger* logger)
{
    DebLogger* old = g_logger;
    g_logger = logger;
    return old;
}
} // namespace testing
} // namespace kvor

uint32_t DebLogRegisterZone(uint32_t zoneId, const WCHAR* name, const WCHAR* sourceFile, int32_t line)
{
    DebLogger* logger = g_logger;
    if (logger == nullptr) {
        NKDbgPrintfW(KVOR_TEXT("[%s#%d][%d][%s]Initialize DebLog Failed ! \r\n"), sourceFile, line, zoneId, name);
        return 0;
    }
    return logger->RegisterZone(zoneId, name, sourceFile, line);
}

uint32_t DebLogIsZoneEnabled(uint32_t zoneId, uint32_t severity)
{
    const DebLogger* logger = g_logger;
    return logger == nullptr ? 0 : logger->IsZoneEnabled(zoneId, severity);
}

uint32_t DebLogBeginEntry(uint32_t zoneId, uint32_t severity, uint32_t systemError, const WCHAR* sourceFile,
                          int32_t line)
{
    DebLogger* logger = g_logger;
    if (logger == nullptr) {
        return 0;
    }
    logger->BeginEntry(zoneId, severity, systemError, sourceFile, line);
    return 1;
}

uint32_t DebLogWriteEntry(const WCHAR* format, ...)
{
    DebLogger* logger = g_logger;
    if (logger == nullptr) {
        return 0;
    }
    WCHAR message[DebLogger::kMessageCapacity + 1];
    message[0] = 0;
    const uint32_t systemError = logger->GetEntrySystemError();
    if (systemError != 0) {
        // The system's text for the code stands in place of the caller's.
        if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, systemError, 0,
                           message, DebLogger::kMessageCapacity + 1, nullptr) == 0) {
            message[0] = 0;
        }
    } else if (format != nullptr) {
        va_list arguments;
        va_start(arguments, format);
        kvor::_vsnwprintf(message, DebLogger::kMessageCapacity + 1, format, arguments);
        va_end(arguments);
    }
    return logger->OutputEntry(message);
}
