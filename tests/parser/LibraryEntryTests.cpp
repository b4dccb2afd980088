// The factory under allocation failure and the process-attach hook, with a
// logger of the test's own so that their log lines can be read.
#include "LoggerFixture.h"
#include "kvor/parser/LibraryEntry.h"
#include "../dom/DomTestSupport.h"

using namespace kvortest;

namespace {

// A logger of the test's own, started for each test.
class LibraryEntry : public LoggerTest {
protected:
    void SetUp() override { Start(); }
};

TEST_F(LibraryEntry, RefusedFactoryAllocationGivesThreeANullVariableAndOneErrorLine)
{
    KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr);
    const struct { FailureMode mode; const char* message; } cases[] = {
        {FailureMode::ReturnNull, "CreateXmlParserInstance - Failed to new the CXmlparser instance. (3)"},
        {FailureMode::ThrowBadAlloc, "CreateXmlParserInstance - Failed to new CKvorXMLParser instance."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        IXmlParser* parser = nullptr;
        ASSERT_EQ(KVOR_OK, kvorCreateXmlParserInstance(&parser));
        debug.Clear();
        const long live = LiveBlocks();
        FailAllocation(1, c.mode); // the held parser goes before the new allocation, which is the first
        const uint32_t status = kvorCreateXmlParserInstance(&parser);
        EXPECT_TRUE(AllocationWasRefused());
        StopFailing();
        EXPECT_EQ(KVOR_OUT_OF_MEMORY, status);
        EXPECT_EQ(nullptr, parser);
        EXPECT_LT(LiveBlocks(), live) << "the held parser was released";
        const std::string line = "[A][E][" + U8(DebLogger::GetExeFileTitle()) + "][kvorXMLP]kvorXMLParser.cpp#1;";
        const std::vector<std::string> lines = debug.Lines();
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(DigitsMasked(lines[0]), DigitsMasked(line + c.message));
    }
}

TEST_F(LibraryEntry, AttachRegistersTheParserZoneOnce)
{
    for (DWORD reason : {KVOR_THREAD_ATTACH, KVOR_THREAD_DETACH, KVOR_PROCESS_DETACH}) {
        EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, reason, nullptr)) << reason;
        EXPECT_EQ(0u, logger->IsZoneEnabled(12, 4)) << "reason " << reason << " registers nothing";
    }
    EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(1u, logger->IsZoneEnabled(12, 4));
    EXPECT_EQ("kvorXMLParser", U8(logger->GetZone(12).name));
    // A second attach is refused by the logger; the hook still answers TRUE.
    EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr));
    ASSERT_EQ(1u, debug.Lines().size());
    EXPECT_NE(std::string::npos, debug.Lines()[0].find("][12][kvorXMLParser]DebLog SourcID 12 already registered"));
}

} // namespace
