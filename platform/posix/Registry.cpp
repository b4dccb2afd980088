// The registry on Linux: a folder tree under the store's root. A key is a
// folder; a value is a file in its key's folder holding one line as .reg
// files write it: dword:0000000c, "text", hex:01,02. Key and value names
// match ignoring ASCII case; new ones are created with the name as given.
//
// Several processes may start on a fresh store at once. A process that
// creates a key holds the store's creation lock until it closes that key,
// so that another process never opens a key that is still being filled;
// values are replaced by renaming a complete file over the old one.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "PosixSupport.h"

struct KvorRegistryKey {
    std::string path;
    bool holdsCreationLock;
};

namespace {

using kvor::posix::Win32ErrorFromErrno;

const char kDefaultValueFile[] = "@";
const char kLockFile[] = "/.lock";
const size_t kMaxValueFile = 1 << 20;

std::string RegistryRoot()
{
    const char* root = std::getenv("KVOR_REGISTRY");
    if (root != nullptr && *root != 0) {
        return root;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && *config != 0) {
        return std::string(config) + "/kvor/registry";
    }
    const char* home = std::getenv("HOME");
    return std::string(home == nullptr ? "" : home) + "/.config/kvor/registry";
}

std::string MachineFolder()
{
    return RegistryRoot() + "/HKEY_LOCAL_MACHINE";
}

LSTATUS Fail(LSTATUS code)
{
    SetLastError(static_cast<DWORD>(code));
    return code;
}

LSTATUS FailFromErrno()
{
    return Fail(static_cast<LSTATUS>(Win32ErrorFromErrno(errno)));
}

void MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
    mkdir(path.c_str(), 0755);
}

// Held across processes while a process fills a key it created; nested
// creations within one process count up. Threads of one process do not
// exclude each other here: the registry is used while a library starts.
class CreationLock {
public:
    void Acquire(const std::string& root)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_depth++ > 0) {
            return;
        }
        MakeFolders(root);
        m_fd = open((root + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }

    void Release()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_depth == 0 || --m_depth > 0) {
            return;
        }
        if (m_fd >= 0) {
            close(m_fd); // drops the lock
            m_fd = -1;
        }
    }

    // Waits until no other process is filling a key it created.
    void WaitForCreators(const std::string& root)
    {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            if (m_depth > 0) {
                return;
            }
        }
        const int fd = open((root + kLockFile).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        while (flock(fd, LOCK_SH) != 0 && errno == EINTR) {
        }
        close(fd);
    }

private:
    std::mutex m_mutex;
    int m_fd = -1;
    int m_depth = 0;
};

CreationLock g_creationLock;

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& left, const char* right)
{
    size_t i = 0;
    for (; i < left.size() && right[i] != 0; ++i) {
        if (FoldAscii(left[i]) != FoldAscii(right[i])) {
            return false;
        }
    }
    return i == left.size() && right[i] == 0;
}

bool IsFolder(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The entry of folder named name ignoring case, a folder or a file as asked.
bool FindEntry(const std::string& folder, const std::string& name, bool wantFolder, std::string* found)
{
    const std::string exact = folder + "/" + name;
    if (wantFolder ? IsFolder(exact) : IsRegularFile(exact)) {
        *found = exact;
        return true;
    }
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool matched = false;
    while (dirent* entry = readdir(dir)) {
        if (!SameName(name, entry->d_name)) {
            continue;
        }
        const std::string candidate = folder + "/" + entry->d_name;
        if (wantFolder ? IsFolder(candidate) : IsRegularFile(candidate)) {
            *found = candidate;
            matched = true;
            break;
        }
    }
    closedir(dir);
    return matched;
}

// A name that can stand as one folder or file name.
bool IsValidName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Splits "A\B\" into its names; false when one cannot be a folder name.
bool SplitKeyPath(LPCWSTR subKey, std::vector<std::string>* names)
{
    const std::string path = kvor::posix::ToUtf8(subKey);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string name = path.substr(start, end - start);
        if (!name.empty()) {
            if (!IsValidName(name)) {
                return false;
            }
            names->push_back(name);
        }
        start = end + 1;
    }
    return true;
}

bool FolderOf(HKEY key, std::string* folder)
{
    if (key == HKEY_LOCAL_MACHINE) {
        *folder = MachineFolder();
        return true;
    }
    if (key == nullptr) {
        return false;
    }
    *folder = key->path;
    return true;
}

