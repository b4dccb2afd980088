// A plain copy of a tree of element nodes - names, attributes in table
// order (null values kept apart from empty ones), content, children - so
// that two loads can be compared, and a tree checked after a refused
// allocation. Shared by the parser tests and the fuzz targets; no test
// framework here.
#ifndef KVOR_TREE_SNAPSHOT_H
#define KVOR_TREE_SNAPSHOT_H

#include <cstdio>
#include <string>
#include <vector>

#include "JXMLNode.h"

typedef std::basic_string<WCHAR> SnapshotText;

struct AttributeSnapshot {
    SnapshotText key;
    bool hasValue;
    SnapshotText value;

    bool operator==(const AttributeSnapshot& other) const
    {
        return key == other.key && hasValue == other.hasValue && value == other.value;
    }
};

struct NodeSnapshot {
    SnapshotText name;
    bool hasContent = false;
    SnapshotText content;
    std::vector<AttributeSnapshot> attributes;
    std::vector<NodeSnapshot> children;
    bool attributeStorage = true; // false when the entry array was refused; not compared

    bool operator==(const NodeSnapshot& other) const
    {
        return name == other.name && hasContent == other.hasContent && content == other.content &&
               attributes == other.attributes && children == other.children;
    }
    bool operator!=(const NodeSnapshot& other) const { return !(*this == other); }
};

class NodeInspector {
public:
    // Reads the members directly: no child cursor moves, no table cursor
    // moves, so taking a snapshot disturbs nothing the tree's users see.
    static NodeSnapshot Snapshot(const CJXMLNode& node)
    {
        NodeSnapshot snapshot;
        snapshot.name = node.m_name;
        if (node.m_content != nullptr) {
            snapshot.hasContent = true;
            snapshot.content = node.m_content;
        }
        CKeyValueTable& table = const_cast<CKeyValueTable&>(node.m_attributes);
        snapshot.attributeStorage = table.HasStorage();
        for (int32_t index = 0; index < table.GetCount(); ++index) {
            const WCHAR* key = nullptr;
            const WCHAR* value = nullptr;
            if (table.GetAt(index, &key, &value, nullptr) == 1) {
                AttributeSnapshot attribute;
                attribute.key = key != nullptr ? key : SnapshotText();
                attribute.hasValue = value != nullptr;
                attribute.value = value != nullptr ? value : SnapshotText();
                snapshot.attributes.push_back(attribute);
            }
        }
        for (const XmlNodeListItem* link = node.m_children.head; link != nullptr; link = link->next) {
            const CJXMLNode* child = dynamic_cast<const CJXMLNode*>(link->node);
            if (child != nullptr) {
                snapshot.children.push_back(Snapshot(*child));
            }
        }
        return snapshot;
    }
};

inline std::string SnapshotAscii(const SnapshotText& text)
{
    std::string out;
    for (WCHAR c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}

// One line per element, indented, for failure messages.
inline std::string DescribeSnapshot(const NodeSnapshot& node, int depth = 0)
{
    std::string out(static_cast<size_t>(depth) * 2, ' ');
    out += "<" + SnapshotAscii(node.name);
    for (const AttributeSnapshot& attribute : node.attributes) {
        out += " " + SnapshotAscii(attribute.key) + "=";
        out += attribute.hasValue ? "'" + SnapshotAscii(attribute.value) + "'" : std::string("(null)");
    }
    out += ">";
    if (node.hasContent) {
        out += " text '" + SnapshotAscii(node.content) + "'";
    }
    out += "\n";
    for (const NodeSnapshot& child : node.children) {
        out += DescribeSnapshot(child, depth + 1);
    }
    return out;
}

#endif // KVOR_TREE_SNAPSHOT_H
