// kvorxml's writes: edits made with the library's node operations and
// save, each put in place only when the file reads back as the same tree.
#include <sys/stat.h>

#include <filesystem>

#include "KvorxmlRun.h"

namespace {

const char* const kDocument = "<r>\n <a id=\"1\"/>\n <b><c/></b>\n</r>\n";

// <r><e a0="vvv..." ... a39="vvv..."/></r>: 40 attributes of 200 characters,
// a start tag longer than the writer's line.
std::string LongStartTag()
{
    std::string document = "<r><e";
    for (int i = 0; i < 40; ++i) {
        document += " a" + std::to_string(i) + "=\"" + std::string(200, 'v') + "\"";
    }
    return document + "/></r>";
}

TEST_F(KvorxmlTest, EditsReadBackAsTheExpectedTree)
{
    // words: those after FILE
    const struct { std::vector<std::string> words; const char* tree; } cases[] = {
        {{"set", "a", "name", "x"}, "r\n  a id=\"1\" name=\"x\"\n  b\n    c\n"},
        {{"set", "a", "id", "2", "--num", "id=1"}, "r\n  a id=\"2\"\n  b\n    c\n"},
        {{"add", "b", "d"}, "r\n  a id=\"1\"\n  b\n    c\n    d\n"},
        {{"add", "r", "a"}, "r\n  a id=\"1\"\n  b\n    c\n"},
        {{"rm", "c"}, "r\n  a id=\"1\"\n  b\n"},
        {{"rm", "b"}, "r\n  a id=\"1\"\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.words[0] + " " + entry.words[1]);
        const std::string file = File("doc.xml", kDocument);
        chmod(file.c_str(), 0640);
        std::vector<std::string> words = entry.words;
        words.insert(words.begin() + 1, file);
        const Outcome edit = Kvorxml(words);
        EXPECT_EQ(0, edit.status) << edit.err;
        EXPECT_EQ(entry.tree, Kvorxml({"tree", file}).out);
        struct stat info;
        ASSERT_EQ(0, stat(file.c_str(), &info));
        EXPECT_EQ(0640u, info.st_mode & 07777u) << "the file keeps its mode";
    }
    EXPECT_NE(std::string::npos, Kvorxml({"add", File("doc.xml", kDocument), "r", "a"}).err.find("already has"));
}

TEST_F(KvorxmlTest, EditsWriteWhereTheyAreTold)
{
    const std::string file = File("doc.xml", kDocument);
    ASSERT_EQ(0, Kvorxml({"set", file, "c", "on", "1", "-o", "copy.xml"}).status);
    EXPECT_EQ(kDocument, kvortest::ReadText(file)) << "-o leaves FILE alone";
    EXPECT_EQ("r\n  a id=\"1\"\n  b\n    c on=\"1\"\n", Kvorxml({"tree", "copy.xml"}).out);

    // From standard input to standard output, and on to the next command.
    ASSERT_EQ(0, Kvorxml({"rm", "-", "a"}, "", file, m_dir.File("piped.xml")).status);
    EXPECT_EQ("r\n  b\n    c\n", Kvorxml({"tree", "-"}, "", m_dir.File("piped.xml")).out);

    // A file named "-" is reached as ./-.
    File("-", kDocument);
    ASSERT_EQ(0, Kvorxml({"add", "./-", "a", "z"}).status);
    EXPECT_EQ("r\n  a id=\"1\"\n    z\n  b\n    c\n", Kvorxml({"tree", "./-"}).out);
}

TEST_F(KvorxmlTest, WritesThatWouldNotReadBackLeaveTheFileAsItWas)
{
    const std::string longTag = LongStartTag();
    // words: those after FILE
    const struct { const char *name, *document; std::vector<std::string> words; const char* err; } cases[] = {
        {"quote in a value", kDocument, {"set", "a", "say", "\"hi\""}, "the written copy"},
        {"value the reader cuts", kDocument, {"set", "a", "v", std::string(300, 'x')}, "longer than 259"},
        {"value the reader trims", kDocument, {"set", "a", "v", " x "}, "attribute \"v\" reads back as \"x\""},
        {"start tag the writer cuts", longTag.c_str(), {"save", "out.xml"}, "/r/e would be 8279 characters"},
        {"name the reader trims", kDocument, {"add", "b", " c2"}, "its name reads back as \"c2\""},
        {"the root", kDocument, {"rm", "r"}, "is the root element"},
        {"a lossy load", "<r><b x=1/></r>", {"set", "b", "y", "2"}, "loads only in part"},
        {"no such element", kDocument, {"set", "nosuch", "y", "2"}, "no element <nosuch>"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const std::string file = File("doc.xml", entry.document);
        File("out.xml", entry.document);
        std::vector<std::string> words = entry.words;
        words.insert(words.begin() + 1, file);
        const Outcome edit = Kvorxml(words);
        EXPECT_EQ(1, edit.status);
        EXPECT_NE(std::string::npos, edit.err.find(entry.err)) << edit.err;
        EXPECT_EQ(entry.document, kvortest::ReadText(file));
        EXPECT_EQ(entry.document, kvortest::ReadText(m_dir.File("out.xml")));
        for (const auto& left : std::filesystem::directory_iterator(m_dir.Path())) {
            EXPECT_EQ(std::string::npos, left.path().string().find(".kvorxml-")) << "a staged copy stays behind";
        }
    }
}

TEST_F(KvorxmlTest, LongStartTagsAreShownWhole)
{
    const Outcome tree = Kvorxml({"tree", File("long.xml", LongStartTag()), "--json"});
    EXPECT_EQ(0, tree.status) << tree.err;
    const std::string value = "\",\"value\":\"" + std::string(200, 'v') + "\"}";
    EXPECT_NE(std::string::npos, tree.out.find("\"attributes\":[{\"name\":\"a0" + value + ",{\"name\":\"a1\""));
    EXPECT_NE(std::string::npos, tree.out.find("{\"name\":\"a38" + value + ",{\"name\":\"a39" + value + "]"));
}

TEST_F(KvorxmlTest, SavedCopyIsTheLibrarysUtf16Form)
{
    ASSERT_EQ(0, Kvorxml({"save", m_ansi, "copy.xml"}).status);
    const std::string copy = kvortest::ReadText(m_dir.File("copy.xml"));
    EXPECT_EQ(0u, copy.rfind("\xFF\xFE", 0)) << "the writer's byte-order mark, not the ANSI input";
    EXPECT_EQ(copy, Kvorxml({"save", m_ansi, "-"}).out);
}

} // namespace
