// ElementReader: the element parser. A recursive-descent reader of a small,
// lenient XML in which every element is read into its node from one shared
// cursor: start tag, attributes, then text or child elements, end tag.
// Each step answers 1 (or 0 where noted) or -1 and leaves the cursor where
// it stopped; a failed child ends its parent's list of children there, and
// the parent goes on from that point. Why an element failed, and what a
// successful read left out, goes to the report when there is one.
#ifndef KVOR_ELEMENT_READER_H
#define KVOR_ELEMENT_READER_H

#include "kvor/dom/JXMLNode.h"
#include "kvor/reader/ReadReport.h"
#include "kvor/reader/XmlCursor.h"

class ElementReader {
public:
    // report may be null.
    ElementReader(XmlCursor& cursor, ReadReport* report) : m_cursor(cursor), m_report(report) {}

    // Reads one element, and everything below it, into node (an empty
    // node). 1 when it parsed completely, else 0; Failure() then says why.
    int32_t ReadElement(CJXMLNode& node);
    const ReadEvent& Failure() const { return m_failure; }

    // After "<?": the rest of the XML declaration. 0 accepted, -1 not.
    int32_t ParseXmlDeclaration();

    // Single steps. SkipComment: 1 no comment or one skipped, -1 never
    // closed. ParseStartTag: 1 or -1. ParseAttribute: 1 a pair read, 0 no
    // attribute here, -1 a malformed pair.
    int32_t SkipComment();
    int32_t ParseStartTag(CJXMLNode& node);
    int32_t ParseAttribute(WCHAR* name, WCHAR* value, int32_t size);

private:
    // How a child's attempt ended: the start tag found no element there
    // (which ends a list of children), or the element failed.
    enum class Outcome { kRead, kNoElement, kFailed };

    // nameOffset: where the element's name begins, for the reasons that name it.
    Outcome Read(CJXMLNode& node, int32_t depth);
    Outcome ReadBody(CJXMLNode& node, int32_t depth, int32_t nameOffset);
    int32_t ParseContent(CJXMLNode& node, int32_t depth, int32_t nameOffset);
    int32_t ParseText(CJXMLNode& node, int32_t nameOffset);
    int32_t ParseChildren(CJXMLNode& node, int32_t depth);
    int32_t ParseEndTag(CJXMLNode& node, int32_t nameOffset);
    // Reads two characters; true when they are "<" and "/". Otherwise the
    // failure says what stood there instead.
    bool ReadEndTagOpening(bool afterChildren, int32_t nameOffset);
    void NoElementHere();
    void OutOfMemory(int32_t offset);
    void Drop(ReadLoss loss, const ReadEvent& cause);

    void Fail(ReadProblem problem, int32_t offset, int32_t nameOffset = -1);
    void Fail(const ReadEvent& event);
    // Where the character just read by NextNonSpace stood (the end of the
    // text when it gave 0).
    int32_t Before(WCHAR c) const { return c != 0 ? m_cursor.GetPosition() - 1 : m_cursor.GetPosition(); }

    XmlCursor& m_cursor;
    ReadReport* m_report;
    ReadEvent m_failure;
    // Set by ParseStartTag for the element it read.
    int32_t m_nameOffset = -1;
    bool m_noElement = false;   // it found no element there (not a failed one)
    bool m_afterComment = false;
    bool m_nameCut = false;
    ReadEvent m_startTagNote;   // the likeliest cause, should the element fail
    ReadEvent m_attributeBreak; // the pair that ended the attributes early
    // Set by ReadEndTagOpening: where its "<" stood.
    int32_t m_endTagOffset = -1;
    // A child that broke off its parent's list, for the parent's verdict.
    ReadEvent m_brokenChild;
    bool m_tooDeep = false;
    bool m_outOfMemory = false;
};

#endif // KVOR_ELEMENT_READER_H
