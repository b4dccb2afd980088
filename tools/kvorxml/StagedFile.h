// A result written beside its target and put in place with one rename, so
// that the target is always either the old file or the whole new one; a
// staged file that is not put in place is removed. A result for standard
// output ("-") is staged in TMPDIR.
#ifndef KVORXML_STAGED_FILE_H
#define KVORXML_STAGED_FILE_H

#include <string>

#include "TextCodec.h"

namespace kvorxml {

class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // For target (a symbolic link is followed: the file it names is the one
    // replaced). False, with error, when no file can be made there.
    bool Create(const std::string& target, std::string& error);
    int Descriptor() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    // The library opens files by name; this name reaches the open file
    // whatever its folder is called (the library reads a backslash in a
    // name as a separator).
    WString ProcName() const { return FromUtf8("/proc/self/fd/" + std::to_string(m_fd)); }
    bool Rewind() const;
    // On disk, with the mode the target had (a new file: what the umask
    // leaves), renamed over the target.
    bool PutInPlace(std::string& error);

private:
    std::string m_target;
    int m_fd = -1;
    std::string m_path;
};

} // namespace kvorxml

#endif // KVORXML_STAGED_FILE_H
