// The executable title, the logger's clock, and the log file of a program
// without a version. (File modes, the version header and the cut at 1024
// characters are checked from a client program, which declares a version.)
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
    const struct { const char* path; const char* title; } cases[] = {
        {"\\usr\\bin\\kvorxml", "kvorxml"}, {"\\Windows\\app.exe", "app"}, {"\\dir\\archive.tar.gz", "archive.tar"},
        {"\\a.b\\tool", "tool"},            {"\\", ""},                     {"noslash.exe", ""},
    };
    for (const auto& c : cases) {
        WCHAR title[DebLogger::kPathCapacity] = {KVOR_TEXT('?')};
        DebLogger::TitleFromPath(W(c.path).c_str(), title, DebLogger::kPathCapacity);
        EXPECT_EQ(c.title, U8(title)) << c.path;
    }
}

TEST(ExeTitle, NineOrMoreCharactersAreShortenedToEight)
{
    // The sums: 909 = 0x38D, 695 = 0x2B7, 20 * 97 = 1940 = 0x794.
    const struct { const char* title; const char* shortened; } cases[] = {
        {"abcdefgh", "abcdefgh"}, {"abcdefghi", "abcdef8D"}, {"ABCDEFGHIJ", "ABCDEFB7"},
        {"aaaaaaaaaaaaaaaaaaaa", "aaaaaa94"}};
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

class LogFile : public LoggerTest {
protected:
    const std::string m_title = U8(DebLogger::GetExeFileTitle());
    const std::string m_path = device.LogFolder() + "/" + m_title + ".log";
};

TEST_F(LogFile, HoldsMarkHeaderWithoutVersionAndEntriesOnly)
{
    SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", 2);
    Start();
    ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), KVOR_TEXT("x.cpp"), 1));
    for (const WCHAR* message : {KVOR_TEXT("one"), KVOR_TEXT("two")}) {
        DebLogBeginEntry(12, 3, 0, nullptr, 0);
        DebLogWriteEntry(KVOR_TEXT("%s"), message);
    }
    EXPECT_TRUE(debug.Lines().empty()) << "OutputType 2: the file only";
    logger.reset(); // flushes and closes, as the library's unload does
    kvor::testing::ReplaceLogger(nullptr);

    const std::vector<unsigned char> bytes = ReadBytes(m_path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    std::string text; // ASCII after the mark
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char>(bytes[i] | (bytes[i + 1] << 8));
    }
    const std::string entry = "[A][E][" + m_title + "][kvorXMLP]";
    ASSERT_GE(text.size(), 9u) << "[hh:mm:ss";
    EXPECT_EQ("][" + m_title + ".exe]\r\n" + entry + "one\n" + entry + "two\n", text.substr(9));
}

TEST_F(LogFile, ThatCannotBeOpenedFailsTheStart)
{
    SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", 2);
    std::filesystem::create_directories(m_path); // a folder where the file should be
    DebLogger fresh;
    EXPECT_EQ(0u, fresh.Initialize());
    const std::string path = "\\DebLogger\\" + m_title + ".log";
    std::vector<std::string> messages;
    for (const std::string& line : debug.Lines()) {
        if (!line.empty()) { // these messages end in a line feed of their own
            messages.push_back(line.substr(line.rfind(']') + 1));
        }
    }
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ((std::vector<std::string>{"Failed to create log file " + path,
                                        "Create the log file " + path + " unsuccessfully"}),
              std::vector<std::string>(messages.end() - 2, messages.end()));
}

} // namespace
