// A fresh test process on Windows finds the registry, device root and
// debugger output its parent chose, as the posix back end would find them:
//  - the registry store folder (KVOR_REGISTRY) is copied into a key of the
//    real registry that stands in for HKEY_LOCAL_MACHINE in this process,
//    and copied back when the process ends;
//  - the log folder "\DebLogger\" of the drive the process runs on is filled
//    from KVOR_DEVICE_ROOT and emptied back into it at the end; processes
//    whose logger writes a file take turns at that folder;
//  - the debugger output lands in the file KVOR_DEBUG_OUTPUT names.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "FreshProcess.h"
#include "TestText.h"

namespace fs = std::filesystem;

namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

// A name for a path that is valid as one registry key or kernel object name.
std::wstring Flattened(const std::string& path)
{
    std::wstring name = kvortest::WideFromUtf8(path);
    for (wchar_t& c : name) {
        if (c == L'\\' || c == L'/' || c == L':') {
            c = L'_';
        }
    }
    return name;
}

class NamedMutex {
public:
    explicit NamedMutex(const std::wstring& name) : m_mutex(CreateMutexW(nullptr, FALSE, name.c_str())) {}
    ~NamedMutex() { CloseHandle(m_mutex); }
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    void Lock() { WaitForSingleObject(m_mutex, INFINITE); }
    void Unlock() { ReleaseMutex(m_mutex); }

private:
    HANDLE m_mutex;
};

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

// ---- Registry store folder <-> registry key -------------------------------------

void ImportValue(HKEY key, const fs::path& file)
{
    const std::wstring name = file.filename().wstring();
    const std::string line = FirstLine(file);
    if (line.compare(0, 6, "dword:") == 0) {
        const DWORD number = static_cast<DWORD>(std::strtoul(line.c_str() + 6, nullptr, 16));
        RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    } else if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
        std::string text;
        for (size_t i = 1; i + 1 < line.size(); ++i) {
            i += line[i] == '\\' ? 1 : 0;
            text += line[i];
        }
        const std::wstring wide = kvortest::WideFromUtf8(text);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
}

void ImportKey(HKEY key, const fs::path& folder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_directory()) {
            HKEY child = nullptr;
            if (RegCreateKeyExW(key, entry.path().filename().wstring().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &child, nullptr) == ERROR_SUCCESS) {
                ImportKey(child, entry.path());
                RegCloseKey(child);
            }
        } else {
            ImportValue(key, entry.path());
        }
    }
}

std::string ExportedLine(DWORD type, const BYTE* data)
{
    if (type == REG_DWORD) {
        DWORD number;
        std::memcpy(&number, data, sizeof(number));
        char line[16];
        std::snprintf(line, sizeof(line), "dword:%08lx", static_cast<unsigned long>(number));
        return line;
    }
    std::string text = kvortest::U8(reinterpret_cast<const WCHAR*>(data));
    std::string line = "\"";
    for (char c : text) {
        line += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    }
    return line + "\"";
}

void ExportKey(HKEY key, const fs::path& folder)
{
    fs::create_directories(folder);
    wchar_t name[256];
    BYTE data[2048] = {};
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD size = sizeof(data) - sizeof(wchar_t);
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) {
            break;
        }
        data[size] = 0;
        data[size + 1] = 0;
        if (type == REG_DWORD || type == REG_SZ) {
            kvortest::WriteText((folder / name).string(), ExportedLine(type, data) + "\n");
        }
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            ExportKey(child, folder / name);
            RegCloseKey(child);
        }
    }
}

// One key per store, so that processes started on one store share it.
class RegistryStore {
public:
    explicit RegistryStore(const std::string& folder)
        : m_folder(fs::path(folder) / "HKEY_LOCAL_MACHINE"), m_lock(L"kvortest-registry-" + Flattened(folder))
    {
        const std::wstring key = L"Software\\kvortest\\" + Flattened(folder);
        m_lock.Lock();
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_root,
                            &disposition) == ERROR_SUCCESS) {
            if (disposition == REG_CREATED_NEW_KEY) {
                ImportKey(m_root, m_folder);
            }
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_root);
        }
        m_lock.Unlock();
    }
    ~RegistryStore()
    {
        if (m_root == nullptr) {
            return;
        }
        m_lock.Lock();
        ExportKey(m_root, m_folder);
        m_lock.Unlock();
        RegCloseKey(m_root);
    }

private:
    fs::path m_folder;
    NamedMutex m_lock;
    HKEY m_root = nullptr;
};

// ---- Device root <-> the drive's log folder ---------------------------------------

void MoveFiles(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(from, error)) {
        fs::create_directories(to);
        fs::copy_file(entry.path(), to / entry.path().filename(), fs::copy_options::overwrite_existing);
        fs::remove(entry.path());
    }
}

// Whether the logger of this process will write a log file (OutputType bit 1).
bool WritesLogFile(const std::string& store)
{
    const std::string line =
        FirstLine(fs::path(store) / "HKEY_LOCAL_MACHINE" / "SOFTWARE" / "KVOR" / "DebLogger" / "OutputType");
    return line.compare(0, 6, "dword:") == 0 && (std::strtoul(line.c_str() + 6, nullptr, 16) & 2) != 0;
}

class DeviceLogFolder {
public:
    explicit DeviceLogFolder(const std::string& deviceRoot)
        : m_device(fs::path(deviceRoot) / "DebLogger"), m_lock(L"kvortest-device-log-folder")
    {
        m_drive = fs::current_path().root_path() / "DebLogger";
        m_lock.Lock();
        std::error_code error;
        fs::remove_all(m_drive, error);
        MoveFiles(m_device, m_drive);
    }
    ~DeviceLogFolder()
    {
        MoveFiles(m_drive, m_device);
        m_lock.Unlock();
    }

private:
    fs::path m_device;
    fs::path m_drive;
    NamedMutex m_lock;
};

struct FreshProcessSetup {
    FreshProcessSetup()
    {
        if (!kvortest::InFreshProcess()) {
            return;
        }
        if (!Variable("KVOR_DEBUG_OUTPUT").empty()) {
            kvortest::CaptureDebugOutput(Variable("KVOR_DEBUG_OUTPUT"));
        }
        // The process runs on the drive of the temporary folder, whose root
        // stands in for the device's, rather than on the build's drive.
        fs::current_path(fs::temp_directory_path());
        const std::string store = Variable("KVOR_REGISTRY");
        if (!store.empty()) {
            registry = std::make_unique<RegistryStore>(store);
        }
        if (!Variable("KVOR_DEVICE_ROOT").empty() && WritesLogFile(store)) {
            logFolder = std::make_unique<DeviceLogFolder>(Variable("KVOR_DEVICE_ROOT"));
        }
    }
    std::unique_ptr<RegistryStore> registry;
    std::unique_ptr<DeviceLogFolder> logFolder;
};

FreshProcessSetup g_setup;

} // namespace
