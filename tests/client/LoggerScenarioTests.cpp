// The logger as a process sees it: each scenario starts a fresh process that
// loads the library (the logger starts then) with a registry store, device
// root and debugger output of its own, and checks what is left behind.
// GCC 12 warns falsely inside std::regex when sanitizers are on.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <map>
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

const int kThreadLoads = 100;

// This program's file name, and the title the logger makes of it: names of
// 9 or more characters keep 6 and add the low byte of their sum in hex.
std::string ProgramName()
{
    return std::filesystem::read_symlink("/proc/self/exe").filename().string();
}

std::string Title()
{
    std::string name = ProgramName();
    name = name.substr(0, name.rfind('.'));
    if (name.size() < 9) {
        return name;
    }
    unsigned sum = 0;
    for (unsigned char c : name) {
        sum += c;
    }
    char hex[3];
    std::snprintf(hex, sizeof(hex), "%02X", sum & 0xFF);
    return name.substr(0, 6) + hex;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
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

// Lines whose message - the text after "[time][name][thread]" - is given.
size_t CountMessages(const std::vector<std::string>& lines, const std::string& message)
{
    size_t count = 0;
    for (const std::string& line : lines) {
        count += line.size() >= message.size() && line.compare(line.size() - message.size(), message.size(), message) == 0;
    }
    return count;
}

std::vector<std::string> EntryLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> entries;
    for (const std::string& line : lines) {
        if (line.compare(0, 3, "[A]") == 0) {
            entries.push_back(line);
        }
    }
    return entries;
}

// Log file text, UTF-16LE after its byte-order mark, as UTF-8 (ASCII here).
std::string Decoded(const std::vector<unsigned char>& bytes)
{
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char>(bytes[i] | (bytes[i + 1] << 8));
    }
    return text;
}

// Times and source lines differ from run to run; everything else must not.
std::string Normalized(const std::string& text)
{
    static const std::regex time(R"(\[[0-9]{2}:[0-9]{2}:[0-9]{2}\])");
    static const std::regex line(R"(#[0-9]+;)");
    return std::regex_replace(std::regex_replace(text, time, "[hh:mm:ss]"), line, "#N;");
}

class Scenario {
public:
    Scenario() { std::filesystem::create_directories(m_dir.File("registry")); }

    std::string KeyFolder(const std::string& key) const
    {
        return m_dir.File("registry/HKEY_LOCAL_MACHINE/" + key);
    }
    void CreateKey(const std::string& key) const { std::filesystem::create_directories(KeyFolder(key)); }
    void SetValue(const std::string& key, const std::string& name, const std::string& line) const
    {
        CreateKey(key);
        WriteText(KeyFolder(key) + "/" + name, line + "\n");
    }
    // A store on which the logger has started before, with these globals.
    void PrepareLogger(const std::string& outputType, const std::string& fileMode) const
    {
        CreateKey("SOFTWARE/KVOR/DebLogger/Zone");
        SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", outputType);
        SetValue("SOFTWARE/KVOR/DebLogger", "FileMode", fileMode);
    }

    std::string Path(const std::string& name) const { return m_dir.File(name); }
    std::string MissingXml() const { return m_dir.File("missing.xml"); }
    std::string LogFile() const { return m_dir.File("device/DebLogger/" + Title() + ".log"); }
    std::vector<std::string> DebugLines() const { return ReadLines(m_debug); }

    Environment Env() const
    {
        return {{"KVOR_REGISTRY", m_dir.File("registry")},
                {"KVOR_DEVICE_ROOT", m_dir.File("device")},
                {"KVOR_DEBUG_OUTPUT", m_debug},
                {"KVOR_TEST_DIR", m_dir.Path()}};
    }
    // Runs LoggerScenarioChild.<child> in a fresh process; 0 when it passed.
    int Run(const char* child, Environment environment = Environment()) const
    {
        Environment all = Env();
        all.insert(all.end(), environment.begin(), environment.end());
        return RunInFreshProcess(std::string("LoggerScenarioChild.") + child, all);
    }

private:
    TempDir m_dir;
    std::string m_debug = m_dir.File("debug.txt");
};

