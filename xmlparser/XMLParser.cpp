#include "kvor/parser/XMLParser.h"

#include "kvor/dom/JXMLNode.h"
#include "kvor/reader/ParserLog.h"
#include "kvor/platform/kvorPlatform.h"

namespace {

bool IsNullOrEmpty(const WCHAR* text)
{
    return text == nullptr || text[0] == 0;
}

const WCHAR kEmpty[] = {0};
const XmlRect kZeroRect = {0, 0, 0, 0};

} // namespace

CKvorXMLParser::~CKvorXMLParser()
{
    DestroyTree();
}

void CKvorXMLParser::DestroyTree()
{
    if (m_root != nullptr) {
        delete m_root;
        m_root = nullptr;
    }
}

void CKvorXMLParser::TakeTree(IXmlNode* root)
{
    DestroyTree();
    m_root = root;
}

// ---- Loading and search ---------------------------------------------------

uint32_t CKvorXMLParser::LoadXmlFile(const WCHAR* path)
{
    KVOR_LOG_TRACE(KVOR_TEXT("CKvorXMLParser::LoadXmlFile(%s) +"), path);
    if (IsNullOrEmpty(path)) {
        KVOR_LOG_ERROR(KVOR_TEXT("LoadXmlFile - The filepath is invalid. (%u)"), KVOR_INVALID_ARGUMENT);
        return KVOR_INVALID_ARGUMENT;
    }
    DestroyTree();
    if (CJXMLNode::CreateRootNodeFromFile(path, &m_root) != 0 && m_root != nullptr) {
        KVOR_LOG_TRACE(KVOR_TEXT("CKvorXMLParser::LoadXmlFile(%d) -"), 0);
        return KVOR_OK;
    }
    KVOR_LOG_ERROR(KVOR_TEXT("LoadXmlFile - Failed to open the XML file."));
    KVOR_LOG_TRACE(KVOR_TEXT("CKvorXMLParser::LoadXmlFile(%d) -"), 1);
    return KVOR_NOT_FOUND;
}

uint32_t CKvorXMLParser::FindNode(const WCHAR* elementName, IXmlNode** found, const WCHAR* attrName,
                                  const WCHAR* attrText, const int32_t* attrNumber)
{
    if (IsNullOrEmpty(elementName)) {
        KVOR_LOG_ERROR(KVOR_TEXT("FindNode - The Node name is invalid. (%u)"), KVOR_INVALID_ARGUMENT);
        return KVOR_INVALID_ARGUMENT;
    }
    IXmlNode* node = _FindAllSubNodes(m_root, m_root, elementName, attrName, attrText, attrNumber);
    if (node == nullptr) {
        KVOR_LOG_NOT_FOUND(KVOR_TEXT("FindNode - Can't find the matched Xml node."));
        return KVOR_NOT_FOUND;
    }
    *found = node;
    return KVOR_OK;
}

namespace {

// The nodes whose children a search is walking, from the top down. Held
// inline for any document the reader loads; deeper trees, which only a
// client can build, take it from the heap.
class WalkStack {
public:
    WalkStack() = default;
    ~WalkStack()
    {
        if (m_nodes != m_inline) {
            kvor::Release(m_nodes);
        }
    }
    WalkStack(const WalkStack&) = delete;
    WalkStack& operator=(const WalkStack&) = delete;

    bool Push(IXmlNode* node)
    {
        if (m_count == m_capacity && !Grow()) {
            return false;
        }
        m_nodes[m_count++] = node;
        return true;
    }
    IXmlNode* Pop() { return m_nodes[--m_count]; }
    IXmlNode* Top() const { return m_nodes[m_count - 1]; }
    size_t Count() const { return m_count; }

private:
    bool Grow()
    {
        IXmlNode** nodes = m_capacity <= SIZE_MAX / 2 ? kvor::AllocateArray<IXmlNode*>(m_capacity * 2) : nullptr;
        if (nodes == nullptr) {
            return false;
        }
        for (size_t i = 0; i < m_count; ++i) {
            nodes[i] = m_nodes[i];
        }
        if (m_nodes != m_inline) {
            kvor::Release(m_nodes);
        }
        m_nodes = nodes;
        m_capacity *= 2;
        return true;
    }

