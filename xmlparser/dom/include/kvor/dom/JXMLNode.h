// CJXMLNode: one XML element - name, attributes in document order, text
// content or child elements - and the only implementation of IXmlNode.
// A node owns its children, its content and (through the table) its
// attribute texts; destroying a node destroys its subtree.
#ifndef KVOR_JXML_NODE_H
#define KVOR_JXML_NODE_H

#include "kvor/dom/KeyValueTable.h"
#include "kvor/platform/kvorPlatform.h"
#include "kvorXMLParser.h"

class CFileWrapper;
class XmlCursor;

class CJXMLNode : public IXmlNode, public kvor::HeapObject {
public:
    static constexpr int32_t kNameCapacity = 260;    // name, token and content buffers
    static constexpr int32_t kLineCapacity = 2048;   // the writer's line buffer
    static const int32_t kMaxDepth = 256;        // deepest element the reader accepts
    static constexpr uint32_t kColorNotParsed = 0x010101;

    // An empty element; the name is cut to 259 characters (null: empty name).
    explicit CJXMLNode(const WCHAR* name);
    // Reads one element, and everything below it, from the cursor.
    // success is 1 when the element parsed completely, else 0; the caller
    // owns the node either way.
    CJXMLNode(XmlCursor& cursor, int32_t& success);
    ~CJXMLNode() override;
    CJXMLNode(const CJXMLNode&) = delete;
    CJXMLNode& operator=(const CJXMLNode&) = delete;

    uint32_t AddChild(IXmlNode* child) override;
    uint32_t RemoveChild(IXmlNode* child) override;
    uint32_t SetAttrColor(const WCHAR* name, uint32_t colour) override;
    uint32_t SetAttrInt(const WCHAR* name, int32_t value) override;
    uint32_t SetAttrString(const WCHAR* name, const WCHAR* text) override;
    uint32_t RemoveAttr(const WCHAR* name) override;
    uint32_t GetFirstChild(IXmlNode** out) override;
    uint32_t FindFirstChild(const WCHAR* name, IXmlNode** out) override;
    uint32_t FindOrAddChild(const WCHAR* name, IXmlNode** out) override;
    uint32_t GetNextChild(IXmlNode** out) override;
    uint32_t FindNextChild(const WCHAR* name, IXmlNode** out) override;
    int32_t GetAttrInt(const WCHAR* name, int32_t defaultValue) override;
    uint32_t GetAttrColor(const WCHAR* name, uint32_t defaultValue) override;
    const WCHAR* GetAttrString(const WCHAR* name, const WCHAR* defaultValue) override;
    const WCHAR* GetName() override { return m_name; }
    uint32_t SaveToFile(const WCHAR* path) override;
    const WCHAR* GetContent() override { return m_content; }

    // Reads the file at path into a new tree; 1 and *root set on success.
    static uint32_t CreateRootNodeFromFile(const WCHAR* path, IXmlNode** root);
    // "r,g,b" as 0x00BBGGRR; kColorNotParsed when the text is not a colour.
    static uint32_t ParseColorText(const WCHAR* text);

private:
    // The state both constructors start from: no children, cursor at the end,
    // empty name, no content (the table constructs itself).
    void InitializeEmpty();
    const WCHAR* FindAttribute(const WCHAR* name, bool* found);
    // The node as a CJXMLNode, or null when it is not one.
    static CJXMLNode* AsElement(IXmlNode* node);

    // Writer
    static void WriteElement(CJXMLNode* node, CFileWrapper& file, int32_t indentation);

    // What every walk and the destructor look at comes first, the name's
    // buffer last: its tail is seldom reached.
    CXmlNodeList m_children;
    XmlNodeListItem* m_childCursor;
    WCHAR* m_content;
    CKeyValueTable m_attributes;
    WCHAR m_name[kNameCapacity];

    friend class NodeAccess; // the element parser, and the tools and tests built on the library
};

#endif // KVOR_JXML_NODE_H
