// The file layer: Win32 dispositions and error codes over Linux files.
// (Backslash paths under the device root are checked by the log file tests.)
#include <cstring>
#include <gtest/gtest.h>

#include "TestText.h"
#include "kvor/platform/kvorPlatform.h"

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

TEST(Files, WriteSizeSeekFromTheEndAndRead)
{
    TempDir dir;
    const HANDLE file = Open(dir.File("data.bin"), CREATE_ALWAYS);
    DWORD done = 0, high = 99;
    char buffer[16] = {};
    EXPECT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_END), 9u);
    EXPECT_TRUE(ReadFile(file, buffer, 16, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "9");
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
}

TEST(Files, MissingFoldersFoldersAndDeletionReportWin32Errors)
{
    TempDir dir;
    const std::string folder = dir.File("folder"), file = dir.File("f.txt");
    kvortest::WriteText(file, "x");
    EXPECT_TRUE(CreateDirectoryW(W(folder).c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(W(folder).c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(W(dir.File("no/folder")).c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(W(folder).c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(W(file).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(GetFileAttributesW(W(dir.File("none/x")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    for (DWORD disposition : {CREATE_ALWAYS, OPEN_ALWAYS}) {
        EXPECT_EQ(Open(dir.File("none/f.xml"), disposition), INVALID_HANDLE_VALUE) << disposition;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << disposition;
    }
    EXPECT_EQ(Open(folder, OPEN_ALWAYS, GENERIC_READ), INVALID_HANDLE_VALUE) << "a folder is not a file";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(DeleteFileW(W(file).c_str()));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(DeleteFileW(W(file).c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

} // namespace
