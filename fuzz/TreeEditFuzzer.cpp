// Edits a loaded tree through the node interface with steps decoded from the
// input, keeping a plain model of what the tree must hold: every query is
// answered from the model too, and the whole tree is compared at the end. A
// tree the reader can take back is then saved, loaded by a fresh parser and
// compared again.
#include <cstdlib>
#include <deque>

#include "FuzzSupport.h"
#include "kvor/parser/XMLParser.h"

namespace {

using namespace kvorfuzz;

const size_t kMaxNodes = 2048;
const char kDocument[] = "<doc version=\"2\" Width=\"10\"><item id=\"1\" /><item id=\"2\" name=\"b\" /><note>hi</note></doc>";

struct ModelNode {
    IXmlNode* node;
    ModelNode* parent;
    NodeSnapshot own; // name, attributes and content; children below
    std::vector<ModelNode*> children;
};

bool SameIgnoringCase(const WString& left, const WString& right)
{
    auto fold = [](WCHAR c) { return static_cast<WCHAR>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [&](WCHAR l, WCHAR r) { return fold(l) == fold(r); });
}

WString Decimal(int64_t value)
{
    const std::string digits = std::to_string(value);
    return WString(digits.begin(), digits.end());
}

// The model: every node handed out, the root first; a node with no parent
// other than the root was removed and is ours to destroy.
struct TreeEdit {
    explicit TreeEdit(IXmlNode* root) { Adopt(root, nullptr); }
    ~TreeEdit()
    {
        for (ModelNode& model : m_nodes) {
            if (model.parent == nullptr && &model != &m_nodes.front()) {
                delete model.node;
            }
        }
    }

    void Run(ByteReader& input)
    {
        while (!input.AtEnd()) {
            Step(Pick(input), input);
        }
        for (ModelNode& model : m_nodes) {
            Check(model.parent != nullptr || SnapshotOf(model) == Snapshot(NodeAccess::Of(model.node)),
                  "the tree is the model's");
        }
    }

    static NodeSnapshot SnapshotOf(const ModelNode& model)
    {
        NodeSnapshot snapshot = model.own;
        for (const ModelNode* child : model.children) {
            snapshot.children.push_back(SnapshotOf(*child));
        }
        return snapshot;
    }
    const ModelNode& Root() const { return m_nodes.front(); }

    void Adopt(IXmlNode* node, ModelNode* parent)
    {
        ModelNode& model = Append(parent, node, WString());
        model.own = Snapshot(NodeAccess::Of(node));
        model.own.children.clear();
        for (const XmlNodeListItem* link = NodeAccess::Children(NodeAccess::Of(node)).head; link; link = link->next) {
            Adopt(link->node, &model);
        }
    }

    ModelNode& Append(ModelNode* parent, IXmlNode* node, const WString& name)
    {
        m_nodes.push_back({node, parent, {}, {}});
        m_nodes.back().own.name = name.substr(0, CJXMLNode::kNameCapacity - 1);
        if (parent != nullptr) {
            parent->children.push_back(&m_nodes.back());
        }
        return m_nodes.back();
    }

    // Byte 0xFF picks the newest node, so that inputs reach deep trees.
    ModelNode& Pick(ByteReader& input)
    {
        const uint8_t pick = input.Byte();
        return pick == 0xFF ? m_nodes.back() : m_nodes[pick % m_nodes.size()];
    }

    static bool IsAbove(const ModelNode& top, const ModelNode* model)
    {
        while (model != nullptr && model != &top) {
            model = model->parent;
        }
        return model != nullptr;
    }

    static std::vector<AttributeSnapshot>::iterator Exact(ModelNode& model, const WString& key)
    {
        return std::find_if(model.own.attributes.begin(), model.own.attributes.end(),
                            [&](const AttributeSnapshot& a) { return a.key == key; });
    }

