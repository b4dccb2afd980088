// A node's children and attributes as the node itself holds them, through
// the library's one way into its members: every attribute in document
// order, whatever its length, and no child cursor moved.
#ifndef KVORXML_NODE_MEMBERS_H
#define KVORXML_NODE_MEMBERS_H

#include "kvor/dom/NodeAccess.h"

namespace kvorxml {

// each(child) in list order; a null child, which only a program can
// append, ends the list as it ends the library's own walks.
template <typename Each>
void ForEachChild(IXmlNode* node, Each each)
{
    for (XmlNodeListItem* item = NodeAccess::Children(NodeAccess::Of(node)).head;
         item != nullptr && item->node != nullptr; item = item->next) {
        each(item->node);
    }
}

inline int32_t ChildCount(IXmlNode* node) { return NodeAccess::Children(NodeAccess::Of(node)).count; }

// each(name, value); a value stored without text reads as "".
template <typename Each>
void ForEachAttribute(IXmlNode* node, Each each)
{
    CKeyValueTable& table = NodeAccess::Attributes(NodeAccess::Of(node));
    for (int32_t i = 0; i < table.GetCount(); ++i) {
        const WCHAR* name = nullptr;
        const WCHAR* value = nullptr;
        uint32_t data = 0;
        if (table.GetAt(i, &name, &value, &data) != 0) {
            each(name, value != nullptr ? value : KVOR_TEXT(""));
        }
    }
}

} // namespace kvorxml

#endif // KVORXML_NODE_MEMBERS_H
