// The logger as a process sees it: a fresh process loads the library, which
// starts its logger and registers the parser's zone, on a registry and
// device of the test's own. How the settings shape a line or the log file
// is the logger's own tests' concern.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LoadedLibrary.h"
#include "LoggerDevice.h"
#include "TestText.h"
#include "kvorVersion.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

// The header of the log file names this version.
KVOR_DECLARE_EXECUTABLE_VERSION(1, 2, 3, 4);

using namespace kvortest;

namespace {

// This program's title: at 9 or more characters a name keeps its first 6
// and adds the low byte of the sum of all (1842 = 0x732) in hex.
const std::string kTitle = "kvor_c32";
const std::string kZone = "SOFTWARE/KVOR/DebLogger/Zone/";

typedef std::vector<std::pair<std::string, std::string>> Environment;

// This program's file (under emulation, the emulated program's).
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

// A fresh process loads the library, and starts its logger, under the
// environment the scenario chooses.
struct Scenario {
    Scenario() { WriteText(dir.File("doc.xml"), "<r><e rect='1,2'/></r>"); }
    // Runs LoggerScenarioChild.Operations in a fresh process (of a copy of
    // this program at `copy`, when given) that inherits this one's
    // environment with the given variables set; 0 when it passed.
    int Run(const Environment& more = Environment(), const std::string& copy = "") const
    {
        // A build for user-mode emulation (KVOR_TEST_EMULATOR names the
        // emulator and its options) starts the program through the emulator.
        std::vector<std::string> command;
#if defined(KVOR_TEST_EMULATOR)
        std::istringstream words(KVOR_TEST_EMULATOR);
        for (std::string word; words >> word;) {
            command.push_back(word);
        }
#endif
        command.push_back(copy.empty() ? ProgramPath() : copy);
        command.push_back("--gtest_filter=LoggerScenarioChild.Operations");
        std::vector<char*> arguments;
        for (std::string& argument : command) {
            arguments.push_back(argument.data());
        }
        arguments.push_back(nullptr);
        Environment environment = {{"KVOR_FRESH_PROCESS", "1"}, {"KVOR_DEBUG_OUTPUT", dir.File("debug.txt")},
                                   {"KVOR_TEST_DIR", dir.Path()}};
        environment.insert(environment.end(), more.begin(), more.end());

        // The child inherits the variables, set here while it starts: one start at a time.
        static std::mutex starting;
        intptr_t child = -1;
        {
            const std::lock_guard<std::mutex> lock(starting);
            std::vector<std::unique_ptr<ScopedEnv>> set;
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
    std::vector<std::string> Debug(const char* output = "debug.txt") const { return DebugLines(dir.File(output)); }

    TempDir dir;
    LoggerDevice device{dir};
};

// The entry lines among lines, their source lines as "#N;".
std::vector<std::string> Entries(const std::vector<std::string>& lines)
{
    std::vector<std::string> entries;
    for (std::string line : lines) {
        const size_t hash = line.find(".cpp#");
        if (hash != std::string::npos) {
            line.replace(hash + 5, line.find(';', hash) - hash - 5, "N");
        }
        if (line.compare(0, 3, "[A]") == 0) {
            entries.push_back(line);
        }
    }
    return entries;
}

// The entries the child's operations write, of the given severity letters.
std::vector<std::string> OperationEntries(const Scenario& scenario, const char* letters)
{
    const std::string doc = scenario.dir.File("doc.xml"), missing = scenario.dir.File("missing.xml");
    const struct { char letter; std::string message; } all[] = {
        {'R', "CKvorXMLParser::LoadXmlFile((null)) +"},
        {'E', "LoadXmlFile - The filepath is invalid. (2)"},
        {'R', "CKvorXMLParser::LoadXmlFile(" + doc + ") +"},
        {'R', "CJXMLNode::CreateRootNodeFromFile(" + doc + ") +"},
        {'R', "CJXMLNode::CreateRootNodeFromFile() -"},
        {'R', "CKvorXMLParser::LoadXmlFile(0) -"},
        {'I', "FindNode - Can't find the matched Xml node."},
        {'E', "FindNode - The Node name is invalid. (2)"},
        {'E', "GetAllChildNodes - The parent Xml node is invalid."},
        {'I', "GetAllChildNodes - There is no child node."},
        {'I', "GetNodeAttr - Failed to get the rectangle content of this attribute "},
        {'E', "GetNodeAttr - Failed to get the rectangle content of this attribute "},
        {'E', "GetNodeAttr - The pointer of the Xml node is invalid!"},
        {'E', "GetNodeAttr - The pointer of attribute name is invalid!"},
        {'I', "GetNodeAttr - Failed to get the string content of this attribute "},
        {'I', "GetNodeContext - Failed to get the context value of this node."},
        {'E', "GetNodeContext - The pointer of the Xml node is invalid!"},
        {'R', "CKvorXMLParser::LoadXmlFile(" + missing + ") +"},
        {'R', "CJXMLNode::CreateRootNodeFromFile(" + missing + ") +"},
        {'R', "CJXMLNode::CreateRootNodeFromFile() -"},
        {'E', "LoadXmlFile - Failed to open the XML file."},
        {'R', "CKvorXMLParser::LoadXmlFile(1) -"},
        {'E', "_FindAllSubNodes - The Xml parent node handler is invalid!"},
        {'I', "FindNode - Can't find the matched Xml node."},
    };
    std::vector<std::string> entries;
    for (const auto& entry : all) {
        if (std::strchr(letters, entry.letter) != nullptr) {
            // Errors name their place in the source.
            entries.push_back(std::string("[A][") + entry.letter + "][" + kTitle + "][kvorXMLP]" +
                              (entry.letter == 'E' ? "XMLParser.cpp#N;" : "") + entry.message);
        }
    }
    return entries;
}

// ---- The child process --------------------------------------------------------

// Every operation once, each way it can fail. In a scenario of two
// processes ("name:delay" in KVOR_TEST_BARRIER) each first waits until both
// are ready, so that they load the library - and start their loggers on one
// store - at the same moment, the second the given microseconds later.
TEST(LoggerScenarioChild, Operations)
{
    const char* fresh = std::getenv("KVOR_FRESH_PROCESS");
    if (fresh == nullptr || fresh[0] != '1') {
        GTEST_SKIP() << "runs in a fresh process of a LoggerScenario test";
    }
    const std::string dir = std::getenv("KVOR_TEST_DIR");
    if (const char* barrier = std::getenv("KVOR_TEST_BARRIER")) {
        const std::string me = barrier;
        WriteText(dir + "/barrier/" + me.substr(0, me.find(':')), "");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::distance(std::filesystem::directory_iterator(dir + "/barrier"), {}) < 2 &&
               std::chrono::steady_clock::now() < deadline) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::stoi(me.substr(me.find(':') + 1))));
    }
    ScopedParser parser;
    parser->LoadXmlFile(nullptr);
    ASSERT_EQ(KVOR_OK, parser->LoadXmlFile(W(dir + "/doc.xml").c_str()));
    IXmlNode* found = nullptr;
    parser->FindNode(KVOR_TEXT("nothing"), &found, nullptr, nullptr, nullptr);
    parser->FindNode(KVOR_TEXT(""), &found, nullptr, nullptr, nullptr);
    ASSERT_EQ(KVOR_OK, parser->FindNode(KVOR_TEXT("e"), &found, nullptr, nullptr, nullptr));
    CXmlNodeList list;
    parser->GetAllChildNodes(nullptr, &list);
    parser->GetAllChildNodes(found, &list);
    XmlRect rect;
    parser->GetNodeAttr(KVOR_TEXT("missing"), found, &rect);
    parser->GetNodeAttr(KVOR_TEXT("rect"), found, &rect);
    parser->GetNodeAttr(nullptr, nullptr, &rect);
    parser->GetNodeAttr(KVOR_TEXT(""), found, &rect);
    found->SetAttrString(KVOR_TEXT("nullvalue"), nullptr);
    const WCHAR* text = nullptr;
    parser->GetNodeAttr(KVOR_TEXT("nullvalue"), found, &text);
    parser->GetNodeContext(found, &text);
    parser->GetNodeContext(nullptr, &text);
    parser->LoadXmlFile(W(dir + "/missing.xml").c_str());
    parser->FindNode(KVOR_TEXT("e"), &found, nullptr, nullptr, nullptr);
}

