#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "FileWrapper.h"

using kvortest::ReadBytes;
using kvortest::TempDir;
using kvortest::W;

namespace {

const DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

uint32_t Open(CFileWrapper& file, const std::string& path, DWORD disposition = CREATE_ALWAYS)
{
    return file.Open(W(path).c_str(), disposition, disposition == CREATE_ALWAYS ? GENERIC_WRITE : GENERIC_READ,
                     kShare, FILE_ATTRIBUTE_NORMAL);
}

TEST(FileWrapper, OpenAndCloseFollowTheTwoStates)
{
    TempDir dir;
    CFileWrapper file;
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.Open(nullptr, OPEN_ALWAYS, GENERIC_READ, kShare, FILE_ATTRIBUTE_NORMAL), 0u);
    EXPECT_EQ(Open(file, dir.File("missing/x")), 0u);
    ASSERT_EQ(Open(file, dir.File("first")), 1u);
    EXPECT_EQ(Open(file, dir.File("second")), 0u);
    EXPECT_FALSE(kvortest::FileExists(dir.File("second")));
    EXPECT_EQ(file.WriteLine(KVOR_TEXT("x")), 6u) << "the first file stays open";
    EXPECT_EQ(file.Close(), 1u);
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.WriteLine(KVOR_TEXT("x")), 0u);
    EXPECT_EQ(Open(file, dir.File("second")), 1u) << "opens again after Close";
}

TEST(FileWrapper, LinesAreUtf16WithCrLfAndNoTerminator)
{
    struct Case {
        const char* name;
        const WCHAR* text;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"abc", KVOR_TEXT("abc"), {0x61, 0x00, 0x62, 0x00, 0x63, 0x00, 0x0D, 0x00, 0x0A, 0x00}},
        {"empty", KVOR_TEXT(""), {0x0D, 0x00, 0x0A, 0x00}},
        {"null", nullptr, {0x0D, 0x00, 0x0A, 0x00}},
        {"beyond ASCII", KVOR_TEXT("\u20AC"), {0xAC, 0x20, 0x0D, 0x00, 0x0A, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        {
            CFileWrapper file;
            ASSERT_EQ(Open(file, dir.File("line")), 1u);
            EXPECT_EQ(file.WriteLine(c.text), c.bytes.size());
        } // the destructor closes the file
        EXPECT_EQ(ReadBytes(dir.File("line")), c.bytes);
    }
}

TEST(FileWrapper, ReadsUntilZeroAtTheEnd)
{
    TempDir dir;
    kvortest::WriteText(dir.File("data"), "hello");
    CFileWrapper file;
    ASSERT_EQ(Open(file, dir.File("data"), OPEN_ALWAYS), 1u);
    EXPECT_EQ(file.GetSize(), 5u);
    char buffer[16] = {};
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 5u);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 0u);
}

TEST(FileWrapper, OpenAlwaysCreatesAnEmptyFile)
{
    TempDir dir;
    CFileWrapper file;
    ASSERT_EQ(Open(file, dir.File("new"), OPEN_ALWAYS), 1u);
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_TRUE(kvortest::FileExists(dir.File("new")));
}

} // namespace
