#include "kvor/dom/JXMLNode.h"

#include <typeinfo>

// Names of children and attributes are never null in a tree. A null name
// given to an operation matches nothing and stores nothing: lookups answer
// their default, searches 0, SetAttr* 1 (their result is always 1),
// RemoveAttr and FindOrAddChild 0. A null out argument is refused with 0.

// Only the name's own characters and terminator are ever written or read:
// clearing the whole buffer cost each node of a loaded tree eight cache lines.
CJXMLNode::CJXMLNode(const WCHAR* name) : m_childCursor(nullptr), m_content(nullptr), m_attributes()
{
    InitializeEmpty();
    if (name != nullptr) {
        StringCchCopyW(m_name, kNameCapacity, name);
    }
}

void CJXMLNode::InitializeEmpty()
{
    m_childCursor = nullptr;
    m_name[0] = 0;
    m_content = nullptr;
}

// Nearly every child is a plain CJXMLNode, which the type's identity tells
// at once; only another class needs the full cast.
CJXMLNode* CJXMLNode::AsElement(IXmlNode* node)
{
    if (node != nullptr && typeid(*node) == typeid(CJXMLNode)) {
        return static_cast<CJXMLNode*>(node);
    }
    return dynamic_cast<CJXMLNode*>(node);
}

// A tree of any depth goes without recursion: before a child is deleted,
// its own children move to the front of this node's list, so that every
// node deleted has none left, and the walk goes on with them. Children of
// another implementation of IXmlNode are deleted as they are. Null entries
// are skipped.
CJXMLNode::~CJXMLNode()
{
    kvor::Release(m_content);
    m_childCursor = nullptr;
    while (m_children.head != nullptr) {
        XmlNodeListItem* link = m_children.head;
        IXmlNode* child = link->node;
        m_children.head = link->next;
        delete link;
        CJXMLNode* element = AsElement(child);
        if (element != nullptr) {
            kvor::WillRelease(element->m_content);
        }
        if (element != nullptr && element->m_children.head != nullptr) {
            element->m_children.tail->next = m_children.head;
            m_children.head = element->m_children.head;
            element->m_children.head = nullptr;
            element->m_children.tail = nullptr;
            element->m_children.count = 0;
        }
        kvor::WillRelease(m_children.head);
        delete child;
    }
    m_children.tail = nullptr;
    m_children.count = 0;
}

// Appends whatever it is given, null too: the parser's walks over children
// end at a null entry, this node's own lookups pass over it, and the writer
// and the destructor skip it. A child that cannot be linked stays the
// caller's.
uint32_t CJXMLNode::AddChild(IXmlNode* child)
{
    m_children.Append(child);
    return 1;
}

uint32_t CJXMLNode::RemoveChild(IXmlNode* child)
{
    // The list drops the first link holding child. When the cursor stands on
    // that link it moves on first, so a running walk continues with the
    // following child instead of a freed link.
    for (XmlNodeListItem* item = m_children.head; item != nullptr; item = item->next) {
        if (item->node == child) {
            if (item == m_childCursor) {
                m_childCursor = item->next;
            }
            break;
        }
    }
    return m_children.Remove(child);
}

uint32_t CJXMLNode::SetAttrColor(const WCHAR* name, uint32_t colour)
{
    WCHAR text[kNameCapacity];
    kvor::swprintf(text, kNameCapacity, KVOR_TEXT("%d,%d,%d"), static_cast<int>(colour & 0xFF),
                   static_cast<int>((colour >> 8) & 0xFF), static_cast<int>((colour >> 16) & 0xFF));
    return SetAttrString(name, text);
}

uint32_t CJXMLNode::SetAttrInt(const WCHAR* name, int32_t value)
{
    WCHAR text[kNameCapacity];
    kvor::_itow(value, text, 10);
    return SetAttrString(name, text);
}

uint32_t CJXMLNode::SetAttrString(const WCHAR* name, const WCHAR* text)
{
    if (name != nullptr) {
        m_attributes.Set(name, text, 0);
    }
    return 1;
}

uint32_t CJXMLNode::RemoveAttr(const WCHAR* name)
{
    return m_attributes.Remove(name) != 0 ? 1 : 0;
}

uint32_t CJXMLNode::GetFirstChild(IXmlNode** out)
{
    m_childCursor = m_children.head;
    return GetNextChild(out);
}

