// A logger of the test's own: a registry and log folder of the test's own,
// the debugger output captured, and the four calls pointed at it.
#ifndef KVOR_TEST_LOGGER_FIXTURE_H
#define KVOR_TEST_LOGGER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "kvor/deblog/DebLog.h"
#include "DebLogger.h"
#include "LoggerDevice.h"
#include "TestText.h"

namespace kvortest {

class LoggerTest : public ::testing::Test {
protected:
    void TearDown() override { kvor::testing::ReplaceLogger(nullptr); }

    // Writes a dword as a person setting up the device would; an existing
    // logger key is taken as complete, so its Zone key comes too.
    void SetDword(const std::string& key, const std::string& name, unsigned value) const
    {
        char line[32];
        std::snprintf(line, sizeof(line), "dword:%08x", value);
        device.CreateKey("SOFTWARE/KVOR/DebLogger/Zone");
        device.SetValue(key, name, line);
    }
    // Starts and installs the logger; the lines of the start are dropped.
    void Start()
    {
        device.CreateKey("SOFTWARE/KVOR");
        logger.reset(new DebLogger());
        ASSERT_EQ(1u, logger->Initialize());
        kvor::testing::ReplaceLogger(logger.get());
        debug.Clear();
    }
    // Ends the logger as the library's unload does: the log file is flushed and closed.
    void Stop()
    {
        kvor::testing::ReplaceLogger(nullptr);
        logger.reset();
    }
    // The log file's text after its mark, as UTF-8.
    std::string LogText() const
    {
        return Utf16FileText(device.LogFolder() + "/" + U8(DebLogger::GetExeFileTitle()) + ".log");
    }

    TempDir m_dir;
    LoggerDevice device{m_dir};
    DebugCapture debug;
    std::unique_ptr<DebLogger> logger;
};

} // namespace kvortest

#endif // KVOR_TEST_LOGGER_FIXTURE_H
