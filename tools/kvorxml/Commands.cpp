// tree, find, get, text and save: the library's queries, through its
// exports and interfaces only.
#include "Commands.h"

#include <cstdio>
#include <iostream>

#include "Arguments.h"
#include "Document.h"
#include "Json.h"

namespace kvorxml {
namespace {

const char* const kTreeHelp =
    "usage: kvorxml tree FILE [--json]\n"
    "Shows the document's elements, indented by two spaces per level: the name,\n"
    "the attributes in document order, and the text of an element below it in quotes.\n";

const char* const kFindHelp =
    "usage: kvorxml find FILE NAME [--attr ATTR=TEXT] [--num ATTR=N] [--json]\n"
    "Shows the element that the library's search finds for NAME (descendants before\n"
    "their ancestors, earlier siblings first), with its path from the root.\n"
    "  --attr ATTR=TEXT  the element's attribute ATTR must read TEXT\n"
    "  --num ATTR=N      ...or, as an alternative, the number N\n"
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
    "usage: kvorxml text FILE NAME [--attr A=TEXT] [--num A=N]\n"
    "Shows the text of the element that `find` finds for NAME.\n"
    "Exit status 1 when the element is missing or holds no text.\n";

const char* const kSaveHelp =
    "usage: kvorxml save FILE OUT\n"
    "Loads FILE and writes the tree to OUT as the library writes it: UTF-16LE with\n"
    "a byte-order mark, an XML declaration, one line per tag, four spaces per level.\n";

// Control characters shown as escapes, so that one element stays on one line.
std::string Display(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ElementLine(const Element& element)
{
    std::string line = Display(element.name);
    for (const Attribute& attribute : element.attributes) {
        line += " " + Display(attribute.name) + "=\"" + Display(attribute.value) + "\"";
    }
    return line;
}

void PrintTree(const Element& element, const std::string& indent)
{
    std::cout << indent << ElementLine(element) << "\n";
    if (element.hasText) {
        std::cout << indent << "  \"" << Display(element.text) << "\"\n";
    }
    for (const Element& child : element.children) {
        PrintTree(child, indent + "  ");
    }
}

void WriteElementJson(JsonWriter& json, const Element& element, bool withChildren)
{
    json.BeginObject().Key("name").String(element.name).Key("attributes").BeginArray();
    for (const Attribute& attribute : element.attributes) {
        json.BeginObject().Key("name").String(attribute.name).Key("value").String(attribute.value).EndObject();
    }
    json.EndArray().Key("text");
    if (element.hasText) {
        json.String(element.text);
    } else {
        json.Null();
    }
    if (withChildren) {
        json.Key("children").BeginArray();
        for (const Element& child : element.children) {
            WriteElementJson(json, child, true);
        }
        json.EndArray();
    }
    json.EndObject();
}

// Library, parser and document, loaded or explained.
class Session {
public:
    explicit Session(const std::string& command) : m_command(command), m_document(m_library) {}

    bool Open(const std::string& path)
    {
        std::string error;
        if (!m_library.Load(error) || !m_document.Load(path, error)) {
            Complain(m_command, error);
            return false;
        }
        return true;
    }
    Document& Doc() { return m_document; }
    IXmlParser* Parser() { return m_document.Parser(); }

private:
    std::string m_command;
    Library m_library;
    Document m_document;
};

// NAME with the optional --attr / --num narrowing, as FindNode takes it.
struct Query {
    WString name;
    WString attribute;
    WString text;
    bool hasText = false;
    int32_t number = 0;
    bool hasNumber = false;
};

bool ReadQuery(const Arguments& arguments, const std::string& name, Query& query,
               std::string& error)
{
    query.name = FromUtf8(name);
    std::string textName;
    std::string numberName;
    if (arguments.Has("--attr")) {
        std::string value;
        if (!SplitAssignment(arguments.Value("--attr"), textName, value) || value.empty()) {
            error = "--attr takes ATTR=TEXT with a non-empty TEXT";
            return false;
        }
        query.text = FromUtf8(value);
        query.hasText = true;
    }
    if (arguments.Has("--num")) {
        std::string value;
        if (!SplitAssignment(arguments.Value("--num"), numberName, value) || !ParseInt32(value, query.number)) {
            error = "--num takes ATTR=N with a 32-bit decimal N";
            return false;
        }
        query.hasNumber = true;
    }
    if (!textName.empty() && !numberName.empty() && textName != numberName) {
        error = "--attr and --num must name the same attribute";
        return false;
    }
    query.attribute = FromUtf8(textName.empty() ? numberName : textName);
    return true;
}

uint32_t Find(IXmlParser* parser, const Query& query, IXmlNode** found)
{
    return parser->FindNode(query.name.c_str(), found, query.attribute.empty() ? nullptr : query.attribute.c_str(),
                            query.hasText ? query.text.c_str() : nullptr, query.hasNumber ? &query.number : nullptr);
}

std::string Describe(const Query& query)
{
    std::string text = "<" + ToUtf8(query.name) + ">";
    if (query.hasText) {
        text += " with " + ToUtf8(query.attribute) + "=\"" + ToUtf8(query.text) + "\"";
    }
    if (query.hasNumber) {
        text += std::string(query.hasText ? " or" : " with") + " " + ToUtf8(query.attribute) + "=" +
                std::to_string(query.number);
    }
    return text;
}

// Help, option errors and the number of positional words, alike for every
// subcommand; false when the command is to stop with status.
bool Accept(const std::string& command, const Arguments& arguments, size_t positionals, const char* help,
            int& status)
{
    if (arguments.Has("--help")) {
        std::cout << help;
        status = kExitSuccess;
        return false;
    }
    if (!arguments.Error().empty()) {
        status = UsageError(command, arguments.Error());
        return false;
    }
    if (arguments.Positional().size() != positionals) {
        status = UsageError(command, "expected " + std::to_string(positionals) + " arguments, got " +
                                         std::to_string(arguments.Positional().size()));
        return false;
    }
    return true;
}

} // namespace

int TreeCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--help", "--json"});
    int status = kExitSuccess;
    if (!Accept("tree", arguments, 1, kTreeHelp, status)) {
        return status;
    }
    Session session("tree");
    if (!session.Open(arguments.Positional()[0])) {
        return kExitNothing;
    }
    Element root;
    if (!session.Doc().Snapshot(session.Doc().Root(), root)) {
        Complain("tree", "the attributes cannot be listed (no temporary copy); showing names and text only");
    }
    if (arguments.Has("--json")) {
        JsonWriter json;
        WriteElementJson(json, root, true);
        std::cout << json.Text() << "\n";
    } else {
        PrintTree(root, "");
    }
    return kExitSuccess;
}

int FindCommand(const Words& words)
{
    Arguments arguments(words, {"--attr", "--num"}, {"--help", "--json"});
    int status = kExitSuccess;
    if (!Accept("find", arguments, 2, kFindHelp, status)) {
        return status;
    }
    Query query;
    std::string error;
    if (!ReadQuery(arguments, arguments.Positional()[1], query, error)) {
        return UsageError("find", error);
    }
    Session session("find");
    if (!session.Open(arguments.Positional()[0])) {
        return kExitNothing;
    }
    IXmlNode* found = nullptr;
    if (Find(session.Parser(), query, &found) != KVOR_OK) {
        Complain("find", "no element " + Describe(query));
        return kExitNothing;
    }
    Element root;
    session.Doc().Snapshot(session.Doc().Root(), root);
    const Element* element = Document::Locate(root, found);
    const std::string path = Document::PathTo(root, found);
    if (arguments.Has("--json")) {
        JsonWriter json;
        json.BeginObject().Key("path").String(path).Key("element");
        WriteElementJson(json, *element, false);
        json.EndObject();
        std::cout << json.Text() << "\n";
    } else {
        std::cout << path << "\n  " << ElementLine(*element) << "\n";
        if (element->hasText) {
            std::cout << "    \"" << Display(element->text) << "\"\n";
        }
    }
    return kExitSuccess;
}

namespace {

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

} // namespace

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
    Query query;
    std::string error;
    if (!ReadQuery(arguments, arguments.Positional()[1], query, error)) {
        return UsageError("get", error);
    }
    const std::string attributeName = arguments.Positional()[2];
    if (attributeName.empty()) {
        return UsageError("get", "ATTR may not be empty");
    }
    Session session("get");
    if (!session.Open(arguments.Positional()[0])) {
        return kExitNothing;
    }
    IXmlNode* node = nullptr;
    if (Find(session.Parser(), query, &node) != KVOR_OK) {
        Complain("get", "no element " + Describe(query));
        return kExitNothing;
    }
    const WString attribute = FromUtf8(attributeName);
    // The typed queries read a missing attribute as "" or 0; a script
    // asking for it wants to know that it is not there.
    if (node->GetAttrString(attribute.c_str(), nullptr) == nullptr) {
        Complain("get", "<" + ToUtf8(node->GetName()) + "> has no attribute \"" + attributeName + "\"");
        return kExitNothing;
    }
    IXmlParser* parser = session.Parser();
    JsonWriter json;
    json.BeginObject().Key("element").String(ToUtf8(node->GetName())).Key("attribute").String(attributeName);
    std::string plain;
    switch (kind) {
    case ValueKind::kText: {
        const WCHAR* text = nullptr;
        if (parser->GetNodeAttr(attribute.c_str(), node, &text) != KVOR_OK) {
            Complain("get", "the attribute has no text");
            return kExitNothing;
        }
        plain = ToUtf8(text);
        json.Key("as").String("text").Key("value").String(plain);
        plain = Display(plain);
        break;
    }
    case ValueKind::kInt: {
        int32_t value = 0;
        parser->GetNodeAttr(attribute.c_str(), node, &value);
        plain = std::to_string(value);
        json.Key("as").String("int").Key("value").Number(value);
        break;
    }
    case ValueKind::kColor: {
        uint32_t colour = 0;
        parser->GetNodeAttr(attribute.c_str(), node, &colour);
        const uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
        plain = std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue) + " " +
                HexColour(colour);
        json.Key("as").String("color").Key("value").BeginObject().Key("red").Number(red).Key("green").Number(green);
        json.Key("blue").Number(blue).Key("hex").String(HexColour(colour)).Key("raw").Number(colour).EndObject();
        break;
    }
    case ValueKind::kRect: {
        XmlRect rect = {0, 0, 0, 0};
        if (parser->GetNodeAttr(attribute.c_str(), node, &rect) != KVOR_OK) {
            Complain("get", "\"" + attributeName + "\" of <" + ToUtf8(node->GetName()) +
                                "> is not a rectangle (four numbers)");
            return kExitNothing;
        }
        plain = std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
                std::to_string(rect.bottom);
        json.Key("as").String("rect").Key("value").BeginObject().Key("left").Number(rect.left);
        json.Key("top").Number(rect.top).Key("right").Number(rect.right).Key("bottom").Number(rect.bottom);
        json.EndObject();
        break;
    }
    }
    json.EndObject();
    std::cout << (arguments.Has("--json") ? json.Text() : plain) << "\n";
    return kExitSuccess;
}

