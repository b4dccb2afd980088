// A document loaded through the library's interface, and a copy of its
// tree in the client's own terms for showing it.
#ifndef KVORXML_DOCUMENT_H
#define KVORXML_DOCUMENT_H

#include <string>
#include <vector>

#include "Library.h"
#include "TextCodec.h"

namespace kvorxml {

struct Attribute {
    std::string name;
    std::string value;
};

// One element as shown: UTF-8 texts, attributes in document order.
struct Element {
    IXmlNode* node = nullptr;
    std::string name;
    std::vector<Attribute> attributes;
    bool hasText = false;
    std::string text;
    std::vector<Element> children;
};

// The name and first attribute of a document's root element, read from
// the text in front of it; empty name when there is none.
struct RootTag {
    WString name;
    WString attributeName;
    WString attributeValue;
};
RootTag ReadRootTag(const WString& text);

class Document {
public:
    explicit Document(const Library& library) : m_parser(library) {}

    // Loads the file; on failure error says why (missing file, not loadable).
    bool Load(const std::string& path, std::string& error);
    IXmlParser* Parser() const { return m_parser.Get(); }
    IXmlNode* Root() const { return m_root; }

    // node and everything below it. Attribute lists come from the library's
    // own writer, the one place the interface lists them; false (and the
    // tree without attributes) when that copy cannot be made or read.
    bool Snapshot(IXmlNode* node, Element& out) const;
    // "/config/skins/skin[2]/window": the index counts same-named siblings
    // from 1 and appears only where the name is not unique.
    static std::string PathTo(const Element& root, IXmlNode* node);
    // The element of node within root's copy, or null.
    static const Element* Locate(const Element& root, IXmlNode* node);

private:
    ::kvorxml::Parser m_parser;
    IXmlNode* m_root = nullptr;
};

} // namespace kvorxml

#endif // KVORXML_DOCUMENT_H
