// NodeAccess: the one way into a node's members from outside its own
// operations. The element parser fills them; the library's own tools and
// tests read them (every attribute in order, whatever its length) and give
// nodes content, which only the parser sets.
#ifndef KVOR_NODE_ACCESS_H
#define KVOR_NODE_ACCESS_H

#include "kvor/dom/JXMLNode.h"

class NodeAccess {
public:
    static WCHAR* Name(CJXMLNode& node) { return node.m_name; }
    static CKeyValueTable& Attributes(CJXMLNode& node) { return node.m_attributes; }
    static CXmlNodeList& Children(CJXMLNode& node) { return node.m_children; }
    // The node's own pointer: allocate with kvor::AllocateArray; the node frees it.
    static WCHAR*& Content(CJXMLNode& node) { return node.m_content; }

    // Every node of a tree the library built or loaded is a CJXMLNode.
    static CJXMLNode& Of(IXmlNode* node) { return *static_cast<CJXMLNode*>(node); }
};

#endif // KVOR_NODE_ACCESS_H
