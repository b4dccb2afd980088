// The parsing constructor of CJXMLNode and its steps: a recursive-descent
// reader of a small, lenient XML in which every element builds itself from
// the shared cursor.
#include "kvor/dom/JXMLNode.h"
#include "kvor/reader/XmlCursor.h"

namespace {

const WCHAR kOpen = KVOR_TEXT('<');
const WCHAR kClose = KVOR_TEXT('>');
const WCHAR kSlash = KVOR_TEXT('/');
const WCHAR kEquals = KVOR_TEXT('=');
const WCHAR kQuestion = KVOR_TEXT('?');
const WCHAR kDash = KVOR_TEXT('-');

bool IsQuote(WCHAR c)
{
    return c == KVOR_TEXT('"') || c == KVOR_TEXT('\'');
}

} // namespace

CJXMLNode::CJXMLNode(XmlCursor& cursor, int32_t& success) : CJXMLNode(cursor, success, 1) {}

CJXMLNode::CJXMLNode(XmlCursor& cursor, int32_t& success, int32_t depth)
    : m_childCursor(nullptr), m_content(nullptr) // the name is filled by the start tag
{
    InitializeEmpty();
    Parse(cursor, success, depth);
}

void CJXMLNode::Parse(XmlCursor& cursor, int32_t& success, int32_t depth)
{
    success = 0;
    // Every level costs a few hundred bytes of stack (constructor, Parse,
    // ParseContent, ParseChildren; the token buffers live in the steps that
    // return before the recursion). 256 levels stay well inside the smallest
    // default thread stack we run on (1 MB on Windows, sanitizer builds
    // included). A deeper element fails like any child that does not parse,
    // so the failure travels up through each parent's end-tag check.
    if (depth > kMaxDepth) {
        return;
    }
    if (ParseStartTag(cursor) != 1) {
        return;
    }
    const WCHAR c = cursor.NextNonSpace();
    if (c == kSlash) {
        success = cursor.NextNonSpace() == kClose ? 1 : 0;
        return;
    }
    if (c != kClose) {
        return;
    }
    cursor.SavePosition();
    if (!ReadEndTagOpening(cursor)) {
        cursor.RestorePosition();
        if (ParseContent(cursor, depth) != 1 || !ReadEndTagOpening(cursor)) {
            return;
        }
    }
    success = ParseEndTag(cursor) == 1 ? 1 : 0;
}

bool CJXMLNode::ReadEndTagOpening(XmlCursor& cursor)
{
    // Both characters are read whatever the first one is: a failing element
    // leaves the cursor after them, and its parent goes on from there.
    const WCHAR first = cursor.NextNonSpace();
    const WCHAR second = cursor.NextNonSpace();
    return first == kOpen && second == kSlash;
}

int32_t CJXMLNode::SkipComment(XmlCursor& cursor)
{
    static const WCHAR kOpening[4] = {kOpen, KVOR_TEXT('!'), kDash, kDash};
    cursor.SavePosition();
    for (WCHAR expected : kOpening) {
        if (cursor.NextNonSpace() != expected) {
            cursor.RestorePosition();
            return 1; // no comment here; nothing consumed
        }
    }
    // A character that breaks a partial "-->" is not looked at again as the
    // start of a new one, so "--->" does not close the comment.
    for (;;) {
        WCHAR c = cursor.NextNonSpace();
        if (c == kDash) {
            c = cursor.NextNonSpace();
            if (c == kDash) {
                c = cursor.NextNonSpace();
                if (c == kClose) {
                    return 1;
                }
            }
        }
        if (c == 0) {
            return -1;
        }
    }
}

