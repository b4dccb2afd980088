#include "LoggerDevice.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

#if !defined(_WIN32)

namespace kvortest {

LoggerDevice::LoggerDevice(const TempDir& dir)
    : m_store(dir.File("registry/HKEY_LOCAL_MACHINE/")), m_device(dir.File("device")),
      m_registry("KVOR_REGISTRY", dir.File("registry")), m_deviceRoot("KVOR_DEVICE_ROOT", m_device)
{
}

LoggerDevice::~LoggerDevice() = default;

void LoggerDevice::CreateKey(const std::string& key) const
{
    fs::create_directories(m_store + key);
}

void LoggerDevice::SetValue(const std::string& key, const std::string& name, const std::string& line) const
{
    CreateKey(key);
    WriteText(m_store + key + "/" + name, line + "\n");
}

std::string LoggerDevice::Value(const std::string& key, const std::string& name) const
{
    std::ifstream in(m_store + key + "/" + name, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string LoggerDevice::LogFolder() const
{
    return m_device + "/DebLogger";
}

} // namespace kvortest

#else

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace kvortest {
namespace {

std::wstring KeyPath(const std::string& key)
{
    std::wstring path = W(key);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// The current user's key that stands in for HKEY_LOCAL_MACHINE with the store folder `store`.
std::wstring StandInName(const std::string& store)
{
    std::wstring name = L"Software\\kvortest\\";
    for (wchar_t c : W(store)) {
        name += (c == L'\\' || c == L'/' || c == L':') ? L'_' : c;
    }
    return name;
}

HKEY StandIn(const std::string& store)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, StandInName(store).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) {
        throw std::runtime_error("no registry key of the test's own");
    }
    return key;
}

// A fresh test process finds the key its parent's device stands in with,
// and its debugger output where the parent chose. (The drive's log folder
// is held by the parent for it.)
const bool g_freshProcessFindsItsDevice = [] {
    const char* fresh = std::getenv("KVOR_FRESH_PROCESS");
    const char* store = std::getenv("KVOR_REGISTRY");
    const char* output = std::getenv("KVOR_DEBUG_OUTPUT");
    if (fresh == nullptr || fresh[0] != '1') {
        return false;
    }
    if (output != nullptr && output[0] != 0) {
        CaptureDebugOutput(output);
    }
    if (store != nullptr && store[0] != 0) {
        RegCloseKey(StandIn(store)); // the override keeps its own handle
    }
    return true;
}();

} // namespace

LoggerDevice::LoggerDevice(const TempDir& dir)
    : m_store(dir.File("registry")), m_device(dir.File("device")), m_registry("KVOR_REGISTRY", m_store),
      m_deviceRoot("KVOR_DEVICE_ROOT", m_device), m_root(StandIn(m_store)),
      m_logFolderLock(CreateMutexW(nullptr, FALSE, L"kvortest-device-log-folder"))
{
    WaitForSingleObject(m_logFolderLock, INFINITE);
    // "\DebLogger\" is on the drive of the current folder.
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(LogFolder());
}

LoggerDevice::~LoggerDevice()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(static_cast<HKEY>(m_root));
    RegDeleteTreeW(HKEY_CURRENT_USER, StandInName(m_store).c_str());
    std::error_code ignored;
    fs::remove_all(LogFolder(), ignored);
    ReleaseMutex(m_logFolderLock);
    CloseHandle(m_logFolderLock);
}

void LoggerDevice::CreateKey(const std::string& key) const
{
    HKEY created = nullptr;
    if (RegCreateKeyExW(static_cast<HKEY>(m_root), KeyPath(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &created, nullptr) != ERROR_SUCCESS) {
        throw std::runtime_error("no key " + key);
    }
    RegCloseKey(created);
}

// RegSetKeyValueW creates the key as it goes.
void LoggerDevice::SetValue(const std::string& key, const std::string& name, const std::string& line) const
{
    const DWORD number = std::strtoul(line.c_str() + 6, nullptr, 16);
    const std::wstring text = W(line.substr(1, line.size() - 2)); // "text"
    const bool dword = line.compare(0, 6, "dword:") == 0;
    RegSetKeyValueW(static_cast<HKEY>(m_root), KeyPath(key).c_str(), W(name).c_str(), dword ? REG_DWORD : REG_SZ,
                    dword ? static_cast<const void*>(&number) : text.c_str(),
                    dword ? sizeof(number) : static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::string LoggerDevice::Value(const std::string& key, const std::string& name) const
{
    DWORD number = 0;
    DWORD size = sizeof(number);
    char line[16] = "";
    if (RegGetValueW(static_cast<HKEY>(m_root), KeyPath(key).c_str(), W(name).c_str(), RRF_RT_REG_DWORD, nullptr,
                     &number, &size) == ERROR_SUCCESS) {
        std::snprintf(line, sizeof(line), "dword:%08lx", static_cast<unsigned long>(number));
    }
    return line;
}

std::string LoggerDevice::LogFolder() const
{
    return (fs::current_path().root_path() / "DebLogger").string();
}

} // namespace kvortest

#endif
