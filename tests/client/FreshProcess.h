// Runs one test of this program in a new process, so that the library is
// loaded, and its logger started, under the environment the test chooses.
#ifndef KVOR_TEST_FRESH_PROCESS_H
#define KVOR_TEST_FRESH_PROCESS_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
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

// Runs the test `suiteDotName` of this program in a new process with the
// extra environment; returns its exit status (0 when the test passed).
inline int RunInFreshProcess(const std::string& suiteDotName, const Environment& environment)
{
    const pid_t child = fork();
    if (child == 0) {
        setenv("KVOR_FRESH_PROCESS", "1", 1);
        for (const auto& variable : environment) {
            setenv(variable.first.c_str(), variable.second.c_str(), 1);
        }
        const std::string filter = "--gtest_filter=" + suiteDotName;
        execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace kvortest

#endif // KVOR_TEST_FRESH_PROCESS_H
