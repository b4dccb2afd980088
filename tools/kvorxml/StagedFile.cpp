#include "StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "InputBytes.h"

namespace kvorxml {
namespace {

std::string ResolvedTarget(const std::string& target)
{
    struct stat info;
    char resolved[PATH_MAX];
    if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && realpath(target.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return target;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string TemporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

mode_t ModeFor(const std::string& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

StagedFile::~StagedFile()
{
    if (m_fd >= 0) {
        close(m_fd);
    }
    if (!m_path.empty()) {
        unlink(m_path.c_str());
    }
}

bool StagedFile::Create(const std::string& target, std::string& error)
{
    const bool toOutput = IsStandardStream(target);
    m_target = toOutput ? target : ResolvedTarget(target);
    // A device or FIFO in the target's place is neither replaced nor waited on.
    struct stat info;
    if (!toOutput && stat(m_target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        return false;
    }
    const std::string folder = toOutput ? TemporaryFolder() : FolderOf(m_target);
    const std::string stem = toOutput ? "output" : m_target.substr(m_target.rfind('/') + 1);
    // ".<stem>.kvorxml-XXXXXX", the stem cut to keep the name within limits.
    std::string pattern = folder + "/." + stem.substr(0, 64) + ".kvorxml-XXXXXX";
    m_fd = mkostemp(&pattern[0], O_CLOEXEC);
    if (m_fd < 0) {
        error = "cannot create a file in " + folder + ": " + std::strerror(errno);
        return false;
    }
    m_path = pattern;
    return true;
}

bool StagedFile::Rewind() const { return lseek(m_fd, 0, SEEK_SET) == 0; }

bool StagedFile::PutInPlace(std::string& error)
{
    if (fchmod(m_fd, ModeFor(m_target)) != 0 || fsync(m_fd) != 0 || rename(m_path.c_str(), m_target.c_str()) != 0) {
        error = "cannot replace " + m_target + ": " + std::strerror(errno);
        return false;
    }
    m_path.clear();
    return true;
}

} // namespace kvorxml
