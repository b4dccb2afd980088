// CKvorXMLParser: the exported parser object. It owns at most one tree, the
// root of the last successful load; everything it hands out is borrowed
// from that tree.
#ifndef KVOR_XML_PARSER_IMPL_H
#define KVOR_XML_PARSER_IMPL_H

#include "kvor/platform/kvorPlatform.h"
#include "kvorXMLParser.h"

class CKvorXMLParser : public IXmlParser, public kvor::HeapObject {
public:
    CKvorXMLParser() : m_root(nullptr) {}
    ~CKvorXMLParser() override;
    CKvorXMLParser(const CKvorXMLParser&) = delete;
    CKvorXMLParser& operator=(const CKvorXMLParser&) = delete;

    uint32_t LoadXmlFile(const WCHAR* path) override;
    uint32_t FindNode(const WCHAR* elementName, IXmlNode** found, const WCHAR* attrName, const WCHAR* attrText,
                      const int32_t* attrNumber) override;
    uint32_t GetAllChildNodes(IXmlNode* parent, CXmlNodeList* list) override;
    uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, XmlRect* rect) override;
    uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, uint32_t* colour) override;
    uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, int32_t* value) override;
    uint32_t GetNodeAttr(const WCHAR* attrName, IXmlNode* node, const WCHAR** text) override;
    uint32_t GetNodeContext(IXmlNode* node, const WCHAR** content) override;

    // Reads "l, t, r, b" into rect; with fewer than four numbers the
    // default (when given) replaces all four fields. 1 read, 0 not.
    static uint32_t _ConvertStr2Rect(const WCHAR* text, XmlRect* rect, const XmlRect* defaultRect);

    // For the library's own tools, which read documents themselves: the
    // parser takes over root (a tree the reader loaded) in place of its own,
    // and whether one node is what FindNode looks for.
    void TakeTree(IXmlNode* root);
    static bool Matches(IXmlNode* node, const WCHAR* elementName, const WCHAR* attrName, const WCHAR* attrText,
                        const int32_t* attrNumber);

private:
    IXmlNode* _FindAllSubNodes(IXmlNode* parent, IXmlNode* node, const WCHAR* elementName,
                               const WCHAR* attrName, const WCHAR* attrText, const int32_t* attrNumber);
    static bool CheckAttrArguments(const WCHAR* attrName, IXmlNode* node);
    void DestroyTree();

    IXmlNode* m_root;
};

#endif // KVOR_XML_PARSER_IMPL_H
