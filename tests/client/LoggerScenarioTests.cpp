// The logger as a process sees it: a fresh process loads the library, which
// starts its logger and registers the parser's zone, on a registry and
// device of the test's own. How the settings shape a line or the log file
// is the logger's own tests' concern.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "LoadedLibrary.h"
#include "LoggerDevice.h"
#include "TestText.h"
#include "kvorVersion.h"

// The header of the log file names this version.
KVOR_DECLARE_EXECUTABLE_VERSION(1, 2, 3, 4);

using namespace kvortest;
namespace fs = std::filesystem;

namespace {

// This program's title: at 9 or more characters a name keeps its first 6
// and adds the low byte of the sum of all (1842 = 0x732) in hex.
const std::string kTitle = "kvor_c32";
const std::string kZone = "SOFTWARE/KVOR/DebLogger/Zone/";

// This program's file (under emulation, the emulated program's).
std::string ProgramPath()
{
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length < MAX_PATH ? length : 0);
#else
    return fs::read_symlink("/proc/self/exe").string();
#endif
}

// A fresh process loads the library, and starts its logger, under the
// environment the scenario chooses.
struct Scenario {
    Scenario() { WriteText(dir.File("doc.xml"), "<r><e rect='1,2'/></r>"); }
    // Runs LoggerScenarioChild.Operations in a fresh process of `program`
    // that inherits this one's environment with the given variables set; 0
    // when it passed.
    int Run(std::map<std::string, std::string> environment = {}, const std::string& program = ProgramPath()) const
    {
        environment.insert({{"KVOR_FRESH_PROCESS", "1"}, {"KVOR_DEBUG_OUTPUT", dir.File("debug.txt")}, {"KVOR_TEST_DIR", dir.Path()}});
        return RunProgram(environment, program, "--gtest_filter=LoggerScenarioChild.Operations");
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

// The entries the child's operations write, of the given severity letters
// (each message's first character).
std::vector<std::string> OperationEntries(const Scenario& scenario, const char* letters)
{
    const std::string doc = scenario.dir.File("doc.xml"), missing = scenario.dir.File("missing.xml");
    const std::string rect = "GetNodeAttr - Failed to get the rectangle content of this attribute ";
    const std::string all[] = {
        "RCKvorXMLParser::LoadXmlFile((null)) +", "ELoadXmlFile - The filepath is invalid. (2)",
        "RCKvorXMLParser::LoadXmlFile(" + doc + ") +", "RCJXMLNode::CreateRootNodeFromFile(" + doc + ") +",
        "RCJXMLNode::CreateRootNodeFromFile() -", "RCKvorXMLParser::LoadXmlFile(0) -",
        "IFindNode - Can't find the matched Xml node.", "EFindNode - The Node name is invalid. (2)",
        "EGetAllChildNodes - The parent Xml node is invalid.", "IGetAllChildNodes - There is no child node.",
        "I" + rect, "E" + rect,
        "EGetNodeAttr - The pointer of the Xml node is invalid!", "EGetNodeAttr - The pointer of attribute name is invalid!",
        "IGetNodeAttr - Failed to get the string content of this attribute ",
        "IGetNodeContext - Failed to get the context value of this node.",
        "EGetNodeContext - The pointer of the Xml node is invalid!",
        "RCKvorXMLParser::LoadXmlFile(" + missing + ") +", "RCJXMLNode::CreateRootNodeFromFile(" + missing + ") +",
        "RCJXMLNode::CreateRootNodeFromFile() -", "ELoadXmlFile - Failed to open the XML file.",
        "RCKvorXMLParser::LoadXmlFile(1) -", "E_FindAllSubNodes - The Xml parent node handler is invalid!",
        "IFindNode - Can't find the matched Xml node.",
    };
    std::vector<std::string> entries;
    for (const std::string& entry : all) {
        if (std::strchr(letters, entry[0]) != nullptr) { // errors name their place in the source
            entries.push_back("[A][" + entry.substr(0, 1) + "][" + kTitle + "][kvorXMLP]" +
                              (entry[0] == 'E' ? "XMLParser.cpp#N;" : "") + entry.substr(1));
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
        while (std::distance(fs::directory_iterator(dir + "/barrier"), {}) < 2 &&
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
    for (const WCHAR* name : {KVOR_TEXT("missing"), KVOR_TEXT("rect")}) {
        parser->GetNodeAttr(name, found, &rect);
    }
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
// the file and the debugger show it, names it. This one runs on Windows
// too, on the real registry and drive.
TEST(LoggerScenario, LibraryLoadStartsTheLoggerWithTheParsersZoneAndLogFile)
{
    Scenario scenario;
    scenario.device.SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", "dword:00000003");
    scenario.device.SetValue(kZone + "kvorXMLParser", "OutputEnable", "dword:00000001");
    scenario.device.SetValue(kZone + "kvorXMLParser", "Severity", "dword:00000000");
    ASSERT_EQ(0, scenario.Run());
    const std::vector<std::string> lines = scenario.Debug();
    EXPECT_EQ(OperationEntries(scenario, "RIE"), Entries(lines));
    const std::vector<std::string> file = TextLines(Utf16FileText(scenario.device.LogFolder() + "/" + kTitle + ".log"));
    ASSERT_FALSE(file.empty());
    EXPECT_EQ("[0:0:0][" + kTitle + ".exe][Version : 1.2.3.4]", DigitsMasked(file[0].substr(0, 9)) + file[0].substr(9));
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), file[0]));
}

// What follows concerns the registry store of Linux.
#if !defined(_WIN32)

// A name that is empty once cut at its last dot is still the executable's
// name: the registry's lines show it empty instead of leaving it out. (The
// store has no KVOR key here: the library works all the same, its logger
// off, as the logger's own tests show.)
TEST(LoggerScenario, ExecutableWithAnEmptyNameShowsItEmpty)
{
    Scenario scenario;
    const std::string copy = fs::path(ProgramPath()).replace_filename(".hidden").string();
    ASSERT_TRUE(fs::copy_file(ProgramPath(), copy, fs::copy_options::overwrite_existing));
    const int status = scenario.Run({}, copy);
    fs::remove(copy);
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
        fs::create_directories(scenario.dir.File("barrier"));
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
