// The logger as a process sees it: each scenario starts a fresh process that
// loads the library (the logger starts then) with a registry store, device
// root and debugger output of its own, and checks what is left behind.
// GCC 12 warns falsely inside std::regex when sanitizers are on.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FreshProcess.h"
#include "LoadedLibrary.h"
#include "TestText.h"
#include "kvorVersion.h"

// The header of the log file names this version.
KVOR_DECLARE_EXECUTABLE_VERSION(1, 2, 3, 4);

using namespace kvortest;

namespace {

// The registry's diagnostic lines name this program as it is; the entry
// lines carry its title, which at 9 or more characters keeps the first 6
// and adds the low byte of the sum of all (1842 = 0x732) in hex.
const std::string kTitle = "kvor_c32";
const std::string kTime = R"(\[[0-9]{2}:[0-9]{2}:[0-9]{2}\])";
const std::string kSettingsLine = kTime + R"(\[kvor_client_tests\.exe\]\[[0-9]+\])";
const std::string kHeader = "[hh:mm:ss][kvor_c32.exe][Version : 1.2.3.4]\r\n";
const std::vector<std::string> kGlobalValues = {"OutputType", "Severity", "FileMode", "TimeFormat"};
const std::vector<std::string> kZones = {"DebLog", "Win32", "DefaultZone", "kvorXMLParser"};
const int kThreadLoads = 100;

// The non-empty lines of a file, without line ends.
std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines = DebugLines(path);
    lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    return all;
}

size_t CountEndingIn(const std::vector<std::string>& lines, const std::string& message)
{
    size_t count = 0;
    for (const std::string& line : lines) {
        count += line.size() >= message.size() && line.substr(line.size() - message.size()) == message;
    }
    return count;
}

// The entry lines among lines (entries false: the other lines).
std::vector<std::string> EntryLines(const std::vector<std::string>& lines, bool entries = true)
{
    std::vector<std::string> chosen;
    for (const std::string& line : lines) {
        if ((line.compare(0, 3, "[A]") == 0) == entries) {
            chosen.push_back(line);
        }
    }
    return chosen;
}

// The entry lines as they stand in a file, source lines normalised.
std::string ShownEntries(const std::vector<std::string>& lines)
{
    return std::regex_replace(Joined(EntryLines(lines)), std::regex(R"(#[0-9]+;)"), "#N;");
}

void ExpectLinesMatch(const std::vector<std::string>& patterns, const std::vector<std::string>& lines)
{
    ASSERT_EQ(patterns.size(), lines.size()) << Joined(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i]))) << lines[i];
    }
}

// Log file text after its byte-order mark, times and source lines (which
// differ from run to run) normalised.
std::string LogText(const std::string& path)
{
    const std::vector<unsigned char> bytes = ReadBytes(path);
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char>(bytes[i] | (bytes[i + 1] << 8));
    }
    static const std::regex time(kTime), line(R"(#[0-9]+;)");
    return std::regex_replace(std::regex_replace(text, time, "[hh:mm:ss]"), line, "#N;");
}

class Scenario {
public:
    Scenario() { std::filesystem::create_directories(m_dir.File("registry")); }

    std::string Key(const std::string& key) const { return m_dir.File("registry/HKEY_LOCAL_MACHINE/" + key); }
    void CreateKey(const std::string& key) const { std::filesystem::create_directories(Key(key)); }
    void SetValue(const std::string& key, const std::string& name, const std::string& line) const
    {
        CreateKey(key);
        WriteText(Key(key) + "/" + name, line + "\n");
    }
    // A store on which the logger has started before, with these globals.
    void PrepareLogger(const std::string& outputType, const std::string& fileMode) const
    {
        CreateKey("SOFTWARE/KVOR/DebLogger/Zone");
        SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", outputType);
        SetValue("SOFTWARE/KVOR/DebLogger", "FileMode", fileMode);
    }
    std::string Path(const std::string& name) const { return m_dir.File(name); }
    std::string LogFile() const { return m_dir.File("device/DebLogger/" + kTitle + ".log"); }
    std::vector<std::string> DebugLines() const { return ReadLines(Path("debug.txt")); }

