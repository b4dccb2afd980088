// The four logging calls: without a logger, and with one installed - the
// enabled test and the entry line with its message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

const WCHAR* const kFile = KVOR_TEXT("C:\\src\\parser\\XMLParser.cpp");

TEST(DebLogWithoutLogger, CallsDoNothingButRegistrationReportsTheFailure)
{
    kvor::testing::ReplaceLogger(nullptr);
    DebugCapture debug;
    EXPECT_EQ(0u, DebLogIsZoneEnabled(12, 4));
    EXPECT_EQ(0u, DebLogBeginEntry(12, 3, 0, kFile, 7));
    EXPECT_EQ(0u, DebLogWriteEntry(KVOR_TEXT("message %d"), 1));
    EXPECT_EQ(0u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), kFile, 31));
    const std::string failed = "[C:\\src\\parser\\XMLParser.cpp#31][12][kvorXMLParser]Initialize DebLog Failed ! ";
    EXPECT_EQ(std::vector<std::string>{failed}, debug.Lines());
}

TEST_F(LoggerTest, EntryLineShowsSeverityZoneThreadSourceAndMessage)
{
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/Threaded", "OutputEnable", 3);
    Start();
    ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), kFile, 1));
    ASSERT_EQ(1u, DebLogRegisterZone(13, KVOR_TEXT("Threaded"), kFile, 2));
    WCHAR systemText[1025];
    ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 ERROR_FILE_NOT_FOUND, 0, systemText, 1025, nullptr));
    const std::string thread = std::to_string(GetCurrentThreadId());
    const WString longText(1500, KVOR_TEXT('x'));
    // expected: the line after "[A][letter][title]".
    const struct { const char* name; uint32_t zone, severity, systemError; const WCHAR *file, *message;
                   const char* letter; std::string expected; } cases[] = {
        {"plain", 12, 3, 0, nullptr, KVOR_TEXT("m 5"), "E", "[kvorXMLP]m 5"},
        {"thread id", 13, 3, 0, nullptr, KVOR_TEXT("m"), "E", "[Threaded][" + thread + "]m"},
        {"source file", 12, 3, 0, kFile, KVOR_TEXT("m"), "E", "[kvorXMLP]XMLParser.cpp#42;m"},
        {"thread id and source file", 13, 3, 0, kFile, KVOR_TEXT("m"), "E",
         "[Threaded][" + thread + "]XMLParser.cpp#42;m"},
        {"unregistered zone", 20, 3, 0, nullptr, KVOR_TEXT("m"), "E", "[]m"},
        {"zone beyond the table", 200, 3, 0, nullptr, KVOR_TEXT("m"), "E", "[]m"},
        {"file without directory", 12, 3, 0, KVOR_TEXT("File.cpp"), KVOR_TEXT("m"), "E", "[kvorXMLP]File.cpp#42;m"},
        {"empty file name", 12, 3, 0, KVOR_TEXT(""), KVOR_TEXT("m"), "E", "[kvorXMLP]#42;m"},
        {"path ending in a backslash", 12, 3, 0, KVOR_TEXT("dir\\"), KVOR_TEXT("m"), "E", "[kvorXMLP]#42;m"},
        {"severity 0", 12, 0, 0, nullptr, KVOR_TEXT("m"), "R", "[kvorXMLP]m"},
        {"severity 1", 12, 1, 0, nullptr, KVOR_TEXT("m"), "I", "[kvorXMLP]m"},
        {"severity 2", 12, 2, 0, nullptr, KVOR_TEXT("m"), "W", "[kvorXMLP]m"},
        {"severity 4", 12, 4, 0, nullptr, KVOR_TEXT("m"), "F", "[kvorXMLP]m"},
        {"severity 5", 12, 5, 0, nullptr, KVOR_TEXT("m"), "?", "[kvorXMLP]m"},
        {"severity 0xFFFFFFFF", 12, 0xFFFFFFFF, 0, nullptr, KVOR_TEXT("m"), "?", "[kvorXMLP]m"},
        {"message cut at 1024", 12, 3, 0, nullptr, longText.c_str(), "E", "[kvorXMLP]" + std::string(1024, 'x')},
        {"message's own % signs kept", 12, 3, 0, nullptr, KVOR_TEXT("100% %d done"), "E", "[kvorXMLP]100% %d done"},
        {"system error code", 12, 3, ERROR_FILE_NOT_FOUND, nullptr, KVOR_TEXT("ignored"), "E",
         "[kvorXMLP]" + U8(systemText)},
        {"system code without text", 12, 3, 0x7FFF1234, nullptr, KVOR_TEXT("ignored"), "E", "[kvorXMLP]"},
    };
    const std::string title = "][" + U8(DebLogger::GetExeFileTitle()) + "]";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        debug.Clear();
        EXPECT_EQ(1u, DebLogBeginEntry(c.zone, c.severity, c.systemError, c.file, 42));
        EXPECT_EQ(1u, DebLogWriteEntry(KVOR_TEXT("%s"), c.message));
        // A system text may end in a line end of its own ("\r\n" on Windows), which shows as a line more.
        EXPECT_EQ(TextLines("[A][" + std::string(c.letter) + title + c.expected + "\n"), debug.Lines());
    }
}

TEST_F(LoggerTest, ZoneEnabledAnswersByThresholdOutputTypeAndOutputEnable)
{
    // zoneSeverity -1: no value; the global 3 applies.
    const struct { const char* name; unsigned outputType, outputEnable; int zoneSeverity; uint32_t zone, severity, on; }
    cases[] = {
        {"below global threshold", 1, 1, -1, 12, 2, 0}, {"at global threshold", 1, 1, -1, 12, 3, 1},
        {"zone threshold 0 lets trace through", 1, 1, 0, 12, 0, 1}, {"zone threshold 4", 1, 1, 4, 12, 3, 0},
        {"unregistered zone", 1, 1, -1, 11, 4, 0}, {"zone 128", 1, 1, -1, 128, 4, 0},
        {"output type 0", 0, 1, 0, 12, 4, 0}, {"output type without output bit", 4, 1, 0, 12, 4, 1},
        {"output enable 2", 1, 2, 0, 12, 4, 0}, {"output enable 3", 1, 3, 0, 12, 0, 1},
    };
    int probe = 0; // a zone of each case's own
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string zone = "Probe" + std::to_string(++probe);
        SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", c.outputType);
        SetDword("SOFTWARE/KVOR/DebLogger/Zone/" + zone, "OutputEnable", c.outputEnable);
        if (c.zoneSeverity >= 0) {
            SetDword("SOFTWARE/KVOR/DebLogger/Zone/" + zone, "Severity", static_cast<unsigned>(c.zoneSeverity));
        }
        DebLogger fresh;
        ASSERT_EQ(1u, fresh.Initialize());
        ASSERT_EQ(1u, fresh.RegisterZone(12, W(zone).c_str(), kFile, 1));
        EXPECT_EQ(c.on, fresh.IsZoneEnabled(c.zone, c.severity));
    }
}

} // namespace
