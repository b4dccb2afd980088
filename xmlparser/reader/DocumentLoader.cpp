// CJXMLNode::CreateRootNodeFromFile: one read of the whole file, the text
// decoded (UTF-16 in place, anything else from the ANSI code page), the
// optional declaration, then the root element and everything below it.
#include "kvor/deblog/DebLog.h"
#include "kvor/dom/FileWrapper.h"
#include "kvor/dom/JXMLNode.h"
#include "kvor/reader/XmlCursor.h"

namespace {

const uint32_t kLogZone = 12;

// The text of a document and the block that holds it.
struct DocumentText {
    void* block;
    const WCHAR* text;
    int32_t length;
};

// The whole file in one block; null when nothing could be read.
unsigned char* ReadWholeFile(CFileWrapper& file, uint32_t* count)
{
    const uint32_t size = file.GetSize();
    unsigned char* bytes = kvor::AllocateArray<unsigned char>(size);
    if (bytes == nullptr) {
        return nullptr;
    }
    *count = file.ReadBlock(bytes, size);
    if (*count == 0) {
        kvor::Release(bytes);
        return nullptr;
    }
    return bytes;
}

bool HasUtf16ByteOrderMark(const unsigned char* bytes, uint32_t count)
{
    return count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

// Takes the bytes over: UTF-16 text stays where it was read, ANSI text is
// converted into a new block and the bytes are freed. False (bytes freed)
// when the wide block cannot be had.
bool DecodeText(unsigned char* bytes, uint32_t count, DocumentText* out)
{
    if (HasUtf16ByteOrderMark(bytes, count)) {
        out->block = bytes;
        out->text = reinterpret_cast<const WCHAR*>(bytes + 2);
        out->length = static_cast<int32_t>((count - 2) / 2); // an odd last byte is dropped
        return true;
    }
    const LPCSTR ansi = reinterpret_cast<LPCSTR>(bytes);
    const int sourceBytes = static_cast<int>(count);
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi, sourceBytes, nullptr, 0);
    WCHAR* wide = length > 0 ? kvor::AllocateArray<WCHAR>(static_cast<size_t>(length)) : nullptr;
    if (wide == nullptr) {
        kvor::Release(bytes);
        return false;
    }
    MultiByteToWideChar(CP_ACP, 0, ansi, sourceBytes, wide, length);
    kvor::Release(bytes);
    out->block = wide;
    out->text = wide;
    out->length = length;
    return true;
}

// White space, then either "<?" and a declaration, or the root's own "<",
// which is given back. False when the text cannot hold a document.
bool ReadProlog(XmlCursor& cursor)
{
    if (cursor.NextNonSpace() != KVOR_TEXT('<')) {
        return false;
    }
    if (cursor.NextNonSpace() != KVOR_TEXT('?')) {
        cursor.RestorePosition(); // still 0: back to the start of the text
        return true;
    }
    const int32_t declaration = CJXMLNode::ParseXmlDeclaration(cursor);
    cursor.SavePosition();
    return declaration == 0;
}

// 1 with *root set when the text holds a complete root element.
uint32_t ParseDocument(const DocumentText& text, IXmlNode** root)
{
    XmlCursor* cursor = kvor::New<XmlCursor>(text.text, text.length);
    if (cursor == nullptr) {
        return 0;
    }
    uint32_t result = 0;
    if (ReadProlog(*cursor)) {
        int32_t success = 0;
        CJXMLNode* node = kvor::New<CJXMLNode>(*cursor, success);
        if (node != nullptr && success == 1) {
            *root = node;
            result = 1;
        } else {
            delete node; // with whatever was already attached below it
        }
    }
    delete cursor;
    return result;
}

uint32_t LoadOpenFile(CFileWrapper& file, IXmlNode** root)
{
    uint32_t count = 0;
    unsigned char* bytes = ReadWholeFile(file, &count);
    if (bytes == nullptr) {
        return 0;
    }
    DocumentText text = {nullptr, nullptr, 0};
    if (!DecodeText(bytes, count, &text)) {
        return 0;
    }
    const uint32_t result = ParseDocument(text, root);
    kvor::Release(text.block);
    return result;
}

} // namespace

uint32_t CJXMLNode::CreateRootNodeFromFile(const WCHAR* path, IXmlNode** root)
{
    DebLogBeginEntry(kLogZone, DEBLOG_SEVERITY_TRACE, 0, nullptr, 0);
    DebLogWriteEntry(KVOR_TEXT("CJXMLNode::CreateRootNodeFromFile(%s) +"),
                     path != nullptr ? path : KVOR_TEXT("(null)"));

    CFileWrapper file;
    uint32_t result = 0;
    // OPEN_ALWAYS: a missing file is created empty and then fails as empty.
    if (root != nullptr && file.Open(path, OPEN_ALWAYS, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     FILE_ATTRIBUTE_NORMAL) != 0) {
        result = LoadOpenFile(file, root);
        file.Close();
    }

    DebLogBeginEntry(kLogZone, DEBLOG_SEVERITY_TRACE, 0, nullptr, 0);
    DebLogWriteEntry(KVOR_TEXT("CJXMLNode::CreateRootNodeFromFile() -"));
    return result;
}
