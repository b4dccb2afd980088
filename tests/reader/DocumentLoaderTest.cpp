#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "DebLogger.h"
#include "ReaderTestSupport.h"

using kvortest::kFailed;
using kvortest::W;
using kvortest::WString;

namespace {

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
    EXPECT_NE(root, nullptr);
    const std::string tree = kvortest::RenderTree(root);
    delete root;
    return tree;
}

enum class Encoding { Utf16, Ansi };

struct LoadCase {
    const char* name;
    std::string document;
    std::string tree;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class DocumentLoadTest : public ::testing::TestWithParam<LoadCase> {
protected:
    kvortest::TempDir m_dir;
};

// Every document gives the same tree from a UTF-16 file and from an ANSI file.
TEST_P(DocumentLoadTest, SameTreeFromBothEncodings)
{
    const LoadCase& c = GetParam();
    const std::string utf16 = m_dir.File("utf16.xml");
    const std::string ansi = m_dir.File("ansi.xml");
    kvortest::WriteUtf16File(utf16, c.document);
    kvortest::WriteText(ansi, c.document);
    EXPECT_EQ(LoadFile(utf16), c.tree) << "UTF-16 file";
#if defined(_WIN32)
    // The ANSI file holds UTF-8; Windows reads it in the system's code page.
    const bool ascii = std::all_of(c.document.begin(), c.document.end(),
                                   [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
    if (!ascii && GetACP() != CP_UTF8) {
        return;
    }
#endif
    EXPECT_EQ(LoadFile(ansi), c.tree) << "ANSI file";
}

const LoadCase kLoadCases[] = {
    {"Element", "<a x='1'>t</a>", "a[x=1]\"t\""},
    {"Tree", "<r>\r\n  <c x=\"3\">text</c>\r\n  <d><e/></d>\r\n</r>\r\n", "r{c[x=3]\"text\",d{e}}"},
    {"LeadingWhiteSpace", " \r\n\t<a/>", "a"},
    {"Declaration", "<?xml version='1.0' encoding='UTF-8'?>\r\n<a/>", "a"},
    {"UpperCaseDeclaration", "<?XML version='1.0'?><a/>", "a"},
    {"BlankAfterLess", "< ?xml version='1.0'?><a/>", "a"},
    {"BlankAfterQuestion", "<? xml version='1.0'?><a/>", "a"},
    {"DeclarationWithoutQuestion", "<?xml version='1.0'><a/>", kFailed},
    {"OtherProcessingInstruction", "<?xml-stylesheet href='s'?><a/>", kFailed},
    {"OnlyDeclaration", "<?xml version='1.0'?>", kFailed},
    {"CommentAfterDeclaration", "<?xml version='1.0'?>\r\n<!-- c -->\r\n<a/>", "a"},
    {"CommentWithoutDeclaration", "<!-- c --><a/>", "a"},
    {"CommentBeforeDeclaration", "<!-- c --><?xml version='1.0'?><a/>", kFailed},
    {"InstructionAfterDeclaration", "<?xml version='1.0'?><?pi x?><a/>", kFailed},
    {"DoctypeAfterDeclaration", "<?xml version='1.0'?><!DOCTYPE a><a/>", kFailed},
    {"TrailingTextIgnored", "<a/>trailing ' \" < text", "a"},
    {"TrailingElementIgnored", "<a></a><b/>", "a"},
    {"NoMarkup", "text", kFailed},
    {"WhiteSpaceOnly", " \r\n", kFailed},
    {"RootFails", "<a><b></a>", kFailed},
    {"NonAsciiText", "<a n='\xC3\xA9'>\xE6\x97\xA5\xE6\x9C\xAC</a>", "a[n=\xC3\xA9]\"\xE6\x97\xA5\xE6\x9C\xAC\""},
};
INSTANTIATE_TEST_SUITE_P(Documents, DocumentLoadTest, ::testing::ValuesIn(kLoadCases),
                         [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

class DocumentLoadFileTest : public ::testing::Test {
protected:
    kvortest::TempDir m_dir;
};

TEST_F(DocumentLoadFileTest, MissingFileIsCreatedEmptyAndFails)
{
    const std::string path = m_dir.File("missing.xml");
    EXPECT_EQ(LoadFile(path), kFailed);
    ASSERT_TRUE(kvortest::FileExists(path));
    EXPECT_TRUE(kvortest::ReadBytes(path).empty());
}

TEST_F(DocumentLoadFileTest, EmptyFilesFail)
{
    const std::string empty = m_dir.File("empty.xml");
    const std::string markOnly = m_dir.File("mark.xml");
    const std::string oneByte = m_dir.File("one.xml");
    kvortest::WriteText(empty, "");
    kvortest::WriteBytes(markOnly, {0xFF, 0xFE});
    kvortest::WriteText(oneByte, "<");
    EXPECT_EQ(LoadFile(empty), kFailed);
    EXPECT_EQ(LoadFile(markOnly), kFailed);
    EXPECT_EQ(LoadFile(oneByte), kFailed);
}

TEST_F(DocumentLoadFileTest, NullRootAddressFailsWithoutTouchingTheFile)
{
    const std::string path = m_dir.File("untouched.xml");
    EXPECT_EQ(CJXMLNode::CreateRootNodeFromFile(W(path).c_str(), nullptr), 0u);
    EXPECT_FALSE(kvortest::FileExists(path));
}

TEST_F(DocumentLoadFileTest, OddTrailingByteOfUtf16IsDropped)
{
    std::vector<unsigned char> bytes{0xFF, 0xFE};
    const std::vector<unsigned char> text = kvortest::Utf16Bytes("<a>t</a>");
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back('x');
    const std::string whole = m_dir.File("whole.xml");
    kvortest::WriteBytes(whole, bytes);
    EXPECT_EQ(LoadFile(whole), "a\"t\"");

    // Without the last byte the final ">" is incomplete and is dropped.
    bytes.resize(bytes.size() - 2);
    const std::string cut = m_dir.File("cut.xml");
    kvortest::WriteBytes(cut, bytes);
    EXPECT_EQ(LoadFile(cut), kFailed);
}

TEST_F(DocumentLoadFileTest, Utf16WithoutMarkIsReadAsAnsi)
{
    const std::string path = m_dir.File("nomark.xml");
    kvortest::WriteBytes(path, kvortest::Utf16Bytes("<a/>"));
    // Each NUL byte of the high halves becomes a character of its own.
    EXPECT_EQ(LoadFile(path), kFailed);
}

TEST_F(DocumentLoadFileTest, SecondByteFEWithoutFFIsAnsi)
{
    kvortest::ScopedEnv codePage("KVOR_ACP", "1252");
    const std::string path = m_dir.File("fe.xml");
    kvortest::WriteBytes(path, {'<', 0xFE, '/', '>'});
    EXPECT_EQ(LoadFile(path), "\xC3\xBE"); // U+00FE
}

TEST_F(DocumentLoadFileTest, AnsiFileUsesTheConfiguredCodePage)
{
    const std::string path = m_dir.File("e9.xml");
    kvortest::WriteText(path, "<a x='\xE9'>\xE9</a>");
    kvortest::ScopedEnv codePage("KVOR_ACP", "1252");
    EXPECT_EQ(LoadFile(path), "a[x=\xC3\xA9]\"\xC3\xA9\"");
}

TEST_F(DocumentLoadFileTest, Utf8ByteOrderMarkIsNotRecognised)
{
    kvortest::ScopedEnv codePage("KVOR_ACP", "");
    const std::string path = m_dir.File("bom8.xml");
    kvortest::WriteText(path, "\xEF\xBB\xBF<a/>");
    // U+FEFF is not white space, so the text does not begin with "<".
    EXPECT_EQ(LoadFile(path), kFailed);
}

TEST_F(DocumentLoadFileTest, TraceEntriesOnEveryPath)
{
    const std::string good = m_dir.File("good.xml");
    const std::string bad = m_dir.File("bad.xml");
    kvortest::WriteText(good, "<a/>");
    kvortest::WriteText(bad, "<a>");

    // A logger of the test's own, with default settings: entries go to the
    // debugger output.
    kvortest::ScopedEnv registry("KVOR_REGISTRY", m_dir.File("registry"));
    kvortest::ScopedEnv device("KVOR_DEVICE_ROOT", m_dir.File("device"));
    std::filesystem::create_directories(m_dir.File("registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR"));
    kvortest::DebugCapture capture;
    std::unique_ptr<DebLogger> logger(new DebLogger());
    ASSERT_EQ(logger->Initialize(), 1u);
    DebLogger* previous = kvor::testing::ReplaceLogger(logger.get());

    struct Run {
        const char* name;
        std::string path;
        bool nullRoot;
    };
    const Run runs[] = {{"loads", good, false}, {"fails", bad, false}, {"null root", good, true}};
    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        capture.Clear();
        IXmlNode* root = nullptr;
        CJXMLNode::CreateRootNodeFromFile(W(run.path).c_str(), run.nullRoot ? nullptr : &root);
        delete root;
        const std::vector<std::string> lines = capture.Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_NE(lines[0].find("CJXMLNode::CreateRootNodeFromFile(" + run.path + ") +"), std::string::npos)
            << lines[0];
        EXPECT_NE(lines[1].find("CJXMLNode::CreateRootNodeFromFile() -"), std::string::npos) << lines[1];
    }
    kvor::testing::ReplaceLogger(previous);
}

} // namespace
