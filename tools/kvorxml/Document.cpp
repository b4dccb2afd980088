#include "Document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvorxml {
namespace {

bool IsSpace(WCHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool EndsName(WCHAR c)
{
    return IsSpace(c) || c == '=' || c == '"' || c == '/' || c == '<' || c == '>' || c == '?' || c == '\'';
}

class Scanner {
public:
    explicit Scanner(const WString& text) : m_text(text) {}
    WCHAR Peek()
    {
        SkipSpace();
        return m_pos < m_text.size() ? m_text[m_pos] : 0;
    }
    WCHAR Next()
    {
        WCHAR c = Peek();
        if (m_pos < m_text.size()) {
            ++m_pos;
        }
        return c;
    }
    // Skips to just after the first occurrence of the given characters,
    // white space allowed between them, as the reader matches them.
    void SkipPast(const char* sequence)
    {
        size_t matched = 0;
        while (sequence[matched] != 0) {
            WCHAR c = Next();
            if (c == 0) {
                return;
            }
            // As the reader does: the character that breaks a partial match
            // does not start a new one.
            matched = c == static_cast<WCHAR>(sequence[matched]) ? matched + 1 : 0;
        }
    }
    WString Token(bool isValue)
    {
        if (!isValue) {
            SkipSpace();
        }
        size_t start = m_pos;
        while (m_pos < m_text.size() && !(isValue ? EndsValue(m_text[m_pos]) : EndsName(m_text[m_pos]))) {
            ++m_pos;
        }
        return Trimmed(m_text.substr(start, m_pos - start));
    }
    bool StartsWith(const char* sequence)
    {
        size_t saved = m_pos;
        for (const char* p = sequence; *p != 0; ++p) {
            if (Next() != static_cast<WCHAR>(*p)) {
                m_pos = saved;
                return false;
            }
        }
        m_pos = saved;
        return true;
    }

private:
    static bool EndsValue(WCHAR c) { return c == '"' || c == '\'' || c == '<' || c == '>'; }
    static WString Trimmed(const WString& text)
    {
        size_t first = 0;
        size_t last = text.size();
        while (first < last && IsSpace(text[first])) {
            ++first;
        }
        while (last > first && IsSpace(text[last - 1])) {
            --last;
        }
        return text.substr(first, last - first);
    }
    void SkipSpace()
    {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) {
            ++m_pos;
        }
    }

    const WString& m_text;
    size_t m_pos = 0;
};

// Start tags of the library's saved form, in document order: one per
// element, each "<name key="value" ...>" with nothing escaped.
struct SavedTag {
    std::string name;
    std::vector<Attribute> attributes;
};

std::vector<SavedTag> ReadSavedTags(const WString& text)
{
    std::vector<SavedTag> tags;
    for (size_t pos = text.find('<'); pos != WString::npos; pos = text.find('<', pos)) {
        ++pos;
        if (pos >= text.size() || text[pos] == '/' || text[pos] == '?') {
            continue;
        }
        size_t end = pos;
        while (end < text.size() && text[end] != ' ' && text[end] != '>' && text[end] != '\r' && text[end] != '\n' &&
               !(text[end] == '/' && end + 1 < text.size() && text[end + 1] == '>')) {
            ++end;
        }
        SavedTag tag;
        tag.name = ToUtf8(text.substr(pos, end - pos));
        pos = end;
        while (pos + 1 < text.size() && text[pos] == ' ' && text[pos + 1] != '/') {
            size_t equals = text.find(KVOR_TEXT("=\""), pos + 1);
            size_t close = equals == WString::npos ? WString::npos : text.find('"', equals + 2);
            if (close == WString::npos) {
                break;
            }
            tag.attributes.push_back(
                {ToUtf8(text.substr(pos + 1, equals - pos - 1)), ToUtf8(text.substr(equals + 2, close - equals - 2))});
            pos = close + 1;
        }
        tags.push_back(tag);
    }
    return tags;
}

void CopyTree(IXmlNode* node, Element& out)
{
    out.node = node;
    out.name = ToUtf8(node->GetName());
    const WCHAR* content = node->GetContent();
    out.hasText = content != nullptr;
    out.text = ToUtf8(content);
    IXmlNode* child = nullptr;
    for (uint32_t more = node->GetFirstChild(&child); more != 0 && child != nullptr; more = node->GetNextChild(&child)) {
        out.children.emplace_back();
        CopyTree(child, out.children.back());
    }
}

bool AddAttributes(Element& element, const std::vector<SavedTag>& tags, size_t& index)
{
    if (index >= tags.size() || tags[index].name != element.name) {
        return false;
    }
    element.attributes = tags[index++].attributes;
    for (Element& child : element.children) {
        if (!AddAttributes(child, tags, index)) {
            return false;
        }
    }
    return true;
}

void ClearAttributes(Element& element)
{
    element.attributes.clear();
    for (Element& child : element.children) {
        ClearAttributes(child);
    }
}

std::string TemporaryFile()
{
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/kvorxml-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        return std::string();
    }
    close(fd);
    return name.data();
}

} // namespace

