// What leaves the logger: entry lines, the log file with its header, the
// executable's title and version, the logger's clock and its own
// diagnostic lines.
#include "kvor/deblog/DebLog.h"
#include "DebLogger.h"

namespace {

const uint32_t kMillisecondsPerDay = 86400000;
const int32_t kHeaderCapacity = 512;

// The letters of severities 0 to 4. An out-of-range severity, which no
// caller of this library passes, prints as "?".
const WCHAR* const kSeverityLetters[] = {
    KVOR_TEXT("R"), KVOR_TEXT("I"), KVOR_TEXT("W"), KVOR_TEXT("E"), KVOR_TEXT("F"),
};
const WCHAR kUnknownSeverity[] = KVOR_TEXT("?");
const WCHAR kNoTag[] = KVOR_TEXT("");

WCHAR g_exeTitle[DebLogger::kPathCapacity];

struct EntryLine {
    const WCHAR* letter;
    const WCHAR* title;
    const WCHAR* tag;
    bool withThread;
    DWORD thread;
    const WCHAR* sourceFile; // null: no "#" part
    int32_t line;
    const WCHAR* message;
};

// Hands the line's format and fields to print, in one of the four shapes.
template <typename Print>
void FormatEntryLine(const EntryLine& entry, Print print)
{
    if (entry.withThread && entry.sourceFile != nullptr) {
        print(KVOR_TEXT("[A][%s][%s][%s][%u]%s#%d;%s\n"), entry.letter, entry.title, entry.tag, entry.thread,
              entry.sourceFile, entry.line, entry.message);
    } else if (entry.withThread) {
        print(KVOR_TEXT("[A][%s][%s][%s][%u]%s\n"), entry.letter, entry.title, entry.tag, entry.thread,
              entry.message);
    } else if (entry.sourceFile != nullptr) {
        print(KVOR_TEXT("[A][%s][%s][%s]%s#%d;%s\n"), entry.letter, entry.title, entry.tag, entry.sourceFile,
              entry.line, entry.message);
    } else {
        print(KVOR_TEXT("[A][%s][%s][%s]%s\n"), entry.letter, entry.title, entry.tag, entry.message);
    }
}

// A failure line of the title and version functions, stamped with the local time.
void PrintTimed(const WCHAR* format, const WCHAR* path)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    NKDbgPrintfW(format, now.wHour, now.wMinute, now.wSecond, path);
}

void WriteText(HANDLE file, const WCHAR* text, size_t length)
{
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(length * sizeof(WCHAR)), &written, nullptr);
}

} // namespace

uint32_t DebLogger::OutputEntry(const WCHAR* message)
{
    const uint32_t zoneId = m_entry.zoneId;
    const bool knownZone = zoneId < MAX_ZONE_ID;
    EntryLine entry;
    entry.letter = m_entry.severity <= DEBLOG_LAST_SEVERITY ? kSeverityLetters[m_entry.severity] : kUnknownSeverity;
    entry.title = GetExeFileTitle();
    entry.tag = knownZone ? m_zones[zoneId].tag : kNoTag;
    entry.withThread = knownZone && (m_zones[zoneId].OutputEnable & 2) != 0;
    entry.thread = entry.withThread ? GetCurrentThreadId() : 0;
    entry.sourceFile = m_entry.sourceFile;
    entry.line = m_entry.line;
    entry.message = message;

    if ((m_setting.OutputType & 1) != 0) {
        FormatEntryLine(entry, [](const WCHAR* format, auto... fields) { NKDbgPrintfW(format, fields...); });
    }
    if (m_logFile != INVALID_HANDLE_VALUE && (m_setting.OutputType & 2) != 0) {
        WCHAR line[kMessageCapacity + 1];
        int length = 0;
        FormatEntryLine(entry, [&](const WCHAR* format, auto... fields) {
            length = kvor::swprintf(line, kMessageCapacity + 1, format, fields...);
        });
        // A longer line is cut to the buffer and loses its line feed.
        if (length > kMessageCapacity) {
            length = kMessageCapacity;
        }
        SetFilePointer(m_logFile, 0, nullptr, FILE_END);
        WriteText(m_logFile, line, length < 0 ? 0 : static_cast<size_t>(length));
    }
    ClearEntry();
    LeaveCriticalSection(&m_lock);
    return 1;
}

