// Loading a document: the file's encoding and what may stand before the
// root, the trace of a load, and the reader's own account of it: where and
// why it stopped, and what a load that succeeded left out.
#include <algorithm>
#include <string>
#include <vector>

#include "LoggerFixture.h"
#include "RejectedDocuments.h"
#include "kvor/reader/DocumentLoader.h"
#include "../dom/DomTestSupport.h"

using namespace kvortest;

namespace {

const char* const kFailed = "FAIL";

// Loads the file: the tree's rendering, or kFailed.
std::string LoadFile(const std::string& path)
{
    IXmlNode* root = nullptr;
    const uint32_t result = CJXMLNode::CreateRootNodeFromFile(W(path).c_str(), &root);
    if (result != 1) {
        EXPECT_EQ(result, 0u);
        EXPECT_EQ(root, nullptr) << "a failed load must not hand out a tree";
        return kFailed;
    }
    const std::string tree = Render(root);
    delete root;
    return tree;
}

// Whether ANSI files are read in this code page: the posix back end follows
// KVOR_ACP, which the tests set; Windows always uses the system's.
#if defined(_WIN32)
bool AnsiIsRead(UINT codePage) { return GetACP() == codePage; }
#else
bool AnsiIsRead(UINT) { return true; }
#endif

struct BytesCase {
    const char* name;
    std::string bytes;
    UINT codePage; // the ANSI code page the case needs; 0: any
    std::string tree;
};
KVOR_PRINTS_CASE_NAME(BytesCase)

// text as UTF-16 bytes after prefix, less its last dropBytes bytes.
std::string Utf16(const std::string& prefix, const std::string& text, size_t dropBytes = 0)
{
    const std::vector<unsigned char> bytes = Utf16Bytes(text);
    return prefix + std::string(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(dropBytes));
}

class FileBytesTest : public ::testing::TestWithParam<BytesCase> {};

TEST_P(FileBytesTest, DecodedAndLoaded)
{
    const BytesCase& c = GetParam();
    ScopedEnv codePage("KVOR_ACP", c.codePage == 0 ? "" : std::to_string(c.codePage));
    if (c.codePage != 0 && !AnsiIsRead(c.codePage)) {
        GTEST_SKIP() << "ANSI files are not read in code page " << c.codePage << " here";
    }
    TempDir dir;
    WriteText(dir.File("file.xml"), c.bytes);
    EXPECT_EQ(LoadFile(dir.File("file.xml")), c.tree);
}

// The grammar of the document proper, and the encodings refused, are the
// report test's; these are what the file adds: its encoding and what may
// stand before the root.
const BytesCase kBytesCases[] = {
    {"Empty", "", 0, kFailed},
    {"MarkOnly", "\xFF\xFE", 0, kFailed},
    {"Utf16Tree", Utf16("\xFF\xFE", "<r>\r\n  <c x=\"3\">text</c>\r\n  <d><e/></d>\r\n</r>\r\n"), 0,
     "r{c[x=3]\"text\",d{e}}"},
    {"Utf16NonAscii", Utf16("\xFF\xFE", "<a n='\xC3\xA9'>\xE6\x97\xA5\xE6\x9C\xAC</a>"), 0,
     "a[n=\xC3\xA9]\"\xE6\x97\xA5\xE6\x9C\xAC\""},
    {"Utf16HalfOfLastCharacterDropped", Utf16("\xFF\xFE", "<a>t</a>", 1), 0, kFailed},
    {"SecondByteFEWithoutFFIsAnsi", "<\xFE/>", 1252, "\xC3\xBE"},
    {"AnsiInUtf8", "<a n='\xC3\xA9'>\xE6\x97\xA5\xE6\x9C\xAC</a>", CP_UTF8,
     "a[n=\xC3\xA9]\"\xE6\x97\xA5\xE6\x9C\xAC\""},
    {"AnsiInTheConfiguredCodePage", "<a x='\xE9'>\xE9</a>", 1252, "a[x=\xC3\xA9]\"\xC3\xA9\""},
    {"LeadingWhiteSpace", " \r\n\t<a/>", 0, "a"},
    {"Declaration", "<?xml version='1.0' encoding='UTF-8'?>\r\n<a/>", 0, "a"},
    {"UpperCaseDeclaration", "<?XML version='1.0'?><a/>", 0, "a"},
    {"BlankAfterLess", "< ?xml version='1.0'?><a/>", 0, "a"},
    {"BlankAfterQuestion", "<? xml version='1.0'?><a/>", 0, "a"},
    {"OtherProcessingInstruction", "<?xml-stylesheet href='s'?><a/>", 0, kFailed},
    {"CommentAfterDeclaration", "<?xml version='1.0'?>\r\n<!-- c -->\r\n<a/>", 0, "a"},
    {"CommentWithoutDeclaration", "<!-- c --><a/>", 0, "a"},
};
INSTANTIATE_TEST_SUITE_P(Files, FileBytesTest, ::testing::ValuesIn(kBytesCases), CaseName());

// A logger of the test's own, with default settings: entries go to the
// debugger output.
class DocumentLoadTrace : public LoggerTest {};

// A missing file is opened as an empty one, so it is created, and fails as
// empty; without a root address the file is not even opened.
TEST_F(DocumentLoadTrace, NullRootAddressFailsWithoutTouchingTheFileAndStillTraces)
{
    Start();
    const std::string path = m_dir.File("untouched.xml");
    EXPECT_EQ(CJXMLNode::CreateRootNodeFromFile(W(path).c_str(), nullptr), 0u);
    EXPECT_FALSE(FileExists(path));
    const std::vector<std::string> lines = debug.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("CJXMLNode::CreateRootNodeFromFile(" + path + ") +"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("CJXMLNode::CreateRootNodeFromFile() -"), std::string::npos) << lines[1];
    EXPECT_EQ(LoadFile(path), kFailed);
    EXPECT_TRUE(FileExists(path) && ReadBytes(path).empty()) << "created empty";
}

// Loads utf8 as an ANSI document and reads the report back as a client
// would: whether it loaded, and "line:column reason" of the failure, or of
// the first loss and what was lost.
std::pair<bool, std::string> Account(const std::string& utf8)
{
    ReadReport report;
    DocumentText text;
    unsigned char* bytes = kvor::AllocateArray<unsigned char>(utf8.size());
    std::copy(utf8.begin(), utf8.end(), bytes);
    IXmlNode* root = nullptr;
    const bool loaded = text.Decode(bytes, static_cast<uint32_t>(utf8.size())) && ParseDocument(text, &root, &report) == 1;
    delete root;
    ReadEvent event = loaded ? report.drops[0].cause : report.failure;
    WCHAR reason[512];
    ReadReport::Describe(event, text.Text(), text.Length(), reason, 512);
    int line = 1, column = 1;
    for (int32_t i = 0; i < event.offset; ++i) {
        line += text.Text()[i] == KVOR_TEXT('\n') ? 1 : 0;
        column = text.Text()[i] == KVOR_TEXT('\n') ? 1 : column + 1;
    }
    const WCHAR* account = loaded && report.dropCount > 0 ? ReadReport::Describe(report.drops[0].loss) : reason;
    return {loaded, std::to_string(line) + ":" + std::to_string(column) + " " + U8(account)};
}

void ExpectAccount(const ReadCase& c, bool loads)
{
    const std::pair<bool, std::string> account = Account(c.document);
    const std::string place = std::to_string(c.line) + ":" + std::to_string(c.column) + " ";
    EXPECT_EQ(account.first, loads);
    EXPECT_EQ(account.second.compare(0, place.size(), place), 0) << account.second;
    EXPECT_NE(account.second.find(c.reason, place.size()), std::string::npos) << account.second;
}

class RefusedDocument : public ::testing::TestWithParam<ReadCase> {};
class LossyDocument : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RefusedDocument, ReportsWhereAndWhyTheReaderStopped)
{
    ExpectAccount(GetParam(), false);
}

TEST_P(LossyDocument, LoadsAndReportsWhatItLeftOut)
{
    ExpectAccount(GetParam(), true);
}

INSTANTIATE_TEST_SUITE_P(Reader, RefusedDocument, ::testing::ValuesIn(kRefusedDocuments),
                         CaseName());
INSTANTIATE_TEST_SUITE_P(Reader, LossyDocument, ::testing::ValuesIn(kLossyDocuments), CaseName());

TEST(ReadReport, LenientFormsLoseNothing)
{
    // A comment after the last child, mismatched quotes, an end tag in
    // another case: accepted as they are.
    for (const char* text : {"<r><a/><!-- c --></r>", "<a x='1\"/>", "<?xml version='1.0'?><!-- c --><A></a>"}) {
        const std::pair<bool, std::string> account = Account(text);
        EXPECT_TRUE(account.first && account.second.back() == ' ') << text << ": " << account.second;
    }
}

} // namespace
