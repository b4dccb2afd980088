// reg: the registry store in which logging is configured, read and written
// the way the Windows reg command does it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "CommandSupport.h"
#include "Commands.h"
#include "Json.h"
#include "LoggerKeys.h"
#include "SystemMessage.h"
#include "TextCodec.h"
#include "kvor/deblog/DebLogRegistry.h"

namespace kvorxml {
namespace {

const char* const kRegHelp =
    "usage: kvorxml reg query KEY [/v NAME] [--json]\n"
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
    "(its OutputType, Severity, FileMode and TimeFormat, and the Zone key), and a new\n"
    "zone key its OutputEnable, so that the logger finds its store complete. The\n"
    "logger reads those values, and a zone's Severity, only as REG_DWORD.\n";

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

// The words after the operation and KEY: /v NAME, /t TYPE, /d DATA, /f.
bool ReadSwitches(const Words& words, Request& request, std::string& error)
{
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (SameText(word, "/f")) {
            continue; // nothing asks for confirmation here
        }
        if (word == "--json") {
            request.json = true;
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

// The store cannot list a key's values: these are the ones logging reads.
std::vector<WString> LoggingValueNames()
{
    std::vector<WString> names;
    for (const DebLogDword& value : kDebLogGlobalDefaults) {
        names.push_back(value.name);
    }
    names.push_back(kDebLogZoneDefault.name);
    return names;
}

int Query(const Request& request)
{
    RegistryKey key;
    const LSTATUS status = key.Open(request.subKey);
    if (status != ERROR_SUCCESS) {
        Complain("reg", request.keyText + ": " + SystemMessage(static_cast<DWORD>(status)));
        return kExitFailure;
    }
    JsonWriter json;
    JsonWriter* out = request.json ? &json : nullptr;
    if (out != nullptr) {
        json.BeginObject().Key("key").String(kRoot + request.subKey).Key("values").BeginArray();
    } else {
        std::cout << "\n" << kRoot << request.subKey << "\n";
    }
    const std::vector<WString> names =
        request.haveName ? std::vector<WString>{FromUtf8(request.name)} : LoggingValueNames();
    bool shownAny = false;
    for (const WString& name : names) {
        Value value;
        if (ReadValue(key.Get(), name, value)) {
            ShowValue(ToUtf8(name), value, out);
            shownAny = true;
        }
    }
    if (request.haveName && !shownAny) {
        Complain("reg", request.keyText + " has no value " + request.name);
        return kExitFailure;
    }
    std::cout << (out != nullptr ? json.EndArray().EndObject().Text() : std::string()) << "\n";
    return kExitSuccess;
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
            return UsageError("reg", "query takes KEY and an optional /v NAME");
        }
        return Query(request);
    }
    if (request.operation == "add") {
        return Add(request);
    }
    return UsageError("reg", "unknown operation " + request.operation + " (query or add)");
}

} // namespace kvorxml