// ---- Scenarios ------------------------------------------------------------------

// Only a client program declares a version; the header of the log file, as
// the file and the debugger show it, names it.
TEST(LoggerScenario, LibraryLoadStartsTheLoggerWithTheParsersZoneAndLogFile)
{
    Scenario scenario;
    scenario.device.SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", "dword:00000003");
    scenario.device.SetValue(kZone + "kvorXMLParser", "OutputEnable", "dword:00000001");
    scenario.device.SetValue(kZone + "kvorXMLParser", "Severity", "dword:00000000");
    ASSERT_EQ(0, scenario.Run());
    const std::vector<std::string> lines = scenario.Debug();
    EXPECT_EQ(OperationEntries(scenario, "RIE"), Entries(lines));
    const std::vector<std::string> file =
        TextLines(Utf16FileText(scenario.device.LogFolder() + "/" + kTitle + ".log"));
    ASSERT_FALSE(file.empty());
    EXPECT_EQ("[0:0:0][" + kTitle + ".exe][Version : 1.2.3.4]", DigitsMasked(file[0].substr(0, 9)) + file[0].substr(9));
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), file[0]));
}

// What follows concerns the registry store of Linux; on Windows the real
// registry and drive are what the scenario above exercises.
#if !defined(_WIN32)

// A name that is empty once cut at its last dot is still the executable's
// name: the registry's lines show it empty instead of leaving it out. (The
// store has no KVOR key here: the library works all the same, its logger
// off, as the logger's own tests show.)
TEST(LoggerScenario, ExecutableWithAnEmptyNameShowsItEmpty)
{
    Scenario scenario;
    const std::string program = ProgramPath();
    const std::string copy = program.substr(0, program.rfind('/') + 1) + ".hidden";
    ASSERT_TRUE(std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing));
    const int status = scenario.Run(Environment(), copy);
    std::filesystem::remove(copy);
    ASSERT_EQ(0, status);
    const std::vector<std::string> lines = scenario.Debug();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("[0:0:0][.exe][0]DEB_KVOR_PATH = SOFTWARE\\KVOR\\", DigitsMasked(lines[0]));
}

