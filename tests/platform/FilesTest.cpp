// The file layer: Win32 dispositions and error codes over Linux files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestText.h"
#include "kvorPlatform.h"

using kvortest::ReadBytes;
using kvortest::ScopedEnv;
using kvortest::TempDir;
using kvortest::W;
using kvortest::WriteText;

namespace {

const DWORD ReadWrite = GENERIC_READ | GENERIC_WRITE;

HANDLE Open(const std::string& path, DWORD disposition, DWORD access = ReadWrite)
{
    return CreateFileW(W(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Contents(const std::string& path)
{
    const std::vector<unsigned char> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class Files : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Files, MissingFileAndMissingFolderAreToldApart)
{
    struct Case {
        std::string path;
        DWORD disposition;
        DWORD error;
    } const cases[] = {
        {dir.File("missing.xml"), OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {dir.File("missing.xml"), TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
        {dir.File("nofolder/missing.xml"), OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {dir.File("nofolder/new.xml"), CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {dir.File("nofolder/new.xml"), OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Open(c.path, c.disposition), INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path << " disposition " << c.disposition;
    }
}

TEST_F(Files, DispositionsOnAnExistingFile)
{
    struct Case {
        DWORD disposition;
        bool opens;
        DWORD error;
        const char* contentsAfter;
    } const cases[] = {
        {OPEN_EXISTING, true, ERROR_SUCCESS, "old"},
        {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
        {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {TRUNCATE_EXISTING, true, ERROR_SUCCESS, ""},
        {CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
    };
    const std::string path = dir.File("existing.txt");
    for (const Case& c : cases) {
        WriteText(path, "old");
        SetLastError(12345);
        const HANDLE file = Open(path, c.disposition);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens) << "disposition " << c.disposition;
        EXPECT_EQ(GetLastError(), c.error) << "disposition " << c.disposition;
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        }
        EXPECT_EQ(Contents(path), c.contentsAfter) << "disposition " << c.disposition;
    }
}

TEST_F(Files, CreatingDispositionsMakeAnEmptyFile)
{
    const DWORD dispositions[] = {CREATE_NEW, CREATE_ALWAYS, OPEN_ALWAYS};
    for (DWORD disposition : dispositions) {
        const std::string path = dir.File("new" + std::to_string(disposition));
        SetLastError(12345);
        const HANDLE file = Open(path, disposition);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "disposition " << disposition;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "disposition " << disposition;
        EXPECT_EQ(GetFileSize(file, nullptr), 0u);
        CloseHandle(file);
        struct stat info;
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        const mode_t mask = umask(0);
        umask(mask);
        EXPECT_EQ(info.st_mode & 0777, 0644u & ~mask) << "mode of disposition " << disposition;
    }
}

TEST_F(Files, ReadWriteSeekAndSizeRoundTrip)
{
    const std::string path = dir.File("data.bin");
    HANDLE file = Open(path, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(file, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);

    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    char buffer[16] = {};
    EXPECT_TRUE(ReadFile(file, buffer, 4, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "3456");
    EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_CURRENT), 5u);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_END), 9u);
    EXPECT_TRUE(ReadFile(file, buffer, 16, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "9");
    EXPECT_TRUE(ReadFile(file, buffer, 16, &done, nullptr)) << "reading at the end succeeds";
    EXPECT_EQ(done, 0u);

    SetLastError(0);
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Contents(path), "0123456789");
}

TEST_F(Files, AccessModesAreEnforced)
{
    const std::string path = dir.File("readonly.txt");
    WriteText(path, "abc");
    HANDLE file = Open(path, OPEN_EXISTING, GENERIC_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 7;
    SetLastError(0);
    EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_NE(GetLastError(), 0u);
    CloseHandle(file);
    EXPECT_EQ(Contents(path), "abc");
}

TEST_F(Files, FolderCannotBeOpenedAsAFile)
{
    SetLastError(0);
    EXPECT_EQ(Open(dir.Path(), OPEN_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(Files, BackslashesSeparateFolders)
{
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    WriteText(dir.File("sub/a.txt"), "x");
    std::string path = dir.File("sub\\a.txt");
    const HANDLE file = Open(path, OPEN_EXISTING, GENERIC_READ);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

TEST_F(Files, LeadingBackslashLiesUnderTheDeviceRoot)
{
    ScopedEnv root("KVOR_DEVICE_ROOT", dir.File("device"));
    EXPECT_TRUE(CreateDirectoryW(KVOR_TEXT("\\DebLogger"), nullptr));
    const HANDLE file = CreateFileW(KVOR_TEXT("\\DebLogger\\app.log"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(file, "line\n", 5, &done, nullptr));
    CloseHandle(file);
    EXPECT_EQ(Contents(dir.File("device/DebLogger/app.log")), "line\n");
}

TEST_F(Files, CreateDirectoryTwiceReportsItExists)
{
    const std::string path = dir.File("folder");
    EXPECT_TRUE(CreateDirectoryW(W(path).c_str(), nullptr));
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryW(W(path).c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(W(dir.File("no/folder")).c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, AttributesTellFilesFromFolders)
{
    WriteText(dir.File("f.txt"), "x");
    EXPECT_EQ(GetFileAttributesW(W(dir.Path()).c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(W(dir.File("f.txt")).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(W(dir.File("none")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(W(dir.File("none/x")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, DeleteRemovesTheFile)
{
    const std::string path = dir.File("gone.txt");
    WriteText(path, "x");
    EXPECT_TRUE(DeleteFileW(W(path).c_str()));
    EXPECT_FALSE(kvortest::FileExists(path));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(W(path).c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, HandlesOfOtherKindsAreRejected)
{
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    char buffer[4];
    DWORD done = 0;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(event, buffer, 4, &done, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buffer, 4, &done, nullptr));
    EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
    CloseHandle(event);
}

} // namespace
