#include "XmlDiagnosis.h"

#include "kvor/dom/JXMLNode.h"
#include "TextCodec.h"
#include "kvor/reader/XmlCursor.h"

namespace {

const int32_t kSize = CJXMLNode::kNameCapacity;
const int32_t kMaxToken = kSize - 1;

bool IsQuote(WCHAR c) { return c == '"' || c == '\''; }

bool StartsWith(const WCHAR* text, const char* prefix, bool foldCase)
{
    for (; *prefix != 0; ++text, ++prefix) {
        WCHAR c = *text;
        if (foldCase && c >= 'a' && c <= 'z') {
            c = static_cast<WCHAR>(c - 'a' + 'A');
        }
        if (c != static_cast<WCHAR>(*prefix)) {
            return false;
        }
    }
    return true;
}

std::string Tag(const WCHAR* name) { return "<" + kvorxml::ToUtf8(name) + ">"; }
std::string EndTagText(const WCHAR* name) { return "</" + kvorxml::ToUtf8(name) + ">"; }

// Names that the reader takes for elements but that stand for markup it
// does not support; such an element fails, and this is the better reason.
std::string MarkupNote(const WCHAR* name)
{
    if (StartsWith(name, "!--", false)) {
        return "only one comment may stand before an element: this second comment is read as a start tag";
    }
    if (StartsWith(name, "![CDATA[", false)) {
        return "CDATA sections are not supported: an element holds plain text";
    }
    if (StartsWith(name, "!DOCTYPE", true)) {
        return "document type declarations are not supported";
    }
    return std::string();
}

} // namespace

struct XmlDiagnosis::Outcome {
    enum Kind { kOk, kNoTag, kFailed };
    Kind kind;
    XmlProblem problem;

    static Outcome Ok() { return Outcome{kOk, XmlProblem()}; }
    static Outcome NoTag() { return Outcome{kNoTag, XmlProblem()}; }
    static Outcome Fail(int32_t offset, const std::string& reason)
    {
        XmlProblem problem;
        problem.offset = offset;
        problem.reason = reason;
        return Outcome{kFailed, problem};
    }
};

XmlProblem XmlDiagnosis::Diagnose(const WCHAR* text, int32_t length)
{
    XmlCursor cursor(text, length);
    XmlDiagnosis walk(cursor);
    if (length == 0) {
        return Outcome::Fail(0, "the file is empty").problem;
    }
    Outcome prolog = walk.Prolog();
    if (prolog.kind == Outcome::kFailed) {
        return prolog.problem;
    }
    const int32_t rootPosition = walk.NextPosition();
    Outcome root = walk.Element(1);
    if (root.kind == Outcome::kNoTag && root.problem.reason.empty()) {
        return walk.NoStartTag(rootPosition, false).problem;
    }
    return root.problem; // empty reason when the root parses here
}

int32_t XmlDiagnosis::NextPosition()
{
    const int32_t start = m_cursor.GetPosition();
    const bool found = m_cursor.NextNonSpace() != 0;
    const int32_t next = found ? m_cursor.GetPosition() - 1 : m_cursor.GetPosition();
    m_cursor.SetPosition(start);
    return next;
}

XmlDiagnosis::Outcome XmlDiagnosis::Prolog()
{
    const int32_t first = NextPosition();
    const WCHAR c = m_cursor.NextNonSpace();
    if (c == 0) {
        return Outcome::Fail(first, "the file holds no element");
    }
    if (c != '<') {
        return Outcome::Fail(first, "expected '<': a document begins with its root element or an XML declaration");
    }
    if (m_cursor.NextNonSpace() != '?') {
        m_cursor.RestorePosition();
        return Outcome::Ok();
    }
    const int32_t namePosition = NextPosition();
    WCHAR name[kSize];
    if (m_cursor.ReadName(name, kSize) == 0 || kvor::_wcsicmp(name, KVOR_TEXT("xml")) != 0) {
        return Outcome::Fail(namePosition, "expected \"xml\" after \"<?\": only an XML declaration may stand here");
    }
    std::string reason;
    int32_t position = 0;
    int32_t result = 0;
    while ((result = Attribute(&reason, &position)) == 1) {
    }
    if (result == -1) {
        return Outcome::Fail(position, reason);
    }
    const int32_t end = NextPosition();
    if (m_cursor.NextNonSpace() != '?' || m_cursor.NextNonSpace() != '>') {
        return Outcome::Fail(end, "expected \"?>\" to end the XML declaration");
    }
    m_cursor.SavePosition();
    return Outcome::Ok();
}

