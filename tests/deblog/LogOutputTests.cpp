// What the logger writes: the four calls without a logger and with one -
// the enabled test and the entry line - the log file of a program without
// a version (this one: its header names none; the header with a version is
// checked from a client program, which declares one), the executable's
// title and the logger's clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

const WCHAR* const kFile = KVOR_TEXT("C:\\src\\parser\\XMLParser.cpp");

TEST(DebLogWithoutLogger, CallsDoNothingButRegistrationReportsTheFailure)
{
    kvor::testing::ReplaceLogger(nullptr);
    DebugCapture debug;
    EXPECT_EQ(0u, DebLogIsZoneEnabled(12, 4));
    EXPECT_EQ(0u, DebLogBeginEntry(12, 3, 0, kFile, 7));
    EXPECT_EQ(0u, DebLogWriteEntry(KVOR_TEXT("message %d"), 1));
    EXPECT_EQ(0u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), kFile, 31));
    const std::string failed = "[C:\\src\\parser\\XMLParser.cpp#31][12][kvorXMLParser]Initialize DebLog Failed ! ";
    EXPECT_EQ(std::vector<std::string>{failed}, debug.Lines());
}

TEST_F(LoggerTest, EntryLineShowsSeverityZoneThreadSourceAndMessage)
{
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/Threaded", "OutputEnable", 3);
    Start();
    ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), kFile, 1));
    ASSERT_EQ(1u, DebLogRegisterZone(13, KVOR_TEXT("Threaded"), kFile, 2));
    WCHAR systemText[1025];
    ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 ERROR_FILE_NOT_FOUND, 0, systemText, 1025, nullptr));
    const std::string thread = "[Threaded][" + std::to_string(GetCurrentThreadId()) + "]";
    const WString longText(1500, KVOR_TEXT('x'));
    // expected: the line after "[A][letter][title]".
    const struct { const char* name; uint32_t zone, severity, systemError; const WCHAR *file, *message;
                   const char* letter; std::string expected; } cases[] = {
        {"plain", 12, 3, 0, nullptr, KVOR_TEXT("m 5"), "E", "[kvorXMLP]m 5"},
        {"thread id", 13, 3, 0, nullptr, KVOR_TEXT("m"), "E", thread + "m"},
        {"source file", 12, 3, 0, kFile, KVOR_TEXT("m"), "E", "[kvorXMLP]XMLParser.cpp#42;m"},
        {"thread id and source file", 13, 3, 0, kFile, KVOR_TEXT("m"), "E", thread + "XMLParser.cpp#42;m"},
        {"unregistered zone", 20, 3, 0, nullptr, KVOR_TEXT("m"), "E", "[]m"},
        {"zone beyond the table", 200, 3, 0, nullptr, KVOR_TEXT("m"), "E", "[]m"},
        {"file without directory", 12, 3, 0, KVOR_TEXT("File.cpp"), KVOR_TEXT("m"), "E", "[kvorXMLP]File.cpp#42;m"},
        {"empty file name", 12, 3, 0, KVOR_TEXT(""), KVOR_TEXT("m"), "E", "[kvorXMLP]#42;m"},
        {"path ending in a backslash", 12, 3, 0, KVOR_TEXT("dir\\"), KVOR_TEXT("m"), "E", "[kvorXMLP]#42;m"},
        {"severity 0", 12, 0, 0, nullptr, KVOR_TEXT("m"), "R", "[kvorXMLP]m"},
        {"severity 1", 12, 1, 0, nullptr, KVOR_TEXT("m"), "I", "[kvorXMLP]m"},
        {"severity 2", 12, 2, 0, nullptr, KVOR_TEXT("m"), "W", "[kvorXMLP]m"},
        {"severity 4", 12, 4, 0, nullptr, KVOR_TEXT("m"), "F", "[kvorXMLP]m"},
        {"severity 5", 12, 5, 0, nullptr, KVOR_TEXT("m"), "?", "[kvorXMLP]m"},
        {"severity 0xFFFFFFFF", 12, 0xFFFFFFFF, 0, nullptr, KVOR_TEXT("m"), "?", "[kvorXMLP]m"},
        {"message cut at 1024", 12, 3, 0, nullptr, longText.c_str(), "E", "[kvorXMLP]" + std::string(1024, 'x')},
        {"message's own % signs kept", 12, 3, 0, nullptr, KVOR_TEXT("100% %d done"), "E", "[kvorXMLP]100% %d done"},
        {"system error code", 12, 3, ERROR_FILE_NOT_FOUND, nullptr, KVOR_TEXT("ignored"), "E",
         "[kvorXMLP]" + U8(systemText)},
        {"system code without text", 12, 3, 0x7FFF1234, nullptr, KVOR_TEXT("ignored"), "E", "[kvorXMLP]"},
    };
    const std::string title = "][" + U8(DebLogger::GetExeFileTitle()) + "]";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        debug.Clear();
        EXPECT_EQ(1u, DebLogBeginEntry(c.zone, c.severity, c.systemError, c.file, 42));
        EXPECT_EQ(1u, DebLogWriteEntry(KVOR_TEXT("%s"), c.message));
        // A system text may end in a line end of its own ("\r\n" on Windows), which shows as a line more.
        EXPECT_EQ(TextLines("[A][" + std::string(c.letter) + title + c.expected + "\n"), debug.Lines());
    }
}