    void Step(ModelNode& model, ByteReader& input)
    {
        IXmlNode* node = model.node;
        const int operation = input.Byte() % 11;
        if (operation == 0) { // the first child of exactly this name, or a new one
            const WString name = input.Text();
            auto found = std::find_if(model.children.begin(), model.children.end(),
                                      [&](ModelNode* child) { return child->own.name == name; });
            IXmlNode* out = nullptr;
            if (found != model.children.end() || m_nodes.size() < kMaxNodes) {
                Check(node->FindOrAddChild(name.c_str(), &out) == 1, "FindOrAddChild answers 1");
                Check(found == model.children.end() || out == (*found)->node, "FindOrAddChild finds the first");
                if (found == model.children.end()) {
                    Append(&model, out, name);
                }
            }
        } else if (operation == 1) { // a node removed earlier, or a new one, added as the last child
            ModelNode& other = Pick(input);
            const WString name = input.Text();
            if (other.parent == nullptr && &other != &Root() && !IsAbove(other, &model)) {
                Check(node->AddChild(other.node) == 1, "AddChild answers 1");
                other.parent = &model;
                model.children.push_back(&other);
            } else if (m_nodes.size() < kMaxNodes) {
                CJXMLNode* child = new CJXMLNode(name.c_str());
                Check(node->AddChild(child) == 1, "AddChild answers 1");
                Append(&model, child, name);
            }
        } else if (operation == 2) { // only a child comes off, and it is not destroyed
            ModelNode& other = Pick(input);
            const bool isChild = other.parent == &model;
            Check(node->RemoveChild(other.node) == (isChild ? 1u : 0u), "RemoveChild answers whether it was a child");
            if (isChild) {
                model.children.erase(std::find(model.children.begin(), model.children.end(), &other));
                other.parent = nullptr;
            }
        } else if (operation <= 5) { // SetAttrString, SetAttrInt, SetAttrColor: the text each stores
            const WString key = input.Text();
            WString value = operation == 3 ? input.Text() : WString();
            const uint32_t word = operation == 3 ? 0 : input.Word();
            const uint32_t result = operation == 3   ? node->SetAttrString(key.c_str(), value.c_str())
                                    : operation == 4 ? node->SetAttrInt(key.c_str(), static_cast<int32_t>(word))
                                                     : node->SetAttrColor(key.c_str(), word);
            if (operation == 4) {
                value = Decimal(static_cast<int32_t>(word));
            } else if (operation == 5) {
                value = Decimal(word & 0xFF) + WCHAR(',') + Decimal(word >> 8 & 0xFF) + WCHAR(',') +
                        Decimal(word >> 16 & 0xFF);
            }
            Check(result == 1, "the SetAttr calls answer 1");
            auto found = Exact(model, key);
            if (found != model.own.attributes.end()) {
                found->value = value;
            } else {
                model.own.attributes.push_back({key, true, value});
            }
        } else if (operation == 6) {
            const WString key = input.Text();
            auto found = Exact(model, key);
            const bool present = found != model.own.attributes.end();
            Check(node->RemoveAttr(key.c_str()) == (present ? 1u : 0u), "RemoveAttr answers whether it removed");
            if (present) {
                model.own.attributes.erase(found);
            }
        } else if (operation == 7) {
            QueryAttribute(model, input.Text());
        } else if (operation <= 9) {
            const WString name = input.Text();
            QueryChildren(model, name, (input.Byte() & 1) != 0);
        } else {
            Check(node->GetName() == model.own.name && (node->GetContent() != nullptr) == model.own.hasContent,
                  "name and content");
        }
    }
    // The first attribute whose name matches ignoring case. A present one
    // never gives the default, so asking with two defaults tells presence;
    // how its text reads as a number or colour is the node's tests' business.
    static void QueryAttribute(ModelNode& model, const WString& key)
    {
        static const WCHAR kDefault[] = KVOR_TEXT("default");
        auto expected = std::find_if(model.own.attributes.begin(), model.own.attributes.end(),
                                     [&](const AttributeSnapshot& a) { return SameIgnoringCase(a.key, key); });
        const bool present = expected != model.own.attributes.end();
        const WCHAR* text = model.node->GetAttrString(key.c_str(), kDefault);
        Check(present ? text != nullptr && text == expected->value : text == kDefault, "GetAttrString");
        Check((model.node->GetAttrInt(key.c_str(), -7) == model.node->GetAttrInt(key.c_str(), 9)) == present,
              "GetAttrInt gives the default for a missing attribute only");
        const uint32_t colour = model.node->GetAttrColor(key.c_str(), 0xABCDEF);
        Check((colour == model.node->GetAttrColor(key.c_str(), 0x123456)) == present && (colour >> 24) == 0,
              "GetAttrColor gives the default for a missing attribute only");
    }

    // All children in order, or all of one exact name, through the node's cursor.
    static void QueryChildren(ModelNode& model, const WString& name, bool byName)
    {
        std::vector<IXmlNode*> expected, seen;
        for (ModelNode* child : model.children) {
            if (!byName || child->own.name == name) {
                expected.push_back(child->node);
            }
        }
        IXmlNode* out = nullptr;
        IXmlNode* node = model.node;
        uint32_t more = byName ? node->FindFirstChild(name.c_str(), &out) : node->GetFirstChild(&out);
        while (more == 1 && seen.size() < kMaxNodes) {
            seen.push_back(out);
            more = byName ? node->FindNextChild(name.c_str(), &out) : node->GetNextChild(&out);
        }
        Check(seen == expected, byName ? "the children of one name" : "the children in order");
    }

    std::deque<ModelNode> m_nodes; // the root first
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string source = Scratch().File("document.xml");
    kvortest::WriteText(source, kDocument);
    CKvorXMLParser parser;
    IXmlNode* root = nullptr;
    Check(parser.LoadXmlFile(kvortest::W(source).c_str()) == KVOR_OK &&
              parser.FindNode(KVOR_TEXT("doc"), &root, nullptr, nullptr, nullptr) == KVOR_OK,
          "the starting document loads");
    ByteReader input(data, size);
    TreeEdit edit(root);
    edit.Run(input);

    // Saved and read back by a fresh parser, as a client would.
    const WString saved = kvortest::W(Scratch().File("edited.xml"));
    Check(root->SaveToFile(saved.c_str()) == 1, "SaveToFile answers 1");
    const NodeSnapshot expected = TreeEdit::SnapshotOf(edit.Root());
    CKvorXMLParser reader;
    IXmlNode* reloaded = nullptr;
    const bool loaded = reader.LoadXmlFile(saved.c_str()) == KVOR_OK &&
                        reader.FindNode(KVOR_TEXT("doc"), &reloaded, nullptr, nullptr, nullptr) == KVOR_OK;
    Check(!SavesLosslessly(expected, 0) || (loaded && Snapshot(NodeAccess::Of(reloaded)) == expected),
          "the saved tree reads back the same");
    return 0;
}
