// Loads arbitrary bytes as a document file, then walks, queries and saves
// the tree and loads the saved file again. The first byte chooses the
// encoding: bit 0 set, UTF-16 (the byte-order mark is put in front of the
// rest); bit 1 set, code page 1252 for ANSI text instead of UTF-8.
#include <algorithm>
#include <cstdlib>

#include "FuzzSupport.h"
#include "kvor/dom/JXMLNode.h"
#include "kvor/parser/XMLParser.h"
#include "kvor/reader/DocumentLoader.h"

namespace {

using namespace kvorfuzz;

const size_t kMaxNamesQueried = 64;

// Reads every character of a borrowed text, so that a dangling or
// unterminated pointer shows up under the address sanitizer.
size_t Touch(const WCHAR* text)
{
    return text == nullptr ? 0 : kvor::wcslen(text);
}

void CollectNames(const NodeSnapshot& node, std::vector<SnapshotText>& names)
{
    names.push_back(node.name);
    for (const AttributeSnapshot& attribute : node.attributes) {
        names.push_back(attribute.key);
    }
    for (const NodeSnapshot& child : node.children) {
        CollectNames(child, names);
    }
}

// Every node through the parser object's four reads and its text, and the
// node's own search among its children.
void Walk(CKvorXMLParser& parser, IXmlNode* node, const std::vector<SnapshotText>& names)
{
    const WCHAR* text = nullptr; // set only when found
    parser.GetNodeContext(node, &text);
    Touch(text);
    Touch(node->GetName());
    for (const SnapshotText& name : names) {
        int32_t value = 0;
        uint32_t colour = 0;
        XmlRect rect = {0, 0, 0, 0};
        parser.GetNodeAttr(name.c_str(), node, &value);
        parser.GetNodeAttr(name.c_str(), node, &colour);
        parser.GetNodeAttr(name.c_str(), node, &rect);
        text = nullptr;
        parser.GetNodeAttr(name.c_str(), node, &text);
        Touch(text);
        IXmlNode* found = nullptr;
        Touch(node->FindFirstChild(name.c_str(), &found) == 1 ? found->GetName() : nullptr);
    }
    CXmlNodeList children;
    parser.GetAllChildNodes(node, &children);
    for (XmlNodeListItem* item = children.head; item != nullptr; item = item->next) {
        Walk(parser, item->node, names);
    }
}

// The reader's own account of the same bytes: it loads exactly when the
// file does, and every event it reports can be described.
void CheckReport(const std::vector<uint8_t>& document, bool loaded)
{
    if (document.empty()) {
        return; // an empty file is refused before there is any text
    }
    unsigned char* bytes = kvor::AllocateArray<unsigned char>(document.size());
    std::copy(document.begin(), document.end(), bytes);
    DocumentText text;
    ReadReport report;
    IXmlNode* root = nullptr;
    Check(text.Decode(bytes, static_cast<uint32_t>(document.size())) &&
              (ParseDocument(text, &root, &report) == 1) == loaded,
          "the reader's report agrees with the load");
    delete root;
    WCHAR reason[512];
    ReadReport::Describe(report.failure, text.Text(), text.Length(), reason, 512);
    for (int32_t i = 0; i < report.dropCount && i < ReadReport::kMaxDrops; ++i) {
        ReadReport::Describe(report.drops[i].cause, text.Text(), text.Length(), reason, 512);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    std::vector<uint8_t> document;
    if ((data[0] & 1) != 0) {
        document = {0xFF, 0xFE};
    }
    document.insert(document.end(), data + 1, data + size);
    setenv("KVOR_ACP", (data[0] & 2) != 0 ? "1252" : "65001", 1);
    kvortest::WriteText(Scratch().File("document.xml"), std::string(document.begin(), document.end()));
    const WString sourcePath = kvortest::W(Scratch().File("document.xml"));
    const WString savedPath = kvortest::W(Scratch().File("saved.xml"));

    IXmlNode* root = nullptr;
    const uint32_t loaded = CJXMLNode::CreateRootNodeFromFile(sourcePath.c_str(), &root);
    CheckReport(document, loaded == 1);
    Check(loaded == 1 || root == nullptr, "a failed load hands out no tree");
    if (loaded == 0) {
        return 0;
    }
    const NodeSnapshot before = Snapshot(*dynamic_cast<CJXMLNode*>(root));
    std::vector<SnapshotText> names;
    CollectNames(before, names);
    names.resize(std::min(names.size(), kMaxNamesQueried));
    names.push_back(KVOR_TEXT("id"));

    // The same file through the parser object: its searches, then its reads over the whole tree.
    CKvorXMLParser parser;
    Check(parser.LoadXmlFile(sourcePath.c_str()) == 0, "a file that loaded once loads again");
    const int32_t number = 1;
    for (const SnapshotText& name : names) {
        IXmlNode* found = nullptr;
        parser.FindNode(name.c_str(), &found, nullptr, nullptr, nullptr);
        parser.FindNode(name.c_str(), &found, names.front().c_str(), KVOR_TEXT("1"), &number);
    }
    Walk(parser, root, names);
    Check(root->SaveToFile(savedPath.c_str()) == 1, "SaveToFile answers 1");
    IXmlNode* reloaded = nullptr;
    const uint32_t reloadedOk = CJXMLNode::CreateRootNodeFromFile(savedPath.c_str(), &reloaded);
    // What was read and written back must read the same again.
    Check(!SavesLosslessly(before, 0) || (reloadedOk == 1 && Snapshot(*dynamic_cast<CJXMLNode*>(reloaded)) == before),
          "the saved tree reads back the same");
    delete reloaded;
    delete root;
    return 0;
}
