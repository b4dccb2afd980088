// reg: the registry store in which logging is configured, read and written
// the way the Windows reg command does it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Json.h"
#include "LoggerKeys.h"
#include "SystemMessage.h"
#include "TextCodec.h"

namespace kvorxml {
namespace {

const char* const kRegHelp =
    "usage: kvorxml reg query KEY [/v NAME] [/s] [--json]\n"
    "       kvorxml reg add KEY /v NAME /t REG_DWORD /d N [/f]\n"
    "       kvorxml reg add KEY /v NAME /t REG_SZ /d TEXT [/f]\n"
    "       kvorxml reg delete KEY [/v NAME] [/f]\n"
    "Reads and writes the registry store in which logging is configured.\n"
    "KEY begins with HKLM\\ or HKEY_LOCAL_MACHINE\\, e.g.\n"
    "  HKLM\\SOFTWARE\\KVOR\\DebLogger                      OutputType, Severity, FileMode, TimeFormat\n"
    "  HKLM\\SOFTWARE\\KVOR\\DebLogger\\kvorxml              the same, for one executable\n"
    "  HKLM\\SOFTWARE\\KVOR\\DebLogger\\Zone\\kvorXMLParser   OutputEnable, Severity\n"
    "query shows the values a key holds (or the one named with /v) and its subkeys;\n"
    "with /s, every key below it with its values.\n"
    "add creates the key when needed and sets the value; N is decimal or 0x hex.\n"
    "A DebLogger key that add creates receives the defaults the logger would write\n"
    "(its OutputType, Severity, FileMode and TimeFormat, and the Zone key), and a new\n"
    "zone key its OutputEnable, so that the logger finds its store complete. The\n"
    "logger reads those values, and a zone's Severity, only as REG_DWORD.\n"
    "delete removes the value named with /v, or else the key with everything below\n"
    "it; without /f it asks first.\n";

const char* const kRoot = "HKEY_LOCAL_MACHINE\\";

// What the words after "reg" ask for.
struct Request {
    std::string operation;
    std::string keyText; // as given
    std::string subKey;  // below HKEY_LOCAL_MACHINE
    std::string name;
    std::string type;
    std::string data;
    bool haveName = false;
    bool haveType = false;
    bool haveData = false;
    bool force = false;     // /f
    bool recursive = false; // /s
    bool json = false;
};

bool SameText(const std::string& left, const char* right)
{
    return kvor::_wcsicmp(FromUtf8(left).c_str(), FromUtf8(right).c_str()) == 0;
}

// "HKLM\a\b" -> "a\b"; false for other roots.
bool SubKeyOf(const std::string& key, std::string& subKey)
{
    const size_t slash = key.find('\\');
    const std::string root = key.substr(0, slash);
    if (!SameText(root, "HKLM") && !SameText(root, "HKEY_LOCAL_MACHINE")) {
        return false;
    }
    subKey = slash == std::string::npos ? std::string() : key.substr(slash + 1);
    while (!subKey.empty() && subKey.back() == '\\') {
        subKey.pop_back();
    }
    return !subKey.empty();
}

// The words after the operation and KEY: /v NAME, /t TYPE, /d DATA, /f, /s.
bool ReadSwitches(const Words& words, Request& request, std::string& error)
{
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        bool* flag = SameText(word, "/f") ? &request.force
                     : SameText(word, "/s") ? &request.recursive
                     : word == "--json"     ? &request.json
                                            : nullptr;
        if (flag != nullptr) {
            *flag = true;
            continue;
        }
        std::string* target = SameText(word, "/v") ? &request.name
                              : SameText(word, "/t") ? &request.type
                              : SameText(word, "/d") ? &request.data
                                                     : nullptr;
        if (target == nullptr) {
            error = "unexpected " + word;
            return false;
        }
        if (i + 1 >= words.size()) {
            error = word + " needs a value";
            return false;
        }
        *target = words[++i];
        (target == &request.name ? request.haveName : target == &request.type ? request.haveType : request.haveData) =
            true;
    }
    return true;
}

// One value as reg shows it.
struct Value {
    std::string type; // REG_DWORD, REG_SZ, REG_BINARY
    std::string text; // 0x1, the string, (n bytes)
    bool isNumber = false;
    DWORD number = 0;
};

bool ReadValue(HKEY key, const WString& name, Value& value)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return false;
    }
    std::basic_string<BYTE> data(size + sizeof(WCHAR), BYTE(0));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, &data[0], &size) != ERROR_SUCCESS) {
        return false;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        std::memcpy(&value.number, data.data(), sizeof value.number);
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", value.number);
        value = {"REG_DWORD", hex, true, value.number};
    } else if (type == REG_SZ) {
        const WCHAR* text = reinterpret_cast<const WCHAR*>(data.data());
        value = {"REG_SZ", ToUtf8(text, kvor::wcslen(text))};
    } else {
        value = {"REG_BINARY", "(" + std::to_string(size) + " bytes)"};
    }
    return true;
}

