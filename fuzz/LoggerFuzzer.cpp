// Starts a logger on registry settings decoded from the input, registers
// zones named by it and writes entries. Every input starts from an empty
// registry store and device of the process's own, so that no run depends on
// the inputs before it. Checked: the global settings the logger took from
// the store, zone registrations, which zones are enabled, and every entry
// line that reaches the log file.
#include <cstring>
#include <filesystem>
#include <memory>

#include "DebLogger.h"
#include "FuzzSupport.h"
#include "LoggerDevice.h"
#include "kvor/deblog/DebLog.h"

namespace {

using kvorfuzz::ByteReader;
using kvorfuzz::Check;
using kvorfuzz::WString;

const WString kLoggerKey = KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger");

HKEY CreatedKey(const WString& path)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr);
    return key;
}

// A value as the input decides it: absent, a REG_DWORD (any word, or a
// small one, whose bits are likelier to matter) or a REG_SZ, which the
// logger must ignore. True when a dword was written.
bool WriteValue(const WString& keyPath, const WCHAR* name, ByteReader& input, uint32_t* dword)
{
    const uint8_t choice = input.Byte();
    HKEY key = choice % 4 == 0 ? nullptr : CreatedKey(keyPath);
    if (key == nullptr) {
        return false;
    }
    const WString text = choice % 4 == 2 ? input.Text() : WString();
    *dword = choice % 4 == 1 ? input.Word() : static_cast<uint32_t>(choice >> 2 & 7);
    if (choice % 4 == 2) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    } else {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(dword), 4);
    }
    RegCloseKey(key);
    return choice % 4 != 2;
}

void WriteSettings(const WString& keyPath, ByteReader& input, GlobalSetting& setting)
{
    uint16_t* fields[] = {&setting.OutputType, &setting.Severity, &setting.FileMode, &setting.TimeFormat};
    const WCHAR* names[] = {KVOR_TEXT("OutputType"), KVOR_TEXT("Severity"), KVOR_TEXT("FileMode"),
                            KVOR_TEXT("TimeFormat")};
    for (int i = 0; i < 4; ++i) {
        uint32_t value = 0;
        if (WriteValue(keyPath, names[i], input, &value)) {
            *fields[i] = static_cast<uint16_t>(i == 3 ? value & 0xFF : value);
        }
    }
}

class LoggerRun {
public:
    // One registry store and device for the process (a folder for each
    // input would cost more than the input), emptied for every input.
    LoggerRun()
    {
        std::filesystem::remove_all(kvorfuzz::Scratch().File("registry"));
        std::filesystem::remove_all(kvorfuzz::Scratch().File("device"));
        m_device.CreateKey("SOFTWARE/KVOR");
    }
    ~LoggerRun() { kvor::testing::ReplaceLogger(nullptr); }

    void Run(ByteReader& input)
    {
        Start(input);
        for (int zones = input.Byte() % 16; zones > 0; --zones) {
            Register(input);
        }
        for (int entries = input.Byte() % 64; entries > 0 && !input.AtEnd(); --entries) {
            Write(input);
        }
    }

private:
    // A logger key that exists is taken as it is, with its Zone key or
    // without; a missing one is created with the defaults.
    void Start(ByteReader& input)
    {
        const uint8_t layout = input.Byte();
        GlobalSetting expected = {0, 3, 1, 0};
        if ((layout & 1) != 0) {
            RegCloseKey(CreatedKey((layout & 2) != 0 ? kLoggerKey + KVOR_TEXT("\\Zone") : kLoggerKey));
            WriteSettings(kLoggerKey, input, expected);
            if ((layout & 4) != 0) {
                WriteSettings(kLoggerKey + KVOR_TEXT("\\") + DebLogger::GetExeFileTitle(), input, expected);
            }
        }
        m_logger.reset(new DebLogger());
        m_running = m_logger->Initialize() == 1;
        Check(m_running == ((layout & 1) == 0 || (layout & 2) != 0), "the logger starts when it has a Zone key");
        const GlobalSetting& setting = m_logger->GetGlobalSetting();
        Check(!m_running || std::memcmp(&setting, &expected, sizeof(expected)) == 0, "the global settings from the store");
        for (uint32_t builtIn : {1, 2, 65}) {
            m_registered[builtIn] = m_running;
        }
        kvor::testing::ReplaceLogger(m_running ? m_logger.get() : nullptr);
    }