RootTag ReadRootTag(const WString& text)
{
    RootTag tag;
    Scanner scan(text);
    if (scan.StartsWith("<?")) {
        scan.SkipPast("?>");
    }
    if (scan.StartsWith("<!--")) {
        scan.SkipPast("-->");
    }
    if (scan.Next() != '<') {
        return tag;
    }
    tag.name = scan.Token(false);
    WString attribute = scan.Token(false);
    if (!attribute.empty() && scan.Next() == '=') {
        WCHAR quote = scan.Next();
        if (quote == '"' || quote == '\'') {
            tag.attributeName = attribute;
            tag.attributeValue = scan.Token(true);
        }
    }
    return tag;
}

bool Document::Load(const std::string& path, std::string& error)
{
    // The library creates a missing file when it opens it; a viewer must
    // not leave empty files behind, so look first.
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = path + ": is a folder";
        return false;
    }
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes)) {
        error = path + ": cannot be read";
        return false;
    }
    if (m_parser.Create() != KVOR_OK) {
        error = "the library could not create a parser";
        return false;
    }
    if (m_parser->LoadXmlFile(FromUtf8(path).c_str()) != KVOR_OK) {
        error = path + ": the document does not load (kvorxml check " + path + " says why)";
        return false;
    }
    // The interface has no call for the root: find it by its name, narrowed
    // by its first attribute so that a descendant of the same name, which
    // the search would meet first, is passed over.
    RootTag tag = ReadRootTag(DecodeDocument(bytes));
    const WCHAR* attributeName = tag.attributeValue.empty() ? nullptr : tag.attributeName.c_str();
    const WCHAR* attributeText = tag.attributeValue.empty() ? nullptr : tag.attributeValue.c_str();
    if (tag.name.empty() ||
        m_parser->FindNode(tag.name.c_str(), &m_root, attributeName, attributeText, nullptr) != KVOR_OK) {
        error = path + ": the root element cannot be found";
        return false;
    }
    return true;
}

bool Document::Snapshot(IXmlNode* node, Element& out) const
{
    CopyTree(node, out);
    std::string copy = TemporaryFile();
    if (copy.empty()) {
        return false;
    }
    bool saved = node->SaveToFile(FromUtf8(copy).c_str()) != 0;
    std::vector<unsigned char> bytes;
    bool read = saved && ReadFileBytes(copy, bytes);
    std::remove(copy.c_str());
    if (!read) {
        return false;
    }
    size_t index = 0;
    if (!AddAttributes(out, ReadSavedTags(DecodeDocument(bytes)), index)) {
        ClearAttributes(out);
        return false;
    }
    return true;
}

const Element* Document::Locate(const Element& root, IXmlNode* node)
{
    if (root.node == node) {
        return &root;
    }
    for (const Element& child : root.children) {
        if (const Element* found = Locate(child, node)) {
            return found;
        }
    }
    return nullptr;
}

std::string Document::PathTo(const Element& root, IXmlNode* node)
{
    if (root.node == node) {
        return "/" + root.name;
    }
    for (size_t i = 0; i < root.children.size(); ++i) {
        std::string below = PathTo(root.children[i], node);
        if (below.empty()) {
            continue;
        }
        size_t index = 0;
        size_t count = 0;
        for (size_t k = 0; k < root.children.size(); ++k) {
            if (root.children[k].name == root.children[i].name) {
                ++count;
                if (k <= i) {
                    ++index;
                }
            }
        }
        if (count > 1) {
            size_t slash = below.find('/', 1);
            std::string head = slash == std::string::npos ? below : below.substr(0, slash);
            std::string tail = slash == std::string::npos ? std::string() : below.substr(slash);
            below = head + "[" + std::to_string(index) + "]" + tail;
        }
        return "/" + root.name + below;
    }
    return std::string();
}

} // namespace kvorxml
