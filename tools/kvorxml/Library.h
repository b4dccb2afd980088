// The client's hold on libkvorXMLParser: loaded at run time, reached only
// through its two exports, and one parser object made with them.
#ifndef KVORXML_LIBRARY_H
#define KVORXML_LIBRARY_H

#include <string>

#include "kvorXMLParser.h"

namespace kvorxml {

class Library {
public:
    Library() = default;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Tries KVOR_LIBRARY, then the folder of the executable, the install
    // layout's library folder, and the loader's own search path. On failure
    // error says what was tried.
    bool Load(std::string& error);

    PFN_kvorCreateXmlParserInstance Create() const { return m_create; }
    PFN_kvorReleaseXmlParserInstance Release() const { return m_release; }

private:
    bool Open(const std::string& path, std::string& error);

    void* m_handle = nullptr;
    PFN_kvorCreateXmlParserInstance m_create = nullptr;
    PFN_kvorReleaseXmlParserInstance m_release = nullptr;
};

// One parser object, released with the library's own export.
class Parser {
public:
    explicit Parser(const Library& library) : m_library(library) {}
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // KVOR_OK or the factory's result.
    uint32_t Create();
    IXmlParser* operator->() const { return m_parser; }
    IXmlParser* Get() const { return m_parser; }

private:
    const Library& m_library;
    IXmlParser* m_parser = nullptr;
};

} // namespace kvorxml

#endif // KVORXML_LIBRARY_H
