// tree, find, get and text: the document as the library reads it, and the
// answers of the library's own search and queries.
#include <cstdio>
#include <iostream>

#include "CommandSupport.h"
#include "Commands.h"
#include "ElementView.h"
#include "Query.h"
#include "TreeWalk.h"

namespace kvorxml {
namespace {

const char* const kTreeHelp =
    "usage: kvorxml tree FILE [--json]\n"
    "Shows the document's elements, indented by two spaces per level: the name,\n"
    "the attributes in document order, and the text of an element below it in quotes.\n"
    "FILE may be - for standard input.\n";

const char* const kFindHelp =
    "usage: kvorxml find FILE NAME [--attr ATTR=TEXT] [--num ATTR=N] [--all] [--json]\n"
    "Shows the element that the library's search finds for NAME (descendants before\n"
    "their ancestors, earlier siblings first), with its path from the root.\n"
    "  --attr ATTR=TEXT  the element's attribute ATTR must read TEXT\n"
    "  --num ATTR=N      ...or, as an alternative, the number N\n"
    "  --all             every element that matches, in the search's order\n"
    "Exit status 1 when no element matches.\n";

const char* const kGetHelp =
    "usage: kvorxml get FILE NAME ATTR [--as text|int|color|rect] [--attr A=TEXT] [--num A=N] [--json]\n"
    "Reads attribute ATTR of the element that `find` finds for NAME:\n"
    "  text   the attribute's text (the default)\n"
    "  int    a decimal number\n"
    "  color  \"r,g,b\", shown as r,g,b and #RRGGBB\n"
    "  rect   four numbers separated by commas or spaces\n"
    "Exit status 1 when the element or the attribute is missing, or the attribute\n"
    "is not a rectangle.\n";

const char* const kTextHelp =
    "usage: kvorxml text FILE NAME [--attr A=TEXT] [--num A=N] [--json]\n"
    "Shows the text of the element that `find` finds for NAME.\n"
    "Exit status 1 when the element is missing or holds no text.\n";

void PrintJson(const JsonWriter& json) { std::cout << json.Text() << "\n"; }

// The document and the one element a query command works on.
struct Target {
    Document document;
    Query query;
    IXmlNode* node = nullptr;
};

// FILE NAME [--attr] [--num]: false, with status, when there is no element.
bool FindTarget(const std::string& command, const Arguments& arguments, Target& target, int& status)
{
    std::string error;
    if (!target.query.Read(arguments, arguments.Positional()[1], error)) {
        status = UsageError(command, error);
        return false;
    }
    status = kExitFailure;
    if (!OpenDocument(command, arguments.Positional()[0], target.document)) {
        return false;
    }
    target.node = target.query.FindFirst(target.document);
    if (target.node == nullptr) {
        Complain(command, "no element " + target.query.Describe());
        return false;
    }
    return true;
}

void WriteMatchJson(JsonWriter& json, const Query::Match& match)
{
    json.BeginObject().Key("path").String(match.path).Key("element");
    WriteElementJson(json, match.node, false);
    json.EndObject();
}

enum class ValueKind { kText, kInt, kColor, kRect };

bool ReadKind(const std::string& text, ValueKind& kind)
{
    static const struct {
        const char* name;
        ValueKind kind;
    } kKinds[] = {{"text", ValueKind::kText}, {"int", ValueKind::kInt}, {"color", ValueKind::kColor},
                  {"rect", ValueKind::kRect}};
    for (const auto& entry : kKinds) {
        if (text == entry.name) {
            kind = entry.kind;
            return true;
        }
    }
    return false;
}

std::string HexColour(uint32_t colour)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return hex;
}

// One attribute read by the library's GetNodeAttr as kind: the plain text
// and the JSON members; false when it cannot be read so.
bool ReadValue(CKvorXMLParser& parser, IXmlNode* node, const WString& attribute, ValueKind kind, std::string& plain,
               JsonWriter& json)
{
    switch (kind) {
    case ValueKind::kText: {
        const WCHAR* text = nullptr;
        parser.GetNodeAttr(attribute.c_str(), node, &text);
        plain = ToUtf8(text);
        json.Key("as").String("text").Key("value").String(plain);
        plain = Display(plain);
        return true;
    }
    case ValueKind::kInt: {
        int32_t value = 0;
        parser.GetNodeAttr(attribute.c_str(), node, &value);
        plain = std::to_string(value);
        json.Key("as").String("int").Key("value").Number(value);
        return true;
    }
    case ValueKind::kColor: {
        uint32_t colour = 0;
        parser.GetNodeAttr(attribute.c_str(), node, &colour);
        const uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
        plain = std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue) + " " +
                HexColour(colour);
        json.Key("as").String("color").Key("value").BeginObject().Key("red").Number(red).Key("green").Number(green);
        json.Key("blue").Number(blue).Key("hex").String(HexColour(colour)).Key("raw").Number(colour).EndObject();
        return true;
    }
    case ValueKind::kRect: {
        XmlRect rect = {0, 0, 0, 0};
        if (parser.GetNodeAttr(attribute.c_str(), node, &rect) != KVOR_OK) {
            return false;
        }
        plain = std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
                std::to_string(rect.bottom);
        json.Key("as").String("rect").Key("value").BeginObject().Key("left").Number(rect.left);
        json.Key("top").Number(rect.top).Key("right").Number(rect.right).Key("bottom").Number(rect.bottom);
        json.EndObject();
        return true;
    }
    }
    return false;
}

} // namespace

int TreeCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--help", "--json"});
    int status = kExitSuccess;
    if (!Accept("tree", arguments, 1, kTreeHelp, status)) {
        return status;
    }
    Document document;
    if (!OpenDocument("tree", arguments.Positional()[0], document)) {
        return kExitFailure;
    }
    if (arguments.Has("--json")) {
        JsonWriter json;
        WriteElementJson(json, document.Root(), true);
        PrintJson(json);
    } else {
        PrintTree(std::cout, document.Root(), "");
    }
    return kExitSuccess;
}

int FindCommand(const Words& words)
{
    Arguments arguments(words, {"--attr", "--num"}, {"--help", "--json", "--all"});
    int status = kExitSuccess;
    Target target;
    if (!Accept("find", arguments, 2, kFindHelp, status) || !FindTarget("find", arguments, target, status)) {
        return status;
    }
    IXmlNode* root = target.document.Root();
    const bool all = arguments.Has("--all");
    const std::vector<Query::Match> matches =
        all ? target.query.FindAll(root) : std::vector<Query::Match>{{target.node, PlaceOf(root, target.node).path}};
    JsonWriter json;
    if (all) {
        json.BeginArray();
    }
    for (const Query::Match& match : matches) {
        if (arguments.Has("--json")) {
            WriteMatchJson(json, match);
        } else {
            std::cout << match.path << "\n";
            PrintElement(std::cout, match.node, "  ");
        }
    }
    if (arguments.Has("--json")) {
        PrintJson(all ? json.EndArray() : json);
    }
    return kExitSuccess;
}

int GetCommand(const Words& words)
{
    Arguments arguments(words, {"--attr", "--num", "--as"}, {"--help", "--json"});
    int status = kExitSuccess;
    if (!Accept("get", arguments, 3, kGetHelp, status)) {
        return status;
    }
    ValueKind kind = ValueKind::kText;
    if (arguments.Has("--as") && !ReadKind(arguments.Value("--as"), kind)) {
        return UsageError("get", "--as takes text, int, color or rect");
    }
    const std::string attributeName = arguments.Positional()[2];
    if (attributeName.empty()) {
        return UsageError("get", "ATTR may not be empty");
    }
    Target target;
    if (!FindTarget("get", arguments, target, status)) {
        return status;
    }
    const WString attribute = FromUtf8(attributeName);
    const std::string element = "<" + ToUtf8(target.node->GetName()) + ">";
    // The typed queries read a missing attribute as "" or 0; a script
    // asking for it wants to know that it is not there.
    if (target.node->GetAttrString(attribute.c_str(), nullptr) == nullptr) {
        Complain("get", element + " has no attribute \"" + attributeName + "\"");
        return kExitFailure;
    }
    JsonWriter json;
    json.BeginObject().Key("element").String(ToUtf8(target.node->GetName())).Key("attribute").String(attributeName);
    std::string plain;
    if (!ReadValue(target.document.Parser(), target.node, attribute, kind, plain, json)) {
        Complain("get", "\"" + attributeName + "\" of " + element + " is not a rectangle (four numbers)");
        return kExitFailure;
    }
    json.EndObject();
    std::cout << (arguments.Has("--json") ? json.Text() : plain) << "\n";
    return kExitSuccess;
}

int TextCommand(const Words& words)
{
    Arguments arguments(words, {"--attr", "--num"}, {"--help", "--json"});
    int status = kExitSuccess;
    Target target;
    if (!Accept("text", arguments, 2, kTextHelp, status) || !FindTarget("text", arguments, target, status)) {
        return status;
    }
    const WCHAR* content = nullptr;
    if (target.document.Parser().GetNodeContext(target.node, &content) != KVOR_OK) {
        Complain("text", "<" + ToUtf8(target.node->GetName()) + "> holds no text");
        return kExitFailure;
    }
    if (arguments.Has("--json")) {
        JsonWriter json;
        json.BeginObject().Key("element").String(ToUtf8(target.node->GetName()));
        PrintJson(json.Key("text").String(ToUtf8(content)).EndObject());
    } else {
        std::cout << ToUtf8(content) << "\n";
    }
    return kExitSuccess;
}

} // namespace kvorxml
