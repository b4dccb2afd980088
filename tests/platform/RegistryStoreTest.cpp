// The registry store of Linux, as a person setting up the device sees it:
// keys as folders, values as one-line files, names with any character a key
// name may hold, matched ignoring case; and when the system's calls fail,
// each call reports the Win32 error, the store keeps its old state whole,
// leaves no stray file behind and never keeps holding the lock under which
// keys are created. (On Windows the registry is the system's own.)
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "SystemCallFault.h"
#include "TestText.h"

using namespace kvortest;

namespace {

Outcome Reported(LSTATUS status, const std::string& detail = "")
{
    return {status, GetLastError(), detail};
}
LSTATUS SetValue(HKEY key, DWORD value)
{
    return RegSetValueExW(key, KVOR_TEXT("V"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}
Outcome Query(HKEY key)
{
    DWORD value = 0, size = sizeof(value);
    const LSTATUS status = RegQueryValueExW(key, KVOR_TEXT("V"), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return Reported(status, std::to_string(value));
}
// The name of the subkey at index, or the status that says why there is none.
std::string SubkeyAt(HKEY key, DWORD index)
{
    WCHAR name[300];
    DWORD chars = 300;
    const LSTATUS status = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(status != ERROR_SUCCESS || chars == std::char_traits<WCHAR>::length(name)) << "the length given";
    return status == ERROR_SUCCESS ? U8(name) : std::to_string(status);
}
Outcome FirstValue(HKEY key)
{
    WCHAR name[64];
    DWORD chars = 64, value = 0, size = sizeof(value);
    return Reported(RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                    std::to_string(value));
}
// Whether the key was created or opened; 0 when it was neither.
DWORD Create(HKEY parent, const WString& path)
{
    HKEY created = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, 0, nullptr, &created, &disposition) != ERROR_SUCCESS) {
        return 0;
    }
    RegCloseKey(created); // a created key holds the creation lock until closed
    return disposition;
}
Outcome CreateTwoLevels(HKEY key)
{
    HKEY created = nullptr;
    const LSTATUS status = RegCreateKeyExW(key, KVOR_TEXT("new\\deeper"), 0, nullptr, 0, 0, nullptr, &created, nullptr);
    return Reported(status == ERROR_SUCCESS ? RegCloseKey(created) : status);
}

// The key SOFTWARE\T of a store of the test's own, opened.
class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(0u, Create(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\T")));
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\T"), 0, 0, &m_key));
    }
    void TearDown() override { RegCloseKey(m_key); }

    // The value, the subkeys, then "stray" for each file the store left
    // aside and "locked" while the lock of key creation is still held.
    std::string State() const
    {
        std::string state = Query(m_key).detail;
        for (DWORD index = 0; SubkeyAt(m_key, index) != std::to_string(ERROR_NO_MORE_ITEMS); ++index) {
            state += " " + SubkeyAt(m_key, index);
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir.Path())) {
            const std::string name = entry.path().filename().string();
            state += name.rfind(".value-", 0) == 0 || name.rfind(".deleted-", 0) == 0 ? " stray" : "";
        }
        const int lock = open(m_dir.File(".lock").c_str(), O_RDONLY);
        state += flock(lock, LOCK_EX | LOCK_NB) != 0 ? " locked" : "";
        close(lock);
        return state;
    }

    TempDir m_dir;
    ScopedEnv m_store{"KVOR_REGISTRY", m_dir.Path()};
    const std::string m_folder = m_dir.File("HKEY_LOCAL_MACHINE/SOFTWARE/T/");
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

// What no file name can hold is written %XX; the store's own files
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
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), Create(m_key, W(std::string(255, 'n'))));
    std::vector<std::string> files, listed;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string>{"%252F", "%2E", "%2E.", "%2Elock", "%40", "100%25", "a%2Fb",
                                        std::string(255, 'n'), "tab\tx", "\xC3\xA4\xE2\x82\xAC"}),
              files);
    std::filesystem::create_directory(m_folder + ".deleted-1"); // a tree being deleted is no key
    for (DWORD index = 0; SubkeyAt(m_key, index) != std::to_string(ERROR_NO_MORE_ITEMS); ++index) {
        listed.push_back(SubkeyAt(m_key, index));
    }
    names.push_back(std::string(255, 'n'));
    std::sort(names.begin(), names.end()); // whatever order the store gives bytes beyond ASCII
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(names, listed);
    WCHAR name[4];
    DWORD chars = 1;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(m_key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(m_key, nullptr)) << "everything below the key goes, the key stays";
    EXPECT_EQ(std::to_string(ERROR_NO_MORE_ITEMS), SubkeyAt(m_key, 0));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(m_key, KVOR_TEXT("\\a/b"), 0, 0, &key));
}

