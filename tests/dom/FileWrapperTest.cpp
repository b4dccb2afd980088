#include <gtest/gtest.h>

#include "DomTestSupport.h"
#include "FileWrapper.h"

using kvortest::ReadBytes;
using kvortest::TempDir;
using kvortest::W;

namespace {

const DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

uint32_t OpenForWriting(CFileWrapper& file, const std::string& path)
{
    return file.Open(W(path).c_str(), CREATE_ALWAYS, GENERIC_WRITE, kShare, FILE_ATTRIBUTE_NORMAL);
}

uint32_t OpenForReading(CFileWrapper& file, const std::string& path)
{
    return file.Open(W(path).c_str(), OPEN_ALWAYS, GENERIC_READ, kShare, FILE_ATTRIBUTE_NORMAL);
}

TEST(FileWrapper, OpenAndCloseFollowTheTwoStates)
{
    TempDir dir;
    CFileWrapper file;
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.Open(nullptr, OPEN_ALWAYS, GENERIC_READ, kShare, FILE_ATTRIBUTE_NORMAL), 0u);
    EXPECT_EQ(OpenForWriting(file, dir.File("missing/x")), 0u);
    ASSERT_EQ(OpenForWriting(file, dir.File("first")), 1u);
    EXPECT_EQ(OpenForWriting(file, dir.File("second")), 0u);
    EXPECT_FALSE(kvortest::FileExists(dir.File("second")));
    EXPECT_EQ(file.WriteLine(KVOR_TEXT("x")), 6u) << "the first file stays open";
    EXPECT_EQ(file.Close(), 1u);
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.WriteLine(KVOR_TEXT("x")), 0u);
    EXPECT_EQ(OpenForWriting(file, dir.File("second")), 1u) << "opens again after Close";
}

TEST(FileWrapper, WrittenLinesAreUtf16WithCrLfAndNoTerminator)
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
            ASSERT_EQ(OpenForWriting(file, dir.File("line")), 1u);
            EXPECT_EQ(file.WriteLine(c.text), c.bytes.size());
        } // the destructor closes the file
        EXPECT_EQ(ReadBytes(dir.File("line")), c.bytes);
    }
}

TEST(FileWrapper, MarkThenDeclarationStartsTheDocument)
{
    TempDir dir;
    CFileWrapper file;
    ASSERT_EQ(OpenForWriting(file, dir.File("doc")), 1u);
    EXPECT_EQ(file.WriteByteOrderMark(), 2u);
    file.WriteLine(KVOR_TEXT("<?xml version=\"1.0\"?>"));
    file.Close();
    const std::vector<unsigned char> bytes = ReadBytes(dir.File("doc"));
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 6),
              (std::vector<unsigned char>{0xFF, 0xFE, 0x3C, 0x00, 0x3F, 0x00}));
}

TEST(FileWrapper, ReadsWholeFileThenZeroAtTheEnd)
{
    TempDir dir;
    kvortest::WriteText(dir.File("data"), "hello");
    CFileWrapper file;
    ASSERT_EQ(OpenForReading(file, dir.File("data")), 1u);
    EXPECT_EQ(file.GetSize(), 5u);
    char buffer[16] = {};
    EXPECT_EQ(file.ReadBlock(nullptr, 5), 0u);
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 5u);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 0u);
    file.Close();
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(file.GetSize(), 0u);
}

TEST(FileWrapper, OpenAlwaysCreatesAnEmptyFile)
{
    TempDir dir;
    CFileWrapper file;
    ASSERT_EQ(OpenForReading(file, dir.File("new")), 1u);
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_TRUE(kvortest::FileExists(dir.File("new")));
}

} // namespace
