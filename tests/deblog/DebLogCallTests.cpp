// The four logging calls: without a logger, and with one installed - the
// enabled test, the entry line shapes, the message and the source file name.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

const WCHAR* const kFile = KVOR_TEXT("C:\\src\\parser\\XMLParser.cpp");

TEST(DebLogWithoutLogger, EveryCallAnswersZeroAndLocksNothing)
{
    kvor::testing::ReplaceLogger(nullptr);
    DebugCapture debug;
    EXPECT_EQ(0u, DebLogIsZoneEnabled(12, 4));
    EXPECT_EQ(0u, DebLogBeginEntry(12, 3, 0, kFile, 7));
    EXPECT_EQ(0u, DebLogWriteEntry(KVOR_TEXT("message %d"), 1));
    // Another thread is not kept waiting by the entry above.
    uint32_t other = 1;
    std::thread([&other] { other = DebLogBeginEntry(12, 3, 0, nullptr, 0) + DebLogWriteEntry(KVOR_TEXT("x")); })
        .join();
    EXPECT_EQ(0u, other);
    EXPECT_TRUE(debug.Lines().empty());
}

TEST(DebLogWithoutLogger, RegisterZonePrintsTheFailureWithTheWholePath)
{
    kvor::testing::ReplaceLogger(nullptr);
    DebugCapture debug;
    EXPECT_EQ(0u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), kFile, 31));
    EXPECT_EQ(std::vector<std::string>{"[C:\\src\\parser\\XMLParser.cpp#31][12][kvorXMLParser]Initialize DebLog Failed ! "},
              debug.Lines());
}

class DebLogCallTest : public LoggerTest {
protected:
    void SetUp() override
    {
        LoggerTest::SetUp();
        SetDword("SOFTWARE/KVOR/DebLogger/Zone/Threaded", "OutputEnable", 3);
        Start();
        ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("kvorXMLParser"), kFile, 1));
        ASSERT_EQ(1u, DebLogRegisterZone(13, KVOR_TEXT("Threaded"), kFile, 2));
        debug.Clear();
    }

    std::string Prefix(const char* letter) const
    {
        return std::string("[A][") + letter + "][" + U8(DebLogger::GetExeFileTitle()) + "]";
    }
    std::string LastLine() const
    {
        const std::vector<std::string> lines = debug.Lines();
        return lines.empty() ? std::string("(no line)") : lines.back();
    }
};