// The entry lines a load of a missing file writes, as they stand in a file.
std::string MissingFileEntries(const std::string& path, const std::string& zoneTag = "[kvorXMLP]")
{
    const std::string head = "[A][R][" + Title() + "]" + zoneTag;
    return head + "CKvorXMLParser::LoadXmlFile(" + path + ") +\n" + head +
           "CJXMLNode::CreateRootNodeFromFile(" + path + ") +\n" + head + "CJXMLNode::CreateRootNodeFromFile() -\n" +
           "[A][E][" + Title() + "]" + zoneTag + "XMLParser.cpp#N;LoadXmlFile - Failed to open the XML file.\n" +
           head + "CKvorXMLParser::LoadXmlFile(1) -\n";
}

std::string Header()
{
    return "[hh:mm:ss][" + Title() + ".exe][Version : 1.2.3.4]\r\n";
}

const std::vector<std::string> kGlobalValues = {"OutputType", "Severity", "FileMode", "TimeFormat"};
const std::vector<std::string> kZones = {"DebLog", "Win32", "DefaultZone", "kvorXMLParser"};

// ---- Child processes ----------------------------------------------------------

std::string TestDir()
{
    const char* dir = std::getenv("KVOR_TEST_DIR");
    return dir == nullptr ? std::string() : dir;
}

#define KVOR_CHILD_ONLY()                                                                                   \
    if (!InFreshProcess()) {                                                                                \
        GTEST_SKIP() << "runs in a fresh process of a LoggerScenario test";                                 \
    }

TEST(LoggerScenarioChild, Load)
{
    KVOR_CHILD_ONLY();
    LoadedLibrary library;
}

// Loads a missing file: trace lines and one error line.
TEST(LoggerScenarioChild, LoadMissingFile)
{
    KVOR_CHILD_ONLY();
    LoadedLibrary library;
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, library.create(&parser));
    const char* path = std::getenv("KVOR_TEST_XML");
    EXPECT_EQ(KVOR_NOT_FOUND, parser->LoadXmlFile(W(path != nullptr ? path : TestDir() + "/missing.xml").c_str()));
    library.release(parser);
}

// Searches a parser without a document: a line at severity 1 among others.
TEST(LoggerScenarioChild, SearchEmptyParser)
{
    KVOR_CHILD_ONLY();
    LoadedLibrary library;
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, library.create(&parser));
    IXmlNode* found = nullptr;
    EXPECT_EQ(KVOR_NOT_FOUND, parser->FindNode(KVOR_TEXT("none"), &found, nullptr, nullptr, nullptr));
    library.release(parser);
}

// Waits until every process of the scenario is ready, so that they load the
// library - and start their loggers on one store - at the same moment.
TEST(LoggerScenarioChild, LoadAtOnce)
{
    KVOR_CHILD_ONLY();
    const std::string barrier = std::getenv("KVOR_TEST_BARRIER");
    WriteText(barrier + "/" + std::to_string(getpid()), "");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        const auto ready = std::distance(std::filesystem::directory_iterator(barrier), {});
        if (ready >= 2 || std::chrono::steady_clock::now() > deadline) {
            break;
        }
    }
    if (const char* delay = std::getenv("KVOR_TEST_DELAY_US")) {
        std::this_thread::sleep_for(std::chrono::microseconds(std::atoi(delay)));
    }
    LoadedLibrary library;
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, library.create(&parser));
    EXPECT_EQ(KVOR_NOT_FOUND, parser->LoadXmlFile(W(TestDir() + "/missing.xml").c_str()));
    library.release(parser);
}

TEST(LoggerScenarioChild, TwoThreadsLog)
{
    KVOR_CHILD_ONLY();
    LoadedLibrary library;
    std::atomic<int> failures{0};
    auto work = [&library, &failures](const std::string& path) {
        IXmlParser* parser = nullptr;
        if (library.create(&parser) != KVOR_OK) {
            ++failures;
            return;
        }
        const WString wide = W(path);
        for (int i = 0; i < kThreadLoads; ++i) {
            failures += parser->LoadXmlFile(wide.c_str()) == KVOR_NOT_FOUND ? 0 : 1;
        }
        library.release(parser);
    };
    std::thread first(work, TestDir() + "/first.xml");
    std::thread second(work, TestDir() + "/second.xml");
    first.join();
    second.join();
    EXPECT_EQ(0, failures.load());
}

