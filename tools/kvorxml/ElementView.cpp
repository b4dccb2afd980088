#include "ElementView.h"

#include <cstdio>

#include "NodeMembers.h"
#include "TextCodec.h"

namespace kvorxml {

std::string Display(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20) {
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

void PrintElement(std::ostream& out, IXmlNode* node, const std::string& indent)
{
    std::string line = indent + Display(ToUtf8(node->GetName()));
    ForEachAttribute(node, [&](const WCHAR* name, const WCHAR* value) {
        line += " " + Display(ToUtf8(name)) + "=\"" + Display(ToUtf8(value)) + "\"";
    });
    out << line << "\n";
    if (node->GetContent() != nullptr) {
        out << indent << "  \"" << Display(ToUtf8(node->GetContent())) << "\"\n";
    }
}

void PrintTree(std::ostream& out, IXmlNode* node, const std::string& indent)
{
    PrintElement(out, node, indent);
    ForEachChild(node, [&](IXmlNode* child) { PrintTree(out, child, indent + "  "); });
}

void WriteElementJson(JsonWriter& json, IXmlNode* node, bool withChildren)
{
    json.BeginObject().Key("name").String(ToUtf8(node->GetName())).Key("attributes").BeginArray();
    ForEachAttribute(node, [&](const WCHAR* name, const WCHAR* value) {
        json.BeginObject().Key("name").String(ToUtf8(name)).Key("value").String(ToUtf8(value)).EndObject();
    });
    json.EndArray().Key("text");
    if (node->GetContent() != nullptr) {
        json.String(ToUtf8(node->GetContent()));
    } else {
        json.Null();
    }
    if (withChildren) {
        json.Key("children").BeginArray();
        ForEachChild(node, [&](IXmlNode* child) { WriteElementJson(json, child, true); });
        json.EndArray();
    }
    json.EndObject();
}

} // namespace kvorxml
