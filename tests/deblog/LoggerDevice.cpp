#include "LoggerDevice.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

#if !defined(_WIN32)

namespace kvortest {

struct LoggerDevice::State {
    explicit State(const TempDir& dir)
        : keys(dir.File("registry/HKEY_LOCAL_MACHINE")), device(dir.File("device")),
          registry("KVOR_REGISTRY", dir.File("registry")), deviceRoot("KVOR_DEVICE_ROOT", device)
    {
    }
    std::string Key(const std::string& key) const { return keys + "/" + key; }
    std::string ValueFile(const std::string& key, const std::string& name) const { return Key(key) + "/" + name; }

    std::string keys;
    std::string device;
    ScopedEnv registry;
    ScopedEnv deviceRoot;
};

LoggerDevice::LoggerDevice(const TempDir& dir) : m_state(new State(dir)) {}

LoggerDevice::~LoggerDevice() = default;

void LoggerDevice::CreateKey(const std::string& key) const
{
    fs::create_directories(m_state->Key(key));
}

void LoggerDevice::SetValue(const std::string& key, const std::string& name, const std::string& line) const
{
    CreateKey(key);
    WriteText(m_state->ValueFile(key, name), line + "\n");
}

void LoggerDevice::RemoveValue(const std::string& key, const std::string& name) const
{
    std::error_code ignored;
    fs::remove(m_state->ValueFile(key, name), ignored);
}

std::string LoggerDevice::Value(const std::string& key, const std::string& name) const
{
    std::ifstream in(m_state->ValueFile(key, name), std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

void LoggerDevice::BlockKey(const std::string& key) const
{
    WriteText(m_state->Key(key), ""); // a file where the key's folder would be
}

std::string LoggerDevice::LogFolder() const
{
    return m_state->device + "/DebLogger";
}

} // namespace kvortest

#else

#include <windows.h>

#include <cstdio>
#include <vector>

extern "C" LONG NTAPI NtDeleteKey(HANDLE key);

namespace kvortest {
namespace {

std::wstring KeyPath(const std::string& key)
{
    std::wstring path = W(key);
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

// A name for a path that is valid as one registry key or kernel object name.
std::wstring Flattened(const std::string& path)
{
    std::wstring name = W(path);
    for (wchar_t& c : name) {
        if (c == L'\\' || c == L'/' || c == L':') {
            c = L'_';
        }
    }
    return name;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool HexBytes(const std::string& digits, std::vector<BYTE>* bytes, char separator)
{
    for (size_t i = 0; i < digits.size(); i += separator != 0 ? 3 : 2) {
        if (i + 1 >= digits.size() || HexDigit(digits[i]) < 0 || HexDigit(digits[i + 1]) < 0 ||
            (separator != 0 && i + 2 < digits.size() && digits[i + 2] != separator)) {
            return false;
        }
        bytes->push_back(static_cast<BYTE>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
    }
    return true;
}

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

RegValue ParsedLine(const std::string& line)
{
    RegValue value;
    std::vector<BYTE> bytes;
    if (line.compare(0, 6, "dword:") == 0 && line.size() == 14 && HexBytes(line.substr(6), &bytes, 0)) {
        value.type = REG_DWORD;
        value.data.assign(bytes.rbegin(), bytes.rend()); // little-endian
    } else if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
        std::string text;
        for (size_t i = 1; i + 1 < line.size(); ++i) {
            i += line[i] == '\\' && i + 2 < line.size() ? 1 : 0;
            text += line[i];
        }
        const std::wstring wide = W(text);
        const BYTE* data = reinterpret_cast<const BYTE*>(wide.c_str());
        value.type = REG_SZ;
        value.data.assign(data, data + (wide.size() + 1) * sizeof(wchar_t));
    } else if (line.compare(0, 4, "hex:") == 0 && HexBytes(line.substr(4), &bytes, ',')) {
        value.type = REG_BINARY;
        value.data = bytes;
    } else {
        value.data.assign(line.begin(), line.end());
    }
    return value;
}

std::string FormattedLine(DWORD type, const std::vector<BYTE>& data)
{
    char digits[16];
    if (type == REG_DWORD && data.size() == 4) {
        std::snprintf(digits, sizeof(digits), "dword:%02x%02x%02x%02x", data[3], data[2], data[1], data[0]);
        return digits;
    }
    if (type == REG_SZ) {
        std::vector<wchar_t> text(data.size() / sizeof(wchar_t) + 1, 0);
        std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>((text.size() - 1) * sizeof(wchar_t)),
                  reinterpret_cast<BYTE*>(text.data()));
        std::string line = "\"";
        for (char c : U8(reinterpret_cast<const WCHAR*>(text.data()))) {
            line += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
        }
        return line + "\"";
    }
    std::string line = "hex:";
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof(digits), i == 0 ? "%02x" : ",%02x", data[i]);
        line += digits;
    }
    return line;
}

class OpenKey {
public:
    OpenKey(HKEY parent, const std::string& key, bool create)
    {
        const std::wstring path = KeyPath(key);
        m_result = create ? RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                                            nullptr)
                          : RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &m_key);
    }
    ~OpenKey()
    {
        if (m_result == ERROR_SUCCESS) {
            RegCloseKey(m_key);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    bool IsOpen() const { return m_result == ERROR_SUCCESS; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
    LSTATUS m_result;
};

} // namespace

struct LoggerDevice::State {
    explicit State(const TempDir& dir)
        : rootPath(L"Software\\kvortest\\" + Flattened(dir.Path())),
          logFolderLock(CreateMutexW(nullptr, FALSE, L"kvortest-device-log-folder")), oldCurrent(fs::current_path())
    {
        // Fresh test processes of the client tests use the same log folder.
        WaitForSingleObject(logFolderLock, INFINITE);
        fs::current_path(dir.Path());
        fs::remove_all(LogFolder());
        if (RegCreateKeyExW(HKEY_CURRENT_USER, rootPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, root) != ERROR_SUCCESS) {
            throw std::runtime_error("no registry key of the test's own");
        }
    }
    ~State()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        // Links are deleted on their own: the tree's deletion would follow them.
        for (const std::wstring& link : blocked) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(root, link.c_str(), REG_OPTION_OPEN_LINK, DELETE, &key) == ERROR_SUCCESS) {
                NtDeleteKey(key);
                RegCloseKey(key);
            }
        }
        RegDeleteTreeW(root, nullptr);
        RegCloseKey(root);
        RegDeleteKeyW(HKEY_CURRENT_USER, rootPath.c_str());
        std::error_code ignored;
        fs::remove_all(LogFolder(), ignored);
        fs::current_path(oldCurrent, ignored);
        ReleaseMutex(logFolderLock);
        CloseHandle(logFolderLock);
    }
    static std::string LogFolder() { return (fs::current_path().root_path() / "DebLogger").string(); }