void ShowValue(const std::string& name, const Value& value, JsonWriter* json)
{
    if (json == nullptr) {
        std::cout << "    " << name << "    " << value.type << "    " << value.text << "\n";
        return;
    }
    json->BeginObject().Key("name").String(name).Key("type").String(value.type).Key("data");
    if (value.isNumber) {
        json->Number(value.number);
    } else {
        json->String(value.text);
    }
    json->EndObject();
}

// Calls each(name) for every name a registry listing gives (RegEnumValueW
// or RegEnumKeyExW) until it ends; false when it failed before its end.
template <typename List, typename Each>
bool ForEachName(List list, Each each)
{
    WCHAR name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD chars = sizeof name / sizeof name[0];
        const LSTATUS status = list(index, name, &chars);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        if (status != ERROR_SUCCESS) {
            return false;
        }
        each(WString(name, chars));
    }
}

void ListValues(HKEY key, JsonWriter* json)
{
    ForEachName([&](DWORD index, WCHAR* name, DWORD* chars) {
        return RegEnumValueW(key, index, name, chars, nullptr, nullptr, nullptr, nullptr);
    },
                [&](const WString& name) {
                    Value value;
                    if (ReadValue(key, name, value)) {
                        ShowValue(ToUtf8(name), value, json);
                    }
                });
}

std::vector<std::string> SubkeysOf(HKEY key)
{
    std::vector<std::string> names;
    ForEachName([&](DWORD index, WCHAR* name, DWORD* chars) {
        return RegEnumKeyExW(key, index, name, chars, nullptr, nullptr, nullptr, nullptr);
    },
                [&](const WString& name) { names.push_back(ToUtf8(name)); });
    return names;
}

// One key as reg shows it: its name, its values, then its subkeys, each
// shown the same way when recursive, else only named.
bool ShowKey(const std::string& subKey, const Request& request, JsonWriter* json)
{
    RegistryKey key;
    const LSTATUS status = key.Open(subKey);
    if (status != ERROR_SUCCESS) {
        Complain("reg", kRoot + subKey + ": " + SystemMessage(static_cast<DWORD>(status)));
        return false;
    }
    if (json != nullptr) {
        json->BeginObject().Key("key").String(kRoot + subKey).Key("values").BeginArray();
    } else {
        std::cout << "\n" << kRoot << subKey << "\n";
    }
    ListValues(key.Get(), json);
    const std::vector<std::string> subkeys = SubkeysOf(key.Get());
    key.Close();
    if (json != nullptr) {
        json->EndArray().Key("subkeys").BeginArray();
    } else if (!request.recursive && !subkeys.empty()) {
        std::cout << "\n";
    }
    bool complete = true;
    for (const std::string& name : subkeys) {
        if (request.recursive) {
            complete = ShowKey(subKey + "\\" + name, request, json) && complete;
        } else if (json != nullptr) {
            json->String(kRoot + subKey + "\\" + name);
        } else {
            std::cout << kRoot << subKey << "\\" << name << "\n";
        }
    }
    if (json != nullptr) {
        json->EndArray().EndObject();
    }
    return complete;
}

int QueryValue(const Request& request)
{
    RegistryKey key;
    const LSTATUS status = key.Open(request.subKey);
    Value value;
    if (status != ERROR_SUCCESS) {
        Complain("reg", request.keyText + ": " + SystemMessage(static_cast<DWORD>(status)));
        return kExitFailure;
    }
    if (!ReadValue(key.Get(), FromUtf8(request.name), value)) {
        Complain("reg", request.keyText + " has no value " + request.name);
        return kExitFailure;
    }
    JsonWriter json;
    if (request.json) {
        json.BeginObject().Key("key").String(kRoot + request.subKey).Key("values").BeginArray();
        ShowValue(request.name, value, &json);
        std::cout << json.EndArray().EndObject().Text() << "\n";
    } else {
        std::cout << "\n" << kRoot << request.subKey << "\n";
        ShowValue(request.name, value, nullptr);
        std::cout << "\n";
    }
    return kExitSuccess;
}

int Query(const Request& request)
{
    if (request.haveName) {
        return QueryValue(request);
    }
    JsonWriter json;
    const bool complete = ShowKey(request.subKey, request, request.json ? &json : nullptr);
    std::cout << (request.json ? json.Text() : std::string()) << "\n";
    return complete ? kExitSuccess : kExitFailure;
}