void DebLogger::TitleFromPath(const WCHAR* path, WCHAR* title, size_t capacity)
{
    title[0] = 0;
    const WCHAR* slash = nullptr;
    const WCHAR* dot = nullptr;
    for (const WCHAR* at = path; *at != 0; ++at) {
        if (*at == KVOR_TEXT('\\')) {
            slash = at;
        } else if (*at == KVOR_TEXT('.')) {
            dot = at;
        }
    }
    if (slash == nullptr) {
        return;
    }
    const WCHAR* start = slash + 1;
    const WCHAR* end = (dot != nullptr && dot > slash) ? dot : start + kvor::wcslen(start);
    size_t length = static_cast<size_t>(end - start);
    if (length >= capacity) {
        length = capacity - 1;
    }
    for (size_t i = 0; i < length; ++i) {
        title[i] = start[i];
    }
    title[length] = 0;
}

void DebLogger::ShortenTitle(WCHAR* title, size_t capacity)
{
    const size_t kKeep = 6;
    if (kvor::wcslen(title) < 9 || capacity < 9) {
        return;
    }
    uint32_t sum = 0;
    for (const WCHAR* at = title; *at != 0; ++at) {
        sum += static_cast<uint32_t>(*at);
    }
    WCHAR head[kKeep + 1];
    for (size_t i = 0; i < kKeep; ++i) {
        head[i] = title[i];
    }
    head[kKeep] = 0;
    kvor::swprintf(title, capacity, KVOR_TEXT("%s%02X"), head, sum & 0xFF);
}

const WCHAR* DebLogger::GetExeFileTitle()
{
    if (g_exeTitle[0] != 0) {
        return g_exeTitle;
    }
    WCHAR path[kPathCapacity];
    if (GetModuleFileNameW(nullptr, path, kPathCapacity) == 0) {
        PrintTimed(KVOR_TEXT("[%02d:%02d:%02d][DebLog]Failed to GetModuleFileName in GetExeFileTitle\n"), nullptr);
        return g_exeTitle;
    }
    path[kPathCapacity - 1] = 0;
    TitleFromPath(path, g_exeTitle, kPathCapacity);
    ShortenTitle(g_exeTitle, kPathCapacity);
    return g_exeTitle;
}

uint32_t DebLogger::GetExeVersionInfo(uint16_t* major, uint16_t* minor, uint16_t* build, uint16_t* revision)
{
    WCHAR path[kPathCapacity];
    if (GetModuleFileNameW(nullptr, path, kPathCapacity) == 0) {
        PrintTimed(KVOR_TEXT("[%02d:%02d:%02d][DebLog]Failed to GetModuleFileName in GetExeVersionInfo\n"), nullptr);
        return 0;
    }
    path[kPathCapacity - 1] = 0;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) {
        return 0;
    }
    void* block = kvor::Allocate(size);
    if (block == nullptr) {
        return 0; // the header goes without its version
    }
    if (GetFileVersionInfoW(path, handle, size, block) == FALSE) {
        kvor::Release(block);
        PrintTimed(KVOR_TEXT("[%02d:%02d:%02d][DebLog]Failed to GetFileVersionInfo from %s\n"), path);
        return 0;
    }
    void* found = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block, KVOR_TEXT("\\"), &found, &length) == FALSE || found == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        kvor::Release(block);
        PrintTimed(KVOR_TEXT("[%02d:%02d:%02d][DebLog]Failed to VerQueryValue from %s\n"), path);
        return 0;
    }
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    *major = HIWORD(fixed->dwFileVersionMS);
    *minor = LOWORD(fixed->dwFileVersionMS);
    *build = HIWORD(fixed->dwFileVersionLS);
    *revision = LOWORD(fixed->dwFileVersionLS);
    kvor::Release(block);
    return 1;
}

