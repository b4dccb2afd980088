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

// false once the stream ends inside the read.
bool ReadInt32(IByteStream* stream, uint32_t* value)
{
    *value = 0;
    return stream->Read(value, sizeof(*value)) == sizeof(*value);
}

// Reads one text record into buffer. false when the record cannot be taken
// whole: the stream ended, or the length does not fit the buffer (its
// characters are then left unread, so the stream is no longer at a record
// boundary and nothing after it can be trusted).
bool ReadText(IByteStream* stream, WCHAR* buffer, uint32_t capacity)
{
    uint32_t length = 0;
    if (!ReadInt32(stream, &length)) {
        return false;
    }
    if (length == 0) {
        buffer[0] = 0;
        return true;
    }
    if (length >= static_cast<uint32_t>(CKeyValueTable::kTextCapacity) || length >= capacity) {
        return false;
    }
    const uint32_t bytes = (length + 1) * sizeof(WCHAR);
    const bool whole = stream->Read(buffer, bytes) == bytes;
    // The stored terminator is not trusted.
    buffer[length] = 0;
    return whole;
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

// Loads the records that are read whole and stops at the first that is not,
// so that a cut or corrupt stream adds no invented entries (and a huge count
// over a short stream ends with the stream).
void CKeyValueTable::LoadFrom(IByteStream* stream)
{
    if (m_entries == nullptr || stream == nullptr) {
        return;
    }
    RemoveAll();
    uint32_t count = 0;
    ReadInt32(stream, &count);
    const int32_t records = static_cast<int32_t>(count);
    for (int32_t record = 0; record < records; ++record) {
        WCHAR key[kTextCapacity] = {};
        WCHAR value[kTextCapacity] = {};
        uint32_t data = 0;
        if (!ReadText(stream, key, kTextCapacity) || !ReadText(stream, value, kTextCapacity) ||
            !ReadInt32(stream, &data)) {
            return;
        }
        Add(key, value, data);
    }
}