int32_t XmlDiagnosis::Attribute(std::string* reason, int32_t* position)
{
    WCHAR name[kSize];
    WCHAR value[kSize];
    const int32_t nameLength = m_cursor.ReadName(name, kSize);
    if (nameLength == 0) {
        return 0;
    }
    const std::string what = "attribute \"" + kvorxml::ToUtf8(name) + "\"";
    *position = NextPosition();
    WCHAR c = m_cursor.NextNonSpace();
    if (c != '=') {
        *reason = nameLength == kMaxToken ? "a name is longer than 259 characters"
                  : c == 0            ? "the file ends inside a start tag"
                                      : what + " has no value: expected '=' after its name";
        return -1;
    }
    *position = NextPosition();
    if (!IsQuote(m_cursor.NextNonSpace())) {
        *reason = "the value of " + what + " must be quoted: expected ' or \"";
        return -1;
    }
    const int32_t valueStart = m_cursor.GetPosition();
    m_cursor.ReadValue(value, kSize);
    *position = NextPosition();
    c = m_cursor.NextNonSpace();
    if (!IsQuote(c)) {
        *reason = c == '<' || c == '>'                         ? "the value of " + what + " may not contain '<' or '>'"
                  : c == 0                                     ? "the value of " + what + " is not closed"
                  : *position - valueStart >= kMaxToken ? "the value of " + what + " is longer than 259 characters"
                                                               : "the value of " + what + " is not closed";
        return -1;
    }
    m_cursor.SavePosition();
    return 1;
}

XmlDiagnosis::Outcome XmlDiagnosis::StartTag(WCHAR* name, std::string* note, int32_t* notePosition,
                                             bool* hadComment)
{
    const int32_t commentPosition = NextPosition();
    const int32_t before = m_cursor.GetPosition();
    if (CJXMLNode::SkipComment(m_cursor) != 1) {
        return Outcome::Fail(commentPosition, "the comment is not closed: expected \"-->\" before the end of the file");
    }
    *hadComment = m_cursor.GetPosition() != before;
    m_cursor.SavePosition();
    const int32_t tagPosition = NextPosition();
    if (m_cursor.NextNonSpace() != '<' || m_cursor.ReadName(name, kSize) == 0) {
        m_cursor.RestorePosition();
        return Outcome::NoTag();
    }
    *note = MarkupNote(name);
    *notePosition = tagPosition;
    if (note->empty() && kvor::wcslen(name) == static_cast<size_t>(kMaxToken)) {
        *note = "an element name is longer than 259 characters";
    }
    std::string reason;
    int32_t position = 0;
    int32_t result = 0;
    while ((result = Attribute(&reason, &position)) == 1) {
    }
    if (result == -1 && note->empty()) {
        *note = reason;
        *notePosition = position;
    }
    return Outcome::Ok();
}

XmlDiagnosis::Outcome XmlDiagnosis::NoStartTag(int32_t position, bool afterComment)
{
    // Only looks: the walk goes on from where the reader stands.
    const int32_t standing = m_cursor.GetPosition();
    Outcome outcome = NoStartTagAt(position, afterComment);
    m_cursor.SetPosition(standing);
    return outcome;
}

XmlDiagnosis::Outcome XmlDiagnosis::NoStartTagAt(int32_t position, bool afterComment)
{
    const WCHAR* text = m_cursor.GetText();
    const int32_t length = m_cursor.GetLength();
    if (position >= length) {
        return Outcome::Fail(position, afterComment ? "a comment must be followed by an element"
                                                    : "the file ends where an element was expected");
    }
    if (text[position] != '<') {
        return Outcome::Fail(position, "expected the start tag of an element here");
    }
    m_cursor.SetPosition(position + 1);
    const WCHAR next = m_cursor.NextNonSpace();
    if (next == '?') {
        return Outcome::Fail(position, "processing instructions are not supported; the XML declaration must come "
                                       "first in the file");
    }
    if (next == '/' && afterComment) {
        return Outcome::Fail(position, "a comment alone is not content: a comment must be followed by an element");
    }
    if (next == '/') {
        return Outcome::Fail(position, "an end tag where an element was expected");
    }
    return Outcome::Fail(position, "expected an element name after '<'");
}

XmlDiagnosis::Outcome XmlDiagnosis::Element(int32_t depth)
{
    if (depth > CJXMLNode::kMaxDepth) {
        return Outcome::Fail(NextPosition(), "elements are nested deeper than 256 levels");
    }
    WCHAR name[kSize] = {};
    std::string note;
    int32_t notePosition = 0;
    bool hadComment = false;
    Outcome start = StartTag(name, &note, &notePosition, &hadComment);
    if (start.kind == Outcome::kNoTag && hadComment) {
        // Still the end of a list of children, but the reason when the
        // list turns out empty: a comment alone is not content.
        start.problem = NoStartTag(NextPosition(), true).problem;
    }
    if (start.kind != Outcome::kOk) {
        return start;
    }
    Outcome rest = Content(name, depth);
    if (rest.kind == Outcome::kFailed && !note.empty()) {
        return Outcome::Fail(notePosition, note);
    }
    return rest;
}

