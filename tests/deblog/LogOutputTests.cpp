// The executable's title, the logger's clock, files without a version, and
// the log file of a program without one (this program): its header names no
// version. (The header with a version is checked from a client program,
// which declares one.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

// The title is the file name without directory and extension; at 9 or more
// characters it keeps the first 6 and adds the low byte of the sum of all in
// hex: 1111 = 0x457, 909 = 0x38D, 695 = 0x2B7, 20 * 97 = 1940 = 0x794.
TEST(ExeTitle, IsTheFileNameWithoutDirectoryAndExtensionShortenedToEight)
{
    const struct { const char* path; const char* title; } cases[] = {
        {"\\usr\\bin\\kvorxml", "kvorxml"},    {"\\Windows\\app.exe", "app"},
        {"\\dir\\archive.tar.gz", "archiv57"},  {"\\a.b\\tool", "tool"},
        {"\\", ""},                              {"noslash.exe", ""},
        {"\\x\\abcdefgh.exe", "abcdefgh"},      {"\\x\\abcdefghi", "abcdef8D"},
        {"\\x\\ABCDEFGHIJ.exe", "ABCDEFB7"},    {"\\x\\aaaaaaaaaaaaaaaaaaaa", "aaaaaa94"},
    };
    for (const auto& c : cases) {
        WCHAR title[DebLogger::kPathCapacity] = {KVOR_TEXT('?')};
        DebLogger::TitleFromPath(W(c.path).c_str(), title, DebLogger::kPathCapacity);
        DebLogger::ShortenTitle(title, DebLogger::kPathCapacity);
        EXPECT_EQ(c.title, U8(title)) << c.path;
    }
}

TEST(LoggerClock, OffsetTurnsTheTickCountIntoTheTimeOfDay)
{
    const struct { uint16_t hour, minute, second; uint32_t tick, offset; } cases[] = {
        {0, 0, 0, 0, 0},
        {1, 0, 0, 1000, 3599000},
        {0, 0, 1, 5000, 86396000},        // the tick count is ahead of the day
        {23, 59, 59, 86400500, 86398500}, // the tick count passed a day
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tick);
        EXPECT_EQ(c.offset, DebLogger::ClockOffsetFor(c.hour, c.minute, c.second, c.tick));
        const ClockTime time = DebLogger::ClockTimeAt(c.tick, c.offset);
        EXPECT_EQ(c.hour, time.hour);
        EXPECT_EQ(c.minute, time.minute);
        EXPECT_EQ(c.second, time.second);
        EXPECT_EQ(0, time.millisecond);
    }
    const ClockTime late = DebLogger::ClockTimeAt(86399999, 0);
    EXPECT_EQ(23 * 3600000 + 59 * 60000 + 59 * 1000 + 999,
              late.hour * 3600000 + late.minute * 60000 + late.second * 1000 + late.millisecond);
    // The sum wraps at 32 bits, as the tick count does.
    const ClockTime wrapped = DebLogger::ClockTimeAt(0xFFFFFFFF, 1);
    EXPECT_EQ(0, wrapped.hour + wrapped.minute + wrapped.second + wrapped.millisecond);
}

// On Linux the version record is read by the library itself (on Windows by
// the system): a file that holds none fails with a resource error.
#if !defined(_WIN32)
TEST(VersionInfo, FilesWithoutARecordHaveNoVersion)
{
    TempDir dir;
    WriteText(dir.File("text.exe"), std::string(4096, 'x'));
    WriteText(dir.File("short"), "\x7f" "ELF");
    const struct { const char* name; DWORD error; } cases[] = {
        {"text.exe", ERROR_RESOURCE_TYPE_NOT_FOUND}, {"short", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"missing", ERROR_FILE_NOT_FOUND}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD handle = 7;
        SetLastError(0);
        EXPECT_EQ(0u, GetFileVersionInfoSizeW(W(dir.File(c.name)).c_str(), &handle));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(0u, handle);
    }
}
#endif

class LogFile : public LoggerTest {
protected:
    // Starts a logger with the parser's zone.
    void StartWithZone()
    {
        Start();
        ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), KVOR_TEXT("x.cpp"), 1));
    }
    static void Write(const std::string& message)
    {
        DebLogBeginEntry(12, 3, 0, nullptr, 0);
        DebLogWriteEntry(KVOR_TEXT("%s"), W(message).c_str());
    }

    const std::string m_title = U8(DebLogger::GetExeFileTitle());
    const std::string m_path = device.LogFolder() + "/" + m_title + ".log";
    const std::string m_entry = "[A][E][" + m_title + "][kvorXMLP]";
};

TEST_F(LogFile, HoldsTheHeaderAndEntriesOfEachStartAsTheSettingsSay)
{
    const struct { const char* name; unsigned outputType, fileMode; int starts; bool toDebugger; } cases[] = {
        {"file only, afresh at each start", 2, 0, 1, false},
        {"file only, appended", 2, 1, 2, false},
        {"file and debugger", 3, 1, 2, true},
        {"debugger only", 1, 1, 0, true},
    };
    // The debugger shows a long entry whole (its message cut at 1024); the
    // file its first 1024 characters, without the line feed.
    const std::string longMessage(1100, 'x');
    const std::vector<std::string> shown = {m_entry + "one", m_entry + longMessage.substr(0, 1024)};
    const std::string stored = "[00:00:00][" + m_title + ".exe]\r\n" + m_entry + "one\n" + shown[1].substr(0, 1024);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", c.outputType);
        SetDword("SOFTWARE/KVOR/DebLogger", "FileMode", c.fileMode);
        std::filesystem::remove_all(device.LogFolder());
        std::string file;
        for (int start = 0; start < 2; ++start) {
            StartWithZone();
            Write("one");
            Write(longMessage);
            Stop();
            EXPECT_EQ(c.toDebugger ? shown : std::vector<std::string>(), debug.Lines());
            file += start < c.starts ? stored : "";
        }
        const std::vector<unsigned char> bytes = ReadBytes(m_path);
        EXPECT_EQ(c.starts != 0, bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) << "the mark";
        EXPECT_EQ(DigitsMasked(file), DigitsMasked(Utf16FileText(m_path)));
    }
}

TEST_F(LogFile, EntriesOfTwoThreadsStayWholeLines)
{
    const int kEntries = 200;
    SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", 3);
    StartWithZone();
    std::thread first([] { for (int i = 0; i < kEntries; ++i) Write("first thread's entry"); });
    std::thread second([] { for (int i = 0; i < kEntries; ++i) Write("second thread's entry"); });
    first.join();
    second.join();
    Stop();
    std::vector<std::string> lines = debug.Lines();
    const std::vector<std::string> file = TextLines(Utf16FileText(m_path));
    lines.insert(lines.end(), file.begin() + 1, file.end()); // after the header
    ASSERT_EQ(4u * kEntries, lines.size()) << "both outputs, one line each";
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(m_entry + "first thread's entry", lines.front());
    EXPECT_EQ(m_entry + "second thread's entry", lines.back());
    EXPECT_EQ(lines.front(), lines[2 * kEntries - 1]);
    EXPECT_EQ(lines.back(), lines[2 * kEntries]);
}

} // namespace
