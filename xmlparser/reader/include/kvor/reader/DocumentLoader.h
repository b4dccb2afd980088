// Loading a document: a file's bytes become text (UTF-16 after the
// byte-order mark, read in place; anything else converted from the ANSI
// code page), then the optional declaration and the root element with
// everything below it. CJXMLNode::CreateRootNodeFromFile is these steps
// over a file; the library's own tools take them one by one.
#ifndef KVOR_DOCUMENT_LOADER_H
#define KVOR_DOCUMENT_LOADER_H

#include "kvor/platform/kvorPlatform.h"
#include "kvor/reader/ReadReport.h"
#include "kvorXMLParser.h"

class DocumentText {
public:
    DocumentText() = default;
    ~DocumentText() { kvor::Release(m_block); }
    DocumentText(const DocumentText&) = delete;
    DocumentText& operator=(const DocumentText&) = delete;

    // Takes over bytes, a block from kvor::Allocate holding count bytes
    // (count > 0). False, the bytes released, when the text cannot be had.
    bool Decode(unsigned char* bytes, uint32_t count);

    const WCHAR* Text() const { return m_text; }
    int32_t Length() const { return m_length; }
    // A UTF-16 file of odd length: its last byte is not part of the text.
    bool DroppedOddByte() const { return m_oddByte; }
    // What the first bytes show when they are in an encoding the reader
    // does not take (kNone otherwise): a document in it cannot be read.
    ReadProblem EncodingMistake() const { return m_encodingMistake; }

private:
    void* m_block = nullptr;
    const WCHAR* m_text = nullptr;
    int32_t m_length = 0;
    bool m_oddByte = false;
    ReadProblem m_encodingMistake = ReadProblem::kNone;
};

// 1 with *root set (the caller's to destroy) when the text holds a
// complete root element, else 0. report, which may be null, says why not,
// or what a successful load left out.
uint32_t ParseDocument(const DocumentText& text, IXmlNode** root, ReadReport* report);

// The same from a file: CreateRootNodeFromFile with a report.
uint32_t LoadDocumentFile(const WCHAR* path, IXmlNode** root, ReadReport* report);

#endif // KVOR_DOCUMENT_LOADER_H
