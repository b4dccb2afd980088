// A document's bytes as the reader takes them: one block from the library's
// heap, read from a file of any kind (a pipe, a terminal, /dev/stdin) or,
// for "-", from standard input.
#ifndef KVORXML_INPUT_BYTES_H
#define KVORXML_INPUT_BYTES_H

#include <cstdint>
#include <string>

namespace kvorxml {

// "-": standard input (standard output where a result is written to it);
// "(standard input)" in messages.
bool IsStandardStream(const std::string& path);
std::string DisplayName(const std::string& path);

class InputBytes {
public:
    InputBytes() = default;
    ~InputBytes();
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    // Reads everything there is: a named file only when it is a regular
    // file, "-" standard input whatever it is; false with error set (the
    // name and the reason) when it cannot.
    bool Read(const std::string& path, std::string& error);
    // The same from an open descriptor, from where it stands.
    bool ReadFrom(int descriptor, bool plainFileOnly, std::string& error);

    // Hands the block over (null when empty): kvor::Release frees it.
    unsigned char* Take();
    uint32_t Size() const { return m_size; }

private:
    bool Grow(size_t capacity);

    unsigned char* m_block = nullptr;
    uint32_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace kvorxml

#endif // KVORXML_INPUT_BYTES_H
