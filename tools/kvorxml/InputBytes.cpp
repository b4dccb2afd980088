#include "InputBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvor/platform/kvorPlatform.h"

namespace kvorxml {
namespace {

// What the reader's text lengths can count.
const size_t kLargest = 0x7FFFFFFF;
const size_t kFirstBlock = 64 * 1024;
const char* const kTooLarge = "larger than the 2 GB a document may have";

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd > STDERR_FILENO) {
            close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool IsStandardStream(const std::string& path) { return path == "-"; }

std::string DisplayName(const std::string& path) { return IsStandardStream(path) ? "(standard input)" : path; }

InputBytes::~InputBytes() { kvor::Release(m_block); }

unsigned char* InputBytes::Take()
{
    unsigned char* block = m_block;
    m_block = nullptr;
    m_size = 0;
    m_capacity = 0;
    return block;
}

bool InputBytes::Grow(size_t capacity)
{
    unsigned char* block = kvor::AllocateArray<unsigned char>(capacity);
    if (block == nullptr) {
        return false;
    }
    if (m_size > 0) {
        std::memcpy(block, m_block, m_size);
    }
    kvor::Release(m_block);
    m_block = block;
    m_capacity = capacity;
    return true;
}

bool InputBytes::Read(const std::string& path, std::string& error)
{
    const bool named = !IsStandardStream(path);
    // Opened without waiting: a FIFO nobody writes to must not hold the client.
    const int fd = named ? open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK) : STDIN_FILENO;
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    Descriptor input(fd);
    if (!ReadFrom(fd, named, error)) {
        error = DisplayName(path) + ": " + error;
        return false;
    }
    return true;
}

bool InputBytes::ReadFrom(int fd, bool plainFileOnly, std::string& error)
{
    struct stat info;
    if (fstat(fd, &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "is a folder";
        return false;
    }
    // A named device or FIFO could hold the client or never end, as it
    // would the library; standard input is read whatever it is.
    if (plainFileOnly && !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kLargest) {
        error = kTooLarge;
        return false;
    }
    // A regular file is read in one block of its size; anything else grows.
    const size_t capacity = S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) + 1 : kFirstBlock;
    for (;;) {
        if (m_size == m_capacity && !Grow(m_capacity == 0 ? capacity : m_capacity * 2)) {
            error = "too large to read into memory";
            return false;
        }
        const ssize_t count = read(fd, m_block + m_size, m_capacity - m_size);
        if (count == 0) {
            return true;
        }
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::strerror(errno);
            return false;
        }
        if (m_size + static_cast<size_t>(count) > kLargest) {
            error = kTooLarge;
            return false;
        }
        m_size += static_cast<uint32_t>(count);
    }
}

} // namespace kvorxml
