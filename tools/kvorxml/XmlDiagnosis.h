// Why a document does not load: the reader's walk replayed over the same
// text, stopping at the first point that makes the load fail, with the
// reason in the reader's terms. It never decides whether a document loads:
// only a load that the library itself refused is replayed.
#ifndef KVORXML_XML_DIAGNOSIS_H
#define KVORXML_XML_DIAGNOSIS_H

#include <string>

#include "kvor/platform/kvorPlatform.h"

class XmlCursor;

struct XmlProblem {
    int32_t offset = 0; // in characters of the decoded text
    std::string reason; // UTF-8
};

class XmlDiagnosis {
public:
    // The first problem in text; the reason is empty when the replay
    // finds none (the load then failed for want of memory, not syntax).
    static XmlProblem Diagnose(const WCHAR* text, int32_t length);

private:
    struct Outcome;
    explicit XmlDiagnosis(XmlCursor& cursor) : m_cursor(cursor) {}

    Outcome Prolog();
    Outcome Element(int32_t depth);
    Outcome StartTag(WCHAR* name, std::string* note, int32_t* notePosition, bool* hadComment);
    int32_t Attribute(std::string* reason, int32_t* position);
    Outcome Content(const WCHAR* name, int32_t depth);
    Outcome Text(const WCHAR* name);
    Outcome Children(const WCHAR* name, int32_t depth);
    Outcome EndTagOpening(const WCHAR* name, bool hadChildren);
    Outcome EndTag(const WCHAR* name, int32_t tagPosition);
    // Why no element starts at position (the cursor is left where it was).
    Outcome NoStartTag(int32_t position, bool afterComment);
    Outcome NoStartTagAt(int32_t position, bool afterComment);
    int32_t NextPosition();

    XmlCursor& m_cursor;
};

#endif // KVORXML_XML_DIAGNOSIS_H