    // Runs LoggerScenarioChild.<child> in a fresh process (of a copy of this
    // program at `copy`, when given); 0 when it passed.
    int Run(const char* child, const Environment& extra = Environment(), const std::string& copy = "") const
    {
        Environment environment = {{"KVOR_REGISTRY", m_dir.File("registry")},
                                   {"KVOR_DEVICE_ROOT", m_dir.File("device")},
                                   {"KVOR_DEBUG_OUTPUT", Path("debug.txt")},
                                   {"KVOR_TEST_DIR", m_dir.Path()}};
        environment.insert(environment.end(), extra.begin(), extra.end());
        return RunInFreshProcess(std::string("LoggerScenarioChild.") + child, environment, copy);
    }

private:
    TempDir m_dir;
};

// The entry lines a load of a missing file writes, as they stand in a file.
std::string MissingFileEntries(const std::string& path)
{
    const std::string trace = "[A][R][" + kTitle + "][kvorXMLP]";
    return trace + "CKvorXMLParser::LoadXmlFile(" + path + ") +\n" + trace + "CJXMLNode::CreateRootNodeFromFile(" +
           path + ") +\n" + trace + "CJXMLNode::CreateRootNodeFromFile() -\n" + "[A][E][" + kTitle +
           "][kvorXMLP]XMLParser.cpp#N;LoadXmlFile - Failed to open the XML file.\n" + trace +
           "CKvorXMLParser::LoadXmlFile(1) -\n";
}

// ---- Child processes ----------------------------------------------------------

std::string TestPath(const std::string& name)
{
    const char* dir = std::getenv("KVOR_TEST_DIR");
    return (dir == nullptr ? std::string() : dir) + "/" + name;
}

#define KVOR_CHILD_ONLY()                                                                                   \
    if (!InFreshProcess()) {                                                                                \
        GTEST_SKIP() << "runs in a fresh process of a LoggerScenario test";                                 \
    }

// Loads a missing file: trace lines and one error line. In a scenario of
// two processes it first waits until both are ready, so that they load the
// library - and start their loggers on one store - at the same moment.
TEST(LoggerScenarioChild, LoadMissingFile)
{
    KVOR_CHILD_ONLY();
    if (const char* barrier = std::getenv("KVOR_TEST_BARRIER")) {
        WriteText(std::string(barrier) + "/" + std::getenv("KVOR_TEST_NAME"), "");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::distance(std::filesystem::directory_iterator(barrier), {}) < 2 &&
               std::chrono::steady_clock::now() < deadline) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::atoi(std::getenv("KVOR_TEST_DELAY_US"))));
    }
    ScopedParser parser;
    const char* path = std::getenv("KVOR_TEST_XML");
    EXPECT_EQ(KVOR_NOT_FOUND, parser->LoadXmlFile(W(path != nullptr ? path : TestPath("missing.xml")).c_str()));
}

// Searches a parser without a document: a line at severity 1 among others.
TEST(LoggerScenarioChild, SearchEmptyParser)
{
    KVOR_CHILD_ONLY();
    ScopedParser parser;
    IXmlNode* found = nullptr;
    EXPECT_EQ(KVOR_NOT_FOUND, parser->FindNode(KVOR_TEXT("none"), &found, nullptr, nullptr, nullptr));
}

TEST(LoggerScenarioChild, TwoThreadsLog)
{
    KVOR_CHILD_ONLY();
    std::atomic<int> failures{0};
    auto work = [&failures](const std::string& path) {
        ScopedParser parser;
        for (int i = 0; i < kThreadLoads; ++i) {
            failures += parser->LoadXmlFile(W(path).c_str()) == KVOR_NOT_FOUND ? 0 : 1;
        }
    };
    std::thread first(work, TestPath("first.xml"));
    std::thread second(work, TestPath("second.xml"));
    first.join();
    second.join();
    EXPECT_EQ(0, failures.load());
}

// ---- Scenarios ------------------------------------------------------------------

