// A byte stream in memory: writes append, reads take from the front as much
// as is left. No test framework here, so that the fuzz targets share it.
#ifndef KVOR_MEMORY_STREAM_H
#define KVOR_MEMORY_STREAM_H

#include <algorithm>
#include <utility>
#include <vector>

#include "kvor/dom/Streamable.h"

namespace kvortest {

struct MemoryStream : IByteStream {
    explicit MemoryStream(std::vector<unsigned char> initial = {}) : bytes(std::move(initial)) {}
    uint32_t Read(void* buffer, uint32_t count) override
    {
        const size_t taken = std::min<size_t>(count, bytes.size() - position);
        std::copy_n(bytes.begin() + static_cast<long>(position), taken, static_cast<unsigned char*>(buffer));
        position += taken;
        return static_cast<uint32_t>(taken);
    }
    uint32_t Write(const void* buffer, uint32_t count) override
    {
        bytes.insert(bytes.end(), static_cast<const unsigned char*>(buffer), static_cast<const unsigned char*>(buffer) + count);
        return count;
    }
    std::vector<unsigned char> bytes;
    size_t position = 0;
};

} // namespace kvortest

#endif // KVOR_MEMORY_STREAM_H
