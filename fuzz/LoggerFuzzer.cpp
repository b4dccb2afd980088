// Starts a logger on registry settings decoded from the input, registers
// zones with names from it and writes entries. Each input starts from an
// empty registry store and device of this process's own, so that a run
// does not depend on the inputs before it. Checked: the settings and zone
// records the logger took from the store, which zones are enabled, and
// every entry line that reaches the log file.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "DebLogger.h"
#include "FuzzSupport.h"
#include "kvor/deblog/DebLog.h"

namespace {

using kvorfuzz::ByteReader;
using kvorfuzz::WString;

const WString kLoggerKey = KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger");
const WString kZoneKey = kLoggerKey + KVOR_TEXT("\\Zone");
const size_t kMaxZoneName = 230; // keeps the zone's key path within 259 characters
const int kMaxEntries = 64;

void Check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "the logger differs from its settings: %s\n", what);
        std::abort();
    }
}

// A registry value as the input decides it: absent, a REG_DWORD (any word,
// or a small one, whose bits are likelier to matter) or a REG_SZ, which the
// logger must ignore.
enum class Written { kNothing, kDword, kText };

Written WriteValue(const WString& keyPath, const WCHAR* name, ByteReader& input, uint32_t* dword)
{
    const uint8_t choice = input.Byte();
    if (choice % 4 == 0) {
        return Written::kNothing;
    }
    HKEY key = nullptr;
    Check(RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr) ==
              ERROR_SUCCESS,
          "the scratch store takes a key");
    if (choice % 4 == 2) {
        const WString text = input.Text();
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    } else {
        *dword = choice % 4 == 1 ? input.Word() : static_cast<uint32_t>(choice >> 2 & 7);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(dword), 4);
    }
    RegCloseKey(key);
    return choice % 4 == 2 ? Written::kText : Written::kDword;
}

void ReadSettings(const WString& keyPath, ByteReader& input, GlobalSetting& setting)
{
    uint16_t* fields[] = {&setting.OutputType, &setting.Severity, &setting.FileMode, &setting.TimeFormat};
    const WCHAR* names[] = {KVOR_TEXT("OutputType"), KVOR_TEXT("Severity"), KVOR_TEXT("FileMode"),
                            KVOR_TEXT("TimeFormat")};
    for (int i = 0; i < 4; ++i) {
        uint32_t value = 0;
        if (WriteValue(keyPath, names[i], input, &value) == Written::kDword) {
            *fields[i] = static_cast<uint16_t>(i == 3 ? value & 0xFF : value);
        }
    }
}

bool SameSettings(const GlobalSetting& a, const GlobalSetting& b)
{
    return a.FileMode == b.FileMode && a.Severity == b.Severity && a.OutputType == b.OutputType &&
           a.TimeFormat == b.TimeFormat;
}

std::string Narrow(const WCHAR* text)
{
    std::string narrow;
    for (; *text != 0; ++text) {
        narrow.push_back(static_cast<char>(*text));
    }
    return narrow;
}

// What the store's zone key of one name holds, as far as the logger reads
// it. A name with a backslash names a key below another one and may create
// that one on the way: a zone of that other name is then left unchecked.
struct ZoneKey {
    bool exists = false;
    bool uncertain = false;
    bool hasOutputEnable = false;
    uint32_t outputEnable = 1;
    bool hasSeverity = false;
    uint32_t severity = 0;

    void Write(Written written, uint32_t value, bool* has, uint32_t* field)
    {
        exists = exists || written != Written::kNothing;
        if (written != Written::kNothing) {
            *has = written == Written::kDword;
            *field = value;
        }
    }
};

