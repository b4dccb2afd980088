// kvorxml as a user runs it: output, exit status, and the registry
// settings it writes taking effect in the next run's logging.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "RejectedDocuments.h"
#include "TestText.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Slurp(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class KvorxmlCommandTest : public ::testing::Test {
protected:
    // Runs kvorxml with its own registry store and device root.
    Outcome Kvorxml(const std::vector<std::string>& words, const std::string& debugOutput = "")
    {
        std::string command = "env KVOR_REGISTRY=" + Quoted(m_dir.File("registry")) +
                              " KVOR_DEVICE_ROOT=" + Quoted(m_dir.File("device")) +
                              " KVOR_DEBUG_OUTPUT=" + Quoted(debugOutput) + " " + KVORXML_EMULATOR " " +
                              Quoted(KVORXML_PATH);
        for (const std::string& word : words) {
            command += " " + Quoted(word);
        }
        command += " >" + Quoted(m_dir.File("out")) + " 2>" + Quoted(m_dir.File("err"));
        const int status = std::system(command.c_str());
        return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(m_dir.File("out")), Slurp(m_dir.File("err"))};
    }
    std::string File(const std::string& name, const std::string& text)
    {
        kvortest::WriteText(m_dir.File(name), text);
        return m_dir.File(name);
    }

    kvortest::TempDir m_dir;
    const std::string m_utf16 = KVOR_EXAMPLES_DIR "/device-ui.xml";
    const std::string m_ansi = KVOR_EXAMPLES_DIR "/device-ui-ansi.xml";
};

TEST_F(KvorxmlCommandTest, TreeShowsNamesAttributesInOrderAndText)
{
    const Outcome run = Kvorxml({"tree", m_utf16});
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("config version=\"2\" device=\"HU-700\"\n  skins default=\"day\"\n"));
    EXPECT_NE(std::string::npos, run.out.find("\n        label id=\"title\" rect=\"20, 10, 600, 50\" "
                                              "color=\"32,32,32\"\n          \"Now playing\"\n"));
}

TEST_F(KvorxmlCommandTest, BothEncodingsOfTheExampleGiveTheSameTree)
{
    const Outcome utf16 = Kvorxml({"tree", m_utf16, "--json"});
    const Outcome ansi = Kvorxml({"tree", m_ansi, "--json"});
    EXPECT_EQ(0, utf16.status);
    EXPECT_EQ(utf16.out, ansi.out);
}

TEST_F(KvorxmlCommandTest, SavedCopyLoadsToTheSameTree)
{
    const std::string copy = m_dir.File("copy.xml");
    ASSERT_EQ(0, Kvorxml({"save", m_ansi, copy}).status);
    const std::vector<unsigned char> bytes = kvortest::ReadBytes(copy);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    EXPECT_EQ(Kvorxml({"tree", m_ansi}).out, Kvorxml({"tree", copy}).out);
}

TEST_F(KvorxmlCommandTest, QueriesPrintWhatTheLibraryAnswers)
{
    const struct {
        std::vector<std::string> words;
        const char* out;
    } cases[] = {
        {{"find", m_utf16, "window", "--attr", "id=volume"},
         "/config/skins/skin[1]/window[2]\n  window id=\"volume\" rect=\"200, 140, 600, 340\" "
         "color=\"250,250,250\" modal=\"1\"\n"},
        {{"find", m_utf16, "slider", "--num", "value=18", "--json"},
         "{\"path\":\"/config/skins/skin[1]/window[2]/slider\",\"element\":{\"name\":\"slider\",\"attributes\":["
         "{\"name\":\"id\",\"value\":\"level\"},{\"name\":\"rect\",\"value\":\"220, 220, 580, 260\"},"
         "{\"name\":\"color\",\"value\":\"0,120,215\"},{\"name\":\"min\",\"value\":\"0\"},"
         "{\"name\":\"max\",\"value\":\"40\"},{\"name\":\"value\",\"value\":\"18\"}],\"text\":null}}\n"},
        {{"get", m_utf16, "button", "color", "--as", "color"}, "0,120,215 #0078D7\n"},
        {{"get", m_utf16, "window", "rect", "--as", "rect", "--attr", "id=settings"}, "0,0,800,480\n"},
        {{"get", m_utf16, "slider", "max", "--as", "int", "--json"},
         "{\"element\":\"slider\",\"attribute\":\"max\",\"as\":\"int\",\"value\":40}\n"},
        {{"get", m_ansi, "skin", "name"}, "day\n"},
        {{"text", m_ansi, "label", "--attr", "id=bluetooth"}, "Bluetooth: on\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.words[0] + " " + entry.words[2]);
        const Outcome run = Kvorxml(entry.words);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ(entry.out, run.out);
    }
}

TEST_F(KvorxmlCommandTest, ExitStatusSaysWhatWentWrong)
{
    const std::string missing = m_dir.File("missing.xml");
    const struct {
        const char* name;
        std::vector<std::string> words;
        int status;
        const char* err;
    } cases[] = {
        {"no command", {}, 2, "usage: kvorxml"},
        {"unknown command", {"frobnicate"}, 2, "unknown command frobnicate"},
        {"unknown option", {"tree", m_utf16, "--colour"}, 2, "unknown option --colour"},
        {"missing argument", {"get", m_utf16, "window"}, 2, "expected 3 arguments"},
        {"bad --as", {"get", m_utf16, "window", "rect", "--as", "float"}, 2, "--as takes"},
        {"bad --num", {"find", m_utf16, "slider", "--num", "value=x"}, 2, "--num takes"},
        {"missing file", {"tree", missing}, 1, "No such file"},
        {"no such element", {"find", m_utf16, "nosuch"}, 1, "no element <nosuch>"},
        {"no such attribute", {"get", m_utf16, "window", "nosuch"}, 1, "has no attribute \"nosuch\""},
        {"not a rectangle", {"get", m_utf16, "window", "color", "--as", "rect"}, 1, "is not a rectangle"},
        {"no text", {"text", m_utf16, "window"}, 1, "holds no text"},
        {"reg without key", {"reg", "query"}, 2, "expected query or add"},
        {"reg other root", {"reg", "query", "HKCU\\Software"}, 2, "must begin with HKLM"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const Outcome run = Kvorxml(entry.words);
        EXPECT_EQ(entry.status, run.status);
        EXPECT_NE(std::string::npos, run.err.find(entry.err)) << run.err;
    }
    EXPECT_FALSE(kvortest::FileExists(missing)) << "a look at a missing file must not create it";
}

TEST_F(KvorxmlCommandTest, EveryCommandHasHelp)
{
    for (const char* command : {"tree", "find", "get", "text", "save", "check", "reg"}) {
        SCOPED_TRACE(command);
        const Outcome run = Kvorxml({command, "--help"});
        EXPECT_EQ(0, run.status);
        EXPECT_EQ(0u, run.out.find(std::string("usage: kvorxml ") + command));
    }
}

TEST_F(KvorxmlCommandTest, CheckPrintsTheReadersReasonAndPlace)
{
    for (const kvortest::ReadCase& c : kvortest::kRefusedDocuments) {
        SCOPED_TRACE(c.name);
        const std::string file = File("refused.xml", c.document);
        const Outcome run = Kvorxml({"check", file});
        EXPECT_EQ(1, run.status);
        const std::string place = file + ":" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": ";
        EXPECT_EQ(0u, run.err.find(place)) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.reason)) << run.err;
    }
    for (const kvortest::ReadCase& c : kvortest::kLossyDocuments) {
        SCOPED_TRACE(c.name);
        const std::string file = File("lossy.xml", c.document);
        const Outcome run = Kvorxml({"check", file});
        EXPECT_EQ(0, run.status);
        const std::string place = file + ":" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": warning: ";
        EXPECT_EQ(0u, run.err.find(place)) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.reason)) << run.err;
    }
    const Outcome loads = Kvorxml({"check", m_utf16});
    EXPECT_EQ(0, loads.status);
    EXPECT_EQ(m_utf16 + ": loads\n", loads.out);
    EXPECT_EQ("", loads.err);
}

