// Reads a table from arbitrary bytes, writes it out, reads that back and
// checks that the second table holds what the first one did.
#include <cstdlib>
#include <cstring>

#include "FuzzSupport.h"
#include "kvor/dom/KeyValueTable.h"

namespace {

// Reads from a block of memory; writes append to a growing buffer.
class MemoryStream : public IByteStream {
public:
    MemoryStream(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    virtual ~MemoryStream() = default;

    uint32_t Read(void* buffer, uint32_t bytes) override
    {
        const size_t taken = bytes < m_size - m_position ? bytes : m_size - m_position;
        if (taken > 0) {
            std::memcpy(buffer, m_data + m_position, taken);
        }
        m_position += taken;
        return static_cast<uint32_t>(taken);
    }
    uint32_t Write(const void* buffer, uint32_t bytes) override
    {
        const uint8_t* data = static_cast<const uint8_t*>(buffer);
        m_written.insert(m_written.end(), data, data + bytes);
        return bytes;
    }
    const std::vector<uint8_t>& Written() const { return m_written; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
    std::vector<uint8_t> m_written;
};

struct Entry {
    kvorfuzz::WString key;
    kvorfuzz::WString value;
    uint32_t data;
    bool operator==(const Entry& other) const
    {
        return key == other.key && value == other.value && data == other.data;
    }
};

// A null value saves as an empty text, so it is compared as one.
std::vector<Entry> EntriesOf(CKeyValueTable& table)
{
    std::vector<Entry> entries;
    for (int32_t index = 0; index < table.GetCount(); ++index) {
        const WCHAR* key = nullptr;
        const WCHAR* value = nullptr;
        uint32_t data = 0;
        if (table.GetAt(index, &key, &value, &data) != 1 || key == nullptr) {
            std::abort();
        }
        entries.push_back(Entry{key, value != nullptr ? value : KVOR_TEXT(""), data});
    }
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every counted record is loaded, an empty one where the stream has
    // ended, until memory runs out: counts beyond this only take time.
    const int32_t kLargestCount = 65536;
    int32_t count = 0;
    std::memcpy(&count, data, size < sizeof(count) ? size : sizeof(count));
    if (count > kLargestCount) {
        return 0;
    }
    MemoryStream input(data, size);
    CKeyValueTable first;
    first.LoadFrom(&input);
    const std::vector<Entry> loaded = EntriesOf(first);

    MemoryStream output(nullptr, 0);
    first.SaveTo(&output);
    MemoryStream replay(output.Written().data(), output.Written().size());
    CKeyValueTable second;
    second.Add(KVOR_TEXT("stale"), KVOR_TEXT("entry"), 7); // LoadFrom starts from an empty table
    second.LoadFrom(&replay);
    if (EntriesOf(second) != loaded) {
        std::abort();
    }
    return 0;
}
