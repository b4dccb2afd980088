#include "kvor/reader/ElementReader.h"

#include "kvor/dom/NodeAccess.h"

namespace {

const WCHAR kOpen = KVOR_TEXT('<');
const WCHAR kClose = KVOR_TEXT('>');
const WCHAR kSlash = KVOR_TEXT('/');
const WCHAR kEquals = KVOR_TEXT('=');
const WCHAR kQuestion = KVOR_TEXT('?');
const WCHAR kDash = KVOR_TEXT('-');
const int32_t kSize = CJXMLNode::kNameCapacity;

bool IsQuote(WCHAR c)
{
    return c == KVOR_TEXT('"') || c == KVOR_TEXT('\'');
}

bool StartsWith(const WCHAR* text, const char* prefix, bool foldCase)
{
    for (; *prefix != 0; ++text, ++prefix) {
        WCHAR c = *text;
        if (foldCase && c >= KVOR_TEXT('a') && c <= KVOR_TEXT('z')) {
            c = static_cast<WCHAR>(c - KVOR_TEXT('a') + KVOR_TEXT('A'));
        }
        if (c != static_cast<WCHAR>(*prefix)) {
            return false;
        }
    }
    return true;
}

// Markup the reader does not read, which it takes for an element of that
// name: such an element fails, and this is the better reason.
ReadProblem MarkupNamed(const WCHAR* name)
{
    if (name[0] != KVOR_TEXT('!')) {
        return ReadProblem::kNone;
    }
    if (StartsWith(name, "!--", false)) {
        return ReadProblem::kSecondComment;
    }
    if (StartsWith(name, "![CDATA[", false)) {
        return ReadProblem::kCdata;
    }
    return StartsWith(name, "!DOCTYPE", true) ? ReadProblem::kDoctype : ReadProblem::kNone;
}

} // namespace

CJXMLNode::CJXMLNode(XmlCursor& cursor, int32_t& success) : CJXMLNode(static_cast<const WCHAR*>(nullptr))
{
    success = ElementReader(cursor, nullptr).ReadElement(*this);
}

int32_t ElementReader::ReadElement(CJXMLNode& node)
{
    return Read(node, 1) == Outcome::kRead ? 1 : 0;
}

// Running out of memory and going past the depth bound decide the load:
// whatever fails after them fails because of them.
void ElementReader::Fail(const ReadEvent& event)
{
    if (!m_outOfMemory && !m_tooDeep) {
        m_failure = event;
    }
}

void ElementReader::Fail(ReadProblem problem, int32_t offset, int32_t nameOffset)
{
    ReadEvent event;
    event.problem = problem;
    event.offset = offset;
    event.nameOffset = nameOffset;
    Fail(event);
}

void ElementReader::OutOfMemory(int32_t offset)
{
    Fail(ReadProblem::kOutOfMemory, offset);
    m_outOfMemory = true;
}

void ElementReader::Drop(ReadLoss loss, const ReadEvent& cause)
{
    if (m_report != nullptr) {
        m_report->Drop(loss, cause);
    }
}

ElementReader::Outcome ElementReader::Read(CJXMLNode& node, int32_t depth)
{
    if (ParseStartTag(node) != 1) {
        return m_noElement ? Outcome::kNoElement : Outcome::kFailed;
    }
    const int32_t nameOffset = m_nameOffset;
    // Every level costs a few hundred bytes of stack; 256 levels stay well
    // inside the smallest default thread stack we run on (1 MB on Windows,
    // sanitizer builds included). A start tag below that makes the document
    // deeper than the bound, and the load fails whatever follows; anything
    // else that stands there fails as it would at any depth.
    if (depth > CJXMLNode::kMaxDepth) {
        Fail(ReadProblem::kTooDeep, nameOffset - 1);
        m_tooDeep = true;
        return Outcome::kFailed;
    }
    const ReadEvent note = m_startTagNote;
    const ReadEvent attributeBreak = m_attributeBreak;
    const bool nameCut = m_nameCut;
    if (ReadBody(node, depth, nameOffset) != Outcome::kRead) {
        if (note.problem != ReadProblem::kNone) {
            Fail(note);
        }
        return Outcome::kFailed;
    }
    if (attributeBreak.problem != ReadProblem::kNone) {
        Drop(ReadLoss::kAttributes, attributeBreak);
    }
    if (nameCut) {
        ReadEvent cut;
        cut.problem = ReadProblem::kElementNameTooLong;
        cut.offset = nameOffset;
        Drop(ReadLoss::kNameCut, cut);
    }
    return Outcome::kRead;
}