    static const size_t kInline = CJXMLNode::kMaxDepth;
    IXmlNode* m_inline[kInline];
    IXmlNode** m_nodes = m_inline;
    size_t m_count = 0;
    size_t m_capacity = kInline;
};

} // namespace

// Post-order: a node's subtree is searched before the node itself, so the
// deepest, earliest match wins and the root is tested last. The walk keeps
// its place in each node's own child cursor and its path in a stack, not
// in recursion, so that no depth of tree can exhaust the thread's stack.
IXmlNode* CKvorXMLParser::_FindAllSubNodes(IXmlNode* parent, IXmlNode* node, const WCHAR* elementName,
                                           const WCHAR* attrName, const WCHAR* attrText,
                                           const int32_t* attrNumber)
{
    if (parent == nullptr) {
        KVOR_LOG_ERROR(KVOR_TEXT("_FindAllSubNodes - The Xml parent node handler is invalid!"));
        return nullptr;
    }
    if (node == nullptr) {
        KVOR_LOG_ERROR(KVOR_TEXT("_FindAllSubNodes - The Xml node handler is invalid!"));
        return nullptr;
    }
    if (IsNullOrEmpty(elementName)) {
        KVOR_LOG_ERROR(KVOR_TEXT("_FindAllSubNodes - The pointer of the node name is invalid!"));
        return nullptr;
    }
    WalkStack walk;
    walk.Push(node);
    IXmlNode* child = nullptr;
    uint32_t more = node->GetFirstChild(&child);
    for (;;) {
        if (more != 0 && child != nullptr) {
            if (!walk.Push(child)) {
                return nullptr; // no memory to go deeper: nothing found
            }
            more = child->GetFirstChild(&child);
            continue;
        }
        IXmlNode* done = walk.Pop();
        if (walk.Count() == 0) {
            break;
        }
        if (Matches(done, elementName, attrName, attrText, attrNumber)) {
            return done;
        }
        more = walk.Top()->GetNextChild(&child);
    }
    // The top call passes the root as both parent and node.
    if (node == parent && Matches(node, elementName, attrName, attrText, attrNumber)) {
        return node;
    }
    return nullptr;
}

// The text test and the number test are alternatives; a number counts only
// when the attribute exists, which two different defaults reveal.
bool CKvorXMLParser::Matches(IXmlNode* node, const WCHAR* elementName, const WCHAR* attrName,
                             const WCHAR* attrText, const int32_t* attrNumber)
{
    if (kvor::wcscmp(node->GetName(), elementName) != 0) {
        return false;
    }
    if (IsNullOrEmpty(attrName)) {
        return true;
    }
    if (!IsNullOrEmpty(attrText)) {
        const WCHAR* value = node->GetAttrString(attrName, kEmpty);
        if (value != nullptr && kvor::wcscmp(value, attrText) == 0) {
            return true;
        }
    }
    if (attrNumber != nullptr) {
        const int32_t first = node->GetAttrInt(attrName, -1);
        const int32_t second = node->GetAttrInt(attrName, -2);
        if (first == second && first == *attrNumber) {
            return true;
        }
    }
    return false;
}

uint32_t CKvorXMLParser::GetAllChildNodes(IXmlNode* parent, CXmlNodeList* list)
{
    if (parent == nullptr) {
        KVOR_LOG_ERROR(KVOR_TEXT("GetAllChildNodes - The parent Xml node is invalid."));
        return KVOR_INVALID_ARGUMENT;
    }
    IXmlNode* child = nullptr;
    for (uint32_t more = parent->GetFirstChild(&child); more != 0 && child != nullptr;
         more = parent->GetNextChild(&child)) {
        list->Append(child);
    }
    if (list->count < 1) {
        KVOR_LOG_NOT_FOUND(KVOR_TEXT("GetAllChildNodes - There is no child node."));
        return KVOR_NOT_FOUND;
    }
    return KVOR_OK;
}

// ---- Attribute and content queries ------------------------------------------

bool CKvorXMLParser::CheckAttrArguments(const WCHAR* attrName, IXmlNode* node)
{
    if (node == nullptr) {
        KVOR_LOG_ERROR(KVOR_TEXT("GetNodeAttr - The pointer of the Xml node is invalid!"));
        return false;
    }
    if (IsNullOrEmpty(attrName)) {
        KVOR_LOG_ERROR(KVOR_TEXT("GetNodeAttr - The pointer of attribute name is invalid!"));
        return false;
    }
    return true;
}