TEST_F(KvorxmlCommandTest, RegistrySettingsChangeWhatTheNextRunLogs)
{
    const std::string findMissing = "FindNode - Can't find the matched Xml node.";
    const std::vector<std::string> search = {"find", m_utf16, "nosuch"};
    // Without the store's KVOR key logging is off altogether.
    EXPECT_EQ(std::string::npos, Kvorxml(search, "stderr").err.find("[A]["));

    ASSERT_EQ(0, Kvorxml({"reg", "add", "HKLM\\SOFTWARE\\KVOR\\DebLogger", "/v", "OutputType", "/t", "REG_DWORD",
                          "/d", "1"}).status);
    const Outcome defaults = Kvorxml(search, "stderr");
    EXPECT_NE(std::string::npos, defaults.err.find("[A][R][kvorxml][kvorXMLP]CKvorXMLParser::LoadXmlFile("));
    EXPECT_EQ(std::string::npos, defaults.err.find(findMissing)) << "severity 1 is below the default threshold 3";

    const std::string zone = "HKLM\\SOFTWARE\\KVOR\\DebLogger\\Zone\\kvorXMLParser";
    ASSERT_EQ(0, Kvorxml({"reg", "add", zone, "/v", "Severity", "/t", "REG_DWORD", "/d", "1"}).status);
    EXPECT_NE(std::string::npos, Kvorxml(search, "stderr").err.find("[A][I][kvorxml][kvorXMLP]" + findMissing));

    const Outcome query = Kvorxml({"reg", "query", zone});
    EXPECT_NE(std::string::npos, query.out.find("    Severity    REG_DWORD    0x1\n"));
    EXPECT_NE(std::string::npos, query.out.find("    OutputEnable    REG_DWORD    0x1\n"));

    ASSERT_EQ(0, Kvorxml({"reg", "add", "HKLM\\SOFTWARE\\KVOR\\DebLogger", "/v", "OutputType", "/t", "REG_DWORD",
                          "/d", "0"}).status);
    EXPECT_EQ(std::string::npos, Kvorxml(search, "stderr").err.find("[A]["));
}

TEST_F(KvorxmlCommandTest, LogFileHeaderNamesTheClientsVersion)
{
    ASSERT_EQ(0, Kvorxml({"reg", "add", "HKLM\\SOFTWARE\\KVOR\\DebLogger", "/v", "OutputType", "/t", "REG_DWORD",
                          "/d", "2"}).status);
    ASSERT_EQ(0, Kvorxml({"tree", m_utf16}).status);
    const std::vector<unsigned char> log = kvortest::ReadBytes(m_dir.File("device/DebLogger/kvorxml.log"));
    std::string text;
    for (size_t i = 2; i + 1 < log.size(); i += 2) {
        text += static_cast<char>(log[i]);
    }
    EXPECT_NE(std::string::npos, text.find("[kvorxml.exe][Version : 1.0.0.0]\r\n")) << text;
}

} // namespace
