// The file layer: Win32 dispositions and error codes over Linux files, also
// when the system's calls fail.
// (Backslash paths under the device root are checked by the log file tests.)
#include <cerrno>
#include <sys/stat.h>

#include <cstring>
#include <gtest/gtest.h>

#include "SystemCallFault.h"
#include "TestText.h"

using namespace kvortest;
using kvortest::FileExists;
using kvortest::TempDir;
using kvortest::W;

namespace {

HANDLE Open(const std::string& path, DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE)
{
    return CreateFileW(W(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(Files, EachDispositionOnAnExistingAndAMissingFile)
{
    // before: the file's text, null for no file; after: its text afterwards, null for still no file.
    struct Case { DWORD disposition; const char* before; bool opens; DWORD error; const char* after; };
    const DWORD unused = 3; // OPEN_EXISTING: the library opens files only the two other ways
    const Case cases[] = {
        {OPEN_ALWAYS, "old", true, ERROR_ALREADY_EXISTS, "old"}, {CREATE_ALWAYS, "old", true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_ALWAYS, nullptr, true, ERROR_SUCCESS, ""},         {CREATE_ALWAYS, nullptr, true, ERROR_SUCCESS, ""},
        {unused, "old", false, ERROR_INVALID_PARAMETER, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("disposition " + std::to_string(c.disposition) + (c.before ? " on a file" : " on no file"));
        TempDir dir;
        const std::string path = dir.File("f.txt");
        if (c.before != nullptr) {
            kvortest::WriteText(path, c.before);
        }
        SetLastError(12345);
        const HANDLE file = Open(path, c.disposition);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_TRUE(file == INVALID_HANDLE_VALUE || CloseHandle(file));
        EXPECT_EQ(FileExists(path), c.after != nullptr);
        EXPECT_EQ(kvortest::ReadBytes(path).size(), std::strlen(c.after != nullptr ? c.after : ""));
    }
}

// Each operation on the file "f" (holding 0123456789, open for reading
// and writing) or on a path in the same folder.
using Operation = Outcome (*)(HANDLE file, const std::string& path);

Outcome ReadAll(HANDLE file, const std::string&)
{
    char buffer[16];
    DWORD done = 99;
    const BOOL read = ReadFile(file, buffer, sizeof(buffer), &done, nullptr);
    return {read, GetLastError(), std::string(buffer, done)};
}
Outcome WriteTen(HANDLE file, const std::string& path)
{
    DWORD done = 99;
    const BOOL written = WriteFile(file, "abcdefghij", 10, &done, nullptr);
    return {written, GetLastError(), std::to_string(done) + " " + kvortest::ReadText(path)};
}
Outcome Size(HANDLE file, const std::string&) { return {GetFileSize(file, nullptr), GetLastError(), ""}; }
// Seeks to the last byte, or before the start, and reads from there.
Outcome Seek(HANDLE file, const std::string& path)
{
    const DWORD at = path.back() == 'f' ? SetFilePointer(file, -1, nullptr, FILE_END)
                                        : SetFilePointer(file, -20, nullptr, FILE_BEGIN);
    const DWORD error = GetLastError();
    return {at, error, ReadAll(file, path).detail};
}
Outcome Flush(HANDLE file, const std::string&) { return {FlushFileBuffers(file), GetLastError(), ""}; }
std::string Presence(const std::string& path) { return FileExists(path) ? "there" : "absent"; }
Outcome OpenPath(HANDLE, const std::string& path)
{
    const HANDLE opened = Open(path, OPEN_ALWAYS, GENERIC_READ);
    const Outcome outcome = {opened != INVALID_HANDLE_VALUE, GetLastError(), Presence(path)};
    return opened == INVALID_HANDLE_VALUE || CloseHandle(opened) ? outcome : Outcome{-1, 0, "not closed"};
}
Outcome Delete(HANDLE, const std::string& path) { return {DeleteFileW(W(path).c_str()), GetLastError(), Presence(path)}; }
Outcome MakeFolder(HANDLE, const std::string& path)
{
    return {CreateDirectoryW(W(path).c_str(), nullptr), GetLastError(), Presence(path)};
}
Outcome Attributes(HANDLE, const std::string& path) { return {GetFileAttributesW(W(path).c_str()), GetLastError(), ""}; }

TEST(Files, EachOperationReportsItsWin32OutcomeAlsoWhenTheSystemFails)
{
    using S = SystemCall;
    const DWORD untouched = kUntouched, full = ERROR_DISK_FULL, denied = ERROR_ACCESS_DENIED, failure = 31;
    const struct { const char* what; Fault fault; Operation operation; const char* path; long long result;
                   DWORD error; const char* detail; } cases[] = {
        {"read fails", Failing(S::Read, EIO), ReadAll, "f", FALSE, failure, ""},
        {"interrupted read is retried", Failing(S::Read, EINTR), ReadAll, "f", TRUE, untouched, "0123456789"},
        {"short read is continued", Shortened(S::Read, 3), ReadAll, "f", TRUE, untouched, "0123456789"},
        {"write: disk full", Failing(S::Write, ENOSPC), WriteTen, "f", FALSE, full, "0 0123456789"},
        {"write that moves nothing", Shortened(S::Write, 0), WriteTen, "f", FALSE, full, "0 0123456789"},
        {"short write is continued", Shortened(S::Write, 4), WriteTen, "f", TRUE, untouched, "10 abcdefghij"},
        {"short write, then disk full", Shortened(S::Write, 4, ENOSPC), WriteTen, "f", FALSE, full, "4 abcd456789"},
        {"interrupted write is retried", Failing(S::Write, EINTR), WriteTen, "f", TRUE, untouched, "10 abcdefghij"},
        {"size", kNoFault, Size, "f", 10, ERROR_SUCCESS, ""},
        {"size unknown", Failing(S::FileStatus, EIO), Size, "f", INVALID_FILE_SIZE, failure, ""},
        {"seek to the last byte", kNoFault, Seek, "f", 9, ERROR_SUCCESS, "9"},
        {"seek before the start", kNoFault, Seek, "b", INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER, "0123456789"},
        {"seek fails", Failing(S::Seek, EINVAL), Seek, "f", INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER,
         "0123456789"},
        {"flush", kNoFault, Flush, "f", TRUE, untouched, ""},
        {"flush: disk full", Failing(S::Sync, ENOSPC), Flush, "f", FALSE, full, ""},
        {"open denied", Failing(S::Open, EACCES), OpenPath, "new", FALSE, denied, "absent"},
        {"open: too many files", Failing(S::Open, EMFILE), OpenPath, "f", FALSE, ERROR_TOO_MANY_OPEN_FILES, "there"},
        {"open: status unknown", Failing(S::FileStatus, EIO), OpenPath, "f", FALSE, failure, "there"},
        {"open a folder", kNoFault, OpenPath, "folder", FALSE, denied, "there"},
        {"open a FIFO without a writer", kNoFault, OpenPath, "fifo", FALSE, denied, "there"},
        {"open in a missing folder", kNoFault, OpenPath, "none/f", FALSE, ERROR_PATH_NOT_FOUND, "absent"},
        {"delete", kNoFault, Delete, "f", TRUE, untouched, "absent"},
        {"delete denied", Failing(S::Unlink, EACCES), Delete, "f", FALSE, denied, "there"},
        {"delete a missing file", kNoFault, Delete, "missing", FALSE, ERROR_FILE_NOT_FOUND, "absent"},
        {"delete a folder", kNoFault, Delete, "folder", FALSE, denied, "there"},
        {"make a folder", kNoFault, MakeFolder, "new", TRUE, untouched, "there"},
        {"make a folder: disk full", Failing(S::MakeFolder, ENOSPC), MakeFolder, "new", FALSE, full, "absent"},
        {"make an existing folder", kNoFault, MakeFolder, "folder", FALSE, ERROR_ALREADY_EXISTS, "there"},
        {"make a folder in a missing one", kNoFault, MakeFolder, "none/new", FALSE, ERROR_PATH_NOT_FOUND, "absent"},
        {"attributes of a file", kNoFault, Attributes, "f", FILE_ATTRIBUTE_NORMAL, untouched, ""},
        {"attributes of a folder", kNoFault, Attributes, "folder", FILE_ATTRIBUTE_DIRECTORY, untouched, ""},
        {"attributes denied", Failing(S::PathStatus, EACCES), Attributes, "f", INVALID_FILE_ATTRIBUTES, denied, ""},
        {"attributes in a missing folder", kNoFault, Attributes, "none/x", INVALID_FILE_ATTRIBUTES,
         ERROR_PATH_NOT_FOUND, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        kvortest::WriteText(dir.File("f"), "0123456789");
        ASSERT_EQ(0, mkdir(dir.File("folder").c_str(), 0755));
        ASSERT_EQ(0, mkfifo(dir.File("fifo").c_str(), 0600));
        const HANDLE file = Open(dir.File("f"), OPEN_ALWAYS);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        Outcome outcome;
        {
            ArmedFault armed(c.fault);
            SetLastError(kUntouched);
            outcome = c.operation(file, dir.File(c.path));
        }
        ExpectOutcome(outcome, c.result, c.error, c.detail);
        EXPECT_TRUE(CloseHandle(file));
    }
}

} // namespace
