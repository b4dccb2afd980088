// The lines the parser's operations log: message, severity letter, the
// zone's tag, and the source location present for errors only.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "FreshProcess.h"
#include "LoadedLibrary.h"
#include "TestText.h"

using namespace kvortest;

namespace {

// A registry store in which the parser's zone lets every severity through.
void PrepareRegistry(const std::string& root)
{
    const std::string zone = root + "/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR/DebLogger/Zone/kvorXMLParser";
    std::filesystem::create_directories(zone);
    WriteText(zone + "/OutputEnable", "dword:00000001\n");
    WriteText(zone + "/Severity", "dword:00000000\n");
}

std::string Escaped(const std::string& text)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// An entry line of the parser's zone: "[A][letter][title][kvorXMLP]" and,
// for located entries, "XMLParser.cpp#line;" before the message.
std::string Line(char severity, bool located, const std::string& message)
{
    return std::string(R"(\[A\]\[)") + severity + R"(\]\[[^\]]*\]\[kvorXMLP\])" +
           (located ? R"(XMLParser\.cpp#[0-9]+;)" : "") + Escaped(message);
}

} // namespace

TEST(ParserLog, OperationsWriteTheirLinesInOrder)
{
    TempDir dir;
    PrepareRegistry(dir.File("registry"));
    WriteText(dir.File("doc.xml"), "<r><e rect='1,2'/></r>");
    const std::string doc = dir.File("doc.xml");
    const std::string missing = dir.File("missing.xml");
    const Environment environment = {{"KVOR_REGISTRY", dir.File("registry")},
                                     {"KVOR_DEVICE_ROOT", dir.File("device")},
                                     {"KVOR_DEBUG_OUTPUT", dir.File("debug.txt")},
                                     {"KVOR_TEST_DIR", dir.Path()}};
    ASSERT_EQ(0, RunInFreshProcess("ParserLog.ChildOperations", environment));

    const std::vector<std::string> expected = {
        Line('R', false, "CKvorXMLParser::LoadXmlFile((null)) +"),
        Line('E', true, "LoadXmlFile - The filepath is invalid. (2)"),
        Line('R', false, "CKvorXMLParser::LoadXmlFile(" + doc + ") +"),
        Line('R', false, "CJXMLNode::CreateRootNodeFromFile(" + doc + ") +"),
        Line('R', false, "CJXMLNode::CreateRootNodeFromFile() -"),
        Line('R', false, "CKvorXMLParser::LoadXmlFile(0) -"),
        Line('I', false, "FindNode - Can't find the matched Xml node."),
        Line('E', true, "FindNode - The Node name is invalid. (2)"),
        Line('E', true, "GetAllChildNodes - The parent Xml node is invalid."),
        Line('I', false, "GetAllChildNodes - There is no child node."),
        Line('I', false, "GetNodeAttr - Failed to get the rectangle content of this attribute "),
        Line('E', true, "GetNodeAttr - Failed to get the rectangle content of this attribute "),
        Line('E', true, "GetNodeAttr - The pointer of the Xml node is invalid!"),
        Line('E', true, "GetNodeAttr - The pointer of attribute name is invalid!"),
        Line('I', false, "GetNodeAttr - Failed to get the string content of this attribute "),
        Line('I', false, "GetNodeContext - Failed to get the context value of this node."),
        Line('E', true, "GetNodeContext - The pointer of the Xml node is invalid!"),
        Line('R', false, "CKvorXMLParser::LoadXmlFile(" + missing + ") +"),
        Line('R', false, "CJXMLNode::CreateRootNodeFromFile(" + missing + ") +"),
        Line('R', false, "CJXMLNode::CreateRootNodeFromFile() -"),
        Line('E', true, "LoadXmlFile - Failed to open the XML file."),
        Line('R', false, "CKvorXMLParser::LoadXmlFile(1) -"),
        Line('E', true, "_FindAllSubNodes - The Xml parent node handler is invalid!"),
        Line('I', false, "FindNode - Can't find the matched Xml node."),
    };
    std::vector<std::string> lines;
    for (const std::string& line : DebugLines(dir.File("debug.txt"))) {
        if (line.find("[kvorXMLP]") != std::string::npos) {
            lines.push_back(line);
        }
    }
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << "line " << i << ": " << lines[i];
    }
}

// Runs inside the fresh process of the test above.
TEST(ParserLog, ChildOperations)
{
    if (!InFreshProcess()) {
        GTEST_SKIP() << "runs inside ParserLog.OperationsWriteTheirLinesInOrder";
    }
    const std::string dir = std::getenv("KVOR_TEST_DIR");
    ScopedParser parser;
    parser->LoadXmlFile(nullptr);
    ASSERT_EQ(KVOR_OK, parser->LoadXmlFile(W(dir + "/doc.xml").c_str()));

    IXmlNode* found = nullptr;
    parser->FindNode(KVOR_TEXT("nothing"), &found, nullptr, nullptr, nullptr);
    parser->FindNode(KVOR_TEXT(""), &found, nullptr, nullptr, nullptr);
    ASSERT_EQ(KVOR_OK, parser->FindNode(KVOR_TEXT("e"), &found, nullptr, nullptr, nullptr));

    CXmlNodeList list;
    parser->GetAllChildNodes(nullptr, &list);
    parser->GetAllChildNodes(found, &list);

    XmlRect rect;
    parser->GetNodeAttr(KVOR_TEXT("missing"), found, &rect);
    parser->GetNodeAttr(KVOR_TEXT("rect"), found, &rect);
    parser->GetNodeAttr(nullptr, nullptr, &rect);
    parser->GetNodeAttr(KVOR_TEXT(""), found, &rect);
    found->SetAttrString(KVOR_TEXT("nullvalue"), nullptr);
    const WCHAR* text = nullptr;
    parser->GetNodeAttr(KVOR_TEXT("nullvalue"), found, &text);

    parser->GetNodeContext(found, &text);
    parser->GetNodeContext(nullptr, &text);

    parser->LoadXmlFile(W(dir + "/missing.xml").c_str());
    parser->FindNode(KVOR_TEXT("e"), &found, nullptr, nullptr, nullptr);
}
