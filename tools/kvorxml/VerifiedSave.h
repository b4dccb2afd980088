// Writes a tree with the library's writer so that nothing is lost: the file
// is written beside its target, read back with the library's reader and
// compared with the tree, and only then renamed over the target (for "-",
// copied to standard output). Otherwise the target stays as it was.
#ifndef KVORXML_VERIFIED_SAVE_H
#define KVORXML_VERIFIED_SAVE_H

#include <string>

#include "kvorXMLParser.h"

namespace kvorxml {

// False, with error saying why, when the tree cannot be written so that it
// reads back the same, or the result cannot be put in place.
bool SaveVerified(IXmlNode* root, const std::string& target, std::string& error);

} // namespace kvorxml

#endif // KVORXML_VERIFIED_SAVE_H