LSTATUS HandOut(const std::string& folder, bool holdsCreationLock, PHKEY result)
{
    KvorRegistryKey* key = new (std::nothrow) KvorRegistryKey{folder, holdsCreationLock};
    if (key == nullptr) {
        if (holdsCreationLock) {
            g_creationLock.Release();
        }
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    *result = key;
    return ERROR_SUCCESS;
}

std::string ValueFileName(LPCWSTR valueName)
{
    if (valueName == nullptr || valueName[0] == 0) {
        return kDefaultValueFile;
    }
    return kvor::posix::ToUtf8(valueName);
}

// ---- Value lines -----------------------------------------------------------

struct Value {
    DWORD type;
    std::vector<BYTE> data;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = FoldAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

bool StartsWith(const std::string& line, const char* prefix)
{
    const size_t length = std::strlen(prefix);
    return line.size() >= length && SameName(line.substr(0, length), prefix);
}

bool ParseDword(const std::string& digits, Value* value)
{
    if (digits.size() != 8) {
        return false;
    }
    DWORD number = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        number = (number << 4) | static_cast<DWORD>(digit);
    }
    value->type = REG_DWORD;
    value->data.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4);
    return true;
}

bool ParseString(const std::string& quoted, Value* value)
{
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
        return false;
    }
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 2 < quoted.size()) {
            ++i;
        }
        text += quoted[i];
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<WCHAR> wide(static_cast<size_t>(length) + 1, 0);
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    value->type = REG_SZ;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(wide.data());
    value->data.assign(bytes, bytes + wide.size() * sizeof(WCHAR));
    return true;
}

bool ParseBinary(const std::string& list, Value* value)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < list.size();) {
        if (i + 2 > list.size() || HexDigit(list[i]) < 0 || HexDigit(list[i + 1]) < 0) {
            return false;
        }
        bytes.push_back(static_cast<BYTE>(HexDigit(list[i]) * 16 + HexDigit(list[i + 1])));
        i += 2;
        if (i < list.size() && list[i++] != ',') {
            return false;
        }
    }
    value->type = REG_BINARY;
    value->data = bytes;
    return true;
}

Value ParseValueLine(const std::string& line)
{
    Value value;
    if (StartsWith(line, "dword:") && ParseDword(line.substr(6), &value)) {
        return value;
    }
    if (ParseString(line, &value)) {
        return value;
    }
    if (StartsWith(line, "hex:") && ParseBinary(line.substr(4), &value)) {
        return value;
    }
    // A line in no form we know: its bytes, of no particular type.
    value.type = REG_NONE;
    value.data.assign(line.begin(), line.end());
    return value;
}

std::string FormatValueLine(DWORD type, const BYTE* data, DWORD size)
{
    static const char kHex[] = "0123456789abcdef";
    if (type == REG_DWORD) {
        DWORD number;
        std::memcpy(&number, data, sizeof(number));
        std::string line = "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            line += kHex[(number >> shift) & 0xF];
        }
        return line;
    }
    if (type == REG_SZ) {
        const size_t capacity = size / sizeof(WCHAR);
        std::vector<WCHAR> text(capacity + 1, 0);
        if (size > 0) {
            std::memcpy(text.data(), data, capacity * sizeof(WCHAR));
        }
        std::string line = "\"";
        for (char c : kvor::posix::ToUtf8(text.data())) {
            if (c == '"' || c == '\\') {
                line += '\\';
            }
            line += c;
        }
        return line + "\"";
    }
    // Every other type is kept as its bytes.
    std::string line = "hex:";
    for (DWORD i = 0; i < size; ++i) {
        if (i > 0) {
            line += ',';
        }
        line += kHex[data[i] >> 4];
        line += kHex[data[i] & 0xF];
    }
    return line;
}

bool ReadLine(const std::string& path, std::string* line)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::string content;
    char buffer[512];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || content.size() > kMaxValueFile) {
            break;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    const size_t end = content.find_first_of("\r\n");
    *line = content.substr(0, end);
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Writes the whole file beside its target and renames it into place, so a
// reader sees the old line or the new one, never a part.
LSTATUS ReplaceFile(const std::string& folder, const std::string& target, const std::string& text)
{
    std::string temporary = folder + "/.value-XXXXXX";
    const int fd = mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0) {
        return FailFromErrno();
    }
    fchmod(fd, 0644);
    const bool written = WriteAll(fd, text);
    const int writeError = errno;
    close(fd);
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = written ? errno : writeError;
        unlink(temporary.c_str());
        return Fail(static_cast<LSTATUS>(Win32ErrorFromErrno(error)));
    }
    return ERROR_SUCCESS;
}

