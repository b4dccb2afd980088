#include "TreeWalk.h"

#include <unordered_map>

#include "TextCodec.h"
#include "NodeMembers.h"

namespace kvorxml {
namespace {

bool WalkBelow(const Visit& at, const std::function<bool(const Visit&)>& visit)
{
    std::unordered_map<WString, int> named;
    ForEachChild(at.node, [&](IXmlNode* child) { ++named[child->GetName()]; });
    std::unordered_map<WString, int> seen;
    bool going = true;
    ForEachChild(at.node, [&](IXmlNode* child) {
        if (!going) {
            return;
        }
        const WCHAR* name = child->GetName();
        std::string path = at.path + "/" + ToUtf8(name);
        if (named[name] > 1) {
            path += "[" + std::to_string(++seen[name]) + "]";
        }
        const Visit below = {child, at.node, path, at.depth + 1};
        going = WalkBelow(below, visit) && visit(below);
    });
    return going;
}

} // namespace

bool WalkInSearchOrder(IXmlNode* root, const std::function<bool(const Visit&)>& visit)
{
    const std::string path = "/" + ToUtf8(root->GetName());
    const Visit top = {root, nullptr, path, 0};
    return WalkBelow(top, visit) && visit(top);
}

Place PlaceOf(IXmlNode* root, IXmlNode* node)
{
    Place place;
    WalkInSearchOrder(root, [&](const Visit& at) {
        if (at.node != node) {
            return true;
        }
        place.path = at.path;
        place.parent = at.parent;
        return false;
    });
    return place;
}

} // namespace kvorxml
