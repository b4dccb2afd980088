// The factory under allocation failure and the process-attach hook, with a
// logger of the test's own so that their log lines can be read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "DebLogger.h"
#include "FailingAllocator.h"
#include "LibraryEntry.h"
#include "TestText.h"

using namespace kvortest;

namespace {

// A logger over a fresh registry store, installed for the test's duration,
// its debugger output captured.
class TestLogger : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir.File("registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR"));
        ASSERT_EQ(1u, m_logger.Initialize());
        m_previous = kvor::testing::ReplaceLogger(&m_logger);
        m_capture.Clear();
    }
    void TearDown() override { kvor::testing::ReplaceLogger(m_previous); }

    std::vector<std::string> LinesContaining(const std::string& text) const
    {
        std::vector<std::string> found;
        for (const std::string& line : m_capture.Lines()) {
            if (line.find(text) != std::string::npos) {
                found.push_back(line);
            }
        }
        return found;
    }

    TempDir m_dir;
    ScopedEnv m_registry{"KVOR_REGISTRY", m_dir.File("registry")};
    ScopedEnv m_device{"KVOR_DEVICE_ROOT", m_dir.File("device")};
    DebugCapture m_capture;
    DebLogger m_logger;
    DebLogger* m_previous = nullptr;
};

class Factory : public TestLogger {
protected:
    void SetUp() override
    {
        TestLogger::SetUp();
        KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr);
    }
};

struct FactoryFailure {
    const char* name;
    FailureMode mode;
    const char* message;
};

void PrintTo(const FactoryFailure& c, std::ostream* out)
{
    *out << c.name;
}

class FactoryFailures : public Factory, public ::testing::WithParamInterface<FactoryFailure> {};

} // namespace

TEST_P(FactoryFailures, RefusedAllocationGivesThreeANullVariableAndOneMessage)
{
    const FactoryFailure& c = GetParam();
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, kvorCreateXmlParserInstance(&parser));
    const long live = LiveBlocks();

    uint32_t status = 0;
    {
        // The held parser goes before the new allocation, which is the first.
        ScopedAllocationFailure failure(1, c.mode);
        status = kvorCreateXmlParserInstance(&parser);
        EXPECT_TRUE(AllocationWasRefused());
    }
    EXPECT_EQ(KVOR_OUT_OF_MEMORY, status);
    EXPECT_EQ(nullptr, parser);
    EXPECT_LT(LiveBlocks(), live) << "the held parser was released";

    const std::vector<std::string> lines = LinesContaining("CreateXmlParserInstance");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(std::string("kvorXMLParser.cpp#")));
    EXPECT_NE(std::string::npos, lines[0].find(c.message)) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("[E]"));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FactoryFailures,
    ::testing::Values(
        FactoryFailure{"AllocatorAnswersNull", FailureMode::ReturnNull,
                       "CreateXmlParserInstance - Failed to new the CXmlparser instance. (3)"},
        FactoryFailure{"AllocatorThrows", FailureMode::ThrowBadAlloc,
                       "CreateXmlParserInstance - Failed to new CKvorXMLParser instance."}),
    [](const ::testing::TestParamInfo<FactoryFailure>& info) { return std::string(info.param.name); });

TEST_F(Factory, SuccessLogsNothing)
{
    IXmlParser* parser = nullptr;
    ASSERT_EQ(KVOR_OK, kvorCreateXmlParserInstance(&parser));
    ASSERT_EQ(KVOR_OK, kvorCreateXmlParserInstance(&parser));
    EXPECT_NE(nullptr, parser);
    EXPECT_EQ(0u, kvorReleaseXmlParserInstance(parser));
    EXPECT_EQ(0u, kvorReleaseXmlParserInstance(nullptr));
    EXPECT_TRUE(LinesContaining("[kvorXMLP]").empty());
}

TEST_F(TestLogger, AttachRegistersTheParserZoneOnce)
{
    ASSERT_EQ(0u, m_logger.IsZoneEnabled(12, 4)) << "not registered before the attach";
    for (DWORD reason : {KVOR_THREAD_ATTACH, KVOR_THREAD_DETACH, KVOR_PROCESS_DETACH}) {
        EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, reason, nullptr)) << reason;
        EXPECT_EQ(0u, m_logger.IsZoneEnabled(12, 4)) << "reason " << reason << " registers nothing";
    }
    EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(1u, m_logger.IsZoneEnabled(12, 4));
    EXPECT_EQ("kvorXMLParser", U8(m_logger.GetZone(12).name));
    EXPECT_EQ("kvorXMLP", U8(m_logger.GetZone(12).tag));

    // A second attach is refused by the logger; the hook still answers TRUE.
    EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(1u, LinesContaining("already registered").size());
}

TEST(LibraryEntryWithoutLogger, AttachStillSucceeds)
{
    DebLogger* previous = kvor::testing::ReplaceLogger(nullptr);
    DebugCapture capture;
    EXPECT_EQ(TRUE, KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr));
    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("][12][kvorXMLParser]Initialize DebLog Failed ! ")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("[kvorXMLParser.cpp#")) << lines[0];
    kvor::testing::ReplaceLogger(previous);
}
