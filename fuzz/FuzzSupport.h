// Helpers shared by the fuzz targets: a private scratch folder for the
// documents a target loads and saves, and WCHAR text from raw bytes.
#ifndef KVOR_FUZZ_SUPPORT_H
#define KVOR_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "kvorXMLParser.h"

namespace kvorfuzz {

typedef std::basic_string<WCHAR> WString;

// One folder per process (libFuzzer's -jobs runs several), in memory when
// the machine has /dev/shm so that the many small files never reach a disk.
// It goes with the files named by ScratchFile when the process ends
// normally; a crashing run leaves it behind.
inline const std::string& ScratchFolder()
{
    static std::string folder;
    if (folder.empty()) {
        std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/kvorfuzz-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern;
        std::atexit([] {
            for (const char* name : {"document.xml", "saved.xml"}) {
                std::remove((folder + "/" + name).c_str());
            }
            rmdir(folder.c_str());
        });
    }
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
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
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
