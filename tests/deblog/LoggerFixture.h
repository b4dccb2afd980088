// A logger of the test's own: a registry store and device root in a fresh
// folder, the debugger output captured, and the four calls pointed at it.
#ifndef KVOR_TEST_LOGGER_FIXTURE_H
#define KVOR_TEST_LOGGER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "DebLog.h"
#include "DebLogger.h"
#include "TestText.h"

namespace kvortest {

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(Key("SOFTWARE/KVOR")); }
    void TearDown() override { kvor::testing::ReplaceLogger(nullptr); }

    // The folder of a key below HKEY_LOCAL_MACHINE, '/' between names.
    std::string Key(const std::string& path) const { return m_dir.File("registry/HKEY_LOCAL_MACHINE/" + path); }
    // Writes a value as a person setting up the device would; an existing
    // logger key is taken as complete, so its Zone key comes too.
    void SetValue(const std::string& key, const std::string& name, const std::string& line) const
    {
        std::filesystem::create_directories(Key(key));
        std::filesystem::create_directories(Key("SOFTWARE/KVOR/DebLogger/Zone"));
        WriteText(Key(key) + "/" + name, line + "\n");
    }
    void SetDword(const std::string& key, const std::string& name, unsigned value) const
    {
        char line[32];
        std::snprintf(line, sizeof(line), "dword:%08x", value);
        SetValue(key, name, line);
    }
    // Starts and installs the logger; the lines of the start are dropped.
    void Start()
    {
        logger.reset(new DebLogger());
        ASSERT_EQ(1u, logger->Initialize());
        kvor::testing::ReplaceLogger(logger.get());
        debug.Clear();
    }

    TempDir m_dir;
    ScopedEnv m_registry{"KVOR_REGISTRY", m_dir.File("registry")};
    ScopedEnv m_device{"KVOR_DEVICE_ROOT", m_dir.File("device")};
    DebugCapture debug;
    std::unique_ptr<DebLogger> logger;
};

} // namespace kvortest

#endif // KVOR_TEST_LOGGER_FIXTURE_H
