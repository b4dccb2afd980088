// The file layer: Win32 dispositions and error codes over Linux files, also
// when the system's calls fail.
// (Backslash paths under the device root are checked by the log file tests.)
#include <cerrno>
#include <sys/stat.h>

#include <filesystem>
#include <gtest/gtest.h>

#include "SystemCallFault.h"
#include "TestText.h"

using namespace kvortest;

namespace {

HANDLE Open(const std::string& path, DWORD disposition)
{
    return CreateFileW(W(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
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
// Seeks to the last byte and reads from there.
Outcome Seek(HANDLE file, const std::string& path)
{
    const DWORD at = SetFilePointer(file, -1, nullptr, FILE_END);
    const DWORD error = GetLastError();
    return {at, error, ReadAll(file, path).detail};
}
Outcome Flush(HANDLE file, const std::string&) { return {FlushFileBuffers(file), GetLastError(), ""}; }
// "=" and the text of a file, "there" for anything else, or "absent".
std::string Presence(const std::string& path)
{
    if (!FileExists(path)) {
        return "absent";
    }
    return std::filesystem::is_regular_file(path) ? "=" + kvortest::ReadText(path) : "there";
}
template <DWORD disposition>
Outcome OpenWith(HANDLE, const std::string& path)
{
    const HANDLE opened = Open(path, disposition);
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
        {"read fails", Failing(S::Read, ETIMEDOUT), ReadAll, "f", FALSE, failure, ""}, // an errno without a code
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
        {"seek fails", Failing(S::Seek, EINVAL), Seek, "f", INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER,
         "0123456789"},
        {"flush", kNoFault, Flush, "f", TRUE, untouched, ""},
        {"flush: disk full", Failing(S::Sync, ENOSPC), Flush, "f", FALSE, full, ""},
        {"open always an existing file", kNoFault, OpenWith<OPEN_ALWAYS>, "f", TRUE, ERROR_ALREADY_EXISTS,
         "=0123456789"},
        {"create always over an existing file", kNoFault, OpenWith<CREATE_ALWAYS>, "f", TRUE, ERROR_ALREADY_EXISTS, "="},
        {"open always a new file", kNoFault, OpenWith<OPEN_ALWAYS>, "new", TRUE, ERROR_SUCCESS, "="},
        {"create always a new file", kNoFault, OpenWith<CREATE_ALWAYS>, "new", TRUE, ERROR_SUCCESS, "="},
        {"open denied", Failing(S::Open, EACCES), OpenWith<OPEN_ALWAYS>, "new", FALSE, denied, "absent"},
        {"open: too many files", Failing(S::Open, EMFILE), OpenWith<OPEN_ALWAYS>, "f", FALSE,
         ERROR_TOO_MANY_OPEN_FILES, "=0123456789"},
        {"open: status unknown", Failing(S::FileStatus, EIO), OpenWith<OPEN_ALWAYS>, "f", FALSE, failure,
         "=0123456789"},
        {"open a folder", kNoFault, OpenWith<OPEN_ALWAYS>, "folder", FALSE, denied, "there"},
        {"open a FIFO without a writer", kNoFault, OpenWith<OPEN_ALWAYS>, "fifo", FALSE, denied, "there"},
        {"open in a missing folder", kNoFault, OpenWith<OPEN_ALWAYS>, "none/f", FALSE, ERROR_PATH_NOT_FOUND, "absent"},
        {"create in a missing folder", kNoFault, OpenWith<CREATE_ALWAYS>, "none/f", FALSE, ERROR_PATH_NOT_FOUND,
         "absent"},
        {"delete", kNoFault, Delete, "f", TRUE, untouched, "absent"},
        {"delete denied", Failing(S::Unlink, EACCES), Delete, "f", FALSE, denied, "=0123456789"},
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
        // Non-ASCII names reach the system in UTF-8 (the encoder's cases are the debugger output's).
        const std::string folder = dir.File("\xE2\x82\xAC\xF0\x9F\x98\x80") + "/";
        ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
        kvortest::WriteText(folder + "f", "0123456789");
        ASSERT_EQ(0, mkdir((folder + "folder").c_str(), 0755));
        ASSERT_EQ(0, mkfifo((folder + "fifo").c_str(), 0600));
        const HANDLE file = Open(folder + "f", OPEN_ALWAYS);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const Outcome outcome = UnderFault(c.fault, [&] { return c.operation(file, folder + c.path); });
        ExpectOutcome(outcome, c.result, c.error, c.detail);
        EXPECT_TRUE(CloseHandle(file));
    }
}

} // namespace
