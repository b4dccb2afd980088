// Which elements a command works on: NAME, narrowed as the library's search
// narrows it by one attribute (--attr A=TEXT, or --num A=N as a number).
#ifndef KVORXML_QUERY_H
#define KVORXML_QUERY_H

#include <string>
#include <vector>

#include "Arguments.h"
#include "Document.h"
#include "TextCodec.h"

namespace kvorxml {

class Query {
public:
    // False, with error set, when the options do not make a query.
    bool Read(const Arguments& arguments, const std::string& name, std::string& error);
    // "<window> with id="volume"", for messages.
    std::string Describe() const;

    // The element the library's FindNode finds, or null.
    IXmlNode* FindFirst(Document& document) const;
    // Every element that matches, in the order FindNode meets them, with its path.
    struct Match {
        IXmlNode* node;
        std::string path;
    };
    std::vector<Match> FindAll(IXmlNode* root) const;

private:
    const WCHAR* AttributeName() const { return m_attribute.empty() ? nullptr : m_attribute.c_str(); }
    const WCHAR* AttributeText() const { return m_hasText ? m_text.c_str() : nullptr; }
    const int32_t* AttributeNumber() const { return m_hasNumber ? &m_number : nullptr; }

    WString m_name;
    WString m_attribute;
    WString m_text;
    bool m_hasText = false;
    int32_t m_number = 0;
    bool m_hasNumber = false;
};

} // namespace kvorxml

#endif // KVORXML_QUERY_H
