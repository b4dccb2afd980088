// Reads a table from arbitrary bytes, writes it out, reads that back and
// checks that the second table holds what the first one did: both write the
// same bytes (a null value is written as the empty text it reads back as).
#include <cstdlib>
#include <cstring>

#include "../tests/dom/MemoryStream.h"
#include "kvor/dom/KeyValueTable.h"

namespace {

std::vector<unsigned char> Saved(CKeyValueTable& table)
{
    kvortest::MemoryStream stream;
    table.SaveTo(&stream);
    return stream.bytes;
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
    kvortest::MemoryStream input(std::vector<unsigned char>(data, data + size));
    CKeyValueTable first;
    first.LoadFrom(&input);
    const std::vector<unsigned char> saved = Saved(first);

    kvortest::MemoryStream replay(saved);
    CKeyValueTable second;
    second.Add(KVOR_TEXT("stale"), KVOR_TEXT("entry"), 7); // LoadFrom starts from an empty table
    second.LoadFrom(&replay);
    if (Saved(second) != saved) {
        std::abort();
    }
    return 0;
}
