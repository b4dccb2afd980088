// The registry store on Linux: keys as folders, values as one-line files,
// names matched ignoring case.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestText.h"
#include "kvorPlatform.h"

using namespace kvortest;

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(Folder("SOFTWARE/KVOR")); }
    void TearDown() override
    {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
        }
    }

    std::string Folder(const std::string& path) const { return m_dir.File("HKEY_LOCAL_MACHINE/" + path); }
    HKEY OpenKvor()
    {
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\KVOR\\"), 0, 0, &m_key));
        return m_key;
    }
    std::string FileText(const std::string& path) const
    {
        const std::vector<unsigned char> bytes = ReadBytes(Folder(path));
        return std::string(bytes.begin(), bytes.end());
    }

    TempDir m_dir;
    ScopedEnv m_root{"KVOR_REGISTRY", m_dir.Path()};
    HKEY m_key = nullptr;
};

TEST_F(RegistryStoreTest, CreateReportsWhetherTheKeyIsNew)
{
    const struct {
        const WCHAR* path;
        DWORD disposition;
    } steps[] = {
        {KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger"), REG_CREATED_NEW_KEY},
        {KVOR_TEXT("software\\kvor\\DEBLOGGER\\"), REG_OPENED_EXISTING_KEY},
        {KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger\\Zone\\A"), REG_CREATED_NEW_KEY},
        {KVOR_TEXT("Software\\Kvor\\debLogger\\zone\\a"), REG_OPENED_EXISTING_KEY},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(U8(step.path));
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, step.path, 0, nullptr, 0, 0, nullptr, &key, &disposition));
        EXPECT_EQ(step.disposition, disposition);
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
    // One folder per key, named as first given.
    EXPECT_TRUE(std::filesystem::is_directory(Folder("SOFTWARE/KVOR/DebLogger/Zone/A")));
    EXPECT_FALSE(std::filesystem::exists(Folder("software")));
    EXPECT_FALSE(std::filesystem::exists(Folder("SOFTWARE/KVOR/DEBLOGGER")));
}

TEST_F(RegistryStoreTest, OpeningAMissingKeyFailsWithFileNotFound)
{
    HKEY key = nullptr;
    for (const WCHAR* path : {KVOR_TEXT("SOFTWARE\\Missing"), KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger\\Zone")}) {
        SetLastError(0);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key)) << U8(path);
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    }
    // A value file is not a key.
    WriteText(Folder("SOFTWARE/KVOR/Value"), "dword:00000001\n");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\KVOR\\Value"), 0, 0, &key));
}

TEST_F(RegistryStoreTest, ValueFilesReadAsTheirType)
{
    const struct {
        const char* line;
        DWORD type;
        std::vector<unsigned char> data;
    } cases[] = {
        {"dword:0000000c", REG_DWORD, {0x0C, 0, 0, 0}},
        {"DWORD:FFFFfffe", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"\"ab\"", REG_SZ, {'a', 0, 'b', 0, 0, 0}},
        {"\"a\\\"b\"", REG_SZ, {'a', 0, '"', 0, 'b', 0, 0, 0}},
        {"hex:01,ff", REG_BINARY, {0x01, 0xFF}},
        {"dword:c", REG_NONE, {'d', 'w', 'o', 'r', 'd', ':', 'c'}},
        {"12", REG_NONE, {'1', '2'}},
    };
    HKEY key = OpenKvor();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WriteText(Folder("SOFTWARE/KVOR/Value"), std::string(c.line) + "\r\n");
        DWORD type = 99;
        BYTE data[64];
        DWORD size = sizeof(data);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, KVOR_TEXT("value"), nullptr, &type, data, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data, std::vector<unsigned char>(data, data + size));
    }
}

TEST_F(RegistryStoreTest, QueryFollowsTheSizeProtocol)
{
    WriteText(Folder("SOFTWARE/KVOR/Text"), "\"hello\"\n");
    HKEY key = OpenKvor();
    DWORD type = 0;
    DWORD size = 0;
    // The size alone.
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, KVOR_TEXT("Text"), nullptr, &type, nullptr, &size));
    EXPECT_EQ(12u, size);
    EXPECT_EQ(REG_SZ, type);
    // Too small a buffer: the size needed.
    BYTE small[4];
    size = sizeof(small);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, KVOR_TEXT("Text"), nullptr, &type, small, &size));
    EXPECT_EQ(12u, size);
    // A missing value.
    size = sizeof(small);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, KVOR_TEXT("Other"), nullptr, &type, small, &size));
}

TEST_F(RegistryStoreTest, SetWritesOneLineAndReplacesWhole)
{
    HKEY key = OpenKvor();
    const DWORD number = 42;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, KVOR_TEXT("Severity"), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&number), sizeof(number)));
    EXPECT_EQ("dword:0000002a\n", FileText("SOFTWARE/KVOR/Severity"));

    // Another spelling of the name replaces the same file.
    const WCHAR text[] = KVOR_TEXT("say \"hi\"");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, KVOR_TEXT("SEVERITY"), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text), sizeof(text)));
    EXPECT_EQ("\"say \\\"hi\\\"\"\n", FileText("SOFTWARE/KVOR/Severity"));

    const BYTE bytes[] = {0x00, 0xAB};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, KVOR_TEXT("Blob"), 0, REG_BINARY, bytes, sizeof(bytes)));
    EXPECT_EQ("hex:00,ab\n", FileText("SOFTWARE/KVOR/Blob"));

    // Nothing else is left in the folder: no temporary files.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder("SOFTWARE/KVOR"))) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(2u, files);
}

} // namespace
