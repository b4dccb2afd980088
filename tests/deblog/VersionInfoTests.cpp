// The executable version reader when there is nothing to read. (The header
// with a version is checked from a client that declares one.)
#include <gtest/gtest.h>

#include <string>

#include "DebLogger.h"
#include "TestText.h"

using namespace kvortest;

namespace {

TEST(VersionInfo, FilesWithoutARecordHaveNoVersion)
{
    TempDir dir;
    WriteText(dir.File("text.exe"), std::string(4096, 'x'));
    WriteText(dir.File("short"), "\x7f" "ELF");
    WCHAR self[DebLogger::kPathCapacity];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, DebLogger::kPathCapacity));
    const struct { const char* name; WString path; DWORD error; } cases[] = {
        {"this program declares none", self, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"not an executable", W(dir.File("text.exe")), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"cut short", W(dir.File("short")), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"missing", W(dir.File("missing")), ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD handle = 7;
        SetLastError(0);
        EXPECT_EQ(0u, GetFileVersionInfoSizeW(c.path.c_str(), &handle));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(0u, handle);
    }
    uint16_t version[4] = {9, 9, 9, 9};
    EXPECT_EQ(0u, DebLogger::GetExeVersionInfo(&version[0], &version[1], &version[2], &version[3]));

}

} // namespace