// Every key from the first name down, one at a time, each new one given
// what the logger would write into it.
bool CreatePath(const std::string& subKey)
{
    size_t end = 0;
    do {
        end = subKey.find('\\', end + 1);
        const std::string path = subKey.substr(0, end);
        RegistryKey key;
        bool created = false;
        LSTATUS status = key.Create(path, &created);
        if (status == ERROR_SUCCESS && created) {
            status = WriteLoggerDefaults(path, key);
        }
        if (status != ERROR_SUCCESS) {
            Complain("reg", "HKLM\\" + path + ": " + SystemMessage(static_cast<DWORD>(status)));
            return false;
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

int Add(const Request& request)
{
    if (!request.haveName || request.name.empty() || !request.haveData) {
        return UsageError("reg", "add takes KEY /v NAME [/t REG_DWORD|REG_SZ] /d DATA");
    }
    const std::string type = request.haveType ? request.type : "REG_SZ";
    const bool isDword = SameText(type, "REG_DWORD");
    if (!isDword && !SameText(type, "REG_SZ")) {
        return UsageError("reg", "/t takes REG_DWORD or REG_SZ");
    }
    if (!isDword && LoggerReadsAsNumber(request.subKey, request.name)) {
        return UsageError("reg", "the logger reads " + request.name + " only as a number: give /t REG_DWORD");
    }
    DWORD number = 0;
    if (isDword && !ParseDword(request.data, number)) {
        return UsageError("reg", "/d of a REG_DWORD takes a number from 0 to 4294967295 (decimal or 0x hex)");
    }
    if (!CreatePath(request.subKey)) {
        return kExitFailure;
    }
    RegistryKey key;
    LSTATUS status = key.Open(request.subKey);
    if (status == ERROR_SUCCESS) {
        const WString name = FromUtf8(request.name);
        status = isDword ? key.SetDword(name.c_str(), number) : key.SetString(name.c_str(), FromUtf8(request.data).c_str());
    }
    if (status != ERROR_SUCCESS) {
        Complain("reg", request.keyText + " " + request.name + ": " + SystemMessage(static_cast<DWORD>(status)));
        return kExitFailure;
    }
    std::cout << kRoot << request.subKey << "\\" << request.name << " set\n";
    return kExitSuccess;
}

// Without /f the user is asked on standard input, as reg does.
bool Confirmed(const Request& request, const std::string& what)
{
    if (request.force) {
        return true;
    }
    std::cerr << "Delete " << what << "? (Yes/No) ";
    std::string answer;
    std::getline(std::cin, answer);
    return SameText(answer, "y") || SameText(answer, "yes");
}

int Delete(const Request& request)
{
    if (request.haveType || request.haveData || (request.haveName && request.name.empty())) {
        return UsageError("reg", "delete takes KEY and an optional /v NAME");
    }
    const std::string what = kRoot + request.subKey + (request.haveName ? "\\" + request.name : std::string());
    if (!Confirmed(request, request.haveName ? "the value " + what : "the key " + what + " and everything below it")) {
        Complain("reg", what + " is not deleted");
        return kExitFailure;
    }
    RegistryKey key;
    LSTATUS status = ERROR_SUCCESS;
    if (request.haveName) {
        status = key.Open(request.subKey);
        if (status == ERROR_SUCCESS) {
            status = RegDeleteValueW(key.Get(), FromUtf8(request.name).c_str());
        }
    } else {
        status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, FromUtf8(request.subKey).c_str());
    }
    if (status != ERROR_SUCCESS) {
        Complain("reg", what + ": " + SystemMessage(static_cast<DWORD>(status)));
        return kExitFailure;
    }
    std::cout << what << " deleted\n";
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
        return UsageError("reg", "expected query, add or delete, and a KEY");
    }
    Request request;
    request.operation = words[0];
    request.keyText = words[1];
    std::string error;
    if (!ReadSwitches(words, request, error)) {
        return UsageError("reg", error);
    }
    if (!SubKeyOf(request.keyText, request.subKey)) {
        return UsageError("reg", "KEY must begin with HKLM\\ or HKEY_LOCAL_MACHINE\\: " + request.keyText);
    }
    if (request.operation == "query") {
        if (request.haveType || request.haveData || (request.haveName && request.name.empty())) {
            return UsageError("reg", "query takes KEY, an optional /v NAME and /s");
        }
        return Query(request);
    }
    if (request.operation == "add") {
        return Add(request);
    }
    if (request.operation == "delete") {
        return Delete(request);
    }
    return UsageError("reg", "unknown operation " + request.operation + " (query, add or delete)");
}

} // namespace kvorxml
