// Whether a tree read back from a file is the tree that was written: the
// first element, in document order, whose name, attributes, text or
// children differ, and what differs.
#ifndef KVORXML_TREE_COMPARE_H
#define KVORXML_TREE_COMPARE_H

#include <string>

#include "kvorXMLParser.h"

namespace kvorxml {

struct Difference {
    IXmlNode* node = nullptr; // of the written tree; null when the two are the same
    std::string what;
};

Difference FirstDifference(IXmlNode* written, IXmlNode* readBack);

} // namespace kvorxml

#endif // KVORXML_TREE_COMPARE_H
