// Every element of a tree in the order the library's search meets them
// (descendants before their ancestors, earlier siblings first), each with
// its path: "/config/skins/skin[2]/window", where an index counts
// same-named siblings from 1 and stands only where the name is not unique.
#ifndef KVORXML_TREE_WALK_H
#define KVORXML_TREE_WALK_H

#include <functional>
#include <string>

#include "kvorXMLParser.h"

namespace kvorxml {

struct Visit {
    IXmlNode* node;
    IXmlNode* parent; // null for the root
    const std::string& path;
    int32_t depth; // 0 for the root
};

// Stops, and answers false, when visit answers false.
bool WalkInSearchOrder(IXmlNode* root, const std::function<bool(const Visit&)>& visit);

// Where node stands in the tree: its path ("" when it is not in the tree)
// and its parent (null for the root).
struct Place {
    std::string path;
    IXmlNode* parent = nullptr;
};
Place PlaceOf(IXmlNode* root, IXmlNode* node);

} // namespace kvorxml

#endif // KVORXML_TREE_WALK_H