WString Folded(const WString& name)
{
    WString folded = name;
    for (WCHAR& c : folded) {
        c = static_cast<WCHAR>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return folded;
}

class LoggerRun {
public:
    LoggerRun()
    {
        namespace fs = std::filesystem;
        const std::string folder = kvorfuzz::ScratchFolder();
        fs::remove_all(folder + "/registry");
        fs::remove_all(folder + "/device");
        fs::create_directories(folder + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE/KVOR");
        setenv("KVOR_REGISTRY", (folder + "/registry").c_str(), 1);
        setenv("KVOR_DEVICE_ROOT", (folder + "/device").c_str(), 1);
        m_logPath = folder + "/device/DebLogger/" + Narrow(DebLogger::GetExeFileTitle()) + ".log";
    }
    ~LoggerRun() { kvor::testing::ReplaceLogger(nullptr); }
    LoggerRun(const LoggerRun&) = delete;
    LoggerRun& operator=(const LoggerRun&) = delete;

    void Run(ByteReader& input)
    {
        Start(input);
        for (int zones = input.Byte() % 16; zones > 0; --zones) {
            Register(input);
        }
        for (int entries = input.Byte() % kMaxEntries; entries > 0 && !input.AtEnd(); --entries) {
            Write(input);
        }
    }

private:
    // A logger key written before the start is taken as it is, Zone key or
    // not; one that is missing is created with the defaults.
    void Start(ByteReader& input)
    {
        const uint8_t layout = input.Byte();
        GlobalSetting expected = {0, 3, 1, 0};
        const bool keyWritten = (layout & 1) != 0;
        const bool zoneKeyWritten = (layout & 2) != 0;
        if (keyWritten) {
            HKEY key = nullptr;
            const WString path = zoneKeyWritten ? kZoneKey : kLoggerKey;
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr);
            RegCloseKey(key);
            ReadSettings(kLoggerKey, input, expected);
        }
        if (keyWritten && (layout & 4) != 0) {
            ReadSettings(kLoggerKey + KVOR_TEXT("\\") + DebLogger::GetExeFileTitle(), input, expected);
        }
        m_logger.reset(new DebLogger());
        const uint32_t started = m_logger->Initialize();
        Check(started == ((!keyWritten || zoneKeyWritten) ? 1u : 0u), "the start needs the Zone key");
        if (started == 1) {
            Check(SameSettings(m_logger->GetGlobalSetting(), expected), "global settings");
            for (uint32_t builtIn : {1, 2, 65}) {
                m_registered[builtIn] = true;
            }
        }
        kvor::testing::ReplaceLogger(started == 1 ? m_logger.get() : nullptr);
        m_globalSeverity = expected.Severity;
    }

    void Register(ByteReader& input)
    {
        const uint32_t zone = input.Byte();
        const uint8_t flags = input.Byte();
        const WString name = input.Text();
        const bool plainName = !name.empty() && name.size() <= kMaxZoneName && name.find('\\') == WString::npos;
        if (!plainName) {
            m_keys[Folded(name.substr(0, name.find('\\')))].uncertain = true;
        }
        ZoneKey& key = m_keys[Folded(name)];
        if ((flags & 1) != 0 && plainName) {
            const WString path = kZoneKey + KVOR_TEXT("\\") + name;
            uint32_t value = 0;
            const Written outputEnable = WriteValue(path, KVOR_TEXT("OutputEnable"), input, &value);
            key.Write(outputEnable, value, &key.hasOutputEnable, &key.outputEnable);
            const Written severity = WriteValue(path, KVOR_TEXT("Severity"), input, &value);
            key.Write(severity, value, &key.hasSeverity, &key.severity);
        }
        const bool withName = (flags & 2) == 0;
        const ZoneRecord before = zone < MAX_ZONE_ID ? m_logger->GetZone(zone) : ZoneRecord();
        const uint32_t result =
            DebLogRegisterZone(zone, withName ? name.c_str() : nullptr, KVOR_TEXT("\\src\\zone.cpp"), 7);
        const bool refused = !IsRunning() || !withName || zone >= MAX_ZONE_ID || before.name[0] != 0;
        const bool checked = plainName && !key.uncertain;
        const bool keyRefuses = key.exists && !key.hasOutputEnable;
        if (result == 0) {
            Check(refused || !checked || keyRefuses, "a zone of a plain name registers");
            Check(zone >= MAX_ZONE_ID || std::memcmp(&before, &m_logger->GetZone(zone), sizeof(before)) == 0,
                  "a refused registration changes nothing");
            return;
        }
        Check(!refused && !(checked && keyRefuses), "a refused registration answers 0");
        const ZoneRecord& record = m_logger->GetZone(zone);
        const WString stored = name.substr(0, 31);
        Check(WString(record.name) == stored && WString(record.tag) == stored.substr(0, 8), "zone name and tag");
        if (checked) {
            Check(record.OutputEnable == (key.exists ? key.outputEnable : 1) &&
                      record.severity == static_cast<uint16_t>(key.hasSeverity ? key.severity : m_globalSeverity),
                  "zone settings");
            key.hasOutputEnable = true;
            key.outputEnable = record.OutputEnable;
            key.exists = true;
        }
        m_registered[zone] = true;
    }

    void Write(ByteReader& input)
    {
        const uint32_t zone = input.Byte() % MAX_ZONE_ID;
        const uint32_t severity = input.Byte() % (DEBLOG_LAST_SEVERITY + 1);
        const uint8_t flags = input.Byte();
        const uint32_t systemError = (flags & 1) != 0 ? input.Byte() : 0;
        const WString source = input.Text();
        // One text repeated, then another: lengths on both sides of the
        // 1024 characters that a message and a file line hold.
        const WString repeated = input.Text();
        WString message;
        for (int repeats = input.Byte() % 128; repeats > 0; --repeats) {
            message += repeated;
        }
        message += input.Text();
        const bool enabled = IsRunning() && m_registered[zone] && m_logger->GetZone(zone).severity <= severity &&
                             m_logger->GetGlobalSetting().OutputType != 0 &&
                             (m_logger->GetZone(zone).OutputEnable & 1) != 0;
        Check(DebLogIsZoneEnabled(zone, severity) == (enabled ? 1u : 0u), "DebLogIsZoneEnabled");
        const std::u16string before = LogText();
        const uint32_t begun = DebLogBeginEntry(zone, severity, systemError,
                                                (flags & 2) != 0 ? source.c_str() : nullptr, input.Byte());
        const uint32_t written = DebLogWriteEntry(KVOR_TEXT("%s"), message.c_str());
        Check(begun == (IsRunning() ? 1u : 0u) && written == begun, "an entry is written while the logger runs");
        CheckLine(before, systemError == 0 ? &message : nullptr);
    }

    // One line more in the log file when file output is on: cut at 1024
    // characters, else ending in the message and a line feed.
    void CheckLine(const std::u16string& before, const WString* message) const
    {
        const std::u16string after = LogText();
        const bool toFile = IsRunning() && (m_logger->GetGlobalSetting().OutputType & 2) != 0;
        Check(after.compare(0, before.size(), before) == 0, "the log file keeps what it held");
        const std::u16string line = after.substr(before.size());
        if (!toFile) {
            Check(line.empty(), "no file output, no line");
            return;
        }
        Check(line.compare(0, 4, u"[A][") == 0 && line.size() <= DebLogger::kMessageCapacity, "entry line");
        if (line.size() < static_cast<size_t>(DebLogger::kMessageCapacity)) {
            const std::u16string ending = message != nullptr ? std::u16string(message->begin(), message->end()) + u"\n"
                                                             : std::u16string(u"\n");
            Check(line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0,
                  "an entry line ends in its message and a line feed");
        }
    }

    // The log file's characters after the byte-order mark; empty when none.
    std::u16string LogText() const
    {
        std::ifstream file(m_logPath, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::u16string text;
        for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
            text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8));
        }
        return text;
    }

    bool IsRunning() const { return m_logger && m_logger->IsInitialized() == 1; }

    std::unique_ptr<DebLogger> m_logger;
    std::string m_logPath;
    uint16_t m_globalSeverity = 3;
    bool m_registered[MAX_ZONE_ID] = {};
    std::map<WString, ZoneKey> m_keys;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ByteReader input(data, size);
    LoggerRun run;
    run.Run(input);
    return 0;
}