uint32_t DebLogger::WriteExeInfo()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    const WCHAR* title = GetExeFileTitle();
    if (m_logFile == INVALID_HANDLE_VALUE) {
        NKDbgPrintfW(KVOR_TEXT("[%02d:%02d:%02d][%s.exe][DebLog]File handle is invalid in WriteExeInfo\n"),
                     now.wHour, now.wMinute, now.wSecond, title);
        return 0;
    }
    WCHAR line[kHeaderCapacity];
    uint16_t version[4];
    if (GetExeVersionInfo(&version[0], &version[1], &version[2], &version[3]) != 0) {
        kvor::swprintf(line, kHeaderCapacity, KVOR_TEXT("[%02d:%02d:%02d][%s.exe][Version : %d.%d.%d.%d]\r\n"),
                       now.wHour, now.wMinute, now.wSecond, title, version[0], version[1], version[2], version[3]);
    } else {
        kvor::swprintf(line, kHeaderCapacity, KVOR_TEXT("[%02d:%02d:%02d][%s.exe]\r\n"), now.wHour, now.wMinute,
                       now.wSecond, title);
    }
    WriteText(m_logFile, line, kvor::wcslen(line));
    NKDbgPrintfW(KVOR_TEXT("%s"), line);
    return 1;
}

uint32_t DebLogger::OpenLogFile(const WCHAR* path)
{
    if (m_logFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_logFile);
        m_logFile = INVALID_HANDLE_VALUE;
    }
    if (m_setting.FileMode == 0) {
        DeleteFileW(path);
    }
    m_logFile = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_logFile == INVALID_HANDLE_VALUE) {
        DebugPrint(KVOR_TEXT("Failed to create log file %s\n"), path);
        return 1;
    }
    if (GetFileSize(m_logFile, nullptr) == 0) {
        static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
        DWORD written = 0;
        WriteFile(m_logFile, kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr);
    }
    SetFilePointer(m_logFile, 0, nullptr, FILE_END);
    return 0;
}

uint32_t DebLogger::ClockOffsetFor(uint16_t hour, uint16_t minute, uint16_t second, uint32_t tickCount)
{
    const uint32_t dayTime = ((uint32_t(hour) * 60 + minute) * 60 + second) * 1000 % kMillisecondsPerDay;
    const uint32_t tick = tickCount % kMillisecondsPerDay;
    return dayTime >= tick ? dayTime - tick : dayTime + kMillisecondsPerDay - tick;
}

ClockTime DebLogger::ClockTimeAt(uint32_t tickCount, uint32_t clockOffset)
{
    // The sum wraps at 32 bits as the tick count itself does.
    const uint32_t t = static_cast<uint32_t>(tickCount + clockOffset) % kMillisecondsPerDay;
    ClockTime time;
    time.hour = static_cast<uint16_t>(t / 3600000);
    time.minute = static_cast<uint16_t>(t / 60000 % 60);
    time.second = static_cast<uint16_t>(t / 1000 % 60);
    time.millisecond = static_cast<uint16_t>(t % 1000);
    return time;
}

void DebLogger::CalibrateClock()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    m_clockOffset = ClockOffsetFor(now.wHour, now.wMinute, now.wSecond, GetTickCount());
}

void DebLogger::GetClockTime(ClockTime* time) const
{
    *time = ClockTimeAt(GetTickCount(), m_clockOffset);
}

void DebLogger::DebugPrint(const WCHAR* format, ...)
{
    WCHAR message[kMessageCapacity + 1];
    va_list arguments;
    va_start(arguments, format);
    kvor::_vsnwprintf(message, kMessageCapacity + 1, format, arguments);
    va_end(arguments);
    ClockTime time;
    GetClockTime(&time);
    NKDbgPrintfW(KVOR_TEXT("[%02d:%02d:%02d:%03d][%s.exe][%u]%s\n"), time.hour, time.minute, time.second,
                 time.millisecond, GetExeFileTitle(), GetCurrentThreadId(), message);
}