TEST_F(LoggerTest, ZoneEnabledAnswersByThresholdOutputTypeAndOutputEnable)
{
    // zoneSeverity -1: no value; the global 3 applies.
    const struct { const char* name; unsigned outputType, outputEnable; int zoneSeverity; uint32_t zone, severity, on; }
    cases[] = {
        {"below global threshold", 1, 1, -1, 12, 2, 0}, {"at global threshold", 1, 1, -1, 12, 3, 1},
        {"zone threshold 0 lets trace through", 1, 1, 0, 12, 0, 1}, {"zone threshold 4", 1, 1, 4, 12, 3, 0},
        {"unregistered zone", 1, 1, -1, 11, 4, 0}, {"zone 128", 1, 1, -1, 128, 4, 0},
        {"output type 0", 0, 1, 0, 12, 4, 0}, {"output type without output bit", 4, 1, 0, 12, 4, 1},
        {"output enable 2", 1, 2, 0, 12, 4, 0}, {"output enable 3", 1, 3, 0, 12, 0, 1},
    };
    int probe = 0; // a zone of each case's own
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string zone = "SOFTWARE/KVOR/DebLogger/Zone/Probe" + std::to_string(++probe);
        SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", c.outputType);
        SetDword(zone, "OutputEnable", c.outputEnable);
        c.zoneSeverity >= 0 ? SetDword(zone, "Severity", static_cast<unsigned>(c.zoneSeverity)) : void();
        DebLogger fresh;
        ASSERT_EQ(1u, fresh.Initialize());
        ASSERT_EQ(1u, fresh.RegisterZone(12, W(zone.substr(zone.rfind('/') + 1)).c_str(), kFile, 1));
        EXPECT_EQ(c.on, fresh.IsZoneEnabled(c.zone, c.severity));
    }
}

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
    const std::string m_entry = "[A][E][" + m_title + "][kvorXMLP]";
};

TEST_F(LogFile, HoldsTheHeaderAndEntriesOfEachStartAsTheSettingsSay)
{
    const struct { const char* name; unsigned outputType, fileMode; int starts; bool toDebugger; } cases[] = {
        {"file only, afresh at each start", 2, 0, 1, false}, {"file only, appended", 2, 1, 2, false},
        {"file and debugger", 3, 1, 2, true}, {"debugger only", 1, 1, 0, true},
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
        const std::vector<unsigned char> bytes = ReadBytes(device.LogFolder() + "/" + m_title + ".log");
        EXPECT_EQ(c.starts != 0, bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) << "the mark";
        EXPECT_EQ(DigitsMasked(file), DigitsMasked(LogText()));
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
    const std::vector<std::string> file = TextLines(LogText());
    lines.insert(lines.end(), file.begin() + 1, file.end()); // after the header
    ASSERT_EQ(4u * kEntries, lines.size()) << "both outputs, one line each";
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(m_entry + "first thread's entry", lines.front());
    EXPECT_EQ(m_entry + "second thread's entry", lines.back());
    EXPECT_EQ(lines.front(), lines[2 * kEntries - 1]);
    EXPECT_EQ(lines.back(), lines[2 * kEntries]);
}

// The title is the file name without directory and extension; at 9 or more
// characters it keeps the first 6 and adds the low byte of the sum of all in
// hex: 1111 = 0x457, 909 = 0x38D, 695 = 0x2B7, 20 * 97 = 1940 = 0x794.
TEST(ExeTitle, IsTheFileNameWithoutDirectoryAndExtensionShortenedToEight)
{
    const struct { const char* path; const char* title; } cases[] = {
        {"\\usr\\bin\\kvorxml", "kvorxml"}, {"\\Windows\\app.exe", "app"}, {"\\dir\\archive.tar.gz", "archiv57"},
        {"\\a.b\\tool", "tool"}, {"\\", ""}, {"noslash.exe", ""}, {"\\x\\abcdefgh.exe", "abcdefgh"},
        {"\\x\\abcdefghi", "abcdef8D"}, {"\\x\\ABCDEFGHIJ.exe", "ABCDEFB7"}, {"\\x\\aaaaaaaaaaaaaaaaaaaa", "aaaaaa94"},
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
    // both: the offset is also what ClockOffsetFor gives for that time at that tick.
    const struct { uint16_t hour, minute, second, millisecond; uint32_t tick, offset; bool both; } cases[] = {
        {0, 0, 0, 0, 0, 0, true}, {1, 0, 0, 0, 1000, 3599000, true},
        {0, 0, 1, 0, 5000, 86396000, true},          // the tick count is ahead of the day
        {23, 59, 59, 0, 86400500, 86398500, true},   // the tick count passed a day
        {23, 59, 59, 999, 86399999, 0, false}, {0, 0, 0, 0, 0xFFFFFFFF, 1, false}, // the sum wraps at 32 bits
    };
    for (const auto& c : cases) {
        if (c.both) {
            EXPECT_EQ(c.offset, DebLogger::ClockOffsetFor(c.hour, c.minute, c.second, c.tick)) << c.tick;
        }
        const ClockTime time = DebLogger::ClockTimeAt(c.tick, c.offset);
        EXPECT_EQ((std::vector<int>{c.hour, c.minute, c.second, c.millisecond}),
                  (std::vector<int>{time.hour, time.minute, time.second, time.millisecond})) << c.tick;
    }
}

} // namespace
