// The executable's version on Linux: the record that
// KVOR_DECLARE_EXECUTABLE_VERSION places in its own ELF section, read from
// the file and handed out as the fixed file information of a version block.
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "PosixSupport.h"
#include "SystemCalls.h"
#include "kvorVersion.h"

namespace sys = kvor::posix::sys;

namespace {

const DWORD kFixedInfoSignature = 0xFEEF04BD;

// What GetFileVersionInfoW fills: the fixed file information, the root
// block and the only one there is.
struct VersionBlock {
    VS_FIXEDFILEINFO fixed;
};

class File {
public:
    explicit File(const std::string& path) : m_fd(sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~File()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // The errno of the read that failed, 0 when none did: a file that ends
    // early holds no record, a file that cannot be read says why.
    int ReadError() const { return m_readError; }
    bool ReadAt(uint64_t offset, void* buffer, size_t size)
    {
        uint8_t* out = static_cast<uint8_t*>(buffer);
        while (size > 0) {
            const ssize_t got = sys::ReadAt(m_fd, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                m_readError = got < 0 ? errno : 0;
                return false;
            }
            out += got;
            offset += static_cast<uint64_t>(got);
            size -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    int m_readError = 0;
};

// Finds the version section by name through the section headers and takes
// the first record in it that carries the marker.
template <typename Ehdr, typename Shdr>
bool FindRecordIn(File& file, const Ehdr& header, KvorVersionRecord* record)
{
    if (header.e_shentsize != sizeof(Shdr) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum) {
        return false;
    }
    std::vector<Shdr> sections(header.e_shnum);
    if (!file.ReadAt(header.e_shoff, sections.data(), sections.size() * sizeof(Shdr))) {
        return false;
    }
    const Shdr& names = sections[header.e_shstrndx];
    const size_t kMaxNames = 1 << 20;
    if (names.sh_size == 0 || names.sh_size > kMaxNames) {
        return false;
    }
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    if (!file.ReadAt(names.sh_offset, nameTable.data(), names.sh_size)) {
        return false;
    }
    for (const Shdr& section : sections) {
        if (section.sh_name >= names.sh_size || section.sh_type == SHT_NOBITS ||
            std::strcmp(&nameTable[section.sh_name], KVOR_VERSION_SECTION) != 0) {
            continue;
        }
        for (uint64_t at = 0; at + sizeof(KvorVersionRecord) <= section.sh_size; at += sizeof(uint16_t)) {
            KvorVersionRecord candidate;
            if (!file.ReadAt(section.sh_offset + at, &candidate, sizeof(candidate))) {
                return false;
            }
            if (std::memcmp(candidate.marker, KVOR_VERSION_MARKER, sizeof(candidate.marker)) == 0) {
                *record = candidate;
                return true;
            }
        }
    }
    return false;
}

bool IsNativeByteOrder(unsigned char encoding)
{
    const uint16_t probe = 1;
    const bool little = *reinterpret_cast<const unsigned char*>(&probe) == 1;
    return encoding == (little ? ELFDATA2LSB : ELFDATA2MSB);
}

// The executable is a host file, but GetModuleFileNameW hands its path out
// in device form; a path the device root does not hold is taken as the host's.
std::string FilePath(LPCWSTR path)
{
    const std::string native = kvor::posix::NativePath(path);
    struct stat status;
    if (sys::PathStatus(native.c_str(), &status) == 0 || path[0] != u'\\') {
        return native;
    }
    std::string host = kvor::posix::ToUtf8(path);
    for (char& c : host) {
        if (c == '\\') {
            c = '/';
        }
    }
    return host;
}

// 0 and the record, or the Win32 error that explains its absence.
DWORD ReadVersionRecordFrom(LPCWSTR path, KvorVersionRecord* record)
{
    File file(FilePath(path));
    if (!file.IsOpen()) {
        return kvor::posix::Win32ErrorFromErrno(errno);
    }
    unsigned char ident[EI_NIDENT];
    if (!file.ReadAt(0, ident, sizeof(ident)) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        !IsNativeByteOrder(ident[EI_DATA])) {
        return file.ReadError() != 0 ? kvor::posix::Win32ErrorFromErrno(file.ReadError())
                                     : ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    bool found = false;
    if (ident[EI_CLASS] == ELFCLASS32) {
        Elf32_Ehdr header;
        found = file.ReadAt(0, &header, sizeof(header)) && FindRecordIn<Elf32_Ehdr, Elf32_Shdr>(file, header, record);
    } else if (ident[EI_CLASS] == ELFCLASS64) {
        Elf64_Ehdr header;
        found = file.ReadAt(0, &header, sizeof(header)) && FindRecordIn<Elf64_Ehdr, Elf64_Shdr>(file, header, record);
    }
    if (found) {
        return 0;
    }
    return file.ReadError() != 0 ? kvor::posix::Win32ErrorFromErrno(file.ReadError()) : ERROR_RESOURCE_TYPE_NOT_FOUND;
}

// The reading allocates through the standard library; running out of
// memory is reported, never thrown.
DWORD ReadVersionRecord(LPCWSTR path, KvorVersionRecord* record)
{
    try {
        return ReadVersionRecordFrom(path, record);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

} // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle)
{
    *handle = 0;
    KvorVersionRecord record;
    const DWORD error = ReadVersionRecord(path, &record);
    if (error != 0) {
        SetLastError(error);
        return 0;
    }
    return sizeof(VersionBlock);
}

BOOL GetFileVersionInfoW(LPCWSTR path, DWORD /*handle*/, DWORD /*size*/, LPVOID data)
{
    KvorVersionRecord record;
    const DWORD error = ReadVersionRecord(path, &record);
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    VersionBlock block;
    std::memset(&block, 0, sizeof(block));
    block.fixed.dwSignature = kFixedInfoSignature;
    block.fixed.dwStrucVersion = 0x00010000;
    block.fixed.dwFileVersionMS = (DWORD(record.major) << 16) | record.minor;
    block.fixed.dwFileVersionLS = (DWORD(record.build) << 16) | record.revision;
    block.fixed.dwProductVersionMS = block.fixed.dwFileVersionMS;
    block.fixed.dwProductVersionLS = block.fixed.dwFileVersionLS;
    block.fixed.dwFileType = 1; // an application
    std::memcpy(data, &block, sizeof(block));
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR /*subBlock*/, LPVOID* buffer, UINT* length)
{
    *buffer = &static_cast<VersionBlock*>(const_cast<void*>(block))->fixed;
    *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