uint32_t CJXMLNode::GetNextChild(IXmlNode** out)
{
    if (out == nullptr || m_childCursor == nullptr) {
        return 0;
    }
    *out = m_childCursor->node;
    m_childCursor = m_childCursor->next;
    return 1;
}

uint32_t CJXMLNode::FindFirstChild(const WCHAR* name, IXmlNode** out)
{
    m_childCursor = m_children.head;
    return FindNextChild(name, out);
}

uint32_t CJXMLNode::FindNextChild(const WCHAR* name, IXmlNode** out)
{
    if (out == nullptr) {
        return 0;
    }
    while (m_childCursor != nullptr) {
        IXmlNode* child = m_childCursor->node;
        m_childCursor = m_childCursor->next;
        if (child != nullptr && name != nullptr && kvor::wcscmp(child->GetName(), name) == 0) {
            *out = child;
            return 1;
        }
    }
    return 0;
}

// 0 when the new node cannot be allocated. A node whose attribute table
// could not get its first array is still a node (every call on that table
// does nothing) and is added. A node for which the list has no link is
// not: it is freed and the result is 0, so that nothing is half added.
uint32_t CJXMLNode::FindOrAddChild(const WCHAR* name, IXmlNode** out)
{
    if (name == nullptr || out == nullptr) {
        return 0;
    }
    if (FindFirstChild(name, out) == 1) {
        return 1;
    }
    CJXMLNode* child = kvor::New<CJXMLNode>(name);
    if (child == nullptr) {
        return 0;
    }
    const int32_t before = m_children.count;
    m_children.Append(child);
    if (m_children.count == before) {
        delete child;
        return 0;
    }
    *out = child;
    return 1;
}

// Lookups ignore ASCII case and take the first entry that matches.
const WCHAR* CJXMLNode::FindAttribute(const WCHAR* name, bool* found)
{
    *found = false;
    if (name == nullptr) {
        return nullptr;
    }
    const WCHAR* key = nullptr;
    const WCHAR* value = nullptr;
    m_attributes.ResetCursor();
    while (m_attributes.GetNext(&key, &value, nullptr) != 0) {
        if (kvor::_wcsicmp(key, name) == 0) {
            *found = true;
            return value;
        }
    }
    return nullptr;
}

// An attribute stored without a value reads as the empty text: 0, and the
// colour failure value.
int32_t CJXMLNode::GetAttrInt(const WCHAR* name, int32_t defaultValue)
{
    bool found = false;
    const WCHAR* value = FindAttribute(name, &found);
    if (!found) {
        return defaultValue;
    }
    return value != nullptr ? static_cast<int32_t>(kvor::_wtol(value)) : 0;
}

uint32_t CJXMLNode::GetAttrColor(const WCHAR* name, uint32_t defaultValue)
{
    bool found = false;
    const WCHAR* value = FindAttribute(name, &found);
    return found ? ParseColorText(value) : defaultValue;
}

const WCHAR* CJXMLNode::GetAttrString(const WCHAR* name, const WCHAR* defaultValue)
{
    bool found = false;
    const WCHAR* value = FindAttribute(name, &found);
    return found ? value : defaultValue;
}

uint32_t CJXMLNode::ParseColorText(const WCHAR* text)
{
    if (text == nullptr || text[0] == 0 || text[1] == 0) {
        return kColorNotParsed;
    }
    WCHAR buffer[kNameCapacity];
    StringCchCopyW(buffer, kNameCapacity, text);
    const WCHAR* const separators = KVOR_TEXT(",");
    WCHAR* context = nullptr;
    const WCHAR* red = kvor::wcstok(buffer, separators, &context);
    const WCHAR* green = red != nullptr ? kvor::wcstok(nullptr, separators, &context) : nullptr;
    const WCHAR* blue = green != nullptr ? kvor::wcstok(nullptr, separators, &context) : nullptr;
    if (blue == nullptr) {
        return kColorNotParsed;
    }
    // Each part keeps its low 8 bits: "256" is 0, "-1" is 255.
    const uint32_t r = static_cast<uint32_t>(kvor::_wtol(red)) & 0xFF;
    const uint32_t g = static_cast<uint32_t>(kvor::_wtol(green)) & 0xFF;
    const uint32_t b = static_cast<uint32_t>(kvor::_wtol(blue)) & 0xFF;
    return r | (g << 8) | (b << 16);
}
