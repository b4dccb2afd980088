#include "FreshProcess.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>

#include "TestText.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace kvortest {

bool InFreshProcess()
{
    const char* marker = std::getenv("KVOR_FRESH_PROCESS");
    return marker != nullptr && marker[0] == '1';
}

std::string ProgramPath()
{
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
#else
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : "/proc/self/exe";
#endif
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
    std::vector<char*> arguments;
    for (std::string& argument : command) {
        arguments.push_back(argument.data());
    }
    arguments.push_back(nullptr);

    // The child inherits the variables, set here while it starts: one start at a time.
    static std::mutex starting;
    intptr_t child = -1;
    {
        const std::lock_guard<std::mutex> lock(starting);
        std::vector<std::unique_ptr<ScopedEnv>> set;
        set.emplace_back(new ScopedEnv("KVOR_FRESH_PROCESS", "1"));
        for (const auto& variable : environment) {
            set.emplace_back(new ScopedEnv(variable.first.c_str(), variable.second));
        }
#if defined(_WIN32)
        child = _spawnv(_P_NOWAIT, arguments[0], arguments.data());
#else
        pid_t pid = -1;
        child = posix_spawnp(&pid, arguments[0], nullptr, nullptr, arguments.data(), environ) == 0 ? pid : -1;
#endif
        while (!set.empty()) { // the last one set is restored first
            set.pop_back();
        }
    }
    int status = -1;
#if defined(_WIN32)
    return child == -1 || _cwait(&status, child, 0) == -1 ? -1 : status;
#else
    if (child == -1 || waitpid(static_cast<pid_t>(child), &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

} // namespace kvortest
