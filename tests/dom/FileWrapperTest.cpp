// The file wrapper: its two states, the bytes of a line, reading to the end.
#include "DomTestSupport.h"
#include "kvor/dom/FileWrapper.h"

using namespace kvortest;

namespace {

uint32_t Open(CFileWrapper& file, const std::string& path, DWORD disposition = CREATE_ALWAYS)
{
    return file.Open(W(path).c_str(), disposition, disposition == CREATE_ALWAYS ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL);
}

TEST(FileWrapper, OpenAndCloseFollowTheTwoStates)
{
    TempDir dir;
    CFileWrapper file;
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.Open(nullptr, OPEN_ALWAYS, GENERIC_READ, 0, FILE_ATTRIBUTE_NORMAL), 0u);
    EXPECT_EQ(Open(file, dir.File("missing/x")), 0u);
    ASSERT_EQ(Open(file, dir.File("first")), 1u);
    EXPECT_EQ(Open(file, dir.File("second")), 0u);
    EXPECT_FALSE(FileExists(dir.File("second")));
    EXPECT_EQ(file.WriteLine(KVOR_TEXT("x")), 6u) << "the first file stays open";
    EXPECT_EQ(file.Close(), 1u);
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.WriteLine(KVOR_TEXT("x")), 0u);
    EXPECT_EQ(Open(file, dir.File("second")), 1u) << "opens again after Close";
}

TEST(FileWrapper, LinesAreUtf16WithCrLfAndNoTerminator)
{
    TempDir dir;
    {
        CFileWrapper file;
        ASSERT_EQ(Open(file, dir.File("lines")), 1u);
        EXPECT_EQ(file.WriteLine(KVOR_TEXT("abc")), 10u);
        EXPECT_EQ(file.WriteLine(KVOR_TEXT("")), 4u);
        EXPECT_EQ(file.WriteLine(nullptr), 4u);
        EXPECT_EQ(file.WriteLine(KVOR_TEXT("\u20AC")), 6u);
    } // the destructor closes the file
    EXPECT_EQ(ReadBytes(dir.File("lines")), Utf16Bytes("abc\r\n\r\n\r\n\xE2\x82\xAC\r\n"));
}

TEST(FileWrapper, ReadsTheWholeFileThenZero)
{
    TempDir dir;
    WriteText(dir.File("data"), "hello");
    CFileWrapper file;
    ASSERT_EQ(Open(file, dir.File("data"), OPEN_ALWAYS), 1u);
    char buffer[16] = {};
    EXPECT_EQ(file.GetSize(), 5u);
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 5u);
    EXPECT_EQ(std::string(buffer), "hello");
    EXPECT_EQ(file.ReadBlock(buffer, sizeof(buffer)), 0u) << "at the end";
}

} // namespace
