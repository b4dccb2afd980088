// The registry store on Linux: keys as folders, values as one-line files,
// names matched ignoring case.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestText.h"
#include "kvor/platform/kvorPlatform.h"

using namespace kvortest;

namespace {

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(Folder("SOFTWARE/KVOR"));
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\KVOR\\"), 0, 0, &m_kvor));
    }
    void TearDown() override { RegCloseKey(m_kvor); }

    std::string Folder(const std::string& path) const { return m_dir.File("HKEY_LOCAL_MACHINE/" + path); }
    std::string FileText(const std::string& path) const
    {
        const std::vector<unsigned char> bytes = ReadBytes(Folder(path));
        return std::string(bytes.begin(), bytes.end());
    }

    TempDir m_dir;
    ScopedEnv m_root{"KVOR_REGISTRY", m_dir.Path()};
    HKEY m_kvor = nullptr;
};

TEST_F(RegistryStore, CreateReportsWhetherTheKeyIsNew)
{
    const struct { const WCHAR* path; DWORD disposition; } steps[] = {
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

TEST_F(RegistryStore, OpeningAMissingKeyOrAValueFailsWithFileNotFound)
{
    WriteText(Folder("SOFTWARE/KVOR/Value"), "dword:00000001\n");
    for (const WCHAR* path : {KVOR_TEXT("SOFTWARE\\Missing"), KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger\\Zone"),
                              KVOR_TEXT("SOFTWARE\\KVOR\\Value")}) {
        HKEY key = nullptr;
        SetLastError(0);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key)) << U8(path);
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError()) << U8(path);
    }
}

TEST_F(RegistryStore, ValuesAreOneLineFilesReadAsTheirType)
{
    const struct { const char* line; DWORD type; std::vector<unsigned char> data; bool written; } cases[] = {
        {"dword:0000002a", REG_DWORD, {0x2A, 0, 0, 0}, true},
        {"\"a \\\"b\\\"\"", REG_SZ, {'a', 0, ' ', 0, '"', 0, 'b', 0, '"', 0, 0, 0}, true},
        {"hex:00,ab", REG_BINARY, {0x00, 0xAB}, true},
        {"DWORD:FFFFfffe", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}, false},
        {"dword:c", REG_NONE, {'d', 'w', 'o', 'r', 'd', ':', 'c'}, false},
        {"12", REG_NONE, {'1', '2'}, false},
    };
    WriteText(Folder("SOFTWARE/KVOR/Value"), "0\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.written) { // another spelling of the name replaces the same file
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_kvor, KVOR_TEXT("VALUE"), 0, c.type, c.data.data(),
                                                    static_cast<DWORD>(c.data.size())));
            EXPECT_EQ(std::string(c.line) + "\n", FileText("SOFTWARE/KVOR/Value"));
        } else {
            WriteText(Folder("SOFTWARE/KVOR/Value"), std::string(c.line) + "\r\n");
        }
        DWORD type = 99;
        BYTE data[64];
        DWORD size = sizeof(data);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_kvor, KVOR_TEXT("value"), nullptr, &type, data, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data, std::vector<unsigned char>(data, data + size));
    }
    // Too small a buffer: the size needed; a missing value: not found.
    BYTE one[1];
    DWORD size = sizeof(one);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(m_kvor, KVOR_TEXT("Value"), nullptr, nullptr, one, &size));
    EXPECT_EQ(2u, size);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(m_kvor, KVOR_TEXT("Other"), nullptr, nullptr, one, &size));
    // No temporary files are left beside the value.
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(Folder("SOFTWARE/KVOR")), {}));
}

} // namespace
