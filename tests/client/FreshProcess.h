// Runs one test of this program in a new process, so that the library is
// loaded, and its logger started, under the environment the test chooses.
#ifndef KVOR_TEST_FRESH_PROCESS_H
#define KVOR_TEST_FRESH_PROCESS_H

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cwchar>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kvortest {

typedef std::vector<std::pair<std::string, std::string>> Environment;

// Whether this process was started by RunInFreshProcess; the test bodies
// meant only for such a process skip themselves otherwise.
inline bool InFreshProcess()
{
    const char* marker = std::getenv("KVOR_FRESH_PROCESS");
    return marker != nullptr && marker[0] == '1';
}

#if defined(_WIN32)

// This program's file.
inline std::string ProgramPath()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

inline std::wstring WideFromUtf8(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    }
    return wide;
}

// This process's environment block with the given variables set: the ones
// named there replace any of the same name (names ignore case here).
inline std::wstring EnvironmentBlock(const Environment& environment)
{
    std::wstring block;
    LPWCH current = GetEnvironmentStringsW();
    for (LPWCH variable = current; *variable != 0; variable += std::wcslen(variable) + 1) {
        const std::wstring entry(variable);
        const std::wstring name = entry.substr(0, entry.find(L'=', 1));
        bool replaced = false;
        for (const auto& chosen : environment) {
            replaced = replaced || _wcsicmp(WideFromUtf8(chosen.first).c_str(), name.c_str()) == 0;
        }
        if (!replaced) {
            block += entry;
            block.push_back(L'\0');
        }
    }
    FreeEnvironmentStringsW(current);
    // A variable named twice takes its last value, as repeated setenv calls would give it.
    for (size_t i = 0; i < environment.size(); ++i) {
        bool overridden = false;
        for (size_t later = i + 1; later < environment.size(); ++later) {
            overridden = overridden || _stricmp(environment[i].first.c_str(), environment[later].first.c_str()) == 0;
        }
        if (!overridden) {
            block += WideFromUtf8(environment[i].first) + L"=" + WideFromUtf8(environment[i].second);
            block.push_back(L'\0');
        }
    }
    block.push_back(L'\0');
    return block;
}

// Runs the test `suiteDotName` of this program (or of a copy of it at
// `copy`) in a new process with the extra environment; returns its exit
// code (0 when the test passed).
inline int RunInFreshProcess(const std::string& suiteDotName, Environment environment, const std::string& copy = "")
{
    environment.emplace_back("KVOR_FRESH_PROCESS", "1");
    std::wstring block = EnvironmentBlock(environment);
    const std::wstring program = WideFromUtf8(copy.empty() ? ProgramPath() : copy);
    if (program.empty()) {
        return -1;
    }
    std::wstring command = L"\"" + program + L"\" --gtest_filter=" + WideFromUtf8(suiteDotName);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

#else

// This program's file (under emulation, the emulated program's).
inline std::string ProgramPath()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    return length > 0 ? std::string(self, static_cast<size_t>(length)) : "/proc/self/exe";
}

// The command that starts this program (or a copy of it) again. A build for
// user-mode emulation (KVOR_TEST_EMULATOR names the emulator and its
// options) runs the program through the emulator, since the host cannot
// start it itself.
inline std::vector<std::string> SelfCommand(const std::string& copy)
{
    std::vector<std::string> command;
#if defined(KVOR_TEST_EMULATOR)
    std::istringstream words(KVOR_TEST_EMULATOR);
    for (std::string word; words >> word;) {
        command.push_back(word);
    }
#endif
    if (command.empty() && copy.empty()) {
        command.push_back("/proc/self/exe");
        return command;
    }
    command.push_back(copy.empty() ? ProgramPath() : copy);
    return command;
}

// Runs the test `suiteDotName` of this program (or of a copy of it at
// `copy`) in a new process with the extra environment; returns its exit
// status (0 when the test passed).
inline int RunInFreshProcess(const std::string& suiteDotName, const Environment& environment,
                             const std::string& copy = "")
{
    std::vector<std::string> command = SelfCommand(copy);
    command.push_back("--gtest_filter=" + suiteDotName);
    std::vector<char*> arguments;
    for (std::string& argument : command) {
        arguments.push_back(argument.data());
    }
    arguments.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        setenv("KVOR_FRESH_PROCESS", "1", 1);
        for (const auto& variable : environment) {
            setenv(variable.first.c_str(), variable.second.c_str(), 1);
        }
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif

} // namespace kvortest

#endif // KVOR_TEST_FRESH_PROCESS_H
