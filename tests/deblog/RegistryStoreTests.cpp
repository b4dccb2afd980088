// The registry store of Linux, as a person setting up the device sees it:
// keys as folders, values as one-line files, names with any character a key
// name may hold, matched ignoring case. (On Windows the registry is the
// system's own; kvorxml's tests list and delete through the store.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

#if !defined(_WIN32)

class RegistryStore : public LoggerTest {
protected:
    void SetUp() override { ASSERT_NE(0u, Create(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\KVOR\\T"), &m_key)); }
    void TearDown() override { RegCloseKey(m_key); }

    // Whether the key was created or opened; 0 when it was neither.
    static DWORD Create(HKEY parent, const WString& path, HKEY* key = nullptr)
    {
        HKEY created = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, 0, nullptr, &created, &disposition) != ERROR_SUCCESS) {
            return 0;
        }
        key != nullptr ? void(*key = created) : void(RegCloseKey(created));
        return disposition;
    }

    const std::string m_folder = m_dir.File("registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR/T/");
    HKEY m_key = nullptr;
};

TEST_F(RegistryStore, ValuesAreOneLineFilesReadAsTheirTypeWhateverTheCaseOfTheirName)
{
    const struct { const char* line; DWORD type; std::vector<unsigned char> data; bool written; } cases[] = {
        {"dword:0000002a", REG_DWORD, {0x2A, 0, 0, 0}, true},
        {"\"a \\\"b\\\"\"", REG_SZ, {'a', 0, ' ', 0, '"', 0, 'b', 0, '"', 0, 0, 0}, true},
        {"DWORD:FFFFfffe", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}, false},
        {"dword:c", REG_NONE, {'d', 'w', 'o', 'r', 'd', ':', 'c'}, false},
        {"hex:00,ab", REG_NONE, {'h', 'e', 'x', ':', '0', '0', ',', 'a', 'b'}, false},
    };
    WriteText(m_folder + "Value", "0\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        if (c.written) { // another spelling of the name replaces the same file
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, KVOR_TEXT("VALUE"), 0, c.type, c.data.data(),
                                                    static_cast<DWORD>(c.data.size())));
            EXPECT_EQ(std::string(c.line) + "\n", ReadText(m_folder + "Value"));
        } else {
            WriteText(m_folder + "Value", std::string(c.line) + "\r\n");
        }
        DWORD type = 99;
        BYTE data[64];
        DWORD size = sizeof(data);
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, KVOR_TEXT("value"), nullptr, &type, data, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data, std::vector<unsigned char>(data, data + size));
    }
    // Other types are not written; too small a buffer: the size needed.
    BYTE bytes[2] = {1, 2};
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(m_key, KVOR_TEXT("Value"), 0, 3, bytes, sizeof(bytes)));
    DWORD size = 1;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(m_key, KVOR_TEXT("Value"), nullptr, nullptr, bytes, &size));
    EXPECT_EQ(9u, size);
    // The unnamed value is the file "@" (a value named "@" is "%40"); a value deleted is gone.
    const DWORD number = 7;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
    EXPECT_EQ("dword:00000007\n", ReadText(m_folder + "@"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(m_key, KVOR_TEXT("vAlue")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(m_key, KVOR_TEXT("Value")));
}

// On Linux what no file name can hold is written %XX; the store's own files
// (".lock", temporaries, trees being deleted) begin with '.', which no
// name's file does. Listed, the names are as written.
TEST_F(RegistryStore, KeyNamesKeepEveryCharacterButTheBackslashAndMatchIgnoringCase)
{
    std::vector<std::string> names = {"a/b", ".", "..", ".lock", "@", "100%", "%2F", "tab\tx", "\xC3\xA4\xE2\x82\xAC"};
    for (const std::string& name : names) {
        EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), Create(m_key, W(name))) << name;
    }
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), Create(m_key, KVOR_TEXT("A/B\\")));
    EXPECT_EQ(0u, Create(m_key, W(std::string(256, 'n')))) << "a key name holds at most 255 characters";
    std::vector<std::string> files, listed;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string>{"%252F", "%2E", "%2E.", "%2Elock", "%40", "100%25", "a%2Fb", "tab\tx",
                                        "\xC3\xA4\xE2\x82\xAC"}),
              files);
    std::filesystem::create_directory(m_folder + ".deleted-1"); // a tree being deleted is no key
    WCHAR name[300];
    DWORD chars = 300;
    while (RegEnumKeyExW(m_key, static_cast<DWORD>(listed.size()), name, &chars, nullptr, nullptr, nullptr,
                         nullptr) == ERROR_SUCCESS) {
        EXPECT_EQ(chars, std::char_traits<WCHAR>::length(name));
        listed.push_back(U8(name));
        chars = 300;
    }
    std::sort(names.begin(), names.end()); // whatever order the store gives bytes beyond ASCII
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(names, listed);
    chars = 1;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(m_key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(m_key, nullptr)) << "everything below the key goes, the key stays";
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(m_key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(m_key, KVOR_TEXT("\\a/b"), 0, 0, &key));
}

#endif

} // namespace
