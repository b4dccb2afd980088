// What the reader says about one load: why and where it stopped when the
// document does not load, and what a load that succeeded left out on the
// way. Offsets count characters of the decoded text. It stays inside the
// library and its own tools: the exports and their results do not change.
#ifndef KVOR_READ_REPORT_H
#define KVOR_READ_REPORT_H

#include "kvor/platform/kvorPlatform.h"

enum class ReadProblem : uint8_t {
    kNone,
    // The file and its text
    kCannotOpen,
    kEmptyFile,
    kOutOfMemory,
    kNoElementInFile,
    kNoDocumentStart,
    // A file that failed to load and whose first bytes show an encoding the
    // reader does not take: said instead of the syntax error it led to.
    kUtf8ByteOrderMark,
    kUtf16WithoutMark,
    kUtf16BigEndian,
    // The declaration
    kDeclarationName,
    kDeclarationEnd,
    // Start tags and attributes
    kCommentNotClosed,
    kNoElement,             // refined by Describe from the text there
    kNoElementAfterComment, // the same, after a comment
    kSecondComment,
    kCdata,
    kDoctype,
    kElementNameTooLong,
    kNameTooLong,
    kEndsInStartTag,
    kAttributeWithoutValue,
    kValueNotQuoted,
    kValueWithMarkup,
    kValueNotClosed,
    kValueTooLong,
    kStartTagEnd,
    kEmptyElementEnd,
    kTooDeep,
    // Content and end tags
    kNoEndTag,              // after text, refined by Describe
    kNoEndTagAfterChildren, // after child elements, refined by Describe
    kEndTagName,
    kEndTagMismatch,
    kEndTagClose,
};

// One problem: where the reader stood, and where the name it concerns
// begins (an element's or an attribute's; -1 when none).
struct ReadEvent {
    ReadProblem problem = ReadProblem::kNone;
    int32_t offset = -1;
    int32_t nameOffset = -1;
};

// What a successful load left out.
enum class ReadLoss : uint8_t {
    kAttributes, // a malformed pair and every attribute after it in the tag
    kElement,    // a child that did not parse, with everything below it
    kNameCut,    // a name of more than 259 characters, cut; the rest read on
    kAfterRoot,  // whatever follows the root element
    kOddByte,    // the last byte of a UTF-16 file of odd length
    kMemory,     // an attribute that could not be stored
};

struct ReadDrop {
    ReadLoss loss;
    ReadEvent cause;
};

class ReadReport {
public:
    static const int32_t kMaxDrops = 16;

    // problem kNone when the document loaded.
    ReadEvent failure;
    // Every drop counts; the first kMaxDrops are kept.
    int32_t dropCount = 0;
    ReadDrop drops[kMaxDrops];

    void Fail(const ReadEvent& event) { failure = event; }
    void Drop(ReadLoss loss, const ReadEvent& cause);

    // The reason of an event in words, the names it mentions read from the
    // document's text; the offset moves onto the character it describes.
    static void Describe(ReadEvent& event, const WCHAR* text, int32_t length, WCHAR* out, size_t size);
    static const WCHAR* Describe(ReadLoss loss);
};

#endif // KVOR_READ_REPORT_H
