// The executable title, the logger's clock, and the log file of a program
// without a version. (File modes and the cut at 1024 characters are checked
// from a client program, which declares a version.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

TEST(ExeTitle, IsTheFileNameWithoutDirectoryAndExtension)
{
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"\\usr\\bin\\kvorxml", "kvorxml"},
        {"\\Windows\\app.exe", "app"},
        {"\\dir\\archive.tar.gz", "archive.tar"},
        {"\\a.b\\tool", "tool"},
        {"\\", ""},
        {"noslash.exe", ""},
    };
    for (const auto& c : cases) {
        WCHAR title[DebLogger::kPathCapacity] = {KVOR_TEXT('?')};
        DebLogger::TitleFromPath(W(c.path).c_str(), title, DebLogger::kPathCapacity);
        EXPECT_EQ(c.title, U8(title)) << c.path;
    }
}

TEST(ExeTitle, NineOrMoreCharactersAreShortenedToEight)
{
    const struct {
        const char* title;
        const char* shortened;
    } cases[] = {
        {"", ""},
        {"abcdefgh", "abcdefgh"},
        {"abcdefghi", "abcdef8D"},      // sum 909 = 0x38D
        {"ABCDEFGHIJ", "ABCDEFB7"},     // sum 695 = 0x2B7
        {"aaaaaaaaaaaaaaaaaaaa", "aaaaaa94"}, // 20 * 97 = 1940 = 0x794
    };
    for (const auto& c : cases) {
        WCHAR title[DebLogger::kPathCapacity];
        const WString text = W(c.title);
        std::copy(text.c_str(), text.c_str() + text.size() + 1, title);
        DebLogger::ShortenTitle(title, DebLogger::kPathCapacity);
        EXPECT_EQ(c.shortened, U8(title)) << c.title;
    }
}

TEST(LoggerClock, OffsetTurnsTheTickCountIntoTheTimeOfDay)
{
    const struct {
        uint16_t hour, minute, second;
        uint32_t tick;
        uint32_t offset;
    } cases[] = {
        {0, 0, 0, 0, 0},
        {1, 0, 0, 1000, 3599000},
        {0, 0, 1, 5000, 86396000},          // the tick count is ahead of the day
        {23, 59, 59, 86400500, 86398500},   // the tick count passed a day
        {12, 0, 0, 0xFFFFFFFF, 43200000u + 86400000u - 0xFFFFFFFFu % 86400000u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tick);
        const uint32_t offset = DebLogger::ClockOffsetFor(c.hour, c.minute, c.second, c.tick);
        EXPECT_EQ(c.offset, offset);
        EXPECT_LT(offset, 86400000u);
    }
}

TEST(LoggerClock, TimeIsTheTickCountPlusOffsetWithinADay)
{
    const struct {
        uint32_t tick, offset;
        uint16_t hour, minute, second, millisecond;
    } cases[] = {
        {1000, 3599000, 1, 0, 0, 0},
        {86399999, 0, 23, 59, 59, 999},
        {86400000 + 61001, 0, 0, 1, 1, 1},
        {0xFFFFFFFF, 1, 0, 0, 0, 0}, // the 32-bit sum wraps
        {50000, 86399000, 0, 0, 49, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tick);
        const ClockTime time = DebLogger::ClockTimeAt(c.tick, c.offset);
        EXPECT_EQ(c.hour, time.hour);
        EXPECT_EQ(c.minute, time.minute);
        EXPECT_EQ(c.second, time.second);
        EXPECT_EQ(c.millisecond, time.millisecond);
    }
}

// ---- The log file ---------------------------------------------------------------

class LogFileTest : public LoggerTest {
protected:
    void StartWithFile(unsigned outputType, unsigned fileMode)
    {
        SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", outputType);
        SetDword("SOFTWARE/KVOR/DebLogger", "FileMode", fileMode);
        Start();
        ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), KVOR_TEXT("x.cpp"), 1));
    }
    static void Log(const WCHAR* message)
    {
        DebLogBeginEntry(12, 3, 0, nullptr, 0);
        DebLogWriteEntry(KVOR_TEXT("%s"), message);
    }
    std::string Entry(const std::string& message) const
    {
        return "[A][E][" + U8(DebLogger::GetExeFileTitle()) + "][kvorXMLP]" + message;
    }
    // The header this test program gets: it declares no version.
    static bool IsHeader(const std::vector<unsigned char>& bytes, size_t at, size_t* end)
    {
        const std::vector<unsigned char> tail = Utf16Bytes("][" + U8(DebLogger::GetExeFileTitle()) + ".exe]\r\n");
        const size_t timeBytes = 2 * std::string("[hh:mm:ss").size();
        if (bytes.size() < at + timeBytes + tail.size()) {
            return false;
        }
        *end = at + timeBytes + tail.size();
        return std::equal(tail.begin(), tail.end(), bytes.begin() + static_cast<long>(at + timeBytes));
    }
};

TEST_F(LogFileTest, FileHoldsMarkHeaderAndEntryLines)
{
    StartWithFile(2, 0);
    Log(KVOR_TEXT("one"));
    Log(KVOR_TEXT("two"));
    // OutputType 2: the entries reach the file only.
    EXPECT_TRUE(debug.Lines().empty());
    Stop();

    const std::vector<unsigned char> bytes = ReadBytes(LogFile());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    size_t end = 0;
    ASSERT_TRUE(IsHeader(bytes, 2, &end));
    const std::vector<unsigned char> entries = Utf16Bytes(Entry("one") + "\n" + Entry("two") + "\n");
    EXPECT_EQ(entries, std::vector<unsigned char>(bytes.begin() + static_cast<long>(end), bytes.end()));
}

TEST_F(LogFileTest, LogFileThatCannotBeOpenedFailsTheStart)
{
    SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", 2);
    // A folder where the log file should be.
    std::filesystem::create_directories(LogFile());
    DebLogger fresh;
    EXPECT_EQ(0u, fresh.Initialize());
    const std::string path = "\\DebLogger\\" + U8(DebLogger::GetExeFileTitle()) + ".log";
    std::vector<std::string> messages;
    for (const std::string& line : debug.Lines()) {
        if (!line.empty()) { // these messages end in a line feed of their own
            messages.push_back(line.substr(line.rfind(']') + 1));
        }
    }
    const std::vector<std::string> expected = {"Failed to create log file " + path,
                                               "Create the log file " + path + " unsuccessfully"};
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(expected, std::vector<std::string>(messages.end() - 2, messages.end()));
}

} // namespace
