// The registry store of Linux, as the logger and the client use it: keys as
// folders, values as one-line files, listing and deletion, and names with any
// character a key name may hold, matched ignoring case. (On Windows the
// registry is the system's own.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

#if !defined(_WIN32)

const WCHAR kTestKey[] = KVOR_TEXT("SOFTWARE\\KVOR\\T");
const bool kValues = true;
const bool kSubkeys = false;

class RegistryStore : public LoggerTest {
protected:
    void SetUp() override
    {
        LoggerTest::SetUp();
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, 0, nullptr, &m_key,
                                                 nullptr));
    }
    void TearDown() override
    {
        RegCloseKey(m_key);
        LoggerTest::TearDown();
    }

    // Whether the key was created or opened.
    DWORD CreateKey(const WCHAR* path) const
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        const LSTATUS status = RegCreateKeyExW(m_key, path, 0, nullptr, 0, 0, nullptr, &key, &disposition);
        EXPECT_EQ(ERROR_SUCCESS, status) << U8(path);
        RegCloseKey(key);
        return disposition;
    }
    void SetDword(HKEY key, const WCHAR* name, DWORD value) const
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                                sizeof(value)));
    }
    // The subkeys' names, or "name=type:size" of each value, of a key below
    // HKEY_LOCAL_MACHINE in the order listed; none when it cannot be opened.
    static std::vector<std::string> Listed(const WCHAR* path, bool values)
    {
        std::vector<std::string> listed;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key) != ERROR_SUCCESS) {
            return listed;
        }
        WCHAR name[300];
        BYTE data[64];
        for (DWORD index = 0;; ++index) {
            DWORD chars = 300, type = 99, size = sizeof(data);
            const LSTATUS status = values ? RegEnumValueW(key, index, name, &chars, nullptr, &type, data, &size)
                                          : RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
            if (status != ERROR_SUCCESS) {
                EXPECT_EQ(ERROR_NO_MORE_ITEMS, status);
                RegCloseKey(key);
                return listed;
            }
            EXPECT_EQ(chars, std::char_traits<WCHAR>::length(name));
            listed.push_back(U8(name) + (values ? "=" + std::to_string(type) + ":" + std::to_string(size) : ""));
        }
    }

    HKEY m_key = nullptr;
};

