// Process and system information and the kernel debugger output.
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "TestText.h"
#include "kvorPlatform.h"

using kvortest::DebugCapture;
using kvortest::ScopedEnv;
using kvortest::U8;

namespace {

std::string ExecutableName()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    const std::string full(path, length > 0 ? static_cast<size_t>(length) : 0u);
    return full.substr(full.find_last_of('/') + 1);
}

TEST(ModuleFileName, UsesBackslashesAndEndsWithTheExecutable)
{
    WCHAR buffer[1024];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, 1024);
    ASSERT_GT(length, 0u);
    const std::string name = U8(buffer);
    EXPECT_EQ(name.size(), length);
    EXPECT_EQ(name[0], '\\');
    EXPECT_EQ(name.find('/'), std::string::npos) << name;
    EXPECT_EQ(name.substr(name.find_last_of('\\') + 1), ExecutableName());
}

TEST(ModuleFileName, SmallBufferIsCutAndTerminated)
{
    WCHAR buffer[6];
    std::fill(buffer, buffer + 6, u'#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(kvor::wcslen(buffer), 4u);
    EXPECT_EQ(buffer[0], u'\\');
    EXPECT_EQ(buffer[5], u'#');
}

TEST(FormatMessage, KnownCodesHaveTheSystemText)
{
    const DWORD codes[] = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_ALREADY_EXISTS,
                           ERROR_DISK_FULL};
    for (DWORD code : codes) {
        WCHAR buffer[256];
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                            code, 0, buffer, 256, nullptr);
        EXPECT_GT(length, 0u) << code;
        EXPECT_EQ(kvor::wcslen(buffer), length) << code;
    }
    WCHAR buffer[256];
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 256, nullptr);
    EXPECT_EQ(U8(buffer), "No such file or directory");
}

TEST(FormatMessage, ShortBufferIsCut)
{
    WCHAR buffer[6];
    std::fill(buffer, buffer + 6, u'#');
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 5, nullptr), 4u);
    EXPECT_EQ(U8(buffer), "No s");
    EXPECT_EQ(buffer[5], u'#');
}

TEST(FormatMessage, UnknownCodeHasNoText)
{
    WCHAR buffer[64] = {u'#'};
    SetLastError(0);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 99999, 0, buffer, 64, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(SystemInformation, ClockTimeAndThread)
{
    const DWORD before = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(GetTickCount() - before, 20u);

    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2024);
    EXPECT_TRUE(now.wMonth >= 1 && now.wMonth <= 12);
    EXPECT_TRUE(now.wDay >= 1 && now.wDay <= 31);
    EXPECT_LE(now.wHour, 23);
    EXPECT_LE(now.wMinute, 59);
    EXPECT_LE(now.wSecond, 59);
    EXPECT_LE(now.wMilliseconds, 999);
    EXPECT_LE(now.wDayOfWeek, 6);

    const DWORD main = GetCurrentThreadId();
    EXPECT_EQ(main, static_cast<DWORD>(getpid())) << "the main thread's id is the process id";
    DWORD other = main;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, main);
}

TEST(DebugOutput, WritesFormattedLinesToTheFile)
{
    DebugCapture capture;
    NKDbgPrintfW(KVOR_TEXT("%s: %d\r\n"), KVOR_TEXT("zone \x00E4"), 12);
    NKDbgPrintfW(KVOR_TEXT("second\n"));
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"zone \xC3\xA4: 12", "second"}));
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

TEST(DebugOutput, LongLinesAreCutButStillEndTheLine)
{
    DebugCapture capture;
    const std::basic_string<WCHAR> longText(5000, u'x');
    NKDbgPrintfW(KVOR_TEXT("%s\n"), longText.c_str());
    NKDbgPrintfW(KVOR_TEXT("next\n"));
    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0].size(), 5000u);
    EXPECT_EQ(lines[1], "next");
}

TEST(DebugOutput, DroppedWithoutATarget)
{
    DebugCapture capture;
    {
        ScopedEnv off("KVOR_DEBUG_OUTPUT", "");
        NKDbgPrintfW(KVOR_TEXT("lost\n"));
    }
    NKDbgPrintfW(KVOR_TEXT("kept\n"));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"kept"});
}

} // namespace
