// Helpers shared by the fuzz targets: a private scratch folder for the
// documents a target loads and saves, and WCHAR text from raw bytes.
#ifndef KVOR_FUZZ_SUPPORT_H
#define KVOR_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "kvorXMLParser.h"

namespace kvorfuzz {

typedef std::basic_string<WCHAR> WString;

inline std::string& ScratchPath()
{
    static std::string path;
    return path;
}

// The folder holds only the files named by ScratchFile.
inline void RemoveScratchFolder()
{
    const std::string& folder = ScratchPath();
    for (const char* name : {"document.xml", "saved.xml"}) {
        std::remove((folder + "/" + name).c_str());
    }
    rmdir(folder.c_str());
}

// One folder per process (libFuzzer's -jobs runs several), in memory when
// the machine has /dev/shm so that the many small files never reach a disk.
// It goes when the process ends normally; a crashing run leaves it behind.
inline const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/kvorfuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        ScratchPath() = buffer.data();
        std::atexit(RemoveScratchFolder);
        return ScratchPath();
    }();
    return folder;
}

// The scratch paths are plain ASCII, so widening byte by byte is exact.
inline WString Widen(const std::string& ascii)
{
    return WString(ascii.begin(), ascii.end());
}

inline std::string ScratchFile(const char* name)
{
    return ScratchFolder() + "/" + name;
}

inline void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::perror(path.c_str());
        std::abort();
    }
    std::fclose(file);
}

// Little-endian pairs of bytes as characters, with a terminator; an odd
// last byte is dropped.
inline WString CharactersOf(const uint8_t* data, size_t size)
{
    WString text;
    text.reserve(size / 2);
    for (size_t index = 0; index + 1 < size; index += 2) {
        text.push_back(static_cast<WCHAR>(data[index] | (data[index + 1] << 8)));
    }
    return text;
}

} // namespace kvorfuzz

#endif // KVOR_FUZZ_SUPPORT_H