ElementReader::Outcome ElementReader::ReadBody(CJXMLNode& node, int32_t depth, int32_t nameOffset)
{
    m_brokenChild = ReadEvent();
    const WCHAR c = m_cursor.NextNonSpace();
    if (c == kSlash) {
        const WCHAR close = m_cursor.NextNonSpace();
        if (close == kClose) {
            return Outcome::kRead;
        }
        Fail(ReadProblem::kEmptyElementEnd, Before(close), nameOffset);
        return Outcome::kFailed;
    }
    if (c != kClose) {
        Fail(c == 0 ? ReadProblem::kEndsInStartTag : ReadProblem::kStartTagEnd, Before(c), nameOffset);
        return Outcome::kFailed;
    }
    m_cursor.SavePosition();
    if (!ReadEndTagOpening(false, nameOffset)) {
        m_cursor.RestorePosition();
        if (ParseContent(node, depth, nameOffset) != 1) {
            return Outcome::kFailed;
        }
        const ReadEvent broken = m_brokenChild;
        if (!ReadEndTagOpening(NodeAccess::Children(node).count > 0, nameOffset)) {
            if (broken.problem != ReadProblem::kNone) {
                Fail(broken); // the child that broke off the list is the cause
            }
            return Outcome::kFailed;
        }
        if (ParseEndTag(node, nameOffset) != 1) {
            return Outcome::kFailed;
        }
        if (broken.problem != ReadProblem::kNone) {
            Drop(ReadLoss::kElement, broken);
        }
        return Outcome::kRead;
    }
    return ParseEndTag(node, nameOffset) == 1 ? Outcome::kRead : Outcome::kFailed;
}

bool ElementReader::ReadEndTagOpening(bool afterChildren, int32_t nameOffset)
{
    // Both characters are read whatever the first one is: a failing element
    // leaves the cursor after them, and its parent goes on from there.
    const WCHAR first = m_cursor.NextNonSpace();
    m_endTagOffset = Before(first);
    const WCHAR second = m_cursor.NextNonSpace();
    if (first == kOpen && second == kSlash) {
        return true;
    }
    Fail(afterChildren ? ReadProblem::kNoEndTagAfterChildren : ReadProblem::kNoEndTag, m_endTagOffset, nameOffset);
    return false;
}

int32_t ElementReader::SkipComment()
{
    static const WCHAR kOpening[4] = {kOpen, KVOR_TEXT('!'), kDash, kDash};
    m_cursor.SavePosition();
    int32_t open = -1;
    for (WCHAR expected : kOpening) {
        const WCHAR c = m_cursor.NextNonSpace();
        if (c != expected) {
            m_cursor.RestorePosition();
            return 1; // no comment here; nothing consumed
        }
        if (open < 0) {
            open = Before(c);
        }
    }
    // A character that breaks a partial "-->" is not looked at again as the
    // start of a new one, so "--->" does not close the comment.
    for (;;) {
        WCHAR c = m_cursor.NextNonSpace();
        if (c == kDash) {
            c = m_cursor.NextNonSpace();
            if (c == kDash) {
                c = m_cursor.NextNonSpace();
                if (c == kClose) {
                    return 1;
                }
            }
        }
        if (c == 0) {
            Fail(ReadProblem::kCommentNotClosed, open);
            return -1;
        }
    }
}