TEST(LoggerScenario, FirstStartCreatesKeysAndDefaults)
{
    Scenario scenario;
    scenario.CreateKey("SOFTWARE/KVOR");
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));

    const std::string logger = scenario.Key("SOFTWARE/KVOR/DebLogger/");
    const std::vector<std::string> defaults = {"dword:00000001", "dword:00000003", "dword:00000000", "dword:00000000"};
    std::vector<std::string> expected = {kSettingsLine + R"(DEB_KVOR_PATH = SOFTWARE\\KVOR\\)"};
    for (size_t i = 0; i < kGlobalValues.size(); ++i) {
        const std::string& value = kGlobalValues[i];
        EXPECT_EQ(std::vector<std::string>{defaults[i]}, ReadLines(logger + value)) << value;
        expected.push_back(kSettingsLine + "Succeed to set value of " + value + " in registry key DebLogger");
    }
    for (const std::string& zone : kZones) {
        EXPECT_EQ(std::vector<std::string>{"dword:00000001"}, ReadLines(logger + "Zone/" + zone + "/OutputEnable"))
            << zone;
    }
    EXPECT_FALSE(std::filesystem::exists(scenario.Path("device/DebLogger")));
    expected.push_back(kSettingsLine + "Succeed to create subkey Zone of DebLogger");
    ExpectLinesMatch(expected, EntryLines(scenario.DebugLines(), false));
    EXPECT_EQ(MissingFileEntries(scenario.Path("missing.xml")), ShownEntries(scenario.DebugLines()));
}

TEST(LoggerScenario, WithoutTheKvorKeyLoggingStaysOff)
{
    Scenario scenario;
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));
    ExpectLinesMatch(
        {kSettingsLine + R"(DEB_KVOR_PATH = SOFTWARE\\KVOR\\)",
         kSettingsLine + R"(Open registry key SOFTWARE\\KVOR\\ unsuccessfully, Last Error = 0x00000002)",
         R"(\[[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{3}\]\[kvor_c32\.exe\]\[[0-9]+\])"
         "Create global setting in registry unsuccessfully",
         R"(\[[^#\]]*kvorXMLParser[^#\]]*#[0-9]+\]\[12\]\[kvorXMLParser\]Initialize DebLog Failed ! )"},
        scenario.DebugLines());
    EXPECT_FALSE(std::filesystem::exists(scenario.Key("SOFTWARE")));
}

// A name that is empty once cut at its last dot is still the executable's
// name: the registry's lines show it empty instead of leaving it out.
TEST(LoggerScenario, ExecutableWithAnEmptyNameShowsItEmpty)
{
    Scenario scenario;
    const std::string program = ProgramPath();
#if defined(_WIN32)
    const std::string name = ".exe";
#else
    const std::string name = ".hidden";
#endif
    const std::string copy = program.substr(0, program.find_last_of("/\\") + 1) + name;
    ASSERT_TRUE(std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing));
    const int status = scenario.Run("SearchEmptyParser", Environment(), copy);
    std::filesystem::remove(copy);
    ASSERT_EQ(0, status);
    const std::vector<std::string> lines = scenario.DebugLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(kTime + R"(\[\.exe\]\[[0-9]+\]DEB_KVOR_PATH = SOFTWARE\\KVOR\\)")))
        << lines[0];
}

TEST(LoggerScenario, ExecutableKeyOverridesSeverity)
{
    const std::string notFound = "[A][I][" + kTitle + "][kvorXMLP]FindNode - Can't find the matched Xml node.";
    for (const bool own : {false, true}) {
        SCOPED_TRACE(own ? "with its own key" : "the global severity 3");
        Scenario scenario;
        scenario.PrepareLogger("dword:00000001", "dword:00000000");
        scenario.SetValue("SOFTWARE/KVOR/DebLogger/SomeOtherProgram", "Severity", "dword:00000004");
        if (own) {
            scenario.SetValue("SOFTWARE/KVOR/DebLogger/" + kTitle, "Severity", "dword:00000001");
        }
        ASSERT_EQ(0, scenario.Run("SearchEmptyParser"));
        EXPECT_EQ(own ? 1u : 0u, CountEndingIn(scenario.DebugLines(), notFound)) << Joined(scenario.DebugLines());
    }
}

struct OutputCase {
    const char* name;
    const char *outputType, *fileMode, *outputEnable; // the parser zone's
    int fileRuns;    // the runs the log file holds; 0: there is none
    bool toDebugger; // the entries reach the debugger output
};