// The folder of key and the names of the subkey path below it.
LSTATUS ResolveKeyPath(HKEY key, LPCWSTR subKey, PHKEY result, std::string* folder, std::vector<std::string>* names)
{
    if (result == nullptr || !FolderOf(key, folder)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!SplitKeyPath(subKey, names)) {
        return Fail(ERROR_INVALID_NAME);
    }
    return ERROR_SUCCESS;
}

LSTATUS OpenKey(HKEY key, LPCWSTR subKey, PHKEY result)
{
    std::string folder;
    std::vector<std::string> names;
    const LSTATUS resolved = ResolveKeyPath(key, subKey, result, &folder, &names);
    if (resolved != ERROR_SUCCESS) {
        return resolved;
    }
    g_creationLock.WaitForCreators(RegistryRoot());
    for (const std::string& name : names) {
        if (!FindEntry(folder, name, true, &folder)) {
            return Fail(ERROR_FILE_NOT_FOUND);
        }
    }
    if (!IsFolder(folder)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    return HandOut(folder, false, result);
}

LSTATUS CreateKey(HKEY key, LPCWSTR subKey, PHKEY result, LPDWORD disposition)
{
    std::string folder;
    std::vector<std::string> names;
    const LSTATUS resolved = ResolveKeyPath(key, subKey, result, &folder, &names);
    if (resolved != ERROR_SUCCESS) {
        return resolved;
    }
    const std::string root = RegistryRoot();
    if (key == HKEY_LOCAL_MACHINE) {
        MakeFolders(folder);
    }
    bool locked = false;
    bool created = false;
    for (const std::string& name : names) {
        if (FindEntry(folder, name, true, &folder)) {
            continue;
        }
        if (!locked) {
            g_creationLock.Acquire(root);
            locked = true;
            // Another process may have made it while we waited.
            if (FindEntry(folder, name, true, &folder)) {
                continue;
            }
        }
        const std::string path = folder + "/" + name;
        if (mkdir(path.c_str(), 0755) != 0 && !(errno == EEXIST && IsFolder(path))) {
            const LSTATUS error = FailFromErrno();
            g_creationLock.Release();
            return error;
        }
        folder = path;
        created = true;
    }
    if (locked && !created) {
        g_creationLock.Release();
    }
    if (!locked) {
        g_creationLock.WaitForCreators(root);
    }
    if (!IsFolder(folder)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const LSTATUS status = HandOut(folder, created, result);
    if (status == ERROR_SUCCESS && disposition != nullptr) {
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return status;
}

LSTATUS QueryValue(HKEY key, LPCWSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    std::string folder;
    std::string file;
    std::string line;
    if (!FolderOf(key, &folder) || (data != nullptr && dataSize == nullptr)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::string name = ValueFileName(valueName);
    if (!IsValidName(name) || !FindEntry(folder, name, false, &file) || !ReadLine(file, &line)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const Value value = ParseValueLine(line);
    const DWORD needed = static_cast<DWORD>(value.data.size());
    if (type != nullptr) {
        *type = value.type;
    }
    if (dataSize == nullptr) {
        return ERROR_SUCCESS;
    }
    const DWORD capacity = *dataSize;
    *dataSize = needed;
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (capacity < needed) {
        return Fail(ERROR_MORE_DATA);
    }
    if (needed > 0) {
        std::memcpy(data, value.data.data(), needed);
    }
    return ERROR_SUCCESS;
}

LSTATUS SetValue(HKEY key, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD dataSize)
{
    std::string folder;
    if (!FolderOf(key, &folder) || (data == nullptr && dataSize > 0) ||
        (type == REG_DWORD && dataSize != sizeof(DWORD))) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::string name = ValueFileName(valueName);
    if (!IsValidName(name)) {
        return Fail(ERROR_INVALID_NAME);
    }
    std::string target;
    if (!FindEntry(folder, name, false, &target)) {
        target = folder + "/" + name;
    }
    return ReplaceFile(folder, target, FormatValueLine(type, data, dataSize) + "\n");
}

} // namespace

// The store's own work allocates through the standard library; running out
// of memory there is reported as the registry would, never thrown.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result)
{
    try {
        return OpenKey(key, subKey, result);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*className*/, DWORD /*options*/,
                        REGSAM /*access*/, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result,
                        LPDWORD disposition)
{
    try {
        return CreateKey(key, subKey, result, disposition);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize)
{
    try {
        return QueryValue(key, valueName, type, data, dataSize);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                       DWORD dataSize)
{
    try {
        return SetValue(key, valueName, type, data, dataSize);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

LSTATUS RegCloseKey(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    if (key == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (key->holdsCreationLock) {
        g_creationLock.Release();
    }
    delete key;
    return ERROR_SUCCESS;
}
