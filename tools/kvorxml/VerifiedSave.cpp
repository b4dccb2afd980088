#include "VerifiedSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "Document.h"
#include "NodeMembers.h"
#include "ReadFindings.h"
#include "SystemMessage.h"
#include "TreeCompare.h"
#include "TreeWalk.h"

namespace kvorxml {
namespace {

const int32_t kIndentStep = 4;

std::string Reason() { return std::strerror(errno); }

// The start tag's length as the writer lays it out: indentation, "<",
// name, each ` key="value"`, then ">" or " />".
size_t StartTagLength(IXmlNode* node, int32_t depth)
{
    size_t length = static_cast<size_t>(depth) * kIndentStep + 1 + kvor::wcslen(node->GetName());
    ForEachAttribute(node, [&](const WCHAR* name, const WCHAR* value) {
        length += 4 + kvor::wcslen(name) + kvor::wcslen(value);
    });
    const bool hasBody = ChildCount(node) > 0 || node->GetContent() != nullptr;
    return length + (hasBody ? 1 : 3);
}

// The writer cuts each line at its buffer; a cut start tag does not read back.
bool StartTagsFit(IXmlNode* root, std::string& error)
{
    const size_t longest = CJXMLNode::kLineCapacity - 1;
    return WalkInSearchOrder(root, [&](const Visit& at) {
        const size_t length = StartTagLength(at.node, at.depth);
        if (length > longest) {
            error = "the start tag of " + at.path + " would be " + std::to_string(length) +
                    " characters long, and the library's writer cuts a line after " + std::to_string(longest);
        }
        return length <= longest;
    });
}

// A file of our own in a folder, removed again unless it is put in place.
class TemporaryFile {
public:
    ~TemporaryFile()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
        if (!m_path.empty()) {
            unlink(m_path.c_str());
        }
    }
    // ".<stem>.kvorxml-XXXXXX", the stem cut to keep the name within limits.
    bool Create(const std::string& folder, const std::string& stem)
    {
        std::string pattern = folder + "/." + stem.substr(0, 64) + ".kvorxml-XXXXXX";
        m_fd = mkostemp(&pattern[0], O_CLOEXEC);
        if (m_fd >= 0) {
            m_path = pattern;
        }
        return m_fd >= 0;
    }
    int Descriptor() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    // The library opens files by name; this name reaches the open file
    // whatever its folder is called (the library reads a backslash in a
    // name as a separator).
    WString ProcName() const { return FromUtf8("/proc/self/fd/" + std::to_string(m_fd)); }
    bool Rewind() const { return lseek(m_fd, 0, SEEK_SET) == 0; }
    bool MoveTo(const std::string& target)
    {
        if (rename(m_path.c_str(), target.c_str()) != 0) {
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    int m_fd = -1;
    std::string m_path;
};

// A symbolic link is followed: the file it names is the one replaced.
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

// The mode a replaced file had; a new file gets what the umask leaves.
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

bool ReadsBackTheSame(IXmlNode* root, const TemporaryFile& file, std::string& error)
{
    InputBytes bytes;
    if (!file.Rewind() || !bytes.ReadFrom(file.Descriptor(), error)) {
        error = "the written copy cannot be read back: " + (error.empty() ? Reason() : error);
        return false;
    }
    Document copy;
    copy.Load(bytes);
    if (copy.Root() == nullptr) {
        const Finding failure = FailureOf(copy);
        error = "the written copy does not load (line " + std::to_string(failure.line) + ": " + failure.reason + ")";
        return false;
    }
    if (copy.Report().dropCount > 0) {
        error = "the written copy loses content (" + DropsOf(copy).front().reason + ")";
        return false;
    }
    const Difference difference = FirstDifference(root, copy.Root());
    if (difference.node != nullptr) {
        error = "the written copy reads back differently: " + PlaceOf(root, difference.node).path + ": " +
                difference.what;
        return false;
    }
    return true;
}

bool CopyToStandardOutput(int fd, std::string& error)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count == 0) {
            return true;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            error = "the written copy cannot be read back: " + Reason();
            return false;
        }
        for (ssize_t done = 0; done < count;) {
            const ssize_t written = write(STDOUT_FILENO, buffer + done, static_cast<size_t>(count - done));
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written < 0) {
                error = "standard output: " + Reason();
                return false;
            }
            done += written;
        }
    }
}

} // namespace

bool SaveVerified(IXmlNode* root, const std::string& target, std::string& error)
{
    if (!StartTagsFit(root, error)) {
        return false;
    }
    const bool toOutput = IsStandardStream(target);
    const std::string resolved = toOutput ? target : ResolvedTarget(target);
    const std::string folder = toOutput ? TemporaryFolder() : FolderOf(resolved);
    TemporaryFile file;
    if (!file.Create(folder, toOutput ? "output" : resolved.substr(resolved.rfind('/') + 1))) {
        error = "cannot create a file in " + folder + ": " + Reason();
        return false;
    }
    if (root->SaveToFile(file.ProcName().c_str()) == 0) {
        error = "the library's writer cannot write " + file.Path() + ": " + SystemMessage(GetLastError());
        return false;
    }
    if (!ReadsBackTheSame(root, file, error)) {
        return false;
    }
    if (toOutput) {
        return file.Rewind() && CopyToStandardOutput(file.Descriptor(), error);
    }
    if (fchmod(file.Descriptor(), ModeFor(resolved)) != 0 || fsync(file.Descriptor()) != 0 ||
        !file.MoveTo(resolved)) {
        error = "cannot replace " + resolved + ": " + Reason();
        return false;
    }
    return true;
}

} // namespace kvorxml
