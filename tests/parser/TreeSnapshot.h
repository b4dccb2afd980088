// A plain copy of a tree of element nodes - names, attributes in table
// order (null values kept apart from empty ones), content, children - so
// that two loads can be compared, and a tree checked after a refused
// allocation. Shared by the parser tests and the fuzz targets; no test
// framework here.
#ifndef KVOR_TREE_SNAPSHOT_H
#define KVOR_TREE_SNAPSHOT_H

#include <string>
#include <tuple>
#include <vector>

#include "kvor/dom/JXMLNode.h"
#include "kvor/dom/NodeAccess.h"

typedef std::basic_string<WCHAR> SnapshotText;

struct AttributeSnapshot {
    SnapshotText key;
    bool hasValue;
    SnapshotText value;
    bool operator==(const AttributeSnapshot& o) const
    {
        return std::tie(key, hasValue, value) == std::tie(o.key, o.hasValue, o.value);
    }
};

struct NodeSnapshot {
    SnapshotText name;
    bool hasContent = false;
    SnapshotText content;
    std::vector<AttributeSnapshot> attributes;
    std::vector<NodeSnapshot> children;
    bool attributeStorage = true; // false when the entry array was refused; not compared
    bool operator==(const NodeSnapshot& o) const
    {
        return std::tie(name, hasContent, content, attributes, children) ==
               std::tie(o.name, o.hasContent, o.content, o.attributes, o.children);
    }
};

// Reads the members directly: no child or table cursor moves, so taking a
// snapshot disturbs nothing the tree's users see.
inline NodeSnapshot Snapshot(CJXMLNode& node)
{
    const WCHAR* content = NodeAccess::Content(node);
    CKeyValueTable& table = NodeAccess::Attributes(node);
    NodeSnapshot snapshot{NodeAccess::Name(node), content != nullptr, content != nullptr ? content : SnapshotText(),
                          {}, {}, table.HasStorage()};
    const WCHAR *key = nullptr, *value = nullptr; // a stored key is never null
    for (int32_t index = 0; table.GetAt(index, &key, &value, nullptr) == 1; ++index) {
        snapshot.attributes.push_back({key, value != nullptr, value != nullptr ? value : SnapshotText()});
    }
    for (const XmlNodeListItem* link = NodeAccess::Children(node).head; link != nullptr; link = link->next) {
        if (CJXMLNode* child = dynamic_cast<CJXMLNode*>(link->node)) {
            snapshot.children.push_back(Snapshot(*child));
        }
    }
    return snapshot;
}

#endif // KVOR_TREE_SNAPSHOT_H
