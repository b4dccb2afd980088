#include "kvor/reader/ReadReport.h"

#include "kvor/reader/WhiteSpace.h"

namespace {

const int32_t kNameCapacity = 260; // names are at most 259 characters

struct Reason {
    ReadProblem problem;
    const WCHAR* format; // %s: the name at the event's name offset
};

const Reason kReasons[] = {
    {ReadProblem::kCannotOpen, KVOR_TEXT("the file cannot be opened")},
    {ReadProblem::kEmptyFile, KVOR_TEXT("the file is empty")},
    {ReadProblem::kOutOfMemory, KVOR_TEXT("the reader ran out of memory here")},
    {ReadProblem::kNoElementInFile, KVOR_TEXT("the file holds no element")},
    {ReadProblem::kNoDocumentStart,
     KVOR_TEXT("expected '<': a document begins with its root element or an XML declaration")},
    {ReadProblem::kUtf8ByteOrderMark,
     KVOR_TEXT("the file begins with the UTF-8 byte-order mark (EF BB BF), which the reader does not take: "
               "save it without the mark, or as UTF-16LE with its mark (FF FE)")},
    {ReadProblem::kUtf16WithoutMark,
     KVOR_TEXT("the file's first bytes are UTF-16 without a byte-order mark, which the reader reads as ANSI text: "
               "save it as UTF-16LE with its mark (FF FE)")},
    {ReadProblem::kUtf16BigEndian,
     KVOR_TEXT("the file's first bytes are big-endian UTF-16, which the reader does not take: "
               "save it as UTF-16LE with its mark (FF FE)")},
    {ReadProblem::kDeclarationName, KVOR_TEXT("expected \"xml\" after \"<?\": only an XML declaration may stand here")},
    {ReadProblem::kDeclarationEnd, KVOR_TEXT("expected \"?>\" to end the XML declaration")},
    {ReadProblem::kCommentNotClosed, KVOR_TEXT("the comment is not closed: expected \"-->\" before the end of the file")},
    {ReadProblem::kSecondComment,
     KVOR_TEXT("only one comment may stand before an element: this second comment is read as a start tag")},
    {ReadProblem::kCdata, KVOR_TEXT("CDATA sections are not supported: an element holds plain text")},
    {ReadProblem::kDoctype, KVOR_TEXT("document type declarations are not supported")},
    {ReadProblem::kElementNameTooLong, KVOR_TEXT("an element name is longer than 259 characters")},
    {ReadProblem::kNameTooLong, KVOR_TEXT("a name is longer than 259 characters")},
    {ReadProblem::kAttributeWithoutValue, KVOR_TEXT("attribute \"%s\" has no value: expected '=' after its name")},
    {ReadProblem::kValueNotQuoted, KVOR_TEXT("the value of attribute \"%s\" must be quoted: expected ' or \"")},
    {ReadProblem::kValueWithMarkup, KVOR_TEXT("the value of attribute \"%s\" may not contain '<' or '>'")},
    {ReadProblem::kValueNotClosed, KVOR_TEXT("the value of attribute \"%s\" is not closed")},
    {ReadProblem::kValueTooLong, KVOR_TEXT("the value of attribute \"%s\" is longer than 259 characters")},
    {ReadProblem::kStartTagEnd, KVOR_TEXT("expected '>' or \"/>\" to end the start tag of <%s>")},
    {ReadProblem::kEmptyElementEnd, KVOR_TEXT("expected '>' after '/' to end the empty element <%s>")},
    {ReadProblem::kTooDeep, KVOR_TEXT("elements are nested deeper than 256 levels")},
    {ReadProblem::kEndTagName, KVOR_TEXT("expected the name %s after \"</\"")},
    {ReadProblem::kEndTagMismatch, KVOR_TEXT("end tag </%s> does not match start tag <%s>")},
    {ReadProblem::kEndTagClose, KVOR_TEXT("expected '>' to end the end tag </%s>")},
};

const WCHAR* const kFileEndsInStartTag = KVOR_TEXT("the file ends inside a start tag");
const WCHAR* const kFileEndsInStartTagOf = KVOR_TEXT("the file ends inside the start tag of <%s>");
const WCHAR* const kFileEndsInElement = KVOR_TEXT("the file ends inside <%s>: expected its end tag </%s>");
const WCHAR* const kTextQuote = KVOR_TEXT("text may not contain a quote character");
const WCHAR* const kTextGreater = KVOR_TEXT("text may not contain '>'");
const WCHAR* const kMixed = KVOR_TEXT("an element holds either text or child elements, not both");
const WCHAR* const kTextTooLong = KVOR_TEXT("the text of <%s> is longer than 259 characters");

class TextView {
public:
    TextView(const WCHAR* text, int32_t length) : m_text(text), m_length(length) {}
    WCHAR At(int32_t offset) const { return offset >= 0 && offset < m_length ? m_text[offset] : 0; }
    int32_t SkipSpace(int32_t offset) const
    {
        while (offset >= 0 && offset < m_length && kvor::IsWhiteSpace(m_text[offset])) {
            ++offset;
        }
        return offset;
    }
    // The name that begins at offset (white space skipped), at most 259
    // characters, ending where the reader ends a name.
    void NameAt(int32_t offset, WCHAR* out, int32_t size) const
    {
        int32_t count = 0;
        for (offset = SkipSpace(offset); count < size - 1 && !EndsName(At(offset)); ++offset) {
            out[count++] = m_text[offset];
        }
        out[count] = 0;
    }

private:
    static bool EndsName(WCHAR c)
    {
        return c == 0 || kvor::IsWhiteSpace(c) || c == KVOR_TEXT('=') || c == KVOR_TEXT('"') || c == KVOR_TEXT('/') ||
               c == KVOR_TEXT('<') || c == KVOR_TEXT('>') || c == KVOR_TEXT('?') || c == KVOR_TEXT('\'');
    }