    // A zone's key may hold values from the input beforehand; how the
    // logger reads them is its own tests' business, that a refusal changes
    // nothing and a registration keeps the name is checked here.
    void Register(ByteReader& input)
    {
        const uint32_t zone = input.Byte();
        const uint8_t flags = input.Byte();
        const WString name = input.Text();
        uint32_t value = 0;
        if ((flags & 1) != 0) {
            WriteValue(kLoggerKey + KVOR_TEXT("\\Zone\\") + name, KVOR_TEXT("OutputEnable"), input, &value);
            WriteValue(kLoggerKey + KVOR_TEXT("\\Zone\\") + name, KVOR_TEXT("Severity"), input, &value);
        }
        const bool withName = (flags & 2) == 0;
        const ZoneRecord before = zone < MAX_ZONE_ID ? m_logger->GetZone(zone) : ZoneRecord();
        const uint32_t result =
            DebLogRegisterZone(zone, withName ? name.c_str() : nullptr, KVOR_TEXT("\\src\\zone.cpp"), 7);
        if (!m_running || !withName || zone >= MAX_ZONE_ID || before.name[0] != 0 || result == 0) {
            Check(result == 0, "a refused registration answers 0");
            Check(zone >= MAX_ZONE_ID || std::memcmp(&before, &m_logger->GetZone(zone), sizeof(before)) == 0,
                  "a refused registration changes nothing");
            return;
        }
        const ZoneRecord& record = m_logger->GetZone(zone);
        Check(WString(record.name) == name.substr(0, 31) && WString(record.tag) == name.substr(0, 8),
              "the zone's name and tag");
        m_registered[zone] = true;
    }

    // One line more in the log file when file output is on: cut at 1024
    // characters, else ending in the message (none for a system error) and
    // a line feed.
    void Write(ByteReader& input)
    {
        const uint32_t zone = input.Byte() % MAX_ZONE_ID;
        const uint32_t severity = input.Byte() % (DEBLOG_LAST_SEVERITY + 1);
        const uint8_t flags = input.Byte();
        const uint32_t systemError = (flags & 1) != 0 ? input.Byte() : 0;
        const WString source = input.Text();
        // A text repeated, then another: messages on both sides of the 1024
        // characters that a message and a file line hold.
        const WString repeated = input.Text();
        WString message;
        for (int repeats = input.Byte() % 128; repeats > 0; --repeats) {
            message += repeated;
        }
        message += input.Text();
        const ZoneRecord& record = m_logger->GetZone(zone);
        const bool enabled = m_running && m_registered[zone] && record.severity <= severity &&
                             m_logger->GetGlobalSetting().OutputType != 0 && (record.OutputEnable & 1) != 0;
        Check(DebLogIsZoneEnabled(zone, severity) == (enabled ? 1u : 0u), "DebLogIsZoneEnabled");
        const WString before = LogText();
        const uint32_t begun =
            DebLogBeginEntry(zone, severity, systemError, (flags & 2) != 0 ? source.c_str() : nullptr, input.Byte());
        Check(begun == (m_running ? 1u : 0u) && DebLogWriteEntry(KVOR_TEXT("%s"), message.c_str()) == begun,
              "an entry is written while the logger runs");

        const WString after = LogText();
        const bool toFile = m_running && (m_logger->GetGlobalSetting().OutputType & 2) != 0;
        Check(after.compare(0, before.size(), before) == 0, "the log file keeps what it held");
        const WString line = after.substr(before.size());
        const WString ending = (systemError == 0 ? message : WString()) + KVOR_TEXT("\n");
        Check(toFile || line.empty(), "no line without file output");
        Check(!toFile || (line.compare(0, 4, KVOR_TEXT("[A][")) == 0 && line.size() <= DebLogger::kMessageCapacity),
              "an entry line of at most 1024 characters");
        Check(!toFile || line.size() == DebLogger::kMessageCapacity ||
                  (line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0),
              "an entry line ends in its message and a line feed");
    }

    // The log file's characters after the byte-order mark; none when there is no file.
    WString LogText() const
    {
        const std::string bytes = kvortest::ReadText(m_device.LogFolder() + "/" + kvortest::U8(DebLogger::GetExeFileTitle()) + ".log");
        return bytes.size() < 2 ? WString()
                                : kvorfuzz::CharactersOf(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
    }

    static const kvortest::LoggerDevice& Device()
    {
        static const kvortest::LoggerDevice device(kvorfuzz::Scratch());
        return device;
    }
    const kvortest::LoggerDevice& m_device = Device();
    std::unique_ptr<DebLogger> m_logger;
    bool m_running = false;
    bool m_registered[MAX_ZONE_ID] = {};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ByteReader input(data, size);
    LoggerRun run;
    run.Run(input);
    return 0;
}
