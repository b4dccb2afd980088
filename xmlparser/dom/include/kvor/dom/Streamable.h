// The byte stream a table saves to and loads from, and the interface of
// objects that can do so. The caller supplies the stream.
#ifndef KVOR_STREAMABLE_H
#define KVOR_STREAMABLE_H

#include <cstdint>

class IByteStream {
public:
    // Bytes actually read.
    virtual uint32_t Read(void* buffer, uint32_t bytes) = 0;
    virtual uint32_t Write(const void* buffer, uint32_t bytes) = 0;

protected:
    ~IByteStream() {}
};

class IStreamable {
public:
    virtual void SaveTo(IByteStream* stream) = 0;
    virtual void LoadFrom(IByteStream* stream) = 0;

protected:
    ~IStreamable() {}
};

#endif // KVOR_STREAMABLE_H