void ElementReader::NoElementHere()
{
    m_noElement = true;
    Fail(m_afterComment ? ReadProblem::kNoElementAfterComment : ReadProblem::kNoElement, m_cursor.GetPosition());
}

int32_t ElementReader::ParseStartTag(CJXMLNode& node)
{
    m_noElement = false;
    const int32_t beforeComment = m_cursor.GetPosition();
    if (SkipComment() != 1) {
        return -1; // the cursor is at the end of the text
    }
    m_afterComment = m_cursor.GetPosition() != beforeComment;
    m_cursor.SavePosition();
    if (m_cursor.NextNonSpace() != kOpen) {
        m_cursor.RestorePosition();
        NoElementHere();
        return -1;
    }
    m_nameOffset = m_cursor.GetPosition();
    WCHAR* name = NodeAccess::Name(node);
    if (m_cursor.ReadName(name, kSize) == 0) {
        m_cursor.RestorePosition(); // back before the "<", as before "</" at a parent's end
        NoElementHere();
        return -1;
    }
    m_nameCut = m_cursor.LastTokenCut();
    m_startTagNote = ReadEvent();
    m_attributeBreak = ReadEvent();
    const ReadProblem markup = MarkupNamed(name);
    if (markup != ReadProblem::kNone || m_nameCut) {
        m_startTagNote.problem = m_nameCut ? ReadProblem::kElementNameTooLong : markup;
        m_startTagNote.offset = m_nameOffset - 1;
    }
    WCHAR key[kSize];
    WCHAR value[kSize];
    CKeyValueTable& attributes = NodeAccess::Attributes(node);
    int32_t pair = m_cursor.GetPosition();
    int32_t result = 0;
    while ((result = ParseAttribute(key, value, kSize)) == 1) {
        const int32_t before = attributes.GetCount();
        if (attributes.Add(key, value, 0) <= before && attributes.HasStorage()) {
            ReadEvent lost;
            lost.problem = ReadProblem::kOutOfMemory;
            lost.offset = pair;
            Drop(ReadLoss::kMemory, lost);
        }
        pair = m_cursor.GetPosition();
    }
    // A malformed pair ends the attributes; the element goes on from where
    // the pair broke off.
    if (result == -1) {
        m_attributeBreak = m_failure;
        if (m_startTagNote.problem == ReadProblem::kNone) {
            m_startTagNote = m_failure;
        }
    }
    return 1;
}

int32_t ElementReader::ParseAttribute(WCHAR* name, WCHAR* value, int32_t size)
{
    const int32_t start = m_cursor.GetPosition();
    if (m_cursor.ReadName(name, size) == 0) {
        return 0;
    }
    const bool nameCut = m_cursor.LastTokenCut();
    WCHAR c = m_cursor.NextNonSpace();
    if (c != kEquals) {
        Fail(nameCut ? ReadProblem::kNameTooLong : c == 0 ? ReadProblem::kEndsInStartTag
                                                          : ReadProblem::kAttributeWithoutValue,
             Before(c), start);
        return -1;
    }
    c = m_cursor.NextNonSpace();
    if (!IsQuote(c)) {
        Fail(ReadProblem::kValueNotQuoted, Before(c), start);
        return -1;
    }
    m_cursor.ReadValue(value, size); // an empty value is a value
    const bool valueCut = m_cursor.LastTokenCut();
    // Either quote closes, whichever one opened.
    c = m_cursor.NextNonSpace();
    if (!IsQuote(c)) {
        Fail(c == kOpen || c == kClose ? ReadProblem::kValueWithMarkup
             : valueCut                ? ReadProblem::kValueTooLong
                                       : ReadProblem::kValueNotClosed,
             Before(c), start);
        return -1;
    }
    m_cursor.SavePosition();
    return 1;
}

