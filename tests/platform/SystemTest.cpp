// Process and system information and the kernel debugger output.
#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "SystemCallFault.h"
#include "TestText.h"
#include "kvorVersion.h"

using namespace kvortest;

// Read back by the version rows below.
KVOR_DECLARE_EXECUTABLE_VERSION(5, 6, 7, 8);

namespace {

TEST(ModuleFileName, IsTheExecutableWithBackslashesCutToTheBuffer)
{
    std::string expected = std::filesystem::read_symlink("/proc/self/exe").string();
    std::replace(expected.begin(), expected.end(), '/', '\\');
    WCHAR buffer[1024];
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 1024), expected.size());
    EXPECT_EQ(U8(buffer), expected);

    std::fill(buffer, buffer + 6, KVOR_TEXT('#'));
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(U8(buffer), expected.substr(0, 4));
    EXPECT_EQ(buffer[5], KVOR_TEXT('#'));
}

TEST(FormatMessage, GivesTheSystemTextOrNoneForUnknownCodes)
{
    WCHAR buffer[256];
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_PATH_NOT_FOUND, 0, buffer, 256, nullptr), 25u);
    EXPECT_EQ(U8(buffer), "No such file or directory");
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 99999, 0, buffer, 256, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(SystemInformation, TickCountLocalTimeAndThreadIds)
{
    const DWORD before = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(GetTickCount() - before, 20u);

    const std::time_t now = std::time(nullptr);
    std::tm local;
    localtime_r(&now, &local);
    SYSTEMTIME time;
    GetLocalTime(&time);
    // The log lines show hours to milliseconds; a second may pass in between.
    const int apart =
        (time.wHour - local.tm_hour) * 3600 + (time.wMinute - local.tm_min) * 60 + time.wSecond - local.tm_sec;
    EXPECT_LE((apart + 86400) % 86400, 1) << time.wHour << ":" << time.wMinute << ":" << time.wSecond;
    EXPECT_LT(time.wMilliseconds, 1000);

    const DWORD main = GetCurrentThreadId();
    DWORD other = main;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, main);
}

TEST(DebugOutput, WritesFormattedLinesCutsLongOnesAndDropsThemWithoutATarget)
{
    DebugCapture capture;
    // Non-ASCII text in UTF-8, an unpaired surrogate as U+FFFD.
    const WString zone = {'z', 0xE4, 0x20AC, 0xD83D, 0xDE00, 0xDE00, 'a', 0xD83D};
    NKDbgPrintfW(KVOR_TEXT("%s: %d\r\n"), zone.c_str(), 12);
    NKDbgPrintfW(KVOR_TEXT("%s\n"), std::basic_string<WCHAR>(5000, KVOR_TEXT('x')).c_str());
    {
        kvortest::ScopedEnv off("KVOR_DEBUG_OUTPUT", "");
        NKDbgPrintfW(KVOR_TEXT("lost\n"));
    }
    NKDbgPrintfW(KVOR_TEXT("next\n"));
    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "z\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD" "a" "\xEF\xBF\xBD: 12");
    EXPECT_LT(lines[1].size(), 5000u);
    EXPECT_EQ(lines[1].find_first_not_of('x'), std::string::npos);
    EXPECT_EQ(lines[2], "next");
}

// A line to the debugger output: errno is kept, the line leaves whole or not at all.
Outcome DebugLine()
{
    DebugCapture capture;
    errno = EDOM;
    NKDbgPrintfW(KVOR_TEXT("zone %d\n"), 12);
    const int kept = errno;
    const std::vector<std::string> lines = capture.Lines();
    return {kept, GetLastError(), lines.empty() ? "" : lines[0]};
}

// The size of this program's version block and the version it holds.
Outcome ExecutableVersion()
{
    WCHAR self[1024];
    GetModuleFileNameW(nullptr, self, 1024);
    SetLastError(kUntouched);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(self, &handle);
    const DWORD error = GetLastError();
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    const bool read = size != 0 && GetFileVersionInfoW(self, handle, size, block.data()) &&
                      VerQueryValueW(block.data(), KVOR_TEXT("\\"), reinterpret_cast<LPVOID*>(&fixed), &length);
    char version[32] = "";
    if (read) {
        std::snprintf(version, sizeof(version), "%u.%u.%u.%u", fixed->dwFileVersionMS >> 16,
                      fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    }
    return {size != 0, error, version};
}

Outcome ModuleName()
{
    WCHAR name[1024];
    return {GetModuleFileNameW(nullptr, name, 1024) > 0, GetLastError(), ""};
}

TEST(SystemFailures, DebuggerOutputVersionAndModuleNameReportThemAndLeaveNothing)
{
    using S = SystemCall;
    const DWORD untouched = kUntouched, noVersion = ERROR_RESOURCE_TYPE_NOT_FOUND;
    const struct { const char* what; Fault fault; Outcome (*operation)(); long long result; DWORD error;
                   const char* detail; } cases[] = {
        {"debug output cannot be opened", Failing(S::Open, EACCES), DebugLine, EDOM, untouched, ""},
        {"debug line written in parts", Shortened(S::Write, 3), DebugLine, EDOM, untouched, "zone 12"},
        {"interrupted debug line", Failing(S::Write, EINTR), DebugLine, EDOM, untouched, "zone 12"},
        {"debug line lost", Failing(S::Write, EIO), DebugLine, EDOM, untouched, ""},
        {"version", kNoFault, ExecutableVersion, 1, untouched, "5.6.7.8"},
        {"version: executable unreadable", Failing(S::Open, EACCES), ExecutableVersion, 0, ERROR_ACCESS_DENIED, ""},
        {"version: file type unreadable", Failing(S::Read, EIO), ExecutableVersion, 0, 31, ""},
        {"version: header unreadable", Failing(S::Read, EIO, 2), ExecutableVersion, 0, 31, ""},
        {"version: sections unreadable", Failing(S::Read, EACCES, 3), ExecutableVersion, 0, 5, ""},
        {"version: section names unreadable", Failing(S::Read, EIO, 4), ExecutableVersion, 0, 31, ""},
        {"version: record unreadable", Failing(S::Read, EIO, 5), ExecutableVersion, 0, 31, ""},
        {"version: file ends early", Shortened(S::Read, 0), ExecutableVersion, 0, noVersion, ""},
        {"version: interrupted read", Failing(S::Read, EINTR, 2), ExecutableVersion, 1, untouched, "5.6.7.8"},
        {"version: short reads", Shortened(S::Read, 2), ExecutableVersion, 1, untouched, "5.6.7.8"},
        {"module name unreadable", Failing(S::ReadLink, EACCES), ModuleName, FALSE, ERROR_ACCESS_DENIED, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectOutcome(UnderFault(c.fault, c.operation), c.result, c.error, c.detail);
    }
}

} // namespace