void PrintTo(const OutputCase& c, std::ostream* out)
{
    *out << c.name;
}

class LogOutputScenario : public ::testing::TestWithParam<OutputCase> {};

TEST_P(LogOutputScenario, TwoRunsLeaveTheirEntriesWhereTheSettingsSay)
{
    const OutputCase& c = GetParam();
    Scenario scenario;
    scenario.PrepareLogger(c.outputType, c.fileMode);
    scenario.SetValue("SOFTWARE/KVOR/DebLogger/Zone/kvorXMLParser", "OutputEnable", c.outputEnable);
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));

    // OutputEnable 3 puts the thread id after the zone's tag.
    const std::regex threaded(R"(\[kvorXMLP\]\[[0-9]+\])");
    const std::string tag = std::string(c.outputEnable) == "dword:00000003" ? "[kvorXMLP][id]" : "[kvorXMLP]";
    const std::string entries = std::regex_replace(MissingFileEntries(scenario.Path("missing.xml")),
                                                   std::regex(R"(\[kvorXMLP\])"), tag);
    std::string file;
    for (int run = 0; run < c.fileRuns; ++run) {
        file += kHeader + entries;
    }
    const std::vector<unsigned char> bytes = ReadBytes(scenario.LogFile());
    EXPECT_EQ(c.fileRuns != 0, FileExists(scenario.LogFile()));
    EXPECT_TRUE(c.fileRuns == 0 || (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)) << "the mark";
    EXPECT_EQ(file, c.fileRuns == 0 ? "" : LogText(scenario.LogFile()));
    // The header reaches the debugger output whenever there is a file; the
    // entries when OutputType has bit 0.
    const std::vector<std::string> lines = scenario.DebugLines();
    EXPECT_EQ(c.fileRuns == 0 ? 0u : 2u, CountEndingIn(lines, "[kvor_c32.exe][Version : 1.2.3.4]")) << Joined(lines);
    const std::string shown = std::regex_replace(ShownEntries(lines), threaded, "[kvorXMLP][id]");
    EXPECT_EQ(c.toDebugger ? entries + entries : std::string(), shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogOutputScenario,
    ::testing::Values(
        OutputCase{"FileOnly_FreshFile", "dword:00000002", "dword:00000000", "dword:00000001", 1, false},
        OutputCase{"FileOnly_Append", "dword:00000002", "dword:00000001", "dword:00000001", 2, false},
        OutputCase{"Both_FreshFile", "dword:00000003", "dword:00000000", "dword:00000001", 1, true},
        OutputCase{"Both_Append", "dword:00000003", "dword:00000001", "dword:00000001", 2, true},
        OutputCase{"OutputTypeAsTextIsIgnored", "\"2\"", "dword:00000000", "dword:00000001", 0, true},
        OutputCase{"ZoneOutputEnable3PrintsTheThreadId", "dword:00000001", "dword:00000000", "dword:00000003", 0,
                   true}),
    [](const ::testing::TestParamInfo<OutputCase>& info) { return std::string(info.param.name); });

TEST(LoggerScenario, LongEntryLineIsCutInTheFile)
{
    Scenario scenario;
    scenario.PrepareLogger("dword:00000003", "dword:00000000");
    const std::string path = scenario.Path(std::string(1100, 'x'));
    ASSERT_EQ(0, scenario.Run("LoadMissingFile", {{"KVOR_TEST_XML", path}}));
    const std::string text = LogText(scenario.LogFile());
    ASSERT_EQ(0u, text.find(kHeader));
    // The debugger keeps the line whole (its message cut at 1024); the file
    // keeps its first 1024 characters, without the line feed.
    const std::vector<std::string> lines = EntryLines(scenario.DebugLines());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("[A][R][" + kTitle + "][kvorXMLP]" + ("CKvorXMLParser::LoadXmlFile(" + path).substr(0, 1024), lines[0]);
    EXPECT_EQ(lines[0].substr(0, 1024) + "[A][", text.substr(kHeader.size(), 1028));
}