// ---- Scenarios ------------------------------------------------------------------

TEST(LoggerScenario, FirstStartCreatesKeysAndDefaults)
{
    Scenario scenario;
    scenario.CreateKey("SOFTWARE/KVOR");
    ASSERT_EQ(0, scenario.Run("Load"));

    const std::string logger = scenario.KeyFolder("SOFTWARE/KVOR/DebLogger/");
    const std::map<std::string, std::string> values = {{"OutputType", "dword:00000001"},
                                                       {"Severity", "dword:00000003"},
                                                       {"FileMode", "dword:00000000"},
                                                       {"TimeFormat", "dword:00000000"}};
    for (const auto& value : values) {
        EXPECT_EQ(std::vector<std::string>{value.second}, ReadLines(logger + value.first)) << value.first;
    }
    for (const std::string& zone : kZones) {
        EXPECT_EQ(std::vector<std::string>{"dword:00000001"}, ReadLines(logger + "Zone/" + zone + "/OutputEnable"))
            << zone;
    }
    EXPECT_FALSE(std::filesystem::exists(scenario.Path("device/DebLogger")));

    const std::string prefix = R"(\[[0-9]{2}:[0-9]{2}:[0-9]{2}\]\[)" + ProgramName() + R"(\.exe\]\[[0-9]+\])";
    std::vector<std::string> expected = {prefix + R"(DEB_KVOR_PATH = SOFTWARE\\KVOR\\)"};
    for (const std::string& value : kGlobalValues) {
        expected.push_back(prefix + "Succeed to set value of " + value + " in registry key DebLogger");
    }
    expected.push_back(prefix + "Succeed to create subkey Zone of DebLogger");
    const std::vector<std::string> lines = scenario.DebugLines();
    ASSERT_EQ(expected.size(), lines.size()) << Joined(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
    }
}

TEST(LoggerScenario, WithoutTheKvorKeyLoggingStaysOff)
{
    Scenario scenario;
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));

    const std::string settings = R"(\[[0-9]{2}:[0-9]{2}:[0-9]{2}\]\[)" + ProgramName() + R"(\.exe\]\[[0-9]+\])";
    const std::vector<std::string> expected = {
        settings + R"(DEB_KVOR_PATH = SOFTWARE\\KVOR\\)",
        settings + R"(Open registry key SOFTWARE\\KVOR\\ unsuccessfully, Last Error = 0x00000002)",
        R"(\[[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{3}\]\[)" + Title() +
            R"(\.exe\]\[[0-9]+\]Create global setting in registry unsuccessfully)",
        R"(\[[^#\]]*kvorXMLParser[^#\]]*#[0-9]+\]\[12\]\[kvorXMLParser\]Initialize DebLog Failed ! )",
    };
    const std::vector<std::string> lines = scenario.DebugLines();
    ASSERT_EQ(expected.size(), lines.size()) << Joined(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
    }
    EXPECT_FALSE(std::filesystem::exists(scenario.KeyFolder("SOFTWARE")));
}

TEST(LoggerScenario, ExecutableKeyOverridesSeverity)
{
    const std::string notFound = "FindNode - Can't find the matched Xml node.";
    Scenario shared;
    shared.PrepareLogger("dword:00000001", "dword:00000000");
    ASSERT_EQ(0, shared.Run("SearchEmptyParser"));
    EXPECT_EQ(0u, CountMessages(shared.DebugLines(), notFound)) << Joined(shared.DebugLines());

    Scenario own;
    own.PrepareLogger("dword:00000001", "dword:00000000");
    own.SetValue("SOFTWARE/KVOR/DebLogger/" + Title(), "Severity", "dword:00000001");
    own.SetValue("SOFTWARE/KVOR/DebLogger/SomeOtherProgram", "Severity", "dword:00000004");
    ASSERT_EQ(0, own.Run("SearchEmptyParser"));
    EXPECT_EQ(1u, CountMessages(own.DebugLines(), "[A][I][" + Title() + "][kvorXMLP]" + notFound))
        << Joined(own.DebugLines());
}

