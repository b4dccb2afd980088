// The XML writer and its file: the bytes of a saved document, the shape of
// each line, the file wrapper's two states and reading to the end.
#include <sstream>
#include <vector>

#include "kvor/dom/FileWrapper.h"
#include "DomTestSupport.h"

using namespace kvortest;

namespace {

typedef std::vector<std::string> Lines;

// Saves node over a file of other content and gives back its lines, once
// the file has been found to hold the mark and those lines, each ended by
// CR LF, and nothing else.
Lines Save(IXmlNode& node)
{
    TempDir dir;
    const std::string file = dir.File("out.xml");
    WriteText(file, std::string(1000, 'z'));
    EXPECT_EQ(node.SaveToFile(W(file).c_str()), 1u);
    const Lines lines = TextLines(Utf16FileText(file));
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    std::vector<unsigned char> bytes = Utf16Bytes(text);
    bytes.insert(bytes.begin(), {0xFF, 0xFE});
    EXPECT_EQ(ReadBytes(file), bytes);
    return lines;
}

// attributes: "key=value" separated by spaces, a key alone for an attribute stored without a value.
TEST(XmlWriter, LineShapes)
{
    const struct { const char *name, *attributes, *content, *child; bool saveChild; Lines lines; } cases[] = {
        {"empty element", "", nullptr, nullptr, false, {"<e />"}},
        {"attributes only, in table order", "b=2 a=1", nullptr, nullptr, false, {"<e b=\"2\" a=\"1\" />"}},
        {"content and attribute", "a=1", "text", nullptr, false, {"<e a=\"1\">", "text", "</e>"}},
        {"content before children", "", "text", "c", false, {"<e>", "text", "    <c />", "</e>"}},
        {"child saved as the document element", "", "text", "c", true, {"<c />"}},
        {"valueless attribute", "flag", nullptr, nullptr, false, {"<e flag=\"\" />"}},
        {"nothing escaped", "q=a\"b&c<", "x & <y>", nullptr, false, {"<e q=\"a\"b&c<\">", "x & <y>", "</e>"}},
    };
    for (const auto& c : cases) {
        CJXMLNode element(T("e"));
        std::istringstream attributes(c.attributes);
        for (std::string attribute; attributes >> attribute;) {
            const size_t equals = attribute.find('=');
            element.SetAttrString(W(attribute.substr(0, equals)).c_str(),
                                  equals == std::string::npos ? nullptr : W(attribute.substr(equals + 1)).c_str());
        }
        IXmlNode* child = nullptr;
        if (c.child != nullptr) {
            element.FindOrAddChild(W(c.child).c_str(), &child);
        }
        if (c.content != nullptr) { // only the element parser sets content
            WCHAR*& content = NodeAccess::Content(element);
            content = kvor::AllocateArray<WCHAR>(CJXMLNode::kNameCapacity);
            StringCchCopyW(content, CJXMLNode::kNameCapacity, W(c.content).c_str());
        }
        Lines expected = {"<?xml version=\"1.0\"?>"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(Save(c.saveChild ? *child : element), expected) << c.name;
    }
    TempDir dir;
    EXPECT_EQ(CJXMLNode(T("e")).SaveToFile(W(dir.File("missing/out.xml")).c_str()), 0u) << "no folder, no file";
}

// From 512 levels the spaces would fill the whole line: those elements are
// left out with their subtrees; the one above them still gets its end tag.
TEST(XmlWriter, ElementsFrom512LevelsDownAreLeftOut)
{
    CJXMLNode root(T("d0"));
    IXmlNode* parent = &root;
    for (int depth = 1; depth < 600; ++depth) {
        ASSERT_EQ(parent->FindOrAddChild(W("d" + std::to_string(depth)).c_str(), &parent), 1u);
    }
    const Lines lines = Save(root);
    ASSERT_EQ(lines.size(), 1u + 512 * 2);
    // Start tags are lines 1..512, depth = line - 1.
    EXPECT_EQ(lines[511], std::string(510 * 4, ' ') + "<d510>");
    EXPECT_EQ(lines[512], std::string(511 * 4, ' ') + "<d5") << "cut, as any overlong line";
    EXPECT_EQ(lines[513], std::string(511 * 4, ' ') + "</d");
    EXPECT_EQ(lines.back(), "</d0>");
}

uint32_t Open(CFileWrapper& file, const std::string& path, DWORD disposition = CREATE_ALWAYS)
{
    return file.Open(W(path).c_str(), disposition, disposition == CREATE_ALWAYS ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL);
}

// Lines are UTF-16 with CR LF and no terminator; a null text is an empty line.
TEST(FileWrapper, OpenAndCloseFollowTheTwoStates)
{
    TempDir dir;
    CFileWrapper file;
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.Open(nullptr, OPEN_ALWAYS, GENERIC_READ, 0, FILE_ATTRIBUTE_NORMAL), 0u);
    EXPECT_EQ(Open(file, dir.File("missing/x")), 0u);
    ASSERT_EQ(Open(file, dir.File("first")), 1u);
    EXPECT_EQ(Open(file, dir.File("second")), 0u);
    EXPECT_FALSE(FileExists(dir.File("second")));
    char byte = 0;
    EXPECT_EQ(file.ReadBlock(&byte, 1) + file.ReadBlock(nullptr, 1) + file.WriteBlock(nullptr, 1), 0u)
        << "nothing is read from a file open for writing, nor from or to nowhere";
    const struct { const WCHAR* text; uint32_t written; } lines[] = {{T("abc"), 10}, {T(""), 4}, {nullptr, 4}};
    for (const auto& line : lines) {
        EXPECT_EQ(file.WriteLine(line.text), line.written) << "the first file stays open";
    }
    EXPECT_EQ(file.Close(), 1u);
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.WriteLine(T("x")), 0u);
    EXPECT_EQ(ReadBytes(dir.File("first")), Utf16Bytes("abc\r\n\r\n\r\n"));
    EXPECT_EQ(Open(file, dir.File("second")), 1u) << "opens again after Close";
}

TEST(FileWrapper, ReadsTheWholeFileThenZero)
{
    TempDir dir;
    WriteText(dir.File("data"), "hello");
    CFileWrapper file;
    ASSERT_EQ(Open(file, dir.File("data"), OPEN_ALWAYS), 1u);
    char buffer[16] = {};
    EXPECT_EQ(file.GetSize(), 5u);
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 5u);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 0u) << "at the end";
    EXPECT_EQ(file.WriteLine(T("x")), 0u) << "open for reading";
    file.Close();
    EXPECT_EQ(file.GetSize() + file.ReadBlock(buffer, sizeof(buffer)), 0u) << "closed";
}

} // namespace