TEST(LoggerScenario, TwoProcessesStartingAtOnceBothSucceed)
{
    // The second process starts a little later each round, so that its start
    // meets the first one's at every step of creating the tree.
    for (int delay : {0, 100, 200, 300, 400, 600, 800, 1000, 1500, 2000}) {
        SCOPED_TRACE("delay " + std::to_string(delay) + " us");
        Scenario first;
        Scenario second; // its own device root and debugger output, the first one's store
        first.CreateKey("SOFTWARE/KVOR");
        const std::string barrier = first.Path("barrier");
        std::filesystem::create_directories(barrier);
        int results[2] = {-1, -1};
        std::thread a([&] {
            results[0] = first.Run("LoadMissingFile", {{"KVOR_TEST_BARRIER", barrier}, {"KVOR_TEST_NAME", "first"},
                                                       {"KVOR_TEST_DELAY_US", "0"}});
        });
        std::thread b([&] {
            results[1] = second.Run("LoadMissingFile", {{"KVOR_TEST_BARRIER", barrier}, {"KVOR_TEST_NAME", "second"},
                                                        {"KVOR_TEST_DELAY_US", std::to_string(delay)},
                                                        {"KVOR_REGISTRY", first.Path("registry")}});
        });
        a.join();
        b.join();
        EXPECT_EQ(0, results[0]);
        EXPECT_EQ(0, results[1]);

        // Both loggers started: their entries reached their own outputs; one
        // of them created the tree.
        size_t creators = 0;
        for (const Scenario* scenario : {&first, &second}) {
            const std::vector<std::string> lines = scenario->DebugLines();
            EXPECT_EQ(MissingFileEntries(scenario->Path("missing.xml")), ShownEntries(lines));
            EXPECT_EQ(std::string::npos, Joined(lines).find("unsuccessfully")) << Joined(lines);
            creators += CountEndingIn(lines, "Succeed to create subkey Zone of DebLogger");
        }
        EXPECT_EQ(1u, creators);

        // The tree is complete, and every value file holds one whole line.
        std::set<std::string> files, expected(kGlobalValues.begin(), kGlobalValues.end());
        for (const std::string& zone : kZones) {
            expected.insert("Zone/" + zone + "/OutputEnable");
        }
        const std::string base = first.Key("SOFTWARE/KVOR/DebLogger");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
            if (entry.is_regular_file()) {
                files.insert(std::filesystem::relative(entry.path(), base).generic_string());
                const std::vector<unsigned char> bytes = ReadBytes(entry.path().string());
                const std::string line(bytes.begin(), bytes.end());
                EXPECT_TRUE(std::regex_match(line, std::regex("dword:[0-9a-f]{8}\n"))) << entry.path();
            }
        }
        EXPECT_EQ(expected, files);
    }
}

TEST(LoggerScenario, TwoThreadsLoggingAtOnceWriteWholeLines)
{
    Scenario scenario;
    scenario.PrepareLogger("dword:00000003", "dword:00000000");
    ASSERT_EQ(0, scenario.Run("TwoThreadsLog"));
    const std::string text = LogText(scenario.LogFile());
    ASSERT_EQ(0u, text.find(kHeader));
    ASSERT_EQ('\n', text.back()) << "the file ends in a whole line";
    std::vector<std::string> fileLines;
    for (size_t start = kHeader.size(), end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        fileLines.push_back(text.substr(start, end - start));
    }
    const std::regex whole(R"(\[A\]\[[RE]\]\[kvor_c32\]\[kvorXMLP\][^\[\]]*(\[\]|\([^()]*\))?[^\[\]]*)");
    for (const std::vector<std::string>& lines : {fileLines, EntryLines(scenario.DebugLines())}) {
        for (const std::string& line : lines) {
            ASSERT_TRUE(std::regex_match(line, whole)) << line;
        }
        for (const char* name : {"first", "second"}) {
            const std::string entry = "CKvorXMLParser::LoadXmlFile(" + scenario.Path(name) + ".xml) +";
            EXPECT_EQ(static_cast<size_t>(kThreadLoads), CountEndingIn(lines, entry)) << name;
        }
        EXPECT_EQ(static_cast<size_t>(2 * kThreadLoads), CountEndingIn(lines, "CKvorXMLParser::LoadXmlFile(1) -"));
    }
}

} // namespace