TEST(LoggerScenario, ZoneWithOutputEnable3PrintsTheThreadId)
{
    Scenario scenario;
    scenario.PrepareLogger("dword:00000001", "dword:00000000");
    scenario.SetValue("SOFTWARE/KVOR/DebLogger/Zone/kvorXMLParser", "OutputEnable", "dword:00000003");
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));
    const std::vector<std::string> entries = EntryLines(scenario.DebugLines());
    ASSERT_FALSE(entries.empty());
    const std::regex threaded(R"(\[A\]\[[RE]\]\[)" + Title() + R"(\]\[kvorXMLP\]\[[0-9]+\].*)");
    for (const std::string& line : entries) {
        EXPECT_TRUE(std::regex_match(line, threaded)) << line;
    }
}

TEST(LoggerScenario, StringValueIsIgnored)
{
    Scenario scenario;
    scenario.PrepareLogger("\"2\"", "dword:00000000");
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));
    // OutputType stays 1: entries on the debugger output, no log file.
    EXPECT_FALSE(EntryLines(scenario.DebugLines()).empty()) << Joined(scenario.DebugLines());
    EXPECT_FALSE(std::filesystem::exists(scenario.LogFile()));
}

struct FileCase {
    const char* name;
    const char* outputType;
    const char* fileMode;
};

void PrintTo(const FileCase& c, std::ostream* out)
{
    *out << c.name;
}

class LogFileScenario : public ::testing::TestWithParam<FileCase> {};

TEST_P(LogFileScenario, FileHoldsMarkOnceHeaderAndEntries)
{
    const FileCase& c = GetParam();
    Scenario scenario;
    scenario.PrepareLogger(c.outputType, c.fileMode);
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));
    ASSERT_EQ(0, scenario.Run("LoadMissingFile"));

    const std::vector<unsigned char> bytes = ReadBytes(scenario.LogFile());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    const std::string run = Header() + MissingFileEntries(scenario.MissingXml());
    const bool appends = std::string(c.fileMode) != "dword:00000000";
    EXPECT_EQ(appends ? run + run : run, Normalized(Decoded(bytes)));

    // The header reaches the debugger output in any case; the entries only
    // when OutputType has bit 0.
    const std::vector<std::string> lines = scenario.DebugLines();
    EXPECT_EQ(2u, CountMessages(lines, "[" + Title() + ".exe][Version : 1.2.3.4]")) << Joined(lines);
    const bool toDebugger = std::string(c.outputType) == "dword:00000003";
    const std::string entries = MissingFileEntries(scenario.MissingXml());
    EXPECT_EQ(toDebugger ? entries + entries : std::string(), Normalized(Joined(EntryLines(lines))));
}