TEST_F(RegistryStore, EachCallUnderASystemFailureReportsTheErrorAndKeepsTheStoreWhole)
{
    using S = SystemCall;
    const auto setSeven = [](HKEY key) { return Reported(SetValue(key, 7)); };
    const auto deleteSubkey = [](HKEY key) { return Reported(RegDeleteTreeW(key, KVOR_TEXT("sub"))); };
    const auto deleteAll = [](HKEY key) { return Reported(RegDeleteTreeW(key, nullptr)); };
    const DWORD denied = ERROR_ACCESS_DENIED, full = ERROR_DISK_FULL, untouched = kUntouched;
    const struct { const char* what; Fault fault; Outcome (*operation)(HKEY); LSTATUS result; DWORD error;
                   const char* detail; const char* after; } cases[] = {
        {"query: value unreadable", Failing(S::Open, EACCES), Query, 5, denied, "0", "12 sub"},
        {"query: read fails", Failing(S::Read, EIO), Query, 31, 31, "0", "12 sub"},
        {"query: interrupted read", Failing(S::Read, EINTR), Query, 0, untouched, "12", "12 sub"},
        {"query: short reads", Shortened(S::Read, 2), Query, 0, untouched, "12", "12 sub"},
        {"set: no temporary file", Failing(S::Open, EMFILE), setSeven, 4, 4, "", "12 sub"},
        {"set: disk full", Failing(S::Write, ENOSPC), setSeven, 112, full, "", "12 sub"},
        {"set: write moves nothing", Shortened(S::Write, 0), setSeven, 112, full, "", "12 sub"},
        {"set: short writes", Shortened(S::Write, 3), setSeven, 0, untouched, "", "7 sub"},
        {"set: rename refused", Failing(S::Rename, EACCES), setSeven, 5, denied, "", "12 sub"},
        {"create: folder refused", Failing(S::MakeFolder, EACCES), CreateTwoLevels, 5, denied, "", "12 sub"},
        {"create: second folder refused", Failing(S::MakeFolder, ENOSPC, 2), CreateTwoLevels, 112, full, "",
         "12 new sub"},
        {"list keys: folder unreadable", Failing(S::OpenFolder, EACCES),
         [](HKEY key) { return Reported(ERROR_SUCCESS, SubkeyAt(key, 0)); }, 0, denied, "5", "12 sub"},
        {"list values: value unreadable", Failing(S::Read, EIO), FirstValue, 31, 31, "0", "12 sub"},
        {"delete value refused", Failing(S::Unlink, EACCES),
         [](HKEY key) { return Reported(RegDeleteValueW(key, KVOR_TEXT("V"))); }, 5, denied, "", "12 sub"},
        {"delete key: no room to set it aside", Failing(S::MakeFolder, ENOSPC), deleteSubkey, 112, full, "", "12 sub"},
        {"delete key: rename refused", Failing(S::Rename, EACCES), deleteSubkey, 5, denied, "", "12 sub"},
        {"delete all: key unreadable", Failing(S::OpenFolder, EACCES), deleteAll, 5, denied, "", "12 sub"},
        {"delete all: a value refused", Failing(S::Unlink, EACCES), deleteAll, 5, denied, "", "12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(m_key, KVOR_TEXT("new"));
        ASSERT_EQ(ERROR_SUCCESS, SetValue(m_key, 12));
        ASSERT_NE(0u, Create(m_key, KVOR_TEXT("sub")));
        ExpectOutcome(UnderFault(c.fault, [&] { return c.operation(m_key); }), c.result, c.error, c.detail);
        EXPECT_EQ(State(), c.after);
    }
}

} // namespace
