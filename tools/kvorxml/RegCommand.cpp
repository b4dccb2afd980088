// reg: the logging settings in the registry store, read and written the
// way the Windows reg command does it.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <iostream>

#include "Arguments.h"
#include "Commands.h"
#include "TextCodec.h"
#include "kvor/platform/kvorPlatform.h"

namespace kvorxml {
namespace {

const char* const kRegHelp =
    "usage: kvorxml reg query KEY [/v NAME]\n"
    "       kvorxml reg add KEY /v NAME /t REG_DWORD /d N [/f]\n"
    "       kvorxml reg add KEY /v NAME /t REG_SZ /d TEXT [/f]\n"
    "Reads and writes the registry store in which logging is configured.\n"
    "KEY begins with HKLM\\ or HKEY_LOCAL_MACHINE\\, e.g.\n"
    "  HKLM\\SOFTWARE\\KVOR\\DebLogger                      OutputType, Severity, FileMode, TimeFormat\n"
    "  HKLM\\SOFTWARE\\KVOR\\DebLogger\\kvorxml              the same, for one executable\n"
    "  HKLM\\SOFTWARE\\KVOR\\DebLogger\\Zone\\kvorXMLParser   OutputEnable, Severity\n"
    "query shows the logging values a key holds (or the one named with /v).\n"
    "add creates the key when needed and sets the value; N is decimal or 0x hex.\n"
    "A DebLogger key that add creates receives the defaults the logger would write\n"
    "(OutputType 1, Severity 3, FileMode 0, TimeFormat 0, the Zone key), and a new\n"
    "zone key its OutputEnable 1, so that the logger finds its store complete.\n";

// The store cannot list a key's values; these are the ones logging reads.
const char* const kKnownValues[] = {"OutputType", "Severity", "FileMode", "TimeFormat", "OutputEnable"};

const char* const kDebLoggerKey = "SOFTWARE\\KVOR\\DebLogger";

bool EqualsIgnoringCase(const std::string& left, const std::string& right)
{
    if (left.size() != right.size()) {
        return false;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(left[i])) != std::tolower(static_cast<unsigned char>(right[i]))) {
            return false;
        }
    }
    return true;
}

// "HKLM\a\b" -> "a\b"; false for other roots.
bool SubKeyOf(const std::string& key, std::string& subKey)
{
    const size_t slash = key.find('\\');
    const std::string root = key.substr(0, slash);
    if (!EqualsIgnoringCase(root, "HKLM") && !EqualsIgnoringCase(root, "HKEY_LOCAL_MACHINE")) {
        return false;
    }
    subKey = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    while (!subKey.empty() && subKey.back() == '\\') {
        subKey.pop_back();
    }
    return !subKey.empty();
}

std::string ErrorText(LSTATUS status)
{
    WCHAR message[256] = {};
    if (FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(status), 0, message, 256, nullptr) > 0) {
        return ToUtf8(message);
    }
    return "error " + std::to_string(status);
}

