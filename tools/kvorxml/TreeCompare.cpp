#include "TreeCompare.h"

#include <vector>

#include "NodeMembers.h"
#include "TextCodec.h"

namespace kvorxml {
namespace {

struct Member {
    WString name;
    WString value;
};

std::vector<Member> AttributesOf(IXmlNode* node)
{
    std::vector<Member> attributes;
    ForEachAttribute(node, [&](const WCHAR* name, const WCHAR* value) { attributes.push_back({name, value}); });
    return attributes;
}

std::vector<IXmlNode*> ChildrenOf(IXmlNode* node)
{
    std::vector<IXmlNode*> children;
    ForEachChild(node, [&](IXmlNode* child) { children.push_back(child); });
    return children;
}

std::string Quoted(const WString& text) { return "\"" + ToUtf8(text) + "\""; }

std::string Quoted(const WCHAR* text) { return text == nullptr ? "no text" : Quoted(WString(text)); }

// What differs in the element itself, or "".
std::string OwnDifference(IXmlNode* written, IXmlNode* readBack)
{
    if (WString(written->GetName()) != readBack->GetName()) {
        return "its name reads back as " + Quoted(readBack->GetName());
    }
    const std::vector<Member> mine = AttributesOf(written);
    const std::vector<Member> theirs = AttributesOf(readBack);
    for (size_t i = 0; i < mine.size() && i < theirs.size(); ++i) {
        if (mine[i].name != theirs[i].name) {
            return "attribute " + Quoted(mine[i].name) + " reads back as " + Quoted(theirs[i].name);
        }
        if (mine[i].value != theirs[i].value) {
            return "attribute " + Quoted(mine[i].name) + " reads back as " + Quoted(theirs[i].value);
        }
    }
    if (mine.size() != theirs.size()) {
        return std::to_string(theirs.size()) + " of its " + std::to_string(mine.size()) + " attributes read back";
    }
    const WCHAR* text = written->GetContent();
    const WCHAR* textBack = readBack->GetContent();
    if ((text == nullptr) != (textBack == nullptr) || (text != nullptr && WString(text) != textBack)) {
        return "its text " + Quoted(text) + " reads back as " + Quoted(textBack);
    }
    return std::string();
}

} // namespace

Difference FirstDifference(IXmlNode* written, IXmlNode* readBack)
{
    Difference difference;
    difference.what = OwnDifference(written, readBack);
    if (!difference.what.empty()) {
        difference.node = written;
        return difference;
    }
    const std::vector<IXmlNode*> mine = ChildrenOf(written);
    const std::vector<IXmlNode*> theirs = ChildrenOf(readBack);
    for (size_t i = 0; i < mine.size() && i < theirs.size(); ++i) {
        difference = FirstDifference(mine[i], theirs[i]);
        if (difference.node != nullptr) {
            return difference;
        }
    }
    if (mine.size() != theirs.size()) {
        difference.node = written;
        difference.what = std::to_string(theirs.size()) + " of its " + std::to_string(mine.size()) +
                          " child elements read back";
    }
    return difference;
}

} // namespace kvorxml