TEST(LoggerScenario, TwoProcessesStartingAtOnceBothSucceed)
{
    // The second process starts a little later each round, so that its start
    // meets the first one's at every step of creating the tree.
    for (int delay : {0, 100, 200, 300, 400, 600, 800, 1000, 1500, 2000}) {
        SCOPED_TRACE("delay " + std::to_string(delay) + " us");
        Scenario scenario;
        scenario.device.CreateKey("SOFTWARE/KVOR");
        std::filesystem::create_directories(scenario.dir.File("barrier"));
        int second = -1;
        std::thread other([&] {
            second = scenario.Run({{"KVOR_TEST_BARRIER", "second:" + std::to_string(delay)},
                                   {"KVOR_DEBUG_OUTPUT", scenario.dir.File("second.txt")}});
        });
        EXPECT_EQ(0, scenario.Run({{"KVOR_TEST_BARRIER", "first:0"}}));
        other.join();
        EXPECT_EQ(0, second);

        // Both loggers started and logged alike; one of them created the tree.
        const std::vector<std::string> lines[] = {scenario.Debug(), scenario.Debug("second.txt")};
        EXPECT_EQ(OperationEntries(scenario, "RE"), Entries(lines[0]));
        EXPECT_EQ(Entries(lines[0]), Entries(lines[1]));
        size_t creators = 0;
        for (const std::vector<std::string>& output : lines) {
            for (const std::string& line : output) {
                EXPECT_EQ(std::string::npos, line.find("unsuccessfully")) << line;
                creators += line.find("Succeed to create subkey Zone of DebLogger") != std::string::npos;
            }
        }
        EXPECT_EQ(1u, creators);
        // Every zone's value whole (the global ones are written only by the one creator).
        for (const char* zone : {"DebLog", "Win32", "DefaultZone", "kvorXMLParser"}) {
            EXPECT_EQ("dword:00000001", scenario.device.Value(kZone + zone, "OutputEnable")) << zone;
        }
    }
}

#endif

} // namespace
