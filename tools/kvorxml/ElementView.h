// How the client shows elements: one line per element (name, attributes in
// order, control characters escaped), its text in quotes below it, and the
// same as JSON.
#ifndef KVORXML_ELEMENT_VIEW_H
#define KVORXML_ELEMENT_VIEW_H

#include <ostream>
#include <string>

#include "Json.h"
#include "kvorXMLParser.h"

namespace kvorxml {

// Line ends, tabs and other control characters as escapes.
std::string Display(const std::string& text);

// `name a="1" b="2"`, then `"text"` on a line of its own one level deeper.
void PrintElement(std::ostream& out, IXmlNode* node, const std::string& indent);
// The element and everything below it, two spaces per level.
void PrintTree(std::ostream& out, IXmlNode* node, const std::string& indent);

// {"name":..., "attributes":[{"name":..., "value":...}], "text":... or null,
//  "children":[...] when withChildren}
void WriteElementJson(JsonWriter& json, IXmlNode* node, bool withChildren);

} // namespace kvorxml

#endif // KVORXML_ELEMENT_VIEW_H
