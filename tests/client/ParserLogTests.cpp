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

// An entry line of the parser's zone: "[A][letter][title][kvorXMLP]" and,
// for located entries, "XMLParser.cpp#line;" before the message.
std::string Line(char severity, const std::string& message)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::string(R"(\[A\]\[)") + severity + R"(\]\[[^\]]*\]\[kvorXMLP\])" +
           (severity == 'E' ? R"(XMLParser\.cpp#[0-9]+;)" : "") + std::regex_replace(message, special, R"(\$&)");
}

TEST(ParserLog, OperationsWriteTheirLinesInOrder)
{
    TempDir dir;
    // A zone that lets every severity through.
    const std::string zone = dir.File("registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR/DebLogger/Zone/kvorXMLParser");
    std::filesystem::create_directories(zone);
    WriteText(zone + "/OutputEnable", "dword:00000001\n");
    WriteText(zone + "/Severity", "dword:00000000\n");
    WriteText(dir.File("doc.xml"), "<r><e rect='1,2'/></r>");
    ASSERT_EQ(0, RunInFreshProcess("ParserLog.ChildOperations", {{"KVOR_REGISTRY", dir.File("registry")},
                                                                 {"KVOR_DEVICE_ROOT", dir.File("device")},
                                                                 {"KVOR_DEBUG_OUTPUT", dir.File("debug.txt")},
                                                                 {"KVOR_TEST_DIR", dir.Path()}}));

    const std::string doc = dir.File("doc.xml");
    const std::string missing = dir.File("missing.xml");
    const std::vector<std::string> expected = {
        Line('R', "CKvorXMLParser::LoadXmlFile((null)) +"),
        Line('E', "LoadXmlFile - The filepath is invalid. (2)"),
        Line('R', "CKvorXMLParser::LoadXmlFile(" + doc + ") +"),
        Line('R', "CJXMLNode::CreateRootNodeFromFile(" + doc + ") +"),
        Line('R', "CJXMLNode::CreateRootNodeFromFile() -"),
        Line('R', "CKvorXMLParser::LoadXmlFile(0) -"),
        Line('I', "FindNode - Can't find the matched Xml node."),
        Line('E', "FindNode - The Node name is invalid. (2)"),
        Line('E', "GetAllChildNodes - The parent Xml node is invalid."),
        Line('I', "GetAllChildNodes - There is no child node."),
        Line('I', "GetNodeAttr - Failed to get the rectangle content of this attribute "),
        Line('E', "GetNodeAttr - Failed to get the rectangle content of this attribute "),
        Line('E', "GetNodeAttr - The pointer of the Xml node is invalid!"),
        Line('E', "GetNodeAttr - The pointer of attribute name is invalid!"),
        Line('I', "GetNodeAttr - Failed to get the string content of this attribute "),
        Line('I', "GetNodeContext - Failed to get the context value of this node."),
        Line('E', "GetNodeContext - The pointer of the Xml node is invalid!"),
        Line('R', "CKvorXMLParser::LoadXmlFile(" + missing + ") +"),
        Line('R', "CJXMLNode::CreateRootNodeFromFile(" + missing + ") +"),
        Line('R', "CJXMLNode::CreateRootNodeFromFile() -"),
        Line('E', "LoadXmlFile - Failed to open the XML file."),
        Line('R', "CKvorXMLParser::LoadXmlFile(1) -"),
        Line('E', "_FindAllSubNodes - The Xml parent node handler is invalid!"),
        Line('I', "FindNode - Can't find the matched Xml node."),
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

} // namespace
