// The registry and device root that a logger finds, of one test's own: for
// the logger of this process and for the fresh processes the test starts,
// which inherit them. On Linux a registry store folder and a device root,
// named by KVOR_REGISTRY and KVOR_DEVICE_ROOT. On Windows a registry key
// named after the store folder, which stands in for HKEY_LOCAL_MACHINE in
// this process and in the fresh ones, and the log folder of the drive of
// the temporary folder, which the test holds alone while it runs.
#ifndef KVOR_TEST_LOGGER_DEVICE_H
#define KVOR_TEST_LOGGER_DEVICE_H

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
    // line is a value in the form .reg files use: dword:0000000c or "text".
    void SetValue(const std::string& key, const std::string& name, const std::string& line) const;
    // A REG_DWORD value in that form; empty when the key or value is missing.
    std::string Value(const std::string& key, const std::string& name) const;
    // The folder that "\DebLogger\" names for the logger.
    std::string LogFolder() const;

private:
    const std::string m_store; // Linux: HKEY_LOCAL_MACHINE's folder; Windows: what the stand-in key is named after
    const std::string m_device;
    ScopedEnv m_registry;
    ScopedEnv m_deviceRoot;
    [[maybe_unused]] void* m_root = nullptr;       // Windows: the key standing in for HKEY_LOCAL_MACHINE
    [[maybe_unused]] void* m_logFolderLock = nullptr; // Windows: held while the test uses the drive's log folder
};

} // namespace kvortest

#endif // KVOR_TEST_LOGGER_DEVICE_H