class Key {
public:
    Key() = default;
    ~Key() { Close(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    void Close()
    {
        if (m_key != nullptr) {
            RegCloseKey(m_key);
            m_key = nullptr;
        }
    }
    LSTATUS Open(const std::string& subKey)
    {
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, FromUtf8(subKey).c_str(), 0, 0, &m_key);
    }
    LSTATUS Create(const std::string& subKey, bool* created)
    {
        DWORD disposition = 0;
        LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, FromUtf8(subKey).c_str(), 0, nullptr, 0, 0, nullptr,
                                         &m_key, &disposition);
        *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
        return status;
    }
    LSTATUS SetDword(const std::string& name, DWORD value)
    {
        return RegSetValueExW(m_key, FromUtf8(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value);
    }
    LSTATUS SetString(const std::string& name, const std::string& text)
    {
        const WString wide = FromUtf8(text);
        return RegSetValueExW(m_key, FromUtf8(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                              static_cast<DWORD>((wide.size() + 1) * sizeof(WCHAR)));
    }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// "    NAME    REG_DWORD    0x1", or false when the value is not there.
bool ShowValue(HKEY key, const std::string& name)
{
    BYTE data[1024] = {};
    DWORD size = sizeof data - sizeof(WCHAR);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, FromUtf8(name).c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS) {
        return false;
    }
    std::string shown;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        std::memcpy(&value, data, sizeof value);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", value);
        shown = std::string("REG_DWORD    ") + hex;
    } else if (type == REG_SZ) {
        shown = "REG_SZ    " + ToUtf8(reinterpret_cast<const WCHAR*>(data));
    } else {
        shown = "REG_BINARY    (" + std::to_string(size) + " bytes)";
    }
    std::cout << "    " << name << "    " << shown << "\n";
    return true;
}

int Query(const std::string& keyText, const std::string& subKey, const std::string& valueName)
{
    Key key;
    const LSTATUS status = key.Open(subKey);
    if (status != ERROR_SUCCESS) {
        Complain("reg", keyText + ": " + ErrorText(status));
        return kExitNothing;
    }
    std::cout << "\nHKEY_LOCAL_MACHINE\\" << subKey << "\n";
    bool shownAny = false;
    if (!valueName.empty()) {
        shownAny = ShowValue(key.Get(), valueName);
    } else {
        for (const char* name : kKnownValues) {
            shownAny = ShowValue(key.Get(), name) || shownAny;
        }
    }
    std::cout << "\n";
    if (!valueName.empty() && !shownAny) {
        Complain("reg", keyText + " has no value " + valueName);
        return kExitNothing;
    }
    return kExitSuccess;
}

// Every key from the first component down, one at a time, so that the
// logger's own keys come out as the logger makes them.
bool CreatePath(const std::string& subKey)
{
    size_t end = 0;
    do {
        end = subKey.find('\\', end + 1);
        const std::string path = subKey.substr(0, end);
        Key key;
        bool created = false;
        const LSTATUS status = key.Create(path, &created);
        if (status != ERROR_SUCCESS) {
            Complain("reg", "HKLM\\" + path + ": " + ErrorText(status));
            return false;
        }
        if (!created) {
            continue;
        }
        const std::string zonePrefix = std::string(kDebLoggerKey) + "\\Zone\\";
        if (EqualsIgnoringCase(path, kDebLoggerKey)) {
            key.SetDword("OutputType", 1);
            key.SetDword("Severity", 3);
            key.SetDword("FileMode", 0);
            key.SetDword("TimeFormat", 0);
            key.Close(); // a new key is held for its creator until closed
            Key zone;
            bool zoneCreated = false;
            zone.Create(path + "\\Zone", &zoneCreated);
        } else if (path.size() > zonePrefix.size() && EqualsIgnoringCase(path.substr(0, zonePrefix.size()), zonePrefix) &&
                   path.find('\\', zonePrefix.size()) == std::string::npos) {
            key.SetDword("OutputEnable", 1);
        }
    } while (end != std::string::npos);
    return true;
}

bool ParseDword(const std::string& text, DWORD& value)
{
    if (text.empty() || text[0] == '-') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<DWORD>(parsed);
    return true;
}

int Add(const std::string& keyText, const std::string& subKey, const std::string& name, const std::string& type,
        const std::string& data)
{
    DWORD number = 0;
    const bool isDword = EqualsIgnoringCase(type, "REG_DWORD");
    if (!isDword && !EqualsIgnoringCase(type, "REG_SZ")) {
        return UsageError("reg", "/t takes REG_DWORD or REG_SZ");
    }
    if (isDword && !ParseDword(data, number)) {
        return UsageError("reg", "/d of a REG_DWORD takes a number from 0 to 4294967295 (decimal or 0x hex)");
    }
    if (!CreatePath(subKey)) {
        return kExitNothing;
    }
    Key key;
    LSTATUS status = key.Open(subKey);
    if (status == ERROR_SUCCESS) {
        status = isDword ? key.SetDword(name, number) : key.SetString(name, data);
    }
    if (status != ERROR_SUCCESS) {
        Complain("reg", keyText + " " + name + ": " + ErrorText(status));
        return kExitNothing;
    }
    std::cout << "HKEY_LOCAL_MACHINE\\" << subKey << "\\" << name << " set\n";
    return kExitSuccess;
}

} // namespace

int RegCommand(const Words& words)
{
    for (const std::string& word : words) {
        if (word == "--help" || word == "/?") {
            std::cout << kRegHelp;
            return kExitSuccess;
        }
    }
    if (words.size() < 2) {
        return UsageError("reg", "expected query or add, and a KEY");
    }
    const std::string& operation = words[0];
    const std::string& keyText = words[1];
    std::string name;
    std::string type;
    std::string data;
    bool haveName = false, haveType = false, haveData = false;
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (EqualsIgnoringCase(word, "/f")) {
            continue; // nothing asks for confirmation here
        }
        std::string* target = EqualsIgnoringCase(word, "/v") ? &name
                              : EqualsIgnoringCase(word, "/t") ? &type
                              : EqualsIgnoringCase(word, "/d") ? &data
                                                               : nullptr;
        if (target == nullptr) {
            return UsageError("reg", "unexpected " + word);
        }
        if (i + 1 >= words.size()) {
            return UsageError("reg", word + " needs a value");
        }
        *target = words[++i];
        (target == &name ? haveName : target == &type ? haveType : haveData) = true;
    }
    std::string subKey;
    if (!SubKeyOf(keyText, subKey)) {
        return UsageError("reg", "KEY must begin with HKLM\\ or HKEY_LOCAL_MACHINE\\: " + keyText);
    }
    if (operation == "query") {
        if (haveType || haveData || (haveName && name.empty())) {
            return UsageError("reg", "query takes KEY and an optional /v NAME");
        }
        return Query(keyText, subKey, name);
    }
    if (operation == "add") {
        if (!haveName || name.empty() || !haveData) {
            return UsageError("reg", "add takes KEY /v NAME [/t REG_DWORD|REG_SZ] /d DATA");
        }
        return Add(keyText, subKey, name, haveType ? type : "REG_SZ", data);
    }
    return UsageError("reg", "unknown operation " + operation + " (query or add)");
}

} // namespace kvorxml
