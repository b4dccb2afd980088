// Arbitrary text through the rectangle and colour readers. The bytes are
// taken as UTF-16 little-endian characters; the first byte also chooses
// whether a default rectangle is given.

#include "FuzzSupport.h"
#include "kvor/dom/JXMLNode.h"
#include "kvor/parser/XMLParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool withDefault = (data[0] & 1) != 0;
    const kvorfuzz::WString text = kvorfuzz::CharactersOf(data + 1, size - 1);

    const XmlRect fallback = {-1, -2, -3, -4};
    XmlRect rect = {7, 7, 7, 7};
    const uint32_t read = CKvorXMLParser::_ConvertStr2Rect(text.c_str(), &rect, withDefault ? &fallback : nullptr);
    kvorfuzz::Check(read != 0 || !withDefault || kvor::wcslen(text.c_str()) == 0 ||
                        (rect.left == -1 && rect.top == -2 && rect.right == -3 && rect.bottom == -4),
                    "fewer than four numbers: the default replaces all four fields");
    kvorfuzz::Check(read == 0 || read == 1, "the rectangle reader answers 0 or 1");
    const uint32_t colour = CJXMLNode::ParseColorText(text.c_str());
    kvorfuzz::Check((colour & 0xFF000000u) == 0, "the top byte of a colour read from text is 0");
    // The same text as an attribute value, read through a node.
    CJXMLNode node(KVOR_TEXT("e"));
    node.SetAttrString(KVOR_TEXT("v"), text.c_str());
    kvorfuzz::Check(node.GetAttrColor(KVOR_TEXT("v"), 0xFF000000u) == colour, "a node reads the colour the same");
    CKvorXMLParser parser;
    XmlRect viaParser = {0, 0, 0, 0};
    parser.GetNodeAttr(KVOR_TEXT("v"), &node, &viaParser);
    return 0;
}
