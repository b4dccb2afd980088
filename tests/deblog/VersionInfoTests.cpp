// The executable version reader when there is nothing to read. (The header
// with a version is checked from a client that declares one.)
#include <gtest/gtest.h>

#include <string>

#include "DebLogger.h"
#include "TestText.h"

using namespace kvortest;

namespace {

// A file that holds no version record fails with a resource error: the posix
// back end names the missing resource type, Windows the missing resource data.
const DWORD kResourceDataNotFound = 1812;
const DWORD kNoRecord = 0;

TEST(VersionInfo, FilesWithoutARecordHaveNoVersion)
{
    TempDir dir;
    WriteText(dir.File("text.exe"), std::string(4096, 'x'));
    WriteText(dir.File("short"), "\x7f" "ELF");
    WCHAR self[DebLogger::kPathCapacity];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, DebLogger::kPathCapacity));
    const struct { const char* name; WString path; DWORD error; } cases[] = {
        {"this program declares none", self, kNoRecord},
        {"not an executable", W(dir.File("text.exe")), kNoRecord},
        {"cut short", W(dir.File("short")), kNoRecord},
        {"missing", W(dir.File("missing")), ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD handle = 7;
        SetLastError(0);
        EXPECT_EQ(0u, GetFileVersionInfoSizeW(c.path.c_str(), &handle));
        const DWORD error = GetLastError();
        if (c.error == kNoRecord) {
            EXPECT_TRUE(error == ERROR_RESOURCE_TYPE_NOT_FOUND || error == kResourceDataNotFound) << error;
        } else {
            EXPECT_EQ(c.error, error);
        }
        EXPECT_EQ(0u, handle);
    }
    uint16_t version[4] = {9, 9, 9, 9};
    EXPECT_EQ(0u, DebLogger::GetExeVersionInfo(&version[0], &version[1], &version[2], &version[3]));
}

} // namespace
