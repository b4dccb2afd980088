// Edits a loaded tree through the node interface with operations decoded
// from the input, keeping a plain model of what the tree must hold: every
// query is answered from the model too, and the whole tree is compared at
// the end. A tree the reader can take back is then saved, loaded by a
// fresh parser and compared again.
#include <cstdlib>
#include <deque>

#include "FuzzSupport.h"
#include "LosslessTree.h"
#include "kvor/dom/NodeAccess.h"
#include "kvor/parser/XMLParser.h"

namespace {

using kvorfuzz::ByteReader;
using kvorfuzz::WString;

const size_t kMaxNodes = 2048;
const uint32_t kNotAColour = CJXMLNode::kColorNotParsed;
const char kDocument[] = "<doc version=\"2\" Width=\"10\"><item id=\"1\" /><item id=\"2\" name=\"b\" />"
                         "<note>hi</note></doc>";

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "the tree and its model differ: %s\n", what);
        std::abort();
    }
}

struct ModelNode {
    IXmlNode* node;
    ModelNode* parent;
    NodeSnapshot own; // name, attributes and content; its children stay empty
    std::vector<ModelNode*> children;
};

// The characters the decoder makes that white space can hold.
bool IsSpace(WCHAR c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool SameIgnoringCase(const WString& left, const WString& right)
{
    auto fold = [](WCHAR c) { return static_cast<WCHAR>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [&](WCHAR l, WCHAR r) { return fold(l) == fold(r); });
}

// A signed decimal number after white space, up to the first other
// character, clamped to 32 bits.
int32_t NumberOf(const WString& text)
{
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    const bool negative = at < text.size() && text[at] == '-';
    at += at < text.size() && (text[at] == '-' || text[at] == '+');
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min<int64_t>(value * 10 + (text[at] - '0'), int64_t(INT32_MAX) + 1);
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

// Three numbers between commas, red first; runs of commas are one.
uint32_t ColourOf(const WString& text)
{
    if (text.size() < 2) {
        return kNotAColour;
    }
    std::vector<WString> fields(1);
    for (WCHAR c : text.substr(0, CJXMLNode::kNameCapacity - 1)) {
        if (c != ',') {
            fields.back().push_back(c);
        } else if (!fields.back().empty()) {
            fields.emplace_back();
        }
    }
    if (fields.back().empty()) {
        fields.pop_back();
    }
    if (fields.size() < 3) {
        return kNotAColour;
    }
    return (NumberOf(fields[0]) & 0xFF) | (NumberOf(fields[1]) & 0xFF) << 8 | (NumberOf(fields[2]) & 0xFF) << 16;
}

WString Decimal(int64_t value)
{
    const std::string digits = std::to_string(value);
    return WString(digits.begin(), digits.end());
}

class TreeEdit {
public:
    explicit TreeEdit(IXmlNode* root) { Adopt(root, nullptr); }
    ~TreeEdit()
    {
        for (ModelNode& model : m_nodes) {
            if (model.parent == nullptr && &model != &m_nodes.front()) {
                delete model.node; // detached: ours to destroy
            }
        }
    }
    TreeEdit(const TreeEdit&) = delete;
    TreeEdit& operator=(const TreeEdit&) = delete;

    void Run(ByteReader& input)
    {
        while (!input.AtEnd()) {
            Step(input);
        }
        for (ModelNode& model : m_nodes) {
            if (model.parent == nullptr) {
                CheckSubtree(model);
            }
        }
    }

    NodeSnapshot RootSnapshot() const { return SnapshotOf(m_nodes.front()); }

private:
    ModelNode* Adopt(IXmlNode* node, ModelNode* parent)
    {
        CJXMLNode& element = NodeAccess::Of(node);
        m_nodes.push_back({node, parent, Snapshot(element), {}});
        ModelNode* model = &m_nodes.back();
        model->own.children.clear();
        for (const XmlNodeListItem* link = NodeAccess::Children(element).head; link != nullptr; link = link->next) {
            model->children.push_back(Adopt(link->node, model));
        }
        return model;
    }

    // Byte 0xFF picks the newest node, so that inputs reach deep trees.
    ModelNode& Pick(ByteReader& input)
    {
        const uint8_t pick = input.Byte();
        return pick == 0xFF ? m_nodes.back() : m_nodes[pick % m_nodes.size()];
    }

    static std::vector<AttributeSnapshot>::iterator Exact(ModelNode& model, const WString& key)
    {
        return std::find_if(model.own.attributes.begin(), model.own.attributes.end(),
                            [&](const AttributeSnapshot& a) { return a.key == key; });
    }
    static const AttributeSnapshot* Lookup(ModelNode& model, const WString& key)
    {
        for (const AttributeSnapshot& attribute : model.own.attributes) {
            if (SameIgnoringCase(attribute.key, key)) {
                return &attribute;
            }
        }
        return nullptr;
    }

    void SetAttribute(ModelNode& model, const WString& key, const WString& value)
    {
        auto found = Exact(model, key);
        if (found != model.own.attributes.end()) {
            found->value = value;
        } else {
            model.own.attributes.push_back({key, true, value});
        }
    }

    bool Inside(const ModelNode& model, const ModelNode& top) const
    {
        const ModelNode* at = &model;
        while (at->parent != nullptr) {
            at = at->parent;
        }
        return at == &top;
    }

    void Step(ByteReader& input)
    {
        ModelNode& model = Pick(input);
        IXmlNode* node = model.node;
        switch (input.Byte() % 11) {
        case 0: { // find or add a child by exact name
            const WString name = input.Text();
            auto found = std::find_if(model.children.begin(), model.children.end(),
                                      [&](ModelNode* child) { return child->own.name == name; });
            IXmlNode* out = nullptr;
            if (m_nodes.size() >= kMaxNodes && found == model.children.end()) {
                return;
            }
            Check(node->FindOrAddChild(name.c_str(), &out) == 1, "FindOrAddChild failed");
            if (found != model.children.end()) {
                Check(out == (*found)->node, "FindOrAddChild found another child");
                return;
            }
            NodeSnapshot fresh;
            fresh.name = name.substr(0, CJXMLNode::kNameCapacity - 1);
            m_nodes.push_back({out, &model, fresh, {}});
            model.children.push_back(&m_nodes.back());
            return;
        }
        case 1: { // a new node, or one removed earlier, added as the last child
            ModelNode& other = Pick(input);
            if (other.parent == nullptr && &other != &m_nodes.front() && !Inside(model, other)) {
                Check(node->AddChild(other.node) == 1, "AddChild failed");
                other.parent = &model;
                model.children.push_back(&other);
            } else if (m_nodes.size() < kMaxNodes) {
                const WString name = input.Text();
                CJXMLNode* child = new CJXMLNode(name.c_str());
                Check(node->AddChild(child) == 1, "AddChild failed");
                NodeSnapshot fresh;
                fresh.name = name.substr(0, CJXMLNode::kNameCapacity - 1);
                m_nodes.push_back({child, &model, fresh, {}});
                model.children.push_back(&m_nodes.back());
            }
            return;
        }
        case 2: { // remove: only a child of this node comes off
            ModelNode& other = Pick(input);
            const bool isChild = other.parent == &model;
            Check(node->RemoveChild(other.node) == (isChild ? 1u : 0u), "RemoveChild answered otherwise");
            if (isChild) {
                model.children.erase(std::find(model.children.begin(), model.children.end(), &other));
                other.parent = nullptr;
            }
            return;
        }
        case 3: {
            const WString key = input.Text();
            const WString value = input.Text();
            Check(node->SetAttrString(key.c_str(), value.c_str()) == 1, "SetAttrString failed");
            SetAttribute(model, key, value);
            return;
        }
        case 4: {
            const WString key = input.Text();
            const int32_t value = static_cast<int32_t>(input.Word());
            Check(node->SetAttrInt(key.c_str(), value) == 1, "SetAttrInt failed");
            SetAttribute(model, key, Decimal(value));
            return;
        }
        case 5: {
            const WString key = input.Text();
            const uint32_t colour = input.Word();
            Check(node->SetAttrColor(key.c_str(), colour) == 1, "SetAttrColor failed");
            SetAttribute(model, key,
                         Decimal(colour & 0xFF) + WCHAR(',') + Decimal(colour >> 8 & 0xFF) + WCHAR(',') + Decimal(colour >> 16 & 0xFF));
            return;
        }
        case 6: {
            const WString key = input.Text();
            auto found = Exact(model, key);
            const bool present = found != model.own.attributes.end();
            Check(node->RemoveAttr(key.c_str()) == (present ? 1u : 0u), "RemoveAttr answered otherwise");
            if (present) {
                model.own.attributes.erase(found);
            }
            return;
        }
        case 7:
            QueryAttribute(model, input.Text());
            return;
        case 8:
            QueryChildren(model, nullptr);
            return;
        case 9: {
            const WString name = input.Text();
            QueryChildren(model, &name);
            return;
        }
        default:
            Check(node->GetName() == model.own.name && (node->GetContent() != nullptr) == model.own.hasContent,
                  "name or content");
            return;
        }
    }

    void QueryAttribute(ModelNode& model, const WString& key)
    {
        static const WCHAR kDefault[] = KVOR_TEXT("default");
        const AttributeSnapshot* expected = Lookup(model, key);
        const WCHAR* text = model.node->GetAttrString(key.c_str(), kDefault);
        const int32_t number = model.node->GetAttrInt(key.c_str(), -7);
        const uint32_t colour = model.node->GetAttrColor(key.c_str(), 0xABCDEF);
        if (expected == nullptr) {
            Check(text == kDefault && number == -7 && colour == 0xABCDEF, "a missing attribute gives the defaults");
            return;
        }
        Check(text != nullptr && text == expected->value, "GetAttrString");
        Check(number == NumberOf(expected->value), "GetAttrInt");
        Check(colour == ColourOf(expected->value), "GetAttrColor");
    }

    // All children in order, or all of one exact name.
    void QueryChildren(ModelNode& model, const WString* name)
    {
        std::vector<IXmlNode*> expected;
        for (ModelNode* child : model.children) {
            if (name == nullptr || child->own.name == *name) {
                expected.push_back(child->node);
            }
        }
        Check(Walk(model.node, name) == expected, name == nullptr ? "children in order" : "children of one name");
    }

    static std::vector<IXmlNode*> Walk(IXmlNode* node, const WString* name)
    {
        std::vector<IXmlNode*> seen;
        IXmlNode* out = nullptr;
        uint32_t more = name == nullptr ? node->GetFirstChild(&out) : node->FindFirstChild(name->c_str(), &out);
        while (more == 1 && seen.size() < kMaxNodes) {
            seen.push_back(out);
            more = name == nullptr ? node->GetNextChild(&out) : node->FindNextChild(name->c_str(), &out);
        }
        return seen;
    }

    void CheckSubtree(ModelNode& model) const
    {
        CJXMLNode& element = NodeAccess::Of(model.node);
        NodeSnapshot own = Snapshot(element);
        own.children.clear();
        Check(own == model.own, "name, attributes or content");
        const XmlNodeListItem* link = NodeAccess::Children(element).head;
        for (ModelNode* child : model.children) {
            Check(link != nullptr && link->node == child->node, "children");
            CheckSubtree(*child);
            link = link->next;
        }
        Check(link == nullptr, "more children than the model's");
    }

    static NodeSnapshot SnapshotOf(const ModelNode& model)
    {
        NodeSnapshot snapshot = model.own;
        for (const ModelNode* child : model.children) {
            snapshot.children.push_back(SnapshotOf(*child));
        }
        return snapshot;
    }

    std::deque<ModelNode> m_nodes; // the first is the root
};

// The edited tree as a client reads it back: a fresh parser, its root found by name.
void CheckReload(const WString& path, const NodeSnapshot& expected, bool lossless)
{
    CKvorXMLParser parser;
    IXmlNode* root = nullptr;
    const bool loaded = parser.LoadXmlFile(path.c_str()) == KVOR_OK &&
                        parser.FindNode(KVOR_TEXT("doc"), &root, nullptr, nullptr, nullptr) == KVOR_OK;
    if (lossless) {
        Check(loaded && Snapshot(NodeAccess::Of(root)) == expected, "the saved tree reads back differently");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string source = kvorfuzz::ScratchFile("document.xml");
    kvorfuzz::WriteFileBytes(source, reinterpret_cast<const uint8_t*>(kDocument), sizeof(kDocument) - 1);
    CKvorXMLParser parser;
    IXmlNode* root = nullptr;
    Check(parser.LoadXmlFile(kvorfuzz::Widen(source).c_str()) == KVOR_OK &&
              parser.FindNode(KVOR_TEXT("doc"), &root, nullptr, nullptr, nullptr) == KVOR_OK,
          "the starting document loads");

    ByteReader input(data, size);
    TreeEdit edit(root);
    edit.Run(input);

    const WString saved = kvorfuzz::Widen(kvorfuzz::ScratchFile("edited.xml"));
    Check(root->SaveToFile(saved.c_str()) == 1, "SaveToFile");
    const NodeSnapshot expected = edit.RootSnapshot();
    CheckReload(saved, expected, kvorfuzz::SavesLosslessly(expected, 0));
    return 0;
}
