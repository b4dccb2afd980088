// The file wrapper: its two states, the bytes of a line, reading to the end.
#include "kvor/dom/FileWrapper.h"
#include "DomTestSupport.h"

using namespace kvortest;

namespace {

uint32_t Open(CFileWrapper& file, const std::string& path, DWORD disposition = CREATE_ALWAYS)
{
    return file.Open(W(path).c_str(), disposition, disposition == CREATE_ALWAYS ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL);
}

// Lines are UTF-16 with CR LF and no terminator; a null text is an empty line.
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
    const struct { const WCHAR* text; uint32_t written; } lines[] = {{T("abc"), 10}, {T(""), 4}, {nullptr, 4}};
    for (const auto& line : lines) {
        EXPECT_EQ(file.WriteLine(line.text), line.written) << "the first file stays open";
    }
    EXPECT_EQ(file.Close(), 1u);
    EXPECT_EQ(file.Close(), 0u);
    EXPECT_EQ(file.WriteLine(T("x")), 0u);
    EXPECT_EQ(ReadBytes(dir.File("first")), Utf16Bytes("abc\r\n\r\n\r\n"));
    EXPECT_EQ(Open(file, dir.File("second")), 1u) << "opens again after Close";
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
