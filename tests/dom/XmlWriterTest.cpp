// The XML writer: the bytes of a saved document and the shape of each line.
#include <sstream>
#include <vector>

#include "DomTestSupport.h"

using namespace kvortest;

namespace {

#define T(s) KVOR_TEXT(s)
typedef std::vector<std::string> Lines;

// Saves node and gives back the file's lines after the byte-order mark.
Lines Save(IXmlNode& node)
{
    TempDir dir;
    EXPECT_EQ(node.SaveToFile(W(dir.File("out.xml")).c_str()), 1u);
    return TextLines(Utf16FileText(dir.File("out.xml")));
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
        if (c.content != nullptr) {
            kvortest::SetContent(&element, c.content);
        }
        Lines expected = {"<?xml version=\"1.0\"?>"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(Save(c.saveChild ? *child : element), expected) << c.name;
    }
}

TEST(XmlWriter, MissingFolderSavesNothingAndAnExistingFileIsReplaced)
{
    TempDir dir;
    CJXMLNode node(T("e"));
    EXPECT_EQ(node.SaveToFile(W(dir.File("missing/out.xml")).c_str()), 0u);
    WriteText(dir.File("existing.xml"), std::string(1000, 'z'));
    ASSERT_EQ(node.SaveToFile(W(dir.File("existing.xml")).c_str()), 1u);
    std::vector<unsigned char> saved = {0xFF, 0xFE};
    for (unsigned char byte : Utf16Bytes("<?xml version=\"1.0\"?>\r\n<e />\r\n")) {
        saved.push_back(byte);
    }
    EXPECT_EQ(ReadBytes(dir.File("existing.xml")), saved) << "the mark and lines only; the old content is gone";
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

} // namespace
