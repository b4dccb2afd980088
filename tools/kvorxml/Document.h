// One document as the library's reader loads it: its text, the reader's
// report, and the tree, held by a parser object of the library so that
// queries take the library's own way through it.
#ifndef KVORXML_DOCUMENT_H
#define KVORXML_DOCUMENT_H

#include <string>

#include "InputBytes.h"
#include "kvor/parser/XMLParser.h"
#include "kvor/reader/DocumentLoader.h"

namespace kvorxml {

class Document {
public:
    Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Reads path ("-": standard input) and loads it. False, with error set,
    // only when the input cannot be read; whether it loads is Root().
    bool Read(const std::string& path, std::string& error);
    // Loads the bytes (their block is taken over).
    void Load(InputBytes& bytes);

    // The root element, or null when the document does not load.
    IXmlNode* Root() const { return m_root; }
    CKvorXMLParser& Parser() { return m_parser; }
    const ReadReport& Report() const { return m_report; }
    const WCHAR* Text() const { return m_text.Text(); }
    int32_t Length() const { return m_text.Length(); }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    DocumentText m_text;
    ReadReport m_report;
    CKvorXMLParser m_parser;
    IXmlNode* m_root = nullptr;
};

} // namespace kvorxml

#endif // KVORXML_DOCUMENT_H
