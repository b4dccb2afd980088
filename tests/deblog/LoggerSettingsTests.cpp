// The logger's start from the registry, its failures, and zone registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "FailingAllocator.h"
#include "LoggerFixture.h"
#if !defined(_WIN32)
#include "SystemCallFault.h"
#endif

using namespace kvortest;

namespace {

const WCHAR* const kFile = KVOR_TEXT("src\\Module.cpp");
// The registry's lines name the executable as it is, for the person setting it up.
const std::string kSettings = "[0:0:0][kvor_deblog_tests.exe][0]";
const std::string kPath = kSettings + "DEB_KVOR_PATH = SOFTWARE\\KVOR\\";

// The non-empty debugger lines, digits masked.
std::vector<std::string> Masked(const std::vector<std::string>& lines)
{
    std::vector<std::string> masked;
    for (const std::string& line : lines) {
        line.empty() ? void() : masked.push_back(DigitsMasked(line));
    }
    return masked;
}

TEST_F(LoggerTest, FirstStartWritesTheDefaultsAndSaysSoWithoutTheKvorKeyNothing)
{
    const std::string set = kSettings + "Succeed to set value of ";
    const struct { bool kvorKey; uint32_t started; std::vector<std::string> lines; } cases[] = {
        {false, 0, {kPath, kSettings + "Open registry key SOFTWARE\\KVOR\\ unsuccessfully, Last Error = 0x0",
                    DigitsMasked("[0:0:0:0][" + U8(DebLogger::GetExeFileTitle()) + ".exe][0]") +
                        "Create global setting in registry unsuccessfully"}},
        {true, 1, {kPath, set + "OutputType in registry key DebLogger", set + "Severity in registry key DebLogger",
                   set + "FileMode in registry key DebLogger", set + "TimeFormat in registry key DebLogger",
                   kSettings + "Succeed to create subkey Zone of DebLogger"}},
    };
    const struct { const char* key; const char* name; const char* line; } defaults[] = {
        {"", "OutputType", "dword:00000001"}, {"", "Severity", "dword:00000003"}, {"", "FileMode", "dword:00000000"},
        {"", "TimeFormat", "dword:00000000"}, {"/Zone/DebLog", "OutputEnable", "dword:00000001"},
        {"/Zone/Win32", "OutputEnable", "dword:00000001"}, {"/Zone/DefaultZone", "OutputEnable", "dword:00000001"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kvorKey ? "first start" : "no KVOR key");
        c.kvorKey ? device.CreateKey("SOFTWARE/KVOR") : void();
        debug.Clear();
        DebLogger fresh;
        ASSERT_EQ(c.started, fresh.Initialize());
        EXPECT_EQ(c.lines, Masked(debug.Lines()));
        for (const auto& value : defaults) {
            EXPECT_EQ(c.kvorKey ? value.line : "", device.Value(std::string("SOFTWARE/KVOR/DebLogger") + value.key, value.name))
                << value.key << " " << value.name;
        }
    }
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
    device.SetValue("SOFTWARE/KVOR/DebLogger", "FileMode", "\"1\"");
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

#if !defined(_WIN32) // the posix back end's own calls failing; on Windows the system answers
// The start fails or goes on as its settings say, names the failure and
// its Win32 error on the debugger output, and leaves no descriptor or heap block.
TEST(LoggerStart, FailuresOfTheSystemAreNamedOnTheDebuggerOutput)
{
    using S = SystemCall;
    // logFile: the settings ask for a log file, so the registry is read, not written.
    const struct { const char* what; Fault fault; bool logFile; uint32_t started; const char* line; } cases[] = {
        {"DebLogger key refused", Failing(S::MakeFolder, EACCES), false, 0,
         "Create registry key DebLogger unsuccessfully, Last Error = 0x00000005"},
        {"a default not written", Failing(S::Write, ENOSPC, 2), false, 0,
         "Set value of OutputType in registry key DebLogger unsuccessfully, Last Error = 0x00000070"},
        {"Zone key refused", Failing(S::MakeFolder, ENOSPC, 2), false, 0,
         "Failed to create subkey Zone of DebLogger, Last Error = 0x00000070"},
        {"a zone's key refused", Failing(S::MakeFolder, EACCES, 3), false, 0,
         "Failed to create subkey DebLog of SOFTWARE\\KVOR\\DebLogger\\Zone, Last Error = 0x00000005"},
        {"a zone's default not written", Failing(S::Write, EIO, 11), false, 0,
         "Failed to set value of OutputEnable in registry key SOFTWARE\\KVOR\\DebLogger\\Zone\\DebLog, "
         "Last Error = 0x0000001F"},
        {"executable name unreadable", Failing(S::ReadLink, EACCES), false, 1, "[0:0:0][0]DEB_KVOR_PATH = SOFTWARE"},
        {"log folder refused", Failing(S::MakeFolder, EACCES), true, 0, "Create the log foder \\DebLogger\\ unsuccessfully"},
        {"log file refused", Failing(S::FileStatus, EIO), true, 0, "Failed to create log file \\DebLogger\\"},
        {"log file refused: the start", Failing(S::FileStatus, EIO), true, 0, "Create the log file \\DebLogger\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        LoggerDevice device(dir);
        DebugCapture debug;
        device.CreateKey(c.logFile ? "SOFTWARE/KVOR/DebLogger/Zone" : "SOFTWARE/KVOR");
        c.logFile ? device.SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", "dword:00000002") : void();
        {
            ArmedFault armed(c.fault);
            DebLogger logger;
            EXPECT_EQ(c.started, logger.Initialize());
        }
        std::string lines; // each as written and with its digits masked
        for (const std::string& line : debug.Lines()) {
            lines += line + "\n" + DigitsMasked(line) + "\n";
        }
        EXPECT_NE(lines.find(c.line), std::string::npos) << lines;
    }
}
#endif

TEST_F(LoggerTest, RegisterZoneRefusesWithOneLineEach)
{
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/Present", "OutputEnable", 1);
    device.CreateKey("SOFTWARE/KVOR/DebLogger/Zone/NoOutputEnable");
    device.SetValue("SOFTWARE/KVOR/DebLogger/Zone/StringOutputEnable", "OutputEnable", "\"1\"");
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
        {20, "StringOutputEnable", kFile, "[src\\Module.cpp#7][20][StringOutputEnable]Read zone setting unsuccessfully"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        debug.Clear();
        const WString name = W(c.zoneName != nullptr ? c.zoneName : "");
        EXPECT_EQ(0u, logger->RegisterZone(c.zone, c.zoneName != nullptr ? name.c_str() : nullptr, c.file, 7));
        const std::vector<std::string> lines = debug.Lines();
        EXPECT_EQ(c.line, lines.empty() ? "" : lines.back());
        EXPECT_EQ(0u, DebLogIsZoneEnabled(20, 4));
        EXPECT_EQ("Present", U8(logger->GetZone(12).name));
    }
    // A long name is cut in the table but not in the registry.
    ASSERT_EQ(1u, logger->RegisterZone(30, W(std::string(40, 'n')).c_str(), kFile, 1));
    EXPECT_EQ(std::string(31, 'n'), U8(logger->GetZone(30).name));
    EXPECT_EQ("dword:00000001", device.Value("SOFTWARE/KVOR/DebLogger/Zone/" + std::string(40, 'n'), "OutputEnable"));
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
            outputType != 0 ? SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", outputType) : void();
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
