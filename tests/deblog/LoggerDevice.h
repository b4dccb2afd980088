// The registry and log folder that a logger under test finds, set up for
// one test. On Linux they are a registry store folder and a device root of
// the test's own; on Windows a registry key that stands in for
// HKEY_LOCAL_MACHINE in this process, and the log folder of the drive of
// the temporary folder, which the test holds alone while it runs.
#ifndef KVOR_TEST_LOGGER_DEVICE_H
#define KVOR_TEST_LOGGER_DEVICE_H

#include <memory>
#include <string>

#include "TestText.h"

namespace kvortest {

class LoggerDevice {
public:
    explicit LoggerDevice(const TempDir& dir);
    ~LoggerDevice();
    LoggerDevice(const LoggerDevice&) = delete;
    LoggerDevice& operator=(const LoggerDevice&) = delete;

    // Keys are paths below HKEY_LOCAL_MACHINE with '/' between names.
    void CreateKey(const std::string& key) const;
    // line is a value in the form .reg files use: dword:0000000c, "text",
    // hex:01,02; any other line is a value of no particular type.
    void SetValue(const std::string& key, const std::string& name, const std::string& line) const;
    void RemoveValue(const std::string& key, const std::string& name) const;
    // The value in that form; empty when the key or value is missing.
    std::string Value(const std::string& key, const std::string& name) const;
    // Makes creating or opening the key fail from now on.
    void BlockKey(const std::string& key) const;
    // The folder that "\DebLogger\" names for the logger.
    std::string LogFolder() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kvortest

#endif // KVOR_TEST_LOGGER_DEVICE_H
