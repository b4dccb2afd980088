#include "VerifiedSave.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Document.h"
#include "NodeMembers.h"
#include "kvor/platform/PosixText.h"
#include "ReadFindings.h"
#include "StagedFile.h"
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

bool ReadsBackTheSame(IXmlNode* root, const StagedFile& file, std::string& error)
{
    InputBytes bytes;
    if (!file.Rewind() || !bytes.ReadFrom(file.Descriptor(), true, error)) {
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
        if (!kvor::posix::WriteAll(STDOUT_FILENO, buffer, static_cast<size_t>(count))) {
            error = "standard output: " + Reason();
            return false;
        }
    }
}

} // namespace

bool SaveVerified(IXmlNode* root, const std::string& target, std::string& error)
{
    StagedFile file;
    if (!StartTagsFit(root, error) || !file.Create(target, error)) {
        return false;
    }
    if (root->SaveToFile(file.ProcName().c_str()) == 0) {
        error = "the library's writer cannot write " + file.Path() + ": " + SystemMessage(GetLastError());
        return false;
    }
    if (!ReadsBackTheSame(root, file, error)) {
        return false;
    }
    if (IsStandardStream(target)) {
        return file.Rewind() && CopyToStandardOutput(file.Descriptor(), error);
    }
    return file.PutInPlace(error);
}

} // namespace kvorxml
