// The registry on Linux: a folder tree under the store's root. A key is a
// folder; a value is a file in its key's folder holding one line as .reg
// files write it: dword:0000000c or "text", the two types the library and
// its client write. A line in any other form reads as a value of no type
// holding the line's bytes.
//
// A name may hold any character but the backslash, which separates the
// names of a key path, and at most 255 of them. In its file name '%' and
// '/' are written %25 and %2F, a leading '.' %2E (files whose names begin
// with '.' are the store's own) and a value named "@" %40 ("@" is the file
// of the key's default value). Names match ignoring ASCII case; new ones are
// created with the name as given. Subkeys and values are listed in the
// order of their file names, ignoring case.
//
// Several processes may start on a fresh store at once. A process that
// creates a key holds the store's creation lock until it closes that key,
// so that another process never opens a key that is still being filled;
// values are replaced by renaming a complete file over the old one.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "PosixSupport.h"
#include "SystemCalls.h"

struct KvorRegistryKey {
    std::string path;
    bool holdsCreationLock;
};

namespace {

using kvor::posix::MakeFolders;
using kvor::posix::Win32ErrorFromErrno;
namespace sys = kvor::posix::sys;

const char kDefaultValueFile[] = "@";
const char kLockFile[] = "/.lock";
const size_t kMaxValueFile = 1 << 20;
const size_t kMaxKeyName = 255; // characters

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
        m_fd = sys::Open((root + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
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
        const int fd = sys::Open((root + kLockFile).c_str(), O_RDONLY | O_CLOEXEC);
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
    return sys::PathStatus(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsRegularFile(const std::string& path)
{
    struct stat status;
    return sys::PathStatus(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// The entry of folder named name ignoring case, a folder or a file as asked.
bool FindEntry(const std::string& folder, const std::string& name, bool wantFolder, std::string* found)
{
    const std::string exact = folder + "/" + name;
    if (wantFolder ? IsFolder(exact) : IsRegularFile(exact)) {
        *found = exact;
        return true;
    }
    DIR* dir = sys::OpenFolder(folder.c_str());
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

// ---- Names as file names ----------------------------------------------------

std::string FileNameOf(const std::string& name)
{
    if (name == kDefaultValueFile) {
        return "%40";
    }
    std::string file;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        file += c == '%' ? "%25" : c == '/' ? "%2F" : c == '.' && i == 0 ? "%2E" : std::string(1, c);
    }
    return file;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = FoldAscii(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

std::string NameOfFile(const std::string& file)
{
    std::string name;
    for (size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '%' && i + 2 < file.size() && HexDigit(file[i + 1]) >= 0 && HexDigit(file[i + 2]) >= 0) {
            name += static_cast<char>(HexDigit(file[i + 1]) * 16 + HexDigit(file[i + 2]));
            i += 2;
        } else {
            name += file[i];
        }
    }
    return name;
}

bool IsStoreFile(const char* file)
{
    return file[0] == '.';
}

// The file names of a key path "A\B\" (empty names between backslashes
// are passed over). ERROR_SUCCESS, or the error a device gives for a path
// that begins with a backslash or a name longer than a key name may be.
LSTATUS SplitKeyPath(LPCWSTR subKey, std::vector<std::string>* files)
{
    if (subKey == nullptr) {
        return ERROR_SUCCESS;
    }
    if (subKey[0] == u'\\') {
        return ERROR_BAD_PATHNAME;
    }
    for (const WCHAR* start = subKey; *start != 0;) {
        const WCHAR* end = start;
        while (*end != 0 && *end != u'\\') {
            ++end;
        }
        if (static_cast<size_t>(end - start) > kMaxKeyName) {
            return ERROR_INVALID_PARAMETER;
        }
        if (end > start) {
            files->push_back(FileNameOf(kvor::posix::ToUtf8(start, static_cast<size_t>(end - start))));
        }
        start = *end != 0 ? end + 1 : end;
    }
    return ERROR_SUCCESS;
}

// The folder of a key the library holds: HKEY_LOCAL_MACHINE or one these calls handed out.
std::string FolderOf(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE ? MachineFolder() : key->path;
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
    return FileNameOf(kvor::posix::ToUtf8(valueName));
}

// ---- Value lines -----------------------------------------------------------

struct Value {
    DWORD type;
    std::vector<BYTE> data;
};


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

Value ParseValueLine(const std::string& line)
{
    Value value;
    if (StartsWith(line, "dword:") && ParseDword(line.substr(6), &value)) {
        return value;
    }
    if (ParseString(line, &value)) {
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
    // REG_SZ, the one other type written.
    std::string line = "\"";
    const size_t capacity = size / sizeof(WCHAR);
    std::vector<WCHAR> text(capacity + 1, 0);
    if (size > 0) {
        std::memcpy(text.data(), data, capacity * sizeof(WCHAR));
    }
    for (char c : kvor::posix::ToUtf8(text.data())) {
        if (c == '"' || c == '\\') {
            line += '\\';
        }
        line += c;
    }
    return line + "\"";
}

// False with errno when the file cannot be read whole: a value read in
// part would be handed out as if it were all there.
bool ReadLine(const std::string& path, std::string* line)
{
    const int fd = sys::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::string content;
    char buffer[512];
    ssize_t got = 0;
    do {
        got = sys::Read(fd, buffer, sizeof(buffer));
        if (got > 0) {
            content.append(buffer, static_cast<size_t>(got));
        }
    } while ((got > 0 && content.size() <= kMaxValueFile) || (got < 0 && errno == EINTR));
    const int readError = errno;
    close(fd);
    if (got < 0) {
        errno = readError;
        return false;
    }
    const size_t end = content.find_first_of("\r\n");
    *line = content.substr(0, end);
    return true;
}

// Writes the whole file beside its target and renames it into place, so a
// reader sees the old line or the new one, never a part.
LSTATUS ReplaceFile(const std::string& folder, const std::string& target, const std::string& text)
{
    std::string temporary = folder + "/.value-XXXXXX";
    const int fd = sys::MakeTemporaryFile(&temporary[0], O_CLOEXEC);
    if (fd < 0) {
        return FailFromErrno();
    }
    fchmod(fd, 0644);
    const bool written = kvor::posix::WriteAll(fd, text.data(), text.size());
    const int writeError = errno;
    close(fd);
    if (!written || sys::Rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = written ? errno : writeError;
        unlink(temporary.c_str());
        return Fail(static_cast<LSTATUS>(Win32ErrorFromErrno(error)));
    }
    return ERROR_SUCCESS;
}

// The folder of key and the file names of the subkey path below it.
LSTATUS ResolveKeyPath(HKEY key, LPCWSTR subKey, std::string* folder, std::vector<std::string>* names)
{
    *folder = FolderOf(key);
    const LSTATUS split = SplitKeyPath(subKey, names);
    return split == ERROR_SUCCESS ? split : Fail(split);
}

// The folder of an existing key below key.
LSTATUS FindKey(HKEY key, LPCWSTR subKey, std::string* folder)
{
    std::vector<std::string> names;
    const LSTATUS resolved = ResolveKeyPath(key, subKey, folder, &names);
    if (resolved != ERROR_SUCCESS) {
        return resolved;
    }
    g_creationLock.WaitForCreators(RegistryRoot());
    for (const std::string& name : names) {
        if (!FindEntry(*folder, name, true, folder)) {
            return Fail(ERROR_FILE_NOT_FOUND);
        }
    }
    return IsFolder(*folder) ? ERROR_SUCCESS : Fail(ERROR_FILE_NOT_FOUND);
}

LSTATUS OpenKey(HKEY key, LPCWSTR subKey, PHKEY result)
{
    std::string folder;
    const LSTATUS found = FindKey(key, subKey, &folder);
    return found == ERROR_SUCCESS ? HandOut(folder, false, result) : found;
}

LSTATUS CreateKey(HKEY key, LPCWSTR subKey, PHKEY result, LPDWORD disposition)
{
    std::string folder;
    std::vector<std::string> names;
    const LSTATUS resolved = ResolveKeyPath(key, subKey, &folder, &names);
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
        if (sys::MakeFolder(path.c_str(), 0755) != 0 && !(errno == EEXIST && IsFolder(path))) {
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

// Type, size and bytes of a value as the query calls give them out.
LSTATUS HandOutValue(const Value& value, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
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

bool ReadValue(const std::string& file, Value* value)
{
    std::string line;
    if (!ReadLine(file, &line)) {
        return false;
    }
    *value = ParseValueLine(line);
    return true;
}

LSTATUS QueryValue(HKEY key, LPCWSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    const std::string folder = FolderOf(key);
    std::string file;
    Value value;
    if (!FindEntry(folder, ValueFileName(valueName), false, &file)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    if (!ReadValue(file, &value)) {
        return FailFromErrno();
    }
    return HandOutValue(value, type, data, dataSize);
}

LSTATUS SetValue(HKEY key, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD dataSize)
{
    // Only the two types the store writes, a DWORD of its own size.
    if ((type != REG_DWORD && type != REG_SZ) || (type == REG_DWORD && dataSize != sizeof(DWORD))) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::string folder = FolderOf(key);
    const std::string name = ValueFileName(valueName);
    std::string target;
    if (!FindEntry(folder, name, false, &target)) {
        target = folder + "/" + name;
    }
    return ReplaceFile(folder, target, FormatValueLine(type, data, dataSize) + "\n");
}

LSTATUS DeleteValue(HKEY key, LPCWSTR valueName)
{
    const std::string folder = FolderOf(key);
    std::string file;
    if (!FindEntry(folder, ValueFileName(valueName), false, &file)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    return sys::Unlink(file.c_str()) == 0 ? ERROR_SUCCESS : FailFromErrno();
}

// The subkey folders or the value files of a folder, in the order of their
// names ignoring case; the store's own files are left out. A folder that
// cannot be listed is an error, never an empty key.
LSTATUS Listing(const std::string& folder, bool folders, std::vector<std::string>* listed)
{
    std::vector<std::string>& files = *listed;
    DIR* dir = sys::OpenFolder(folder.c_str());
    if (dir == nullptr) {
        return FailFromErrno();
    }
    while (dirent* entry = readdir(dir)) {
        const std::string path = folder + "/" + entry->d_name;
        if (!IsStoreFile(entry->d_name) && (folders ? IsFolder(path) : IsRegularFile(path))) {
            files.push_back(entry->d_name);
        }
    }
    closedir(dir);
    std::sort(files.begin(), files.end(), [](const std::string& left, const std::string& right) {
        return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                            [](char a, char b) { return FoldAscii(a) < FoldAscii(b); });
    });
    return ERROR_SUCCESS;
}

// The name of the index-th entry, copied out as the enumeration calls do:
// *chars holds the buffer's size and receives the name's length.
LSTATUS NameAt(const std::string& folder, bool folders, DWORD index, LPWSTR name, LPDWORD chars, std::string* file)
{
    std::vector<std::string> files;
    const LSTATUS listed = Listing(folder, folders, &files);
    if (listed != ERROR_SUCCESS) {
        return listed;
    }
    if (index >= files.size()) {
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    *file = folder + "/" + files[index];
    const std::string text = files[index] == kDefaultValueFile && !folders ? "" : NameOfFile(files[index]);
    const int length = text.empty() ? 0
                                    : MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                          nullptr, 0);
    if (static_cast<DWORD>(length) >= *chars) {
        return Fail(ERROR_MORE_DATA);
    }
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), name, length);
    }
    name[length] = 0;
    *chars = static_cast<DWORD>(length);
    return ERROR_SUCCESS;
}

LSTATUS EnumKey(HKEY key, DWORD index, LPWSTR name, LPDWORD chars)
{
    std::string subkey;
    return NameAt(FolderOf(key), true, index, name, chars, &subkey);
}

LSTATUS EnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD chars, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    const std::string folder = FolderOf(key);
    std::string file;
    Value value;
    const LSTATUS named = NameAt(folder, false, index, name, chars, &file);
    if (named != ERROR_SUCCESS) {
        return named;
    }
    return ReadValue(file, &value) ? HandOutValue(value, type, data, dataSize) : FailFromErrno();
}

// Renames the folder out of sight first, so that nobody finds the key half
// deleted, then removes it.
LSTATUS RemoveFolder(const std::string& folder)
{
    std::string aside = folder.substr(0, folder.rfind('/')) + "/.deleted-XXXXXX";
    if (sys::MakeTemporaryFolder(&aside[0]) == nullptr) {
        return FailFromErrno();
    }
    if (sys::Rename(folder.c_str(), aside.c_str()) != 0) {
        const LSTATUS error = FailFromErrno();
        rmdir(aside.c_str());
        return error;
    }
    std::error_code ignored;
    std::filesystem::remove_all(aside, ignored);
    return ERROR_SUCCESS;
}

// subKey with all its values and subkeys; without subKey, what key holds.
LSTATUS DeleteTree(HKEY key, LPCWSTR subKey)
{
    std::string folder;
    const LSTATUS found = FindKey(key, subKey, &folder);
    if (found != ERROR_SUCCESS) {
        return found;
    }
    if (subKey != nullptr && subKey[0] != 0) {
        return RemoveFolder(folder);
    }
    for (bool folders : {true, false}) {
        std::vector<std::string> files;
        const LSTATUS listed = Listing(folder, folders, &files);
        if (listed != ERROR_SUCCESS) {
            return listed;
        }
        for (const std::string& file : files) {
            const std::string path = folder + "/" + file;
            const LSTATUS removed = folders ? RemoveFolder(path)
                                            : sys::Unlink(path.c_str()) == 0 ? ERROR_SUCCESS : FailFromErrno();
            if (removed != ERROR_SUCCESS) {
                return removed;
            }
        }
    }
    return ERROR_SUCCESS;
}

// The store's own work allocates through the standard library; running out
// of memory there is reported as the registry would, never thrown.
template <typename Work>
LSTATUS Reported(Work work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

} // namespace

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result)
{
    return Reported([&] { return OpenKey(key, subKey, result); });
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*className*/, DWORD /*options*/,
                        REGSAM /*access*/, LPSECURITY_ATTRIBUTES /*security*/, PHKEY result,
                        LPDWORD disposition)
{
    return Reported([&] { return CreateKey(key, subKey, result, disposition); });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                         LPDWORD dataSize)
{
    return Reported([&] { return QueryValue(key, valueName, type, data, dataSize); });
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                       DWORD dataSize)
{
    return Reported([&] { return SetValue(key, valueName, type, data, dataSize); });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName)
{
    return Reported([&] { return DeleteValue(key, valueName); });
}

LSTATUS RegDeleteTreeW(HKEY key, LPCWSTR subKey)
{
    return Reported([&] { return DeleteTree(key, subKey); });
}

LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD /*reserved*/,
                      LPWSTR /*className*/, LPDWORD /*classChars*/, PFILETIME /*lastWrite*/)
{
    return Reported([&] { return EnumKey(key, index, name, nameChars); });
}

LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD /*reserved*/, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize)
{
    return Reported([&] { return EnumValue(key, index, name, nameChars, type, data, dataSize); });
}

LSTATUS RegCloseKey(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    if (key->holdsCreationLock) {
        g_creationLock.Release();
    }
    delete key;
    return ERROR_SUCCESS;
}