TEST_F(DebLogCallTest, EntryLineHasOneOfFourShapes)
{
    const std::string thread = std::to_string(GetCurrentThreadId());
    struct Case {
        const char* name;
        uint32_t zone;
        const WCHAR* file;
        std::string expected; // after "[A][E][title]"
    } cases[] = {
        {"plain", 12, nullptr, "[kvorXMLP]message 5"},
        {"thread id", 13, nullptr, "[Threaded][" + thread + "]message 5"},
        {"source file", 12, kFile, "[kvorXMLP]XMLParser.cpp#42;message 5"},
        {"thread id and source file", 13, kFile, "[Threaded][" + thread + "]XMLParser.cpp#42;message 5"},
        {"unregistered zone", 20, nullptr, "[]message 5"},
        {"zone beyond the table", 200, nullptr, "[]message 5"},
        {"file name without directory", 12, KVOR_TEXT("File.cpp"), "[kvorXMLP]File.cpp#42;message 5"},
        {"empty file name", 12, KVOR_TEXT(""), "[kvorXMLP]#42;message 5"},
        {"path ending in a backslash", 12, KVOR_TEXT("dir\\"), "[kvorXMLP]#42;message 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(1u, DebLogBeginEntry(c.zone, 3, 0, c.file, 42));
        EXPECT_EQ(1u, DebLogWriteEntry(KVOR_TEXT("message %d"), 5));
        EXPECT_EQ(Prefix("E") + c.expected, LastLine());
    }
}

TEST_F(DebLogCallTest, SeverityPrintsItsLetter)
{
    const struct {
        uint32_t severity;
        const char* letter;
    } cases[] = {{0, "R"}, {1, "I"}, {2, "W"}, {3, "E"}, {4, "F"}, {5, "?"}, {0xFFFFFFFF, "?"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.severity);
        DebLogBeginEntry(12, c.severity, 0, nullptr, 0);
        DebLogWriteEntry(KVOR_TEXT("m"));
        EXPECT_EQ(Prefix(c.letter) + "[kvorXMLP]m", LastLine());
    }
}

TEST_F(DebLogCallTest, MessageIsCutAt1024Characters)
{
    const WString longText(1500, KVOR_TEXT('x'));
    DebLogBeginEntry(12, 3, 0, nullptr, 0);
    DebLogWriteEntry(KVOR_TEXT("%s"), longText.c_str());
    EXPECT_EQ(Prefix("E") + "[kvorXMLP]" + std::string(1024, 'x'), LastLine());
}

TEST_F(DebLogCallTest, MessageIsFormattedNotPrinted)
{
    // A message is a field of the line: its own % signs stay as they are.
    DebLogBeginEntry(12, 3, 0, nullptr, 0);
    DebLogWriteEntry(KVOR_TEXT("%s"), KVOR_TEXT("100% %d done"));
    EXPECT_EQ(Prefix("E") + "[kvorXMLP]100% %d done", LastLine());
}

TEST_F(DebLogCallTest, SystemErrorCodeTakesTheSystemText)
{
    WCHAR text[1025];
    ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 ERROR_FILE_NOT_FOUND, 0, text, 1025, nullptr));
    DebLogBeginEntry(12, 3, ERROR_FILE_NOT_FOUND, nullptr, 0);
    DebLogWriteEntry(KVOR_TEXT("ignored %d"), 1);
    EXPECT_EQ(Prefix("E") + "[kvorXMLP]" + U8(text), LastLine());

    // A code the system has no text for gives an empty message.
    DebLogBeginEntry(12, 3, 0x7FFF1234, nullptr, 0);
    DebLogWriteEntry(KVOR_TEXT("ignored"));
    EXPECT_EQ(Prefix("E") + "[kvorXMLP]", LastLine());
}

// ---- The enabled test ---------------------------------------------------------

struct EnabledCase {
    const char* name;
    unsigned outputType;
    unsigned outputEnable;
    int zoneSeverity; // -1: no value; the global 3 applies
    uint32_t zone;
    uint32_t severity;
    uint32_t expected;
};

class ZoneEnabledTest : public LoggerTest, public ::testing::WithParamInterface<EnabledCase> {};

TEST_P(ZoneEnabledTest, AnswersByThresholdOutputTypeAndOutputEnable)
{
    const EnabledCase& c = GetParam();
    SetDword("SOFTWARE/KVOR/DebLogger", "OutputType", c.outputType);
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/Probe", "OutputEnable", c.outputEnable);
    if (c.zoneSeverity >= 0) {
        SetDword("SOFTWARE/KVOR/DebLogger/Zone/Probe", "Severity", static_cast<unsigned>(c.zoneSeverity));
    }
    Start();
    ASSERT_EQ(1u, DebLogRegisterZone(12, KVOR_TEXT("Probe"), kFile, 1));
    EXPECT_EQ(c.expected, DebLogIsZoneEnabled(c.zone, c.severity));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZoneEnabledTest,
    ::testing::Values(EnabledCase{"below_global_threshold", 1, 1, -1, 12, 2, 0},
                      EnabledCase{"at_global_threshold", 1, 1, -1, 12, 3, 1},
                      EnabledCase{"above_global_threshold", 1, 1, -1, 12, 4, 1},
                      EnabledCase{"zone_threshold_0_lets_trace_through", 1, 1, 0, 12, 0, 1},
                      EnabledCase{"zone_threshold_4", 1, 1, 4, 12, 3, 0},
                      EnabledCase{"unregistered_zone", 1, 1, -1, 11, 4, 0},
                      EnabledCase{"zone_128", 1, 1, -1, 128, 4, 0},
                      EnabledCase{"output_type_0", 0, 1, 0, 12, 4, 0},
                      EnabledCase{"output_type_without_output_bit", 4, 1, 0, 12, 4, 1},
                      EnabledCase{"output_enable_2", 1, 2, 0, 12, 4, 0},
                      EnabledCase{"output_enable_3", 1, 3, 0, 12, 0, 1}),
    [](const ::testing::TestParamInfo<EnabledCase>& info) { return std::string(info.param.name); });

} // namespace