INSTANTIATE_TEST_SUITE_P(Cases, LogFileScenario,
                         ::testing::Values(FileCase{"FileOnly_FreshFile", "dword:00000002", "dword:00000000"},
                                           FileCase{"FileOnly_Append", "dword:00000002", "dword:00000001"},
                                           FileCase{"Both_FreshFile", "dword:00000003", "dword:00000000"},
                                           FileCase{"Both_Append", "dword:00000003", "dword:00000001"}),
                         [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

TEST(LoggerScenario, LongEntryLineIsCutInTheFile)
{
    Scenario scenario;
    scenario.PrepareLogger("dword:00000003", "dword:00000000");
    const std::string path = scenario.Path(std::string(1100, 'x'));
    ASSERT_EQ(0, scenario.Run("LoadMissingFile", {{"KVOR_TEST_XML", path}}));

    const std::string text = Normalized(Decoded(ReadBytes(scenario.LogFile())));
    ASSERT_EQ(0u, text.find(Header()));
    const std::string entries = text.substr(Header().size());
    // The debugger keeps the line whole (its message cut at 1024); the
    // file keeps its first 1024 characters, without the line feed.
    const std::vector<std::string> lines = EntryLines(scenario.DebugLines());
    ASSERT_FALSE(lines.empty());
    const std::string whole = lines.front();
    EXPECT_EQ("[A][R][" + Title() + "][kvorXMLP]" + ("CKvorXMLParser::LoadXmlFile(" + path).substr(0, 1024), whole);
    EXPECT_EQ(whole.substr(0, 1024), entries.substr(0, 1024));
    EXPECT_EQ("[A][", entries.substr(1024, 4));
}

TEST(LoggerScenario, TwoProcessesStartingAtOnceBothSucceed)
{
    // The second process starts a little later each round, so that its start
    // meets the first one's at every step of creating the tree.
    for (int delay : {0, 100, 200, 300, 400, 600, 800, 1000, 1500, 2000}) {
        SCOPED_TRACE("delay " + std::to_string(delay) + " us");
        Scenario first;
        first.CreateKey("SOFTWARE/KVOR");
        Scenario second; // its own device root and debugger output, the first one's store
        std::filesystem::create_directories(first.Path("barrier"));
        const Environment barrier = {{"KVOR_TEST_BARRIER", first.Path("barrier")}};
        const Environment sharedStore = {{"KVOR_TEST_BARRIER", first.Path("barrier")},
                                         {"KVOR_REGISTRY", first.Path("registry")},
                                         {"KVOR_TEST_DELAY_US", std::to_string(delay)}};
        int results[2] = {-1, -1};
        std::thread a([&] { results[0] = first.Run("LoadAtOnce", barrier); });
        std::thread b([&] { results[1] = second.Run("LoadAtOnce", sharedStore); });
        a.join();
        b.join();
        EXPECT_EQ(0, results[0]);
        EXPECT_EQ(0, results[1]);

        // Both loggers started: their entries reached their outputs.
        size_t creators = 0;
        for (const Scenario* scenario : {&first, &second}) {
            const std::vector<std::string> lines = scenario->DebugLines();
            EXPECT_FALSE(EntryLines(lines).empty()) << Joined(lines);
            EXPECT_EQ(0u, CountMessages(lines, "unsuccessfully")) << Joined(lines);
            creators += CountMessages(lines, "Succeed to create subkey Zone of DebLogger");
        }
        EXPECT_EQ(1u, creators);

        // The tree is complete, and every value file holds one whole line.
        std::set<std::string> files;
        const std::string base = first.KeyFolder("SOFTWARE/KVOR/DebLogger");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
            if (entry.is_regular_file()) {
                files.insert(std::filesystem::relative(entry.path(), base).string());
                const std::vector<unsigned char> bytes = ReadBytes(entry.path().string());
                EXPECT_TRUE(std::regex_match(std::string(bytes.begin(), bytes.end()),
                                             std::regex("dword:[0-9a-f]{8}\n")))
                    << entry.path();
            }
        }
        std::set<std::string> expected(kGlobalValues.begin(), kGlobalValues.end());
        for (const std::string& zone : kZones) {
            expected.insert("Zone/" + zone + "/OutputEnable");
        }
        EXPECT_EQ(expected, files);
    }
}

TEST(LoggerScenario, TwoThreadsLoggingAtOnceWriteWholeLines)
{
    Scenario scenario;
    scenario.PrepareLogger("dword:00000003", "dword:00000000");
    ASSERT_EQ(0, scenario.Run("TwoThreadsLog"));

    const std::string text = Normalized(Decoded(ReadBytes(scenario.LogFile())));
    ASSERT_EQ(0u, text.find(Header()));
    std::vector<std::string> fileLines;
    size_t start = Header().size();
    for (size_t end = text.find('\n', start); end != std::string::npos; end = text.find('\n', start)) {
        fileLines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "the file ends in a whole line";

    const std::regex whole(R"(\[A\]\[[RE]\]\[)" + Title() + R"(\]\[kvorXMLP\][^\[\]]*(\[\]|\([^()]*\))?[^\[\]]*)");
    for (const std::vector<std::string>& lines : {fileLines, EntryLines(scenario.DebugLines())}) {
        for (const std::string& line : lines) {
            ASSERT_TRUE(std::regex_match(line, whole)) << line;
        }
        for (const char* name : {"first", "second"}) {
            const std::string entry = "CKvorXMLParser::LoadXmlFile(" + scenario.Path(name) + ".xml) +";
            EXPECT_EQ(static_cast<size_t>(kThreadLoads), CountMessages(lines, entry)) << name;
        }
        EXPECT_EQ(static_cast<size_t>(2 * kThreadLoads), CountMessages(lines, "CKvorXMLParser::LoadXmlFile(1) -"));
    }
}

} // namespace
