#include "Query.h"

#include "TreeWalk.h"

namespace kvorxml {

bool Query::Read(const Arguments& arguments, const std::string& name, std::string& error)
{
    if (name.empty()) {
        error = "the element NAME may not be empty";
        return false;
    }
    m_name = FromUtf8(name);
    std::string textName;
    std::string numberName;
    std::string value;
    if (arguments.Has("--attr")) {
        if (!SplitAssignment(arguments.Value("--attr"), textName, value) || value.empty()) {
            error = "--attr takes ATTR=TEXT with a non-empty TEXT";
            return false;
        }
        m_text = FromUtf8(value);
        m_hasText = true;
    }
    if (arguments.Has("--num")) {
        if (!SplitAssignment(arguments.Value("--num"), numberName, value) || !ParseInt32(value, m_number)) {
            error = "--num takes ATTR=N with a 32-bit decimal N";
            return false;
        }
        m_hasNumber = true;
    }
    if (!textName.empty() && !numberName.empty() && textName != numberName) {
        error = "--attr and --num must name the same attribute";
        return false;
    }
    m_attribute = FromUtf8(textName.empty() ? numberName : textName);
    return true;
}

std::string Query::Describe() const
{
    std::string text = "<" + ToUtf8(m_name) + ">";
    if (m_hasText) {
        text += " with " + ToUtf8(m_attribute) + "=\"" + ToUtf8(m_text) + "\"";
    }
    if (m_hasNumber) {
        text += std::string(m_hasText ? " or" : " with") + " " + ToUtf8(m_attribute) + "=" + std::to_string(m_number);
    }
    return text;
}

IXmlNode* Query::FindFirst(Document& document) const
{
    IXmlNode* found = nullptr;
    if (document.Parser().FindNode(m_name.c_str(), &found, AttributeName(), AttributeText(), AttributeNumber()) !=
        KVOR_OK) {
        return nullptr;
    }
    return found;
}

std::vector<Query::Match> Query::FindAll(IXmlNode* root) const
{
    std::vector<Match> matches;
    WalkInSearchOrder(root, [&](const Visit& at) {
        if (CKvorXMLParser::Matches(at.node, m_name.c_str(), AttributeName(), AttributeText(), AttributeNumber())) {
            matches.push_back({at.node, at.path});
        }
        return true;
    });
    return matches;
}

} // namespace kvorxml