int32_t CJXMLNode::ParseStartTag(XmlCursor& cursor)
{
    if (SkipComment(cursor) != 1) {
        return -1;
    }
    cursor.SavePosition();
    if (cursor.NextNonSpace() != kOpen) {
        cursor.RestorePosition();
        return -1;
    }
    if (cursor.ReadName(m_name, kNameCapacity) == 0) {
        cursor.RestorePosition(); // back before the "<", as before "</" at a parent's end
        return -1;
    }
    WCHAR name[kNameCapacity];
    WCHAR value[kNameCapacity];
    // A malformed pair ends the attributes; the element goes on from where
    // the pair broke off.
    while (ParseAttribute(cursor, name, value, kNameCapacity) == 1) {
        m_attributes.Add(name, value, 0);
    }
    return 1;
}

int32_t CJXMLNode::ParseAttribute(XmlCursor& cursor, WCHAR* name, WCHAR* value, int32_t size)
{
    if (cursor.ReadName(name, size) == 0) {
        return 0;
    }
    if (cursor.NextNonSpace() != kEquals) {
        return -1;
    }
    if (!IsQuote(cursor.NextNonSpace())) {
        return -1;
    }
    cursor.ReadValue(value, size); // an empty value is a value
    // Either quote closes, whichever one opened.
    if (!IsQuote(cursor.NextNonSpace())) {
        return -1;
    }
    cursor.SavePosition();
    return 1;
}

int32_t CJXMLNode::ParseContent(XmlCursor& cursor, int32_t depth)
{
    cursor.SavePosition();
    const WCHAR c = cursor.NextNonSpace();
    cursor.RestorePosition();
    return c == kOpen ? ParseChildren(cursor, depth) : ParseText(cursor);
}

int32_t CJXMLNode::ParseText(XmlCursor& cursor)
{
    if (m_content == nullptr) {
        m_content = kvor::AllocateArray<WCHAR>(kNameCapacity);
        if (m_content == nullptr) {
            return 1; // the text stays ahead and fails the end-tag check
        }
    }
    return cursor.ReadValue(m_content, kNameCapacity) == 0 ? -1 : 1;
}

int32_t CJXMLNode::ParseChildren(XmlCursor& cursor, int32_t depth)
{
    // Ends normally at the parent's "</": the next child's start tag then
    // has an empty name, fails and gives the "<" back.
    for (;;) {
        const int32_t start = cursor.GetPosition();
        void* memory = kvor::Allocate(sizeof(CJXMLNode));
        if (memory == nullptr) {
            break;
        }
        int32_t success = 0;
        CJXMLNode* child = ::new (memory) CJXMLNode(cursor, success, depth + 1);
        if (success != 1) {
            delete child;
            break;
        }
        const int32_t before = m_children.count;
        m_children.Append(child);
        if (m_children.count == before) {
            // No link for it: drop the child and put its text back ahead, so
            // this element fails as when the node itself cannot be had.
            delete child;
            cursor.SetPosition(start);
            break;
        }
    }
    return m_children.count > 0 ? 1 : -1;
}

int32_t CJXMLNode::ParseEndTag(XmlCursor& cursor)
{
    WCHAR name[kNameCapacity];
    if (cursor.ReadName(name, kNameCapacity) == 0) {
        return -1;
    }
    if (kvor::_wcsicmp(name, m_name) != 0) {
        return -1;
    }
    return cursor.NextNonSpace() == kClose ? 1 : -1;
}

int32_t CJXMLNode::ParseXmlDeclaration(XmlCursor& cursor)
{
    WCHAR name[kNameCapacity];
    WCHAR value[kNameCapacity];
    if (cursor.ReadName(name, kNameCapacity) == 0 || kvor::_wcsicmp(name, KVOR_TEXT("xml")) != 0) {
        return -1;
    }
    // version, encoding and the rest are read and not looked at.
    int32_t result = 0;
    while ((result = ParseAttribute(cursor, name, value, kNameCapacity)) == 1) {
    }
    if (result == -1) {
        return -1;
    }
    if (cursor.NextNonSpace() != kQuestion || cursor.NextNonSpace() != kClose) {
        return -1;
    }
    cursor.SavePosition();
    return 0;
}
