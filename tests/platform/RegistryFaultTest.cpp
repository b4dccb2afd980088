// The registry store when the system's calls fail: each call reports the
// Win32 error, the store keeps its old state whole, leaves no stray file
// behind and never keeps holding the lock under which keys are created.
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

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
    WCHAR name[64];
    DWORD chars = 64;
    const LSTATUS status = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    return status == ERROR_SUCCESS ? U8(name) : std::to_string(status);
}
Outcome FirstValue(HKEY key)
{
    WCHAR name[64];
    DWORD chars = 64, value = 0, size = sizeof(value);
    return Reported(RegEnumValueW(key, 0, name, &chars, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                    std::to_string(value));
}
Outcome CreateTwoLevels(HKEY key)
{
    HKEY created = nullptr;
    const LSTATUS status = RegCreateKeyExW(key, KVOR_TEXT("new\\deeper"), 0, nullptr, 0, 0, nullptr, &created, nullptr);
    return Reported(status == ERROR_SUCCESS ? RegCloseKey(created) : status);
}

class RegistryFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, KVOR_TEXT("SOFTWARE\\T"), 0, nullptr, 0, 0,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
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
    HKEY m_key = nullptr;
};

TEST_F(RegistryFaults, EachCallReportsTheErrorAndKeepsTheStoreWhole)
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
        HKEY sub = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, KVOR_TEXT("sub"), 0, nullptr, 0, 0, nullptr, &sub, nullptr));
        RegCloseKey(sub);
        ExpectOutcome(UnderFault(c.fault, [&] { return c.operation(m_key); }), c.result, c.error, c.detail);
        EXPECT_EQ(State(), c.after);
    }
}

} // namespace