XmlDiagnosis::Outcome XmlDiagnosis::Content(const WCHAR* name, int32_t depth)
{
    const int32_t position = NextPosition();
    const WCHAR c = m_cursor.NextNonSpace();
    if (c == '/') {
        const int32_t closePosition = NextPosition();
        if (m_cursor.NextNonSpace() == '>') {
            return Outcome::Ok();
        }
        return Outcome::Fail(closePosition, "expected '>' after '/' to end the empty element " + Tag(name));
    }
    if (c != '>') {
        return Outcome::Fail(position, c == 0 ? "the file ends inside the start tag of " + Tag(name)
                                              : "expected '>' or \"/>\" to end the start tag of " + Tag(name));
    }
    m_cursor.SavePosition();
    const int32_t endPosition = NextPosition();
    if (CJXMLNode::ReadEndTagOpening(m_cursor)) {
        return EndTag(name, endPosition);
    }
    m_cursor.RestorePosition();
    m_cursor.SavePosition();
    const WCHAR peek = m_cursor.NextNonSpace();
    m_cursor.RestorePosition();
    return peek == '<' ? Children(name, depth) : Text(name);
}

XmlDiagnosis::Outcome XmlDiagnosis::Text(const WCHAR* name)
{
    WCHAR text[kSize];
    const int32_t start = m_cursor.GetPosition();
    if (m_cursor.ReadValue(text, kSize) == 0) {
        return EndTagOpening(name, false);
    }
    const int32_t stop = m_cursor.GetPosition();
    const int32_t next = NextPosition();
    if (stop - start >= kMaxToken && next < m_cursor.GetLength() && m_cursor.GetText()[next] != '<' &&
        !IsQuote(m_cursor.GetText()[next]) && m_cursor.GetText()[next] != '>') {
        return Outcome::Fail(stop, "the text of " + Tag(name) + " is longer than 259 characters");
    }
    return EndTagOpening(name, false);
}

XmlDiagnosis::Outcome XmlDiagnosis::Children(const WCHAR* name, int32_t depth)
{
    int32_t count = 0;
    Outcome broken = Outcome::Ok();
    bool weak = false; // a comment without an element: an error only in an empty list
    for (;;) {
        Outcome child = Element(depth + 1);
        if (child.kind == Outcome::kOk) {
            ++count;
            continue;
        }
        if (child.kind == Outcome::kFailed) {
            broken = child;
        } else if (!child.problem.reason.empty()) {
            broken = Outcome::Fail(child.problem.offset, child.problem.reason);
            weak = true;
        }
        break;
    }
    if (count == 0 && broken.kind == Outcome::kFailed) {
        return broken;
    }
    if (count == 0) {
        return NoStartTag(NextPosition(), false);
    }
    Outcome end = EndTagOpening(name, true);
    if (end.kind == Outcome::kFailed && broken.kind == Outcome::kFailed && !weak) {
        return broken; // the child that broke off the list is the cause
    }
    return end;
}

XmlDiagnosis::Outcome XmlDiagnosis::EndTagOpening(const WCHAR* name, bool hadChildren)
{
    const int32_t position = NextPosition();
    const WCHAR first = m_cursor.NextNonSpace();
    const WCHAR second = m_cursor.NextNonSpace();
    if (first == '<' && second == '/') {
        return EndTag(name, position);
    }
    if (IsQuote(first)) {
        return Outcome::Fail(position, "text may not contain a quote character");
    }
    if (first == '>') {
        return Outcome::Fail(position, "text may not contain '>'");
    }
    if (first == 0) {
        return Outcome::Fail(position, "the file ends inside " + Tag(name) + ": expected its end tag " +
                                           EndTagText(name));
    }
    if (first == '<' && !hadChildren) {
        return Outcome::Fail(position, "an element holds either text or child elements, not both");
    }
    if (first == '<') {
        return NoStartTag(position, false);
    }
    if (hadChildren) {
        return Outcome::Fail(position, "an element holds either text or child elements, not both");
    }
    return Outcome::Fail(position, "the text of " + Tag(name) + " is longer than 259 characters");
}

XmlDiagnosis::Outcome XmlDiagnosis::EndTag(const WCHAR* name, int32_t tagPosition)
{
    WCHAR endName[kSize];
    const int32_t namePosition = NextPosition();
    if (m_cursor.ReadName(endName, kSize) == 0) {
        return Outcome::Fail(namePosition, "expected the name " + kvorxml::ToUtf8(name) + " after \"</\"");
    }
    if (kvor::_wcsicmp(endName, name) != 0) {
        return Outcome::Fail(tagPosition, "end tag " + EndTagText(endName) + " does not match start tag " + Tag(name));
    }
    const int32_t closePosition = NextPosition();
    if (m_cursor.NextNonSpace() != '>') {
        return Outcome::Fail(closePosition, "expected '>' to end the end tag " + EndTagText(endName));
    }
    return Outcome::Ok();
}