    const WCHAR* m_text;
    int32_t m_length;
};

// Why no element starts at offset (on a character that is not white space).
const WCHAR* NoElementReason(const TextView& text, int32_t offset, bool afterComment)
{
    if (text.At(offset) == 0) {
        return afterComment ? KVOR_TEXT("a comment must be followed by an element")
                            : KVOR_TEXT("the file ends where an element was expected");
    }
    if (text.At(offset) != KVOR_TEXT('<')) {
        return KVOR_TEXT("expected the start tag of an element here");
    }
    const WCHAR next = text.At(text.SkipSpace(offset + 1));
    if (next == KVOR_TEXT('?')) {
        return KVOR_TEXT("processing instructions are not supported; the XML declaration must come first in the file");
    }
    if (next == KVOR_TEXT('/')) {
        return afterComment ? KVOR_TEXT("a comment alone is not content: a comment must be followed by an element")
                            : KVOR_TEXT("an end tag where an element was expected");
    }
    return KVOR_TEXT("expected an element name after '<'");
}

// Why the end tag does not follow an element's content at offset.
const WCHAR* NoEndTagReason(const TextView& text, int32_t offset, bool afterChildren)
{
    const WCHAR first = text.At(offset);
    if (first == KVOR_TEXT('"') || first == KVOR_TEXT('\'')) {
        return kTextQuote;
    }
    if (first == KVOR_TEXT('>')) {
        return kTextGreater;
    }
    if (first == 0) {
        return kFileEndsInElement;
    }
    if (first == KVOR_TEXT('<')) {
        return afterChildren ? NoElementReason(text, offset, false) : kMixed;
    }
    return afterChildren ? kMixed : kTextTooLong;
}

const WCHAR* FormatOf(const ReadEvent& event, const TextView& text)
{
    switch (event.problem) {
    case ReadProblem::kNoElement:
    case ReadProblem::kNoElementAfterComment:
        return NoElementReason(text, event.offset, event.problem == ReadProblem::kNoElementAfterComment);
    case ReadProblem::kNoEndTag:
    case ReadProblem::kNoEndTagAfterChildren:
        return NoEndTagReason(text, event.offset, event.problem == ReadProblem::kNoEndTagAfterChildren);
    case ReadProblem::kEndsInStartTag:
        return event.nameOffset >= 0 ? kFileEndsInStartTagOf : kFileEndsInStartTag;
    default:
        break;
    }
    for (const Reason& reason : kReasons) {
        if (reason.problem == event.problem) {
            return reason.format;
        }
    }
    return KVOR_TEXT("");
}

} // namespace

void ReadReport::Drop(ReadLoss loss, const ReadEvent& cause)
{
    if (dropCount >= 0 && dropCount < kMaxDrops) {
        drops[dropCount].loss = loss;
        drops[dropCount].cause = cause;
    }
    ++dropCount;
}

void ReadReport::Describe(ReadEvent& event, const WCHAR* text, int32_t length, WCHAR* out, size_t size)
{
    const TextView view(text, length);
    if (event.offset >= 0) {
        event.offset = view.SkipSpace(event.offset);
    }
    const WCHAR* format = FormatOf(event, view);
    WCHAR name[kNameCapacity];
    WCHAR other[kNameCapacity];
    view.NameAt(event.nameOffset, name, kNameCapacity);
    if (event.problem == ReadProblem::kEndTagMismatch) {
        // The end tag's own name stands after its "<" and "/".
        const int32_t slash = view.SkipSpace(event.offset + 1);
        view.NameAt(slash + 1, other, kNameCapacity);
        kvor::swprintf(out, size, format, other, name);
        return;
    }
    kvor::swprintf(out, size, format, name, name);
}

const WCHAR* ReadReport::Describe(ReadLoss loss)
{
    switch (loss) {
    case ReadLoss::kAttributes:
        return KVOR_TEXT("this attribute and the ones after it in the start tag are left out");
    case ReadLoss::kElement:
        return KVOR_TEXT("this element is left out, with everything below it");
    case ReadLoss::kNameCut:
        return KVOR_TEXT("the element name is cut after 259 characters; the rest is read as an attribute");
    case ReadLoss::kAfterRoot:
        return KVOR_TEXT("nothing after the root element is read");
    case ReadLoss::kOddByte:
        return KVOR_TEXT("the last byte of the file, an odd one, is left out");
    case ReadLoss::kMemory:
        return KVOR_TEXT("this attribute could not be stored: out of memory");
    }
    return KVOR_TEXT("");
}
