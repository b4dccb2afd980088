// The table's byte stream: an entry count, then per entry the key, the
// value (each a length and, when not empty, the characters with their
// terminator) and the data word. Integers are 32-bit little-endian, text
// 16-bit little-endian; the targets are little-endian, so memory is written
// as it is.
#include "kvor/dom/KeyValueTable.h"

namespace {

uint32_t WriteInt32(IByteStream* stream, uint32_t value)
{
    return stream->Write(&value, sizeof(value));
}

// A null text is written as the empty one.
uint32_t WriteText(IByteStream* stream, const WCHAR* text)
{
    const uint32_t length = text != nullptr ? static_cast<uint32_t>(kvor::wcslen(text)) : 0;
    uint32_t result = WriteInt32(stream, length);
    if (length > 0) {
        result = stream->Write(text, (length + 1) * sizeof(WCHAR));
    }
    return result;
}

// What the stream delivers of the word; 0 for the bytes it does not.
uint32_t ReadInt32(IByteStream* stream)
{
    uint32_t value = 0;
    stream->Read(&value, sizeof(value));
    return value;
}

// Reads one text record into buffer (260 characters, empty when the record
// delivers nothing). A stream that ends inside the characters leaves those
// read. False for a length of 260 or more: its characters stay unread, so
// the stream is no longer at a record boundary and nothing after it can be
// trusted.
bool ReadText(IByteStream* stream, WCHAR* buffer)
{
    const uint32_t length = ReadInt32(stream);
    buffer[0] = 0;
    if (length == 0) {
        return true;
    }
    if (length >= static_cast<uint32_t>(CKeyValueTable::kTextCapacity)) {
        return false;
    }
    const uint32_t read = stream->Read(buffer, (length + 1) * sizeof(WCHAR)) / sizeof(WCHAR);
    // The stored terminator is not trusted.
    buffer[read < length ? read : length] = 0;
    return true;
}

} // namespace

void CKeyValueTable::SaveTo(IByteStream* stream)
{
    if (m_entries == nullptr || stream == nullptr) {
        return;
    }
    WriteInt32(stream, static_cast<uint32_t>(m_count));
    const WCHAR* key = nullptr;
    const WCHAR* value = nullptr;
    uint32_t data = 0;
    ResetCursor();
    while (GetNext(&key, &value, &data) != 0) {
        WriteText(stream, key);
        WriteText(stream, value);
        WriteInt32(stream, data);
    }
}

// Reads as many records as the count says, whatever the stream delivers:
// one that ends early gives empty texts and data words of 0. Two things
// end the load sooner: a text length the buffers cannot take, after which
// the stream cannot be followed, and a table that cannot grow, since every
// later Add would fail the same way (a count far beyond memory ends there).
void CKeyValueTable::LoadFrom(IByteStream* stream)
{
    if (m_entries == nullptr || stream == nullptr) {
        return;
    }
    RemoveAll();
    const int32_t records = static_cast<int32_t>(ReadInt32(stream));
    for (int32_t record = 0; record < records; ++record) {
        WCHAR key[kTextCapacity];
        WCHAR value[kTextCapacity];
        if (!ReadText(stream, key) || !ReadText(stream, value)) {
            return;
        }
        if (Add(key, value, ReadInt32(stream)) == 0) {
            return;
        }
    }
}