int TextCommand(const Words& words)
{
    Arguments arguments(words, {"--attr", "--num"}, {"--help"});
    int status = kExitSuccess;
    if (!Accept("text", arguments, 2, kTextHelp, status)) {
        return status;
    }
    Query query;
    std::string error;
    if (!ReadQuery(arguments, arguments.Positional()[1], query, error)) {
        return UsageError("text", error);
    }
    Session session("text");
    if (!session.Open(arguments.Positional()[0])) {
        return kExitNothing;
    }
    IXmlNode* node = nullptr;
    if (Find(session.Parser(), query, &node) != KVOR_OK) {
        Complain("text", "no element " + Describe(query));
        return kExitNothing;
    }
    const WCHAR* content = nullptr;
    if (session.Parser()->GetNodeContext(node, &content) != KVOR_OK) {
        Complain("text", "<" + ToUtf8(node->GetName()) + "> holds no text");
        return kExitNothing;
    }
    std::cout << ToUtf8(content) << "\n";
    return kExitSuccess;
}

int SaveCommand(const Words& words)
{
    Arguments arguments(words, {}, {"--help"});
    int status = kExitSuccess;
    if (!Accept("save", arguments, 2, kSaveHelp, status)) {
        return status;
    }
    Session session("save");
    if (!session.Open(arguments.Positional()[0])) {
        return kExitNothing;
    }
    const std::string& out = arguments.Positional()[1];
    if (session.Doc().Root()->SaveToFile(FromUtf8(out).c_str()) == 0) {
        Complain("save", out + ": cannot be created");
        return kExitNothing;
    }
    return kExitSuccess;
}

void Complain(const std::string& command, const std::string& message)
{
    std::cerr << "kvorxml" << (command.empty() ? "" : " " + command) << ": " << message << "\n";
}

int UsageError(const std::string& command, const std::string& message)
{
    Complain(command, message);
    std::cerr << "Try 'kvorxml " << (command.empty() ? "" : command + " ") << "--help'.\n";
    return kExitUsage;
}

} // namespace kvorxml
