// kvorxml's views of a document: the tree, the library's search and
// queries, check's account of a load, and the exit status of each.
#include <sys/stat.h>

#include "Json.h"
#include "KvorxmlRun.h"

namespace {

// The JSON writer's escaping, which every --json output goes through.
TEST(JsonTest, EscapesWhatJsonRequires)
{
    EXPECT_EQ("\"a\\\"b\\\\c\\nd\\u0001\\u001f \\u007f\"", kvorxml::JsonQuote("a\"b\\c\nd\x01\x1F \x7F"));
    EXPECT_EQ("\"\xC3\xA9\"", kvorxml::JsonQuote("\xC3\xA9"));
}

// An element named like its ancestor, with and without the same first
// attribute: every command sees the whole document from its own root, and
// --all lists the matches descendants first.
TEST_F(KvorxmlTest, SameNamedNestedElementsKeepTheWholeDocument)
{
    const struct { const char *name, *document, *tree, *all; } cases[] = {
        {"plain", "<node>\n  <node name=\"child\"><leaf/></node>\n  <other/>\n</node>\n",
         "node\n  node name=\"child\"\n    leaf\n  other\n",
         "/node/node\n  node name=\"child\"\n/node\n  node\n"},
        {"equal first attributes", "<node id=\"1\"><node id=\"1\"><node id=\"1\"/><leaf/></node><other/></node>",
         "node id=\"1\"\n  node id=\"1\"\n    node id=\"1\"\n    leaf\n  other\n",
         "/node/node/node\n  node id=\"1\"\n/node/node\n  node id=\"1\"\n/node\n  node id=\"1\"\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const std::string file = File("same.xml", entry.document);
        EXPECT_EQ(entry.tree, Kvorxml({"tree", file}).out);
        EXPECT_EQ("/node/other\n  other\n", Kvorxml({"find", file, "other"}).out);
        EXPECT_EQ(entry.all, Kvorxml({"find", file, "node", "--all"}).out);
        ASSERT_EQ(0, Kvorxml({"save", file, "copy.xml"}).status);
        EXPECT_EQ(entry.tree, Kvorxml({"tree", "copy.xml"}).out);
    }
}

TEST_F(KvorxmlTest, QueriesPrintWhatTheLibraryAnswers)
{
    const struct { std::vector<std::string> words; const char* out; } cases[] = {
        {{"tree", File("t.xml", "<r b='1' a='2'><t>x  y</t></r>")}, "r b=\"1\" a=\"2\"\n  t\n    \"x  y\"\n"},
        {{"find", m_utf16, "window", "--attr", "id=volume"},
         "/config/skins/skin[1]/window[2]\n  window id=\"volume\" rect=\"200, 140, 600, 340\" "
         "color=\"250,250,250\" modal=\"1\"\n"},
        {{"find", m_utf16, "slider", "--num", "value=18", "--json"},
         "{\"path\":\"/config/skins/skin[1]/window[2]/slider\",\"element\":{\"name\":\"slider\",\"attributes\":["
         "{\"name\":\"id\",\"value\":\"level\"},{\"name\":\"rect\",\"value\":\"220, 220, 580, 260\"},"
         "{\"name\":\"color\",\"value\":\"0,120,215\"},{\"name\":\"min\",\"value\":\"0\"},"
         "{\"name\":\"max\",\"value\":\"40\"},{\"name\":\"value\",\"value\":\"18\"}],\"text\":null}}\n"},
        {{"find", File("two.xml", "<r><s a='1'/><s>t</s></r>"), "s", "--all", "--json"},
         "[{\"path\":\"/r/s[1]\",\"element\":{\"name\":\"s\",\"attributes\":[{\"name\":\"a\",\"value\":\"1\"}],"
         "\"text\":null}},{\"path\":\"/r/s[2]\",\"element\":{\"name\":\"s\",\"attributes\":[],\"text\":\"t\"}}]\n"},
        {{"get", m_utf16, "button", "color", "--as", "color"}, "0,120,215 #0078D7\n"},
        {{"get", m_utf16, "window", "rect", "--as", "rect", "--attr", "id=settings"}, "0,0,800,480\n"},
        {{"get", m_utf16, "slider", "max", "--as", "int", "--json"},
         "{\"element\":\"slider\",\"attribute\":\"max\",\"as\":\"int\",\"value\":40}\n"},
        {{"get", m_ansi, "skin", "name"}, "day\n"},
        {{"text", m_ansi, "label", "--attr", "id=bluetooth"}, "Bluetooth: on\n"},
        {{"text", m_ansi, "label", "--attr", "id=bluetooth", "--json"},
         "{\"element\":\"label\",\"text\":\"Bluetooth: on\"}\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.words[0] + " " + entry.words.back());
        const Outcome run = Kvorxml(entry.words);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ(entry.out, run.out);
    }
}

TEST_F(KvorxmlTest, ExitStatusSaysWhatWentWrong)
{
    const std::string missing = m_dir.File("missing.xml");
    const std::string fifo = m_dir.File("fifo");
    const char* const kZone = "HKLM\\SOFTWARE\\KVOR\\DebLogger\\Zone\\kvorXMLParser";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600)); // nobody writes to it: reading or writing it would wait
    const struct { const char* name; std::vector<std::string> words; int status; const char* err; } cases[] = {
        {"no command", {}, 2, "usage: kvorxml"},
        {"unknown command", {"frobnicate"}, 2, "unknown command frobnicate"},
        {"unknown option", {"tree", m_utf16, "--colour"}, 2, "unknown option --colour"},
        {"missing argument", {"get", m_utf16, "window"}, 2, "expected 3 arguments"},
        {"bad --as", {"get", m_utf16, "window", "rect", "--as", "float"}, 2, "--as takes"},
        {"bad --num", {"find", m_utf16, "slider", "--num", "value=x"}, 2, "--num takes"},
        {"missing file", {"tree", missing}, 1, "No such file"},
        {"a folder", {"tree", KVOR_EXAMPLES_DIR}, 1, "is a folder"},
        {"a FIFO", {"tree", fifo}, 1, "not a regular file"},
        {"a FIFO to save onto", {"save", m_utf16, fifo}, 1, "is left as it was: not a regular file"},
        {"does not load", {"find", "-", "a"}, 1, "(standard input):1:1: does not load: "},
        {"no such element", {"find", m_utf16, "nosuch"}, 1, "no element <nosuch>"},
        {"no such attribute", {"get", m_utf16, "window", "nosuch"}, 1, "has no attribute \"nosuch\""},
        {"not a rectangle", {"get", m_utf16, "window", "color", "--as", "rect"}, 1, "is not a rectangle"},
        {"no text", {"text", m_utf16, "window"}, 1, "holds no text"},
        {"reg without key", {"reg", "query"}, 2, "expected query, add or delete"},
        {"reg other root", {"reg", "query", "HKCU\\Software"}, 2, "must begin with HKLM"},
        {"logger number as text", {"reg", "add", kZone, "/v", "severity", "/d", "2"}, 2, "only as a number: give /t"},
        {"logger flag as REG_SZ", {"reg", "add", kZone, "/v", "OutputEnable", "/t", "REG_SZ", "/d", "2"}, 2, "/t REG_DWORD"},
        {"text outside the logger's keys", {"reg", "add", "HKLM\\SOFTWARE\\Other", "/v", "Severity", "/d", "high"}, 0, ""},
        {"help", {"--help"}, 0, "KVOR_DEVICE_ROOT"},
        {"help of a command", {"set", "--help"}, 0, "usage: kvorxml set"},
        {"help of reg", {"reg", "--help"}, 0, "usage: kvorxml reg"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const Outcome run = Kvorxml(entry.words);
        EXPECT_EQ(entry.status, run.status);
        const std::string& said = entry.status == 0 ? run.out : run.err;
        EXPECT_NE(std::string::npos, said.find(entry.err)) << said;
    }
    EXPECT_FALSE(kvortest::FileExists(missing)) << "a look at a missing file must not create it";
    struct stat info;
    EXPECT_TRUE(stat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) << "the FIFO was replaced";
}

// The reader's reasons and places are the reader tests' business; check adds
// FILE:LINE:COLUMN, the line without its CR with a caret under the column
// (cut around it when long), the warning mark and the exit status.
TEST_F(KvorxmlTest, CheckShowsThePlaceInItsLine)
{
    // err: what follows FILE
    const struct { const char* name; std::string document; int status; std::string err; } cases[] = {
        {"refused", "<r>\r\n  <a>it's</a>\r\n</r>", 1,
         ":2:8: text may not contain a quote character\n    <a>it's</a>\n         ^\n"},
        {"lossy", "<r>\n <a/>\n <b=</r>", 0,
         ":3:4: warning: this element is left out, with everything below it (expected '>' or \"/>\" to end the "
         "start tag of <b>)\n   <b=</r>\n     ^\n"},
        {"long line", "<a>" + std::string(100, 'x') + "'</a>", 1,
         ":1:104: text may not contain a quote character\n  ..." + std::string(60, 'x') + "'</a>\n     " +
             std::string(60, ' ') + "^\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const std::string file = File("doc.xml", entry.document);
        const Outcome run = Kvorxml({"check", file});
        EXPECT_EQ(entry.status, run.status);
        EXPECT_EQ(file + entry.err, run.err);
        EXPECT_EQ(entry.status == 0 ? file + ": loads\n" : "", run.out);
    }
}

TEST_F(KvorxmlTest, CheckTakesSeveralFilesAndFailsWhenOneDoes)
{
    const std::string bad = File("bad.xml", "<a>it's</a>");
    const Outcome run = Kvorxml({"check", m_utf16, bad, "-", "--json"}, "", m_ansi);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("[{\"file\":\"" + m_utf16 + "\",\"loads\":true,\"error\":null,\"warnings\":[]},"
              "{\"file\":\"" + bad + "\",\"loads\":false,\"error\":{\"line\":1,\"column\":6,\"reason\":"
              "\"text may not contain a quote character\"},\"warnings\":[]},"
              "{\"file\":\"(standard input)\",\"loads\":true,\"error\":null,\"warnings\":[]}]\n",
              run.out);
    // Names the library's own file calls would read otherwise.
    EXPECT_EQ(0, Kvorxml({"check", File("a\\b.xml", "<a/>"), "/dev/stdin"}, "", m_ansi).status);
}

TEST_F(KvorxmlTest, ResultsThatCannotBeWrittenFailTheCommand)
{
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"tree", m_utf16}, std::vector<std::string>{"save", m_utf16, "-"}}) {
        SCOPED_TRACE(words[0]);
        const Outcome run = Kvorxml(words, "", "/dev/null", "/dev/full");
        EXPECT_EQ(1, run.status);
        EXPECT_NE(std::string::npos, run.err.find("No space left on device")) << run.err;
    }
}

} // namespace