    std::wstring rootPath;
    HANDLE logFolderLock;
    fs::path oldCurrent;
    HKEY root = nullptr;
    std::vector<std::wstring> blocked;
};

LoggerDevice::LoggerDevice(const TempDir& dir) : m_state(new State(dir)) {}

LoggerDevice::~LoggerDevice() = default;

void LoggerDevice::CreateKey(const std::string& key) const
{
    OpenKey created(m_state->root, key, true);
}

void LoggerDevice::SetValue(const std::string& key, const std::string& name, const std::string& line) const
{
    const OpenKey opened(m_state->root, key, true);
    const RegValue value = ParsedLine(line);
    RegSetValueExW(opened.Get(), W(name).c_str(), 0, value.type, value.data.data(),
                   static_cast<DWORD>(value.data.size()));
}

void LoggerDevice::RemoveValue(const std::string& key, const std::string& name) const
{
    const OpenKey opened(m_state->root, key, false);
    if (opened.IsOpen()) {
        RegDeleteValueW(opened.Get(), W(name).c_str());
    }
}

std::string LoggerDevice::Value(const std::string& key, const std::string& name) const
{
    const OpenKey opened(m_state->root, key, false);
    const std::wstring valueName = W(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (!opened.IsOpen() || RegQueryValueExW(opened.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) != 0) {
        return std::string();
    }
    std::vector<BYTE> data(size);
    RegQueryValueExW(opened.Get(), valueName.c_str(), nullptr, &type, data.data(), &size);
    return FormattedLine(type, data);
}

void LoggerDevice::BlockKey(const std::string& key) const
{
    // A link to a key whose parent does not exist: opening or creating
    // through it fails.
    HKEY link = nullptr;
    if (RegCreateKeyExW(m_state->root, KeyPath(key).c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS,
                        nullptr, &link, nullptr) != ERROR_SUCCESS) {
        throw std::runtime_error("no link key " + key);
    }
    const std::wstring target = L"\\Registry\\KvorBlocked\\NoKey";
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.c_str()),
                   static_cast<DWORD>(target.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    m_state->blocked.push_back(KeyPath(key));
}

std::string LoggerDevice::LogFolder() const
{
    return State::LogFolder();
}

} // namespace kvortest

#endif