TEST_F(RegistryStore, ListsSubkeysAndValuesInNameOrderWithTypeAndSize)
{
    for (const WCHAR* path : {KVOR_TEXT("b"), KVOR_TEXT("A"), KVOR_TEXT("c\\d")}) {
        EXPECT_EQ(REG_CREATED_NEW_KEY, CreateKey(path)) << U8(path);
    }
    // Names match ignoring case; the key keeps the name it was created with.
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, CreateKey(KVOR_TEXT("a\\")));
    SetDword(m_key, KVOR_TEXT("Severity"), 3);
    const WCHAR text[] = KVOR_TEXT("on");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, KVOR_TEXT("name"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                            sizeof(text)));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                            sizeof(text)));
    EXPECT_EQ((std::vector<std::string>{"A", "b", "c"}), Listed(kTestKey, kSubkeys));
    EXPECT_EQ((std::vector<std::string>{"=1:6", "name=1:6", "Severity=4:4"}), Listed(kTestKey, kValues));

    // Too small a buffer for the name, or for the data: the size it needs.
    WCHAR name[16];
    DWORD chars = 1;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(m_key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    BYTE data[2];
    DWORD size = sizeof(data);
    chars = 16;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(m_key, 2, name, &chars, nullptr, nullptr, data, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ("Severity", U8(name));
    chars = 16;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(m_key, 3, name, &chars, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryStore, DeletesAValueOrAKeyWithEverythingBelowIt)
{
    device.CreateKey("SOFTWARE/KVOR/T/gone/deeper/deepest");
    device.CreateKey("SOFTWARE/KVOR/T/kept");
    device.SetValue("SOFTWARE/KVOR/T/gone/deeper", "Severity", "dword:00000001");
    SetDword(m_key, KVOR_TEXT("Severity"), 2);
    SetDword(m_key, KVOR_TEXT("FileMode"), 0);

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(m_key, KVOR_TEXT("severity")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(m_key, KVOR_TEXT("Severity")));
    EXPECT_EQ((std::vector<std::string>{"FileMode=4:4"}), Listed(kTestKey, kValues));

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\KVOR\\T\\GONE")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(m_key, KVOR_TEXT("gone")));
    EXPECT_EQ((std::vector<std::string>{"kept"}), Listed(kTestKey, kSubkeys));
    HKEY missing = nullptr;
    SetLastError(0);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(m_key, KVOR_TEXT("gone\\deeper"), 0, 0, &missing));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    // A value is no key.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(m_key, KVOR_TEXT("FileMode"), 0, 0, &missing));

    // Without a subkey: everything the key holds, the key itself stays.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(m_key, nullptr));
    EXPECT_TRUE(Listed(kTestKey, kSubkeys).empty());
    EXPECT_TRUE(Listed(kTestKey, kValues).empty());
    EXPECT_EQ((std::vector<std::string>{"T"}), Listed(KVOR_TEXT("SOFTWARE\\KVOR"), kSubkeys));
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Any character but the backslash, which separates the names of a path.
const char* const kNames[] = {"a/b", ".", "..", ".lock", "@", "100%", "%2F", "tab\tx", "\xC3\xA4\xE2\x82\xAC"};

// On Linux what no file name can hold is written %XX; the store's own files
// (".lock", temporaries, trees being deleted) begin with '.', which no
// name's file does.
TEST_F(RegistryStore, NamesKeepEveryCharacterButTheBackslash)
{
    CreateKey(KVOR_TEXT("values"));
    HKEY valueKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(m_key, KVOR_TEXT("values"), 0, 0, &valueKey));
    for (const char* name : kNames) {
        CreateKey((KVOR_TEXT("keys\\") + W(name)).c_str());
        SetDword(valueKey, W(name).c_str(), 1);
    }
    RegCloseKey(valueKey);
    const std::string store = m_dir.File("registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR/T/");
    WriteText(store + "values/.value-abc", "dword:00000001\n");
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(store + "keys")) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string>{"%252F", "%2E", "%2E.", "%2Elock", "%40", "100%25", "a%2Fb", "tab\tx",
                                        "\xC3\xA4\xE2\x82\xAC"}),
              files);
    // Listed as written, in whatever order the store gives bytes beyond ASCII.
    std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    EXPECT_EQ(Sorted(names), Sorted(Listed(KVOR_TEXT("SOFTWARE\\KVOR\\T\\keys"), kSubkeys)));
    for (std::string& name : names) {
        name += "=4:4";
    }
    EXPECT_EQ(Sorted(names), Sorted(Listed(KVOR_TEXT("SOFTWARE\\KVOR\\T\\values"), kValues)));
    // A device's key name holds at most 255 characters.
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(m_key, W(std::string(256, 'n')).c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(m_key, KVOR_TEXT("keys\\A/B"), 0, 0, &key));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(m_key, KVOR_TEXT("\\keys"), 0, 0, &key));
}

TEST_F(RegistryStore, ValuesAreOneLineFilesReadAsTheirType)
{
    const struct { const char* line; DWORD type; std::vector<unsigned char> data; bool written; } cases[] = {
        {"dword:0000002a", REG_DWORD, {0x2A, 0, 0, 0}, true},
        {"\"a \\\"b\\\"\"", REG_SZ, {'a', 0, ' ', 0, '"', 0, 'b', 0, '"', 0, 0, 0}, true},
        {"DWORD:FFFFfffe", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}, false},
        {"dword:c", REG_NONE, {'d', 'w', 'o', 'r', 'd', ':', 'c'}, false},
        {"hex:00,ab", REG_NONE, {'h', 'e', 'x', ':', '0', '0', ',', 'a', 'b'}, false},
    };
    const std::string file = m_dir.File("registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR/T/Value");
    WriteText(file, "0\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.written) { // another spelling of the name replaces the same file
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, KVOR_TEXT("VALUE"), 0, c.type, c.data.data(),
                                                    static_cast<DWORD>(c.data.size())));
            EXPECT_EQ(std::string(c.line) + "\n", ReadText(file));
        } else {
            WriteText(file, std::string(c.line) + "\r\n");
        }
        DWORD type = 99;
        BYTE data[64];
        DWORD size = sizeof(data);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, KVOR_TEXT("value"), nullptr, &type, data, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data, std::vector<unsigned char>(data, data + size));
    }
    // Other types are not written; too small a buffer: the size needed.
    const BYTE bytes[2] = {1, 2};
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(m_key, KVOR_TEXT("Value"), 0, 3, bytes, sizeof(bytes)));
    BYTE one[1];
    DWORD size = sizeof(one);
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(m_key, KVOR_TEXT("Value"), nullptr, nullptr, one, &size));
    EXPECT_EQ(9u, size);
}

#endif

} // namespace