uint32_t CKvorXMLParser::GetNodeAttr(const WCHAR* attrName, IXmlNode* node, XmlRect* rect)
{
    if (!CheckAttrArguments(attrName, node)) {
        return KVOR_INVALID_ARGUMENT;
    }
    const WCHAR* text = node->GetAttrString(attrName, kEmpty);
    if (IsNullOrEmpty(text)) {
        KVOR_LOG_NOT_FOUND(KVOR_TEXT("GetNodeAttr - Failed to get the rectangle content of this attribute "));
        return KVOR_NOT_FOUND;
    }
    if (_ConvertStr2Rect(text, rect, &kZeroRect) != 0) {
        return KVOR_OK;
    }
    KVOR_LOG_ERROR(KVOR_TEXT("GetNodeAttr - Failed to get the rectangle content of this attribute "));
    return KVOR_NOT_FOUND;
}

uint32_t CKvorXMLParser::GetNodeAttr(const WCHAR* attrName, IXmlNode* node, uint32_t* colour)
{
    if (!CheckAttrArguments(attrName, node)) {
        return KVOR_INVALID_ARGUMENT;
    }
    *colour = node->GetAttrColor(attrName, 0);
    return KVOR_OK;
}

uint32_t CKvorXMLParser::GetNodeAttr(const WCHAR* attrName, IXmlNode* node, int32_t* value)
{
    if (!CheckAttrArguments(attrName, node)) {
        return KVOR_INVALID_ARGUMENT;
    }
    *value = node->GetAttrInt(attrName, 0);
    return KVOR_OK;
}

uint32_t CKvorXMLParser::GetNodeAttr(const WCHAR* attrName, IXmlNode* node, const WCHAR** text)
{
    if (!CheckAttrArguments(attrName, node)) {
        return KVOR_INVALID_ARGUMENT;
    }
    const WCHAR* value = node->GetAttrString(attrName, kEmpty);
    if (value == nullptr) {
        KVOR_LOG_NOT_FOUND(KVOR_TEXT("GetNodeAttr - Failed to get the string content of this attribute "));
        return KVOR_NOT_FOUND;
    }
    *text = value;
    return KVOR_OK;
}

uint32_t CKvorXMLParser::GetNodeContext(IXmlNode* node, const WCHAR** content)
{
    if (node == nullptr) {
        KVOR_LOG_ERROR(KVOR_TEXT("GetNodeContext - The pointer of the Xml node is invalid!"));
        return KVOR_INVALID_ARGUMENT;
    }
    const WCHAR* text = node->GetContent();
    if (text == nullptr) {
        KVOR_LOG_NOT_FOUND(KVOR_TEXT("GetNodeContext - Failed to get the context value of this node."));
        return KVOR_NOT_FOUND;
    }
    *content = text;
    return KVOR_OK;
}

// The tokenising writes into its text, so it works on a copy.
uint32_t CKvorXMLParser::_ConvertStr2Rect(const WCHAR* text, XmlRect* rect, const XmlRect* defaultRect)
{
    if (IsNullOrEmpty(text)) {
        KVOR_LOG_ERROR(KVOR_TEXT("_ConvertStr2Rect - The parameter string is invalid."));
        return 0;
    }
    const size_t length = kvor::wcslen(text);
    WCHAR* work = kvor::AllocateArray<WCHAR>(length + 1);
    if (work == nullptr) {
        // Nothing was read, so the default stands in as for a short text.
        if (defaultRect != nullptr) {
            *rect = *defaultRect;
        }
        return 0;
    }
    StringCchCopyW(work, length + 1, text);

    int32_t* const fields[4] = {&rect->left, &rect->top, &rect->right, &rect->bottom};
    static const WCHAR kDelimiters[] = {',', ' ', 0};
    WCHAR* context = nullptr;
    int found = 0;
    for (WCHAR* token = kvor::wcstok(work, kDelimiters, &context); token != nullptr && found < 4;
         token = kvor::wcstok(nullptr, kDelimiters, &context)) {
        *fields[found++] = static_cast<int32_t>(kvor::_wtol(token));
    }
    kvor::Release(work);
    if (found == 4) {
        return 1;
    }
    if (defaultRect != nullptr) {
        *rect = *defaultRect;
    }
    return 0;
}
