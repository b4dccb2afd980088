#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "JXMLNode.h"

using kvortest::ReadBytes;
using kvortest::TempDir;
using kvortest::Utf16Bytes;
using kvortest::W;

namespace {

#define T(s) KVOR_TEXT(s)

// The file after the byte-order mark, as UTF-8 lines without their CR LF.
std::vector<std::string> SavedLines(const std::string& path)
{
    const std::vector<unsigned char> bytes = ReadBytes(path);
    EXPECT_GE(bytes.size(), 2u);
    if (bytes.size() < 2) {
        return {};
    }
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    kvortest::WString text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8)));
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(W("\r\n"), start)) != kvortest::WString::npos; start = end + 2) {
        lines.push_back(kvortest::U8(text.substr(start, end - start)));
    }
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
}

std::vector<std::string> Save(CJXMLNode& node, const TempDir& dir)
{
    const std::string path = dir.File("out.xml");
    EXPECT_EQ(node.SaveToFile(W(path).c_str()), 1u);
    return SavedLines(path);
}

TEST(XmlWriter, WorkedExampleIsByteExact)
{
    CJXMLNode config(T("config"));
    config.SetAttrInt(T("version"), 2);
    IXmlNode* item = nullptr;
    IXmlNode* note = nullptr;
    config.FindOrAddChild(T("item"), &item);
    item->SetAttrString(T("id"), T("1"));
    config.FindOrAddChild(T("note"), &note);
    JXMLNodeTestPeer::SetContent(*static_cast<CJXMLNode*>(note), "hi");

    TempDir dir;
    const std::string path = dir.File("config.xml");
    ASSERT_EQ(config.SaveToFile(W(path).c_str()), 1u);

    std::vector<unsigned char> expected = {0xFF, 0xFE};
    for (const char* line : {"<?xml version=\"1.0\"?>", "<config version=\"2\">", "    <item id=\"1\" />",
                             "    <note>", "    hi", "    </note>", "</config>"}) {
        const std::vector<unsigned char> bytes = Utf16Bytes(std::string(line) + "\r\n");
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    const std::vector<unsigned char> written = ReadBytes(path);
    EXPECT_EQ(written.size(), 222u);
    EXPECT_EQ(written, expected);
}

TEST(XmlWriter, LineShapes)
{
    struct Case {
        const char* name;
        void (*build)(CJXMLNode&);
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"empty element", [](CJXMLNode&) {}, {"<e />"}},
        {"attributes only, in table order",
         [](CJXMLNode& e) {
             e.SetAttrString(T("b"), T("2"));
             e.SetAttrString(T("a"), T("1"));
         },
         {"<e b=\"2\" a=\"1\" />"}},
        {"content", [](CJXMLNode& e) { JXMLNodeTestPeer::SetContent(e, "text"); }, {"<e>", "text", "</e>"}},
        {"content and attribute",
         [](CJXMLNode& e) {
             e.SetAttrString(T("a"), T("1"));
             JXMLNodeTestPeer::SetContent(e, "text");
         },
         {"<e a=\"1\">", "text", "</e>"}},
        {"content before children",
         [](CJXMLNode& e) {
             JXMLNodeTestPeer::SetContent(e, "text");
             IXmlNode* child = nullptr;
             e.FindOrAddChild(T("c"), &child);
         },
         {"<e>", "text", "    <c />", "</e>"}},
        {"valueless attribute", [](CJXMLNode& e) { e.SetAttrString(T("flag"), nullptr); }, {"<e flag=\"\" />"}},
        {"nothing escaped",
         [](CJXMLNode& e) {
             e.SetAttrString(T("q"), T("a\"b&c<"));
             JXMLNodeTestPeer::SetContent(e, "x & <y>");
         },
         {"<e q=\"a\"b&c<\">", "x & <y>", "</e>"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CJXMLNode element(T("e"));
        c.build(element);
        TempDir dir;
        std::vector<std::string> expected = {"<?xml version=\"1.0\"?>"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(Save(element, dir), expected);
    }
}

TEST(XmlWriter, ChildSavedAloneIsTheDocumentElement)
{
    CJXMLNode root(T("root"));
    IXmlNode* child = nullptr;
    IXmlNode* grandchild = nullptr;
    root.FindOrAddChild(T("child"), &child);
    child->FindOrAddChild(T("leaf"), &grandchild);
    TempDir dir;
    EXPECT_EQ(Save(*static_cast<CJXMLNode*>(child), dir),
              (std::vector<std::string>{"<?xml version=\"1.0\"?>", "<child>", "    <leaf />", "</child>"}));
}

TEST(XmlWriter, FileCreation)
{
    TempDir dir;
    CJXMLNode node(T("e"));
    EXPECT_EQ(node.SaveToFile(nullptr), 0u);
    EXPECT_EQ(node.SaveToFile(W(dir.File("missing/out.xml")).c_str()), 0u);
    EXPECT_FALSE(kvortest::FileExists(dir.File("missing/out.xml")));

    const std::string path = dir.File("existing.xml");
    kvortest::WriteText(path, std::string(1000, 'z'));
    ASSERT_EQ(node.SaveToFile(W(path).c_str()), 1u);
    EXPECT_EQ(ReadBytes(path).size(), 2u + 2 * (23 + 7)) << "the old content is gone";
}

// From 512 levels the spaces would fill the whole line; those elements start
// at the left margin with their markup whole.
TEST(XmlWriter, VeryDeepElementsAreWrittenFlushLeft)
{
    CJXMLNode root(T("d0"));
    IXmlNode* parent = &root;
    for (int depth = 1; depth < 600; ++depth) {
        IXmlNode* child = nullptr;
        ASSERT_EQ(parent->FindOrAddChild(W("d" + std::to_string(depth)).c_str(), &child), 1u);
        parent = child;
    }
    TempDir dir;
    const std::vector<std::string> lines = Save(root, dir);
    ASSERT_EQ(lines.size(), 1u + 599 * 2 + 1);
    // Start tags are lines 1..600, depth = line - 1.
    EXPECT_EQ(lines[1], "<d0>");
    EXPECT_EQ(lines[2], "    <d1>");
    EXPECT_EQ(lines[100], std::string(99 * 4, ' ') + "<d99>");
    EXPECT_EQ(lines[511], std::string(510 * 4, ' ') + "<d510>");
    EXPECT_EQ(lines[512], std::string(511 * 4, ' ') + "<d5") << "cut, as any overlong line";
    EXPECT_EQ(lines[512 + 1], "<d512>");
    EXPECT_EQ(lines[600], "<d599 />");
    EXPECT_EQ(lines[601], "</d598>");
    EXPECT_EQ(lines.back(), "</d0>");
}

} // namespace
