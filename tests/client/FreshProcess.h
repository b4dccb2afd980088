// Runs one test of this program in a new process, so that the library is
// loaded, and its logger started, under the environment the test chooses.
#ifndef KVOR_TEST_FRESH_PROCESS_H
#define KVOR_TEST_FRESH_PROCESS_H

#include <string>
#include <utility>
#include <vector>

namespace kvortest {

typedef std::vector<std::pair<std::string, std::string>> Environment;

// Whether this process was started by RunInFreshProcess; the test bodies
// meant only for such a process skip themselves otherwise.
bool InFreshProcess();

// This program's file (under emulation, the emulated program's).
std::string ProgramPath();

// Runs the test `suiteDotName` of this program (or of a copy of it at
// `copy`) in a new process that inherits this one's environment with the
// given variables set; its exit status, 0 when the test passed.
int RunInFreshProcess(const std::string& suiteDotName, const Environment& environment, const std::string& copy = "");

} // namespace kvortest

#endif // KVOR_TEST_FRESH_PROCESS_H
