#include "FreshProcess.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>

#include "TestText.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kvortest {
namespace {

#if defined(_WIN32)
std::string ProgramFile()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
}

// The started process, or -1.
intptr_t Start(const std::vector<std::string>& command)
{
    std::string line;
    for (const std::string& word : command) {
        line += "\"" + word + "\" ";
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    CloseHandle(process.hThread);
    return reinterpret_cast<intptr_t>(process.hProcess);
}

int Wait(intptr_t started)
{
    const HANDLE process = reinterpret_cast<HANDLE>(started);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}
#else
std::string ProgramFile()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    return length > 0 ? std::string(self, static_cast<size_t>(length)) : "/proc/self/exe";
}

intptr_t Start(std::vector<std::string> command)
{
    std::vector<char*> arguments;
    for (std::string& argument : command) {
        arguments.push_back(argument.data());
    }
    arguments.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    return child;
}

int Wait(intptr_t child)
{
    int status = 0;
    if (waitpid(static_cast<pid_t>(child), &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

} // namespace

bool InFreshProcess()
{
    const char* marker = std::getenv("KVOR_FRESH_PROCESS");
    return marker != nullptr && marker[0] == '1';
}

std::string ProgramPath()
{
    return ProgramFile();
}

int RunInFreshProcess(const std::string& suiteDotName, const Environment& environment, const std::string& copy)
{
    // A build for user-mode emulation (KVOR_TEST_EMULATOR names the emulator
    // and its options) starts the program through the emulator.
    std::vector<std::string> command;
#if defined(KVOR_TEST_EMULATOR)
    std::istringstream words(KVOR_TEST_EMULATOR);
    for (std::string word; words >> word;) {
        command.push_back(word);
    }
#endif
    command.push_back(copy.empty() ? ProgramPath() : copy);
    command.push_back("--gtest_filter=" + suiteDotName);

    // The child inherits the variables, set here while it starts: one start at a time.
    static std::mutex starting;
    intptr_t started = -1;
    {
        const std::lock_guard<std::mutex> lock(starting);
        std::vector<std::unique_ptr<ScopedEnv>> set;
        set.emplace_back(new ScopedEnv("KVOR_FRESH_PROCESS", "1"));
        for (const auto& variable : environment) {
            set.emplace_back(new ScopedEnv(variable.first.c_str(), variable.second));
        }
        started = Start(command);
        while (!set.empty()) { // the last one set is restored first
            set.pop_back();
        }
    }
    return started == -1 ? -1 : Wait(started);
}

} // namespace kvortest
