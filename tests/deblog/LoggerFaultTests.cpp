// The logger's start when the system's calls fail under it: the start
// fails or goes on as its settings say, names the failure and its Win32
// error on the debugger output, and leaves no descriptor or heap block.
#include <cerrno>
#include <gtest/gtest.h>

#include "LoggerFixture.h"
#include "SystemCallFault.h"

using namespace kvortest;

namespace {

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
        {"log folder refused", Failing(S::MakeFolder, EACCES), true, 0,
         "Create the log foder \\DebLogger\\ unsuccessfully"},
        {"log file refused", Failing(S::FileStatus, EIO), true, 0, "Failed to create log file \\DebLogger\\"},
        {"log file refused: the start", Failing(S::FileStatus, EIO), true, 0, "Create the log file \\DebLogger\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        LoggerDevice device(dir);
        DebugCapture debug;
        device.CreateKey(c.logFile ? "SOFTWARE/KVOR/DebLogger/Zone" : "SOFTWARE/KVOR");
        if (c.logFile) {
            device.SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", "dword:00000002");
        }
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

} // namespace
