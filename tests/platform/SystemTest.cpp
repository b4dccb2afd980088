// Process and system information and the kernel debugger output.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "TestText.h"
#include "kvor/platform/kvorPlatform.h"

using kvortest::DebugCapture;
using kvortest::U8;

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

TEST(FormatMessage, GivesTheSystemTextCutToTheBufferOrNoneForUnknownCodes)
{
    WCHAR buffer[257];
    for (DWORD size : {256, 5}) {
        std::fill(buffer, buffer + 257, KVOR_TEXT('#'));
        const std::string text = std::string("No such file or directory").substr(0, size - 1);
        EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, size, nullptr),
                  text.size());
        EXPECT_EQ(U8(buffer), text);
        EXPECT_EQ(buffer[size], KVOR_TEXT('#')) << "wrote past " << size;
    }
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
    EXPECT_EQ(time.wYear, local.tm_year + 1900);
    EXPECT_EQ(time.wDayOfWeek, local.tm_wday);

    const DWORD main = GetCurrentThreadId();
    DWORD other = main;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, main);
}

TEST(DebugOutput, WritesFormattedLinesCutsLongOnesAndDropsThemWithoutATarget)
{
    DebugCapture capture;
    NKDbgPrintfW(KVOR_TEXT("%s: %d\r\n"), KVOR_TEXT("zone \x00E4"), 12);
    NKDbgPrintfW(KVOR_TEXT("%s\n"), std::basic_string<WCHAR>(5000, KVOR_TEXT('x')).c_str());
    {
        kvortest::ScopedEnv off("KVOR_DEBUG_OUTPUT", "");
        NKDbgPrintfW(KVOR_TEXT("lost\n"));
    }
    NKDbgPrintfW(KVOR_TEXT("next\n"));
    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "zone \xC3\xA4: 12");
    EXPECT_LT(lines[1].size(), 5000u);
    EXPECT_EQ(lines[1].find_first_not_of('x'), std::string::npos);
    EXPECT_EQ(lines[2], "next");
}

TEST(DebugOutput, ConcurrentLinesStayWhole)
{
    DebugCapture capture;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                NKDbgPrintfW(KVOR_TEXT("writer %d line %03d ----------------------------------------\n"), t, i);
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const std::vector<std::string> lines = capture.Lines();
    EXPECT_EQ(lines.size(), 800u);
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), 58u) << line;
    }
}

} // namespace
