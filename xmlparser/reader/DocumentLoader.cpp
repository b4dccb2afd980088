// CJXMLNode::CreateRootNodeFromFile: one read of the whole file, the text
// decoded (UTF-16 in place, anything else from the ANSI code page), the
// optional declaration, then the root element and everything below it.
#include "kvor/reader/DocumentLoader.h"

#include "kvor/dom/FileWrapper.h"
#include "kvor/dom/JXMLNode.h"
#include "kvor/reader/ElementReader.h"
#include "kvor/reader/ParserLog.h"
#include "kvor/reader/XmlCursor.h"

namespace {

void Fail(ReadReport* report, ReadProblem problem, int32_t offset)
{
    if (report != nullptr) {
        ReadEvent event;
        event.problem = problem;
        event.offset = offset;
        report->Fail(event);
    }
}

// The whole file in one block; null when nothing could be read.
unsigned char* ReadWholeFile(CFileWrapper& file, uint32_t* count, ReadReport* report)
{
    const uint32_t size = file.GetSize();
    unsigned char* bytes = kvor::AllocateArray<unsigned char>(size);
    if (bytes == nullptr) {
        Fail(report, ReadProblem::kOutOfMemory, 0);
        return nullptr;
    }
    *count = file.ReadBlock(bytes, size);
    if (*count == 0) {
        kvor::Release(bytes);
        Fail(report, ReadProblem::kEmptyFile, 0);
        return nullptr;
    }
    return bytes;
}

bool HasUtf16ByteOrderMark(const unsigned char* bytes, uint32_t count)
{
    return count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

// A mark the reader does not take, or a NUL byte beside the first
// character: UTF-16 without its mark, in either byte order.
ReadProblem EncodingMistakeOf(const unsigned char* bytes, uint32_t count)
{
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return ReadProblem::kUtf8ByteOrderMark;
    }
    if (count < 2) {
        return ReadProblem::kNone;
    }
    if ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0 && bytes[1] != 0)) {
        return ReadProblem::kUtf16BigEndian;
    }
    return bytes[0] != 0 && bytes[1] == 0 ? ReadProblem::kUtf16WithoutMark : ReadProblem::kNone;
}

// White space, then either "<?" and a declaration, or the root's own "<",
// which is given back. False when the text cannot hold a document.
bool ReadProlog(XmlCursor& cursor, ElementReader& reader, ReadReport* report)
{
    const WCHAR first = cursor.NextNonSpace();
    if (first != KVOR_TEXT('<')) {
        Fail(report, first == 0 ? ReadProblem::kNoElementInFile : ReadProblem::kNoDocumentStart,
             first == 0 ? cursor.GetPosition() : cursor.GetPosition() - 1);
        return false;
    }
    if (cursor.NextNonSpace() != KVOR_TEXT('?')) {
        cursor.RestorePosition(); // still 0: back to the start of the text
        return true;
    }
    const int32_t declaration = reader.ParseXmlDeclaration();
    cursor.SavePosition();
    if (declaration != 0 && report != nullptr) {
        report->Fail(reader.Failure());
    }
    return declaration == 0;
}

// What stands after the root element is not read; a report says so.
void NoteTrailingContent(XmlCursor& cursor, ReadReport* report)
{
    if (report != nullptr && cursor.NextNonSpace() != 0) {
        ReadEvent rest;
        rest.offset = cursor.GetPosition() - 1;
        report->Drop(ReadLoss::kAfterRoot, rest);
    }
}

} // namespace

bool DocumentText::Decode(unsigned char* bytes, uint32_t count)
{
    if (HasUtf16ByteOrderMark(bytes, count)) {
        m_block = bytes;
        m_text = reinterpret_cast<const WCHAR*>(bytes + 2);
        m_length = static_cast<int32_t>((count - 2) / 2);
        m_oddByte = count % 2 != 0;
        return true;
    }
    m_encodingMistake = EncodingMistakeOf(bytes, count);
    const LPCSTR ansi = reinterpret_cast<LPCSTR>(bytes);
    const int sourceBytes = static_cast<int>(count);
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi, sourceBytes, nullptr, 0);
    WCHAR* wide = length > 0 ? kvor::AllocateArray<WCHAR>(static_cast<size_t>(length)) : nullptr;
    if (wide != nullptr) {
        MultiByteToWideChar(CP_ACP, 0, ansi, sourceBytes, wide, length);
        m_block = wide;
        m_text = wide;
        m_length = length;
    }
    kvor::Release(bytes);
    return wide != nullptr;
}

uint32_t ParseDocument(const DocumentText& text, IXmlNode** root, ReadReport* report)
{
    XmlCursor* cursor = kvor::New<XmlCursor>(text.Text(), text.Length());
    if (cursor == nullptr) {
        Fail(report, ReadProblem::kOutOfMemory, 0);
        return 0;
    }
    uint32_t result = 0;
    ElementReader reader(*cursor, report);
    if (ReadProlog(*cursor, reader, report)) {
        CJXMLNode* node = kvor::New<CJXMLNode>(static_cast<const WCHAR*>(nullptr));
        if (node == nullptr) {
            Fail(report, ReadProblem::kOutOfMemory, cursor->GetPosition());
        } else if (reader.ReadElement(*node) == 1) {
            *root = node;
            result = 1;
            NoteTrailingContent(*cursor, report);
        } else {
            if (report != nullptr) {
                report->Fail(reader.Failure());
            }
            delete node; // with whatever was already attached below it
        }
    }
    if (result == 0 && text.EncodingMistake() != ReadProblem::kNone && report != nullptr &&
        report->failure.problem != ReadProblem::kOutOfMemory) {
        // The syntax error is only where the misread text went wrong.
        Fail(report, text.EncodingMistake(), 0);
    }
    if (result == 1 && text.DroppedOddByte() && report != nullptr) {
        ReadEvent odd;
        odd.offset = text.Length();
        report->Drop(ReadLoss::kOddByte, odd);
    }
    delete cursor;
    return result;
}

namespace {

// The text goes before the file is closed.
uint32_t LoadOpenFile(CFileWrapper& file, IXmlNode** root, ReadReport* report)
{
    uint32_t count = 0;
    unsigned char* bytes = ReadWholeFile(file, &count, report);
    if (bytes == nullptr) {
        return 0;
    }
    DocumentText text;
    if (!text.Decode(bytes, count)) {
        Fail(report, ReadProblem::kOutOfMemory, 0);
        return 0;
    }
    return ParseDocument(text, root, report);
}

} // namespace

uint32_t LoadDocumentFile(const WCHAR* path, IXmlNode** root, ReadReport* report)
{
    KVOR_LOG_TRACE(KVOR_TEXT("CJXMLNode::CreateRootNodeFromFile(%s) +"), path != nullptr ? path : KVOR_TEXT("(null)"));
    CFileWrapper file;
    uint32_t result = 0;
    // OPEN_ALWAYS: a missing file is created empty and then fails as empty.
    if (root == nullptr ||
        file.Open(path, OPEN_ALWAYS, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL) == 0) {
        Fail(report, ReadProblem::kCannotOpen, 0);
    } else {
        result = LoadOpenFile(file, root, report);
        file.Close();
    }
    KVOR_LOG_TRACE(KVOR_TEXT("CJXMLNode::CreateRootNodeFromFile() -"));
    return result;
}

uint32_t CJXMLNode::CreateRootNodeFromFile(const WCHAR* path, IXmlNode** root)
{
    return LoadDocumentFile(path, root, nullptr);
}
