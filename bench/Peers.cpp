#include "Peers.h"

#include <expat.h>
#include <libxml/parser.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include <cstdio>
#include <string>

#include "kvor/dom/JXMLNode.h"

namespace kvorbench {

namespace {

std::u16string Widen(const std::string& path)
{
    return std::u16string(path.begin(), path.end()); // the paths are ASCII
}

bool LoadOurs(const std::string& path, long /*elements*/)
{
    const std::u16string wide = Widen(path);
    IXmlNode* root = nullptr;
    if (CJXMLNode::CreateRootNodeFromFile(reinterpret_cast<const WCHAR*>(wide.c_str()), &root) != 1) {
        return false;
    }
    delete root;
    return true;
}

bool LoadPugixml(const std::string& path, long /*elements*/)
{
    pugi::xml_document document;
    return static_cast<bool>(document.load_file(path.c_str()));
}

bool LoadTinyxml2(const std::string& path, long /*elements*/)
{
    tinyxml2::XMLDocument document;
    return document.LoadFile(path.c_str()) == tinyxml2::XML_SUCCESS;
}

void XMLCALL CountElement(void* count, const XML_Char* /*name*/, const XML_Char** /*attributes*/)
{
    ++*static_cast<long*>(count);
}

// expat streams: the file goes through its own buffer in 64 KB pieces.
bool LoadExpat(const std::string& path, long elements)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    long count = 0;
    XML_SetUserData(parser, &count);
    XML_SetStartElementHandler(parser, CountElement);
    bool ok = true;
    for (bool last = false; ok && !last;) {
        const int pieceSize = 64 * 1024;
        void* piece = XML_GetBuffer(parser, pieceSize);
        const size_t read = piece != nullptr ? std::fread(piece, 1, pieceSize, file) : 0;
        last = read < static_cast<size_t>(pieceSize);
        ok = piece != nullptr && XML_ParseBuffer(parser, static_cast<int>(read), last) == XML_STATUS_OK;
    }
    XML_ParserFree(parser);
    std::fclose(file);
    return ok && count == elements;
}

bool LoadLibxml2(const std::string& path, long /*elements*/)
{
    xmlDocPtr document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (document == nullptr) {
        return false;
    }
    xmlFreeDoc(document);
    return true;
}

const Parser kParsers[] = {
    {"ours", true, LoadOurs},      {"pugixml", true, LoadPugixml}, {"tinyxml2", false, LoadTinyxml2},
    {"expat", true, LoadExpat},    {"libxml2", true, LoadLibxml2},
};

} // namespace

const Parser* Parsers(int* count)
{
    *count = static_cast<int>(sizeof(kParsers) / sizeof(kParsers[0]));
    return kParsers;
}

} // namespace kvorbench