int32_t ElementReader::ParseContent(CJXMLNode& node, int32_t depth, int32_t nameOffset)
{
    m_cursor.SavePosition();
    const WCHAR c = m_cursor.NextNonSpace();
    m_cursor.RestorePosition();
    return c == kOpen ? ParseChildren(node, depth) : ParseText(node, nameOffset);
}

int32_t ElementReader::ParseText(CJXMLNode& node, int32_t nameOffset)
{
    WCHAR*& content = NodeAccess::Content(node);
    if (content == nullptr) {
        content = kvor::AllocateArray<WCHAR>(kSize);
        if (content == nullptr) {
            OutOfMemory(m_cursor.GetPosition());
            return 1; // the text stays ahead and fails the end-tag check
        }
    }
    if (m_cursor.ReadValue(content, kSize) == 0) {
        Fail(ReadProblem::kNoEndTag, m_cursor.GetPosition(), nameOffset);
        return -1;
    }
    return 1;
}

int32_t ElementReader::ParseChildren(CJXMLNode& node, int32_t depth)
{
    // Ends normally at the parent's "</": the next child's start tag then
    // has an empty name, fails and gives the "<" back.
    CXmlNodeList& children = NodeAccess::Children(node);
    Outcome outcome = Outcome::kRead;
    while (outcome == Outcome::kRead) {
        const int32_t start = m_cursor.GetPosition();
        const int32_t drops = m_report != nullptr ? m_report->dropCount : 0;
        CJXMLNode* child = kvor::New<CJXMLNode>(static_cast<const WCHAR*>(nullptr));
        if (child == nullptr) {
            OutOfMemory(start);
            break;
        }
        outcome = Read(*child, depth + 1);
        if (outcome != Outcome::kRead) {
            delete child;
            if (m_report != nullptr) {
                m_report->dropCount = drops; // what the child lost went with it
            }
            break;
        }
        const int32_t before = children.count;
        children.Append(child);
        if (children.count == before) {
            // No link for it: drop the child and put its text back ahead, so
            // this element fails as when the node itself cannot be had.
            delete child;
            m_cursor.SetPosition(start);
            OutOfMemory(start);
            break;
        }
    }
    if (m_tooDeep || children.count == 0) {
        return -1;
    }
    m_brokenChild = outcome == Outcome::kFailed ? m_failure : ReadEvent();
    return 1;
}

int32_t ElementReader::ParseEndTag(CJXMLNode& node, int32_t nameOffset)
{
    WCHAR name[kSize];
    const int32_t start = m_cursor.GetPosition();
    if (m_cursor.ReadName(name, kSize) == 0) {
        Fail(ReadProblem::kEndTagName, start, nameOffset);
        return -1;
    }
    if (kvor::_wcsicmp(name, NodeAccess::Name(node)) != 0) {
        Fail(ReadProblem::kEndTagMismatch, m_endTagOffset, nameOffset);
        return -1;
    }
    const WCHAR c = m_cursor.NextNonSpace();
    if (c != kClose) {
        Fail(ReadProblem::kEndTagClose, Before(c), start);
        return -1;
    }
    return 1;
}

int32_t ElementReader::ParseXmlDeclaration()
{
    WCHAR name[kSize];
    WCHAR value[kSize];
    const int32_t start = m_cursor.GetPosition();
    if (m_cursor.ReadName(name, kSize) == 0 || kvor::_wcsicmp(name, KVOR_TEXT("xml")) != 0) {
        Fail(ReadProblem::kDeclarationName, start);
        return -1;
    }
    // version, encoding and the rest are read and not looked at.
    int32_t result = 0;
    while ((result = ParseAttribute(name, value, kSize)) == 1) {
    }
    if (result == -1) {
        return -1;
    }
    const WCHAR c = m_cursor.NextNonSpace();
    const int32_t end = Before(c);
    if (c != kQuestion || m_cursor.NextNonSpace() != kClose) {
        Fail(ReadProblem::kDeclarationEnd, end);
        return -1;
    }
    m_cursor.SavePosition();
    return 0;
}
