// The logger's start from the registry and zone registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "FailingAllocator.h"
#include "LoggerFixture.h"

using namespace kvortest;

namespace {

const WCHAR* const kFile = KVOR_TEXT("src\\Module.cpp");
// The registry's lines name the executable as it is, for the person setting it up.
const std::string kSettings = "[0:0:0][kvor_deblog_tests.exe][0]";

// The non-empty debugger lines, digits masked.
std::vector<std::string> Masked(const std::vector<std::string>& lines)
{
    std::vector<std::string> masked;
    for (const std::string& line : lines) {
        if (!line.empty()) {
            masked.push_back(DigitsMasked(line));
        }
    }
    return masked;
}

TEST_F(LoggerTest, FirstStartWritesTheDefaultsAndSaysSo)
{
    device.CreateKey("SOFTWARE/KVOR");
    DebLogger fresh;
    ASSERT_EQ(1u, fresh.Initialize());
    std::vector<std::string> expected = {kSettings + "DEB_KVOR_PATH = SOFTWARE\\KVOR\\"};
    const struct { const char* name; const char* line; } values[] = {
        {"OutputType", "dword:00000001"}, {"Severity", "dword:00000003"},
        {"FileMode", "dword:00000000"},   {"TimeFormat", "dword:00000000"}};
    for (const auto& value : values) {
        EXPECT_EQ(value.line, device.Value("SOFTWARE/KVOR/DebLogger", value.name)) << value.name;
        expected.push_back(kSettings + "Succeed to set value of " + value.name + " in registry key DebLogger");
    }
    expected.push_back(kSettings + "Succeed to create subkey Zone of DebLogger");
    EXPECT_EQ(expected, Masked(debug.Lines()));
    for (const char* zone : {"DebLog", "Win32", "DefaultZone"}) {
        EXPECT_EQ("dword:00000001", device.Value(std::string("SOFTWARE/KVOR/DebLogger/Zone/") + zone, "OutputEnable"))
            << zone;
    }
}

TEST_F(LoggerTest, WithoutTheKvorKeyTheStartFailsAndCreatesNothing)
{
    DebLogger fresh;
    EXPECT_EQ(0u, fresh.Initialize());
    const std::vector<std::string> expected = {
        kSettings + "DEB_KVOR_PATH = SOFTWARE\\KVOR\\",
        kSettings + "Open registry key SOFTWARE\\KVOR\\ unsuccessfully, Last Error = 0x0",
        DigitsMasked("[0:0:0:0][" + U8(DebLogger::GetExeFileTitle()) + ".exe][0]") +
            "Create global setting in registry unsuccessfully"};
    EXPECT_EQ(expected, Masked(debug.Lines()));
    EXPECT_EQ("", device.Value("SOFTWARE/KVOR/DebLogger", "OutputType"));
}

TEST_F(LoggerTest, ExistingKeysAreReadNotRewrittenAndTheExecutablesOwnKeyOverrides)
{
    // The executable's key is named after its title, as its entry lines are.
    const std::string own = "SOFTWARE/KVOR/DebLogger/" + U8(DebLogger::GetExeFileTitle());
    SetDword("SOFTWARE/KVOR/DebLogger", "Severity", 2);
    SetDword("SOFTWARE/KVOR/DebLogger/OtherProgram", "Severity", 4);
    // Only four-byte dwords count; the settings keep their low 16 bits, the time format its low 8.
    SetDword(own, "Severity", 0x10001);
    SetDword("SOFTWARE/KVOR/DebLogger", "TimeFormat", 0x10102);
    SetValue("SOFTWARE/KVOR/DebLogger", "FileMode", "\"1\"");
    DebLogger fresh;
    ASSERT_EQ(1u, fresh.Initialize());
    const GlobalSetting& setting = fresh.GetGlobalSetting();
    EXPECT_EQ(1, setting.Severity);
    EXPECT_EQ(1, setting.OutputType); // absent: the default stays
    EXPECT_EQ(2, setting.TimeFormat);
    EXPECT_EQ(0, setting.FileMode); // a string: the default stays
    EXPECT_EQ("", device.Value("SOFTWARE/KVOR/DebLogger", "OutputType"));
    EXPECT_EQ(1, fresh.GetZone(2).severity); // no zone value: the global one
}

TEST_F(LoggerTest, RegisterZoneRefusesWithOneLineEach)
{
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/Present", "OutputEnable", 1);
    device.CreateKey("SOFTWARE/KVOR/DebLogger/Zone/NoOutputEnable");
    SetValue("SOFTWARE/KVOR/DebLogger/Zone/StringOutputEnable", "OutputEnable", "\"1\"");
    Start();
    ASSERT_EQ(1u, logger->RegisterZone(12, KVOR_TEXT("Present"), kFile, 1));
    const std::string tooLong(300, 'n'); // no registry key has such a name

    const struct { uint32_t zone; const char* zoneName; const WCHAR* file; std::string line; } cases[] = {
        {20, nullptr, kFile, "[src\\Module.cpp#7][20][(null)]Zonename or Filename is NULL"},
        {20, "Z", nullptr, "[(null)#7][20][Z]Zonename or Filename is NULL"},
        {128, "Z", kFile, "[src\\Module.cpp#7][128][Z]DebLog ZONEID exceed MAX_ZONE_ID"},
        {12, "Other", kFile, "[src\\Module.cpp#7][12][Other]DebLog SourcID 12 already registered with name Present"},
        {20, tooLong.c_str(), kFile, "[src\\Module.cpp#7][20][" + tooLong + "]Create zone setting unsuccessfully"},
        {20, "NoOutputEnable", kFile, "[src\\Module.cpp#7][20][NoOutputEnable]Read zone setting unsuccessfully"},
        {20, "StringOutputEnable", kFile,
         "[src\\Module.cpp#7][20][StringOutputEnable]Read zone setting unsuccessfully"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        debug.Clear();
        const WString name = W(c.zoneName != nullptr ? c.zoneName : "");
        EXPECT_EQ(0u, logger->RegisterZone(c.zone, c.zoneName != nullptr ? name.c_str() : nullptr, c.file, 7));
        const std::vector<std::string> lines = debug.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(c.line, lines.back());
        EXPECT_EQ(0u, DebLogIsZoneEnabled(20, 4));
        EXPECT_EQ("Present", U8(logger->GetZone(12).name));
    }
}

TEST_F(LoggerTest, LongZoneNameIsCutInTheTableButNotInTheRegistry)
{
    Start();
    const std::string name(40, 'n');
    ASSERT_EQ(1u, logger->RegisterZone(30, W(name).c_str(), kFile, 1));
    EXPECT_EQ(name.substr(0, 31), U8(logger->GetZone(30).name));
    EXPECT_EQ("dword:00000001", device.Value("SOFTWARE/KVOR/DebLogger/Zone/" + name, "OutputEnable"));
}

// The start with its 1st, 2nd, ... allocation refused, on a first start and
// with a log file: each refused run either ends the start with one of its
// failure messages or starts as the clean run does; nothing leaks either way.
TEST_F(LoggerTest, EveryRefusedAllocationOfTheStartEndsItWithItsMessageOrNotAtAll)
{
    std::vector<std::string> failures = {
        "Create global setting in registry unsuccessfully", "Failed to get exe file title, cannot create log file",
        "Create the log foder \\DebLogger\\ unsuccessfully",
        "Create the log file \\DebLogger\\" + U8(DebLogger::GetExeFileTitle()) + ".log unsuccessfully",
        "Create zone setting for DebLog unsuccessfully", "Create zone setting for Win32 unsuccessfully",
        "Create zone setting for DefaultZone unsuccessfully"};
    for (std::string& failure : failures) {
        failure = DigitsMasked(failure); // as the lines are compared
    }
    device.CreateKey("SOFTWARE/KVOR");
    for (unsigned outputType : {0u, 2u}) { // 0: no DebLogger key yet
        SCOPED_TRACE(outputType == 0 ? "first start" : "log file");
        int refusedStarts = 0;
        for (long nth = 1;; ++nth) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger"));
            std::filesystem::remove_all(device.LogFolder());
            if (outputType != 0) {
                SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", outputType);
            }
            debug.Clear();
            const long live = LiveBlocks();
            uint32_t started = 0;
            bool refused = false;
            {
                DebLogger fresh;
                FailAllocation(nth);
                started = fresh.Initialize();
                refused = AllocationWasRefused();
                StopFailing();
                EXPECT_EQ(started, fresh.IsZoneEnabled(65, 4)) << nth << ": the built-in zones as the start ended";
            }
            EXPECT_EQ(live, LiveBlocks()) << nth << ": blocks leaked";
            if (!refused) {
                EXPECT_EQ(1u, started) << "the clean start";
                break;
            }
            if (started == 0) {
                ++refusedStarts;
                const std::vector<std::string> lines = Masked(debug.Lines());
                ASSERT_FALSE(lines.empty()) << nth;
                const std::string message = lines.back().substr(lines.back().rfind(']') + 1);
                EXPECT_NE(failures.end(), std::find(failures.begin(), failures.end(), message))
                    << nth << ": " << message;
            }
        }
#if !defined(_WIN32) // Windows' own registry and files take nothing from the process's allocator
        EXPECT_GT(refusedStarts, 0) << "no refusal reached the start";
#endif
    }
}

} // namespace
