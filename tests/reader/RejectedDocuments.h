// Documents the reader refuses, with where and why it stops, and documents
// it loads while leaving something out, for the reader's own report.
#ifndef KVOR_TEST_REJECTED_DOCUMENTS_H
#define KVOR_TEST_REJECTED_DOCUMENTS_H

#include <ostream>
#include <string>

namespace kvortest {

// depth levels of <e>, with innermost inside the deepest.
inline std::string Nested(size_t depth, const std::string& innermost = "")
{
    std::string open, close;
    for (size_t i = 0; i < depth; ++i) {
        open += "<e>";
        close += "</e>";
    }
    return open + innermost + close;
}

struct ReadCase {
    const char* name;
    std::string document;
    int line;           // where the reader stopped (refused) or what was
    int column;         // left out (loaded), counting from 1
    const char* reason; // a part of the reason that names the fault
};
inline void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

// Documents the reader refuses, with where and why it stops.
const ReadCase kRefusedDocuments[] = {
    {"QuoteInText", "<r>\n  <a>it's</a>\n</r>", 2, 8, "text may not contain a quote character"},
    {"DoubleQuoteInText", "<a>say \"hi\"</a>", 1, 8, "text may not contain a quote character"},
    {"TextAfterChild", "<r>\n  <a/>text</r>", 2, 7, "either text or child elements, not both"},
    {"ChildAfterText", "<r>text<a/></r>", 1, 8, "either text or child elements, not both"},
    {"Cdata", "<r>\n<a><![CDATA[x]]></a></r>", 2, 4, "CDATA sections are not supported"},
    {"Doctype", "<?xml version='1.0'?>\n<!DOCTYPE r>\n<r/>", 2, 1, "document type declarations"},
    {"UnclosedComment", "<r>\n  <!-- never closed\n  <a/>\n</r>", 2, 3, "comment is not closed"},
    {"EndTagMismatch", "<r>\n  <a></b>\n</r>", 2, 6, "end tag </b> does not match start tag <a>"},
    {"TwoCommentsInARow", "<!--1-->\n<!--2-->\n<a/>", 2, 1, "only one comment"},
    {"AttributeWithoutValue", "<r>\n  <a b/>\n</r>", 2, 7, "attribute \"b\" has no value"},
    {"UnquotedValue", "<a b=12/>", 1, 6, "must be quoted"},
    {"AngleBracketInValue", "<a b='x>y'/>", 1, 8, "may not contain '<' or '>'"},
    {"GreaterThanInText", "<a>x > y</a>", 1, 6, "text may not contain '>'"},
    {"CommentAlone", "<a><!-- c --></a>", 1, 14, "a comment alone is not content"},
    {"CommentBeforeText", "<a><!-- c -->text</a>", 1, 14, "expected the start tag of an element"},
    {"InstructionAmongChildren", "<r><a/><?pi?></r>", 1, 8, "processing instructions"},
    {"BrokenChildIsTheCause", "<r><a/><b x/><c/></r>", 1, 12, "attribute \"x\" has no value"},
    {"ProcessingInstruction", "<?xml version='1.0'?><?pi x?><a/>", 1, 22, "processing instructions"},
    {"CommentBeforeDeclaration", "<!-- c --><?xml version='1.0'?><a/>", 1, 11, "processing instructions"},
    {"DeclarationWithoutQuestionMark", "<?xml version='1.0'><a/>", 1, 20, "\"?>\""},
    {"NotXml", "hello", 1, 1, "expected '<'"},
    {"WhiteSpaceOnly", " \n ", 2, 2, "holds no element"},
    {"DeclarationOnly", "<?xml version='1.0'?>\n", 2, 1, "ends where an element was expected"},
    {"FileEndsInside", "<a>\n<b/>", 2, 5, "expected its end tag </a>"},
    {"FileEndsInStartTag", "<a x='1'", 1, 9, "ends inside the start tag of <a>"},
    {"EndTagNotClosed", "<a></a", 1, 7, "expected '>'"},
    {"EmptyElementNotClosed", "<a/ x", 1, 5, "expected '>' after '/'"},
    {"LongElementName", "<" + std::string(300, 'n') + "/>", 1, 1, "element name is longer than 259"},
    {"LongText", "<a>" + std::string(259, 'x') + "yy</a>", 1, 263, "longer than 259 characters"},
    {"LongValue", "<a b='" + std::string(259, 'x') + "yy'/>", 1, 266, "is longer than 259 characters"},
    {"TooDeep", Nested(257), 1, 769, "nested deeper than 256 levels"},
    // Encodings the reader does not take: the first bytes say why, not the
    // syntax error the misread text runs into.
    {"Utf8ByteOrderMark", "\xEF\xBB\xBF<a/>", 1, 1, "the UTF-8 byte-order mark"},
    {"Utf16WithoutMark", std::string("<\0a\0/\0>\0", 8), 1, 1, "UTF-16 without a byte-order mark"},
    {"Utf16BigEndian", std::string("\xFE\xFF\0<\0a\0/\0>", 10), 1, 1, "big-endian UTF-16"},
    {"Utf16BigEndianWithoutMark", std::string("\0<\0a\0/\0>", 8), 1, 1, "big-endian UTF-16"},
};

// Documents that load, with the first thing they leave out.
const ReadCase kLossyDocuments[] = {
    {"UnquotedAttribute", "<b x=1/>", 1, 6, "ones after it in the start tag are left out"},
    {"BrokenChildBeforeEndTag", "<r>\n <a/>\n <b=</r>", 3, 4, "this element is left out"},
    {"ContentAfterRoot", "<a/>\ntrailing <rubbish", 2, 1, "nothing after the root element is read"},
    {"LongElementName", "<" + std::string(300, 'n') + "='v'/>", 1, 2, "element name is cut after 259"},
    // UTF-16 "<a/>" and one byte more: the byte is no character, nor content after the root.
    {"OddByteAfterUtf16", std::string("\xFF\xFE<\0a\0/\0>\0x", 11), 1, 5, "an odd one, is left out"},
};

} // namespace kvortest

#endif
