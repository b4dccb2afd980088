// Whether the reader takes a saved tree back exactly as it was: plain
// names and texts within its token buffers and its depth bound, text only
// in elements without children, and no line long enough for the writer to
// cut. Shared by the targets that save and reload.
#ifndef KVOR_FUZZ_LOSSLESS_TREE_H
#define KVOR_FUZZ_LOSSLESS_TREE_H

#include <algorithm>

#include "TreeSnapshot.h"

namespace kvorfuzz {

inline bool IsPlainText(const SnapshotText& text)
{
    return text.size() < static_cast<size_t>(CJXMLNode::kNameCapacity) &&
           std::all_of(text.begin(), text.end(), [](WCHAR c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '.' || c == ':';
           });
}

inline bool IsPlainName(const SnapshotText& name)
{
    return !name.empty() && IsPlainText(name);
}

// depth is 0 for the element that is saved.
inline bool SavesLosslessly(const NodeSnapshot& node, int depth)
{
    if (depth >= CJXMLNode::kMaxDepth || !IsPlainName(node.name) || (node.hasContent && !IsPlainText(node.content)) ||
        (node.hasContent && !node.children.empty())) {
        return false;
    }
    // The reader counts the line break and indentation in front of a text
    // towards its 259 characters.
    const size_t indentation = static_cast<size_t>(depth) * 4;
    if (node.hasContent && 2 + indentation + node.content.size() >= CJXMLNode::kNameCapacity) {
        return false;
    }
    size_t startTag = indentation + 1 + node.name.size() + 3;
    for (const AttributeSnapshot& attribute : node.attributes) {
        if (!IsPlainName(attribute.key) || !IsPlainText(attribute.value)) {
            return false;
        }
        startTag += attribute.key.size() + attribute.value.size() + 4;
    }
    return startTag < CJXMLNode::kLineCapacity &&
           std::all_of(node.children.begin(), node.children.end(),
                       [depth](const NodeSnapshot& child) { return SavesLosslessly(child, depth + 1); });
}

} // namespace kvorfuzz

#endif // KVOR_FUZZ_LOSSLESS_TREE_H
