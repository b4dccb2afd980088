// Lists the windows of one skin of a device UI configuration: load, find,
// read attributes, walk a child list, release.
//
//     device-ui-example ../device-ui.xml night
#include <cstdio>
#include <string>

#include "kvorXMLParser.h"

namespace {

// Library strings are UTF-16; this example's documents are ASCII.
std::string Narrow(const WCHAR* text)
{
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    }
    return out;
}

std::basic_string<WCHAR> Widen(const char* text)
{
    std::basic_string<WCHAR> out;
    for (; *text != 0; ++text) {
        out += static_cast<WCHAR>(static_cast<unsigned char>(*text));
    }
    return out;
}

void ShowWindow(IXmlParser* parser, IXmlNode* window)
{
    const WCHAR* id = nullptr;
    XmlRect rect = {0, 0, 0, 0};
    uint32_t colour = 0;
    parser->GetNodeAttr(KVOR_TEXT("id"), window, &id);
    parser->GetNodeAttr(KVOR_TEXT("color"), window, &colour);
    if (parser->GetNodeAttr(KVOR_TEXT("rect"), window, &rect) != KVOR_OK) {
        std::printf("window %s: no rectangle\n", Narrow(id).c_str());
        return;
    }
    std::printf("window %s at (%d,%d)-(%d,%d), colour #%02X%02X%02X\n", Narrow(id).c_str(), rect.left, rect.top,
                rect.right, rect.bottom, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);

    // The window's children: labels with text, buttons, sliders.
    CXmlNodeList children;
    if (parser->GetAllChildNodes(window, &children) != KVOR_OK) {
        return;
    }
    for (XmlNodeListItem* item = children.head; item != nullptr; item = item->next) {
        const WCHAR* text = nullptr;
        const bool hasText = parser->GetNodeContext(item->node, &text) == KVOR_OK;
        std::printf("  %s%s%s\n", Narrow(item->node->GetName()).c_str(), hasText ? ": " : "",
                    hasText ? Narrow(text).c_str() : "");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: device-ui-example FILE SKIN\n");
        return 2;
    }
    IXmlParser* parser = nullptr;
    if (kvorCreateXmlParserInstance(&parser) != KVOR_OK) {
        std::fprintf(stderr, "no parser\n");
        return 1;
    }
    int status = 1;
    IXmlNode* skin = nullptr;
    if (parser->LoadXmlFile(Widen(argv[1]).c_str()) != KVOR_OK) {
        std::fprintf(stderr, "%s does not load\n", argv[1]);
    } else if (parser->FindNode(KVOR_TEXT("skin"), &skin, KVOR_TEXT("name"), Widen(argv[2]).c_str(), nullptr) !=
               KVOR_OK) {
        std::fprintf(stderr, "no skin named %s\n", argv[2]);
    } else {
        CXmlNodeList windows;
        parser->GetAllChildNodes(skin, &windows);
        for (XmlNodeListItem* item = windows.head; item != nullptr; item = item->next) {
            ShowWindow(parser, item->node);
        }
        status = 0;
    }
    // Every node and string above is borrowed from the parser's tree.
    kvorReleaseXmlParserInstance(parser);
    return status;
}
