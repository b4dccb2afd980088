// The logger's start from the registry and zone registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LoggerFixture.h"

using namespace kvortest;

namespace {

const WCHAR* const kFile = KVOR_TEXT("src\\Module.cpp");

TEST_F(LoggerTest, ExistingKeysAreReadNotRewritten)
{
    SetDword("SOFTWARE/KVOR/DebLogger", "Severity", 1);
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/DebLog", "OutputEnable", 3);
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/DebLog", "Severity", 4);
    DebLogger fresh;
    ASSERT_EQ(1u, fresh.Initialize());
    EXPECT_EQ(1, fresh.GetGlobalSetting().Severity);
    EXPECT_EQ(1, fresh.GetGlobalSetting().OutputType); // absent: the default stays
    EXPECT_EQ("", device.Value("SOFTWARE/KVOR/DebLogger", "OutputType"));
    EXPECT_EQ(3u, fresh.GetZone(1).OutputEnable);
    EXPECT_EQ(4, fresh.GetZone(1).severity);
    EXPECT_EQ(1, fresh.GetZone(2).severity); // no zone value: the global one
}

TEST_F(LoggerTest, OnlyFourByteDwordValuesCount)
{
    const struct { const char* line; uint16_t expected; } cases[] = {
        {"dword:00000002", 2}, {"dword:00010002", 2}, // the setting keeps the low 16 bits
        {"\"2\"", 1},          {"hex:02,00,00,00", 1}, {"dword:2", 1},
    };
    SetDword("SOFTWARE/KVOR/DebLogger", "FileMode", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SetValue("SOFTWARE/KVOR/DebLogger", "OutputType", c.line);
        GlobalSetting setting = {0, 3, 1, 0};
        DebLogger fresh;
        fresh.ReadGlobalSetting(KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger"), &setting);
        EXPECT_EQ(c.expected, setting.OutputType);
        EXPECT_EQ(1, setting.FileMode);
    }
}

TEST_F(LoggerTest, RegisterZoneRefusesWithOneLineEach)
{
    SetDword("SOFTWARE/KVOR/DebLogger/Zone/Present", "OutputEnable", 1);
    device.CreateKey("SOFTWARE/KVOR/DebLogger/Zone/NoOutputEnable");
    SetValue("SOFTWARE/KVOR/DebLogger/Zone/StringOutputEnable", "OutputEnable", "\"1\"");
    Start();
    device.BlockKey("SOFTWARE/KVOR/DebLogger/Zone/Blocked");
    ASSERT_EQ(1u, logger->RegisterZone(12, KVOR_TEXT("Present"), kFile, 1));

    const struct { uint32_t zone; const WCHAR *zoneName, *file; std::string line; } cases[] = {
        {20, nullptr, kFile, "[src\\Module.cpp#7][20][(null)]Zonename or Filename is NULL"},
        {20, KVOR_TEXT("Z"), nullptr, "[(null)#7][20][Z]Zonename or Filename is NULL"},
        {128, KVOR_TEXT("Z"), kFile, "[src\\Module.cpp#7][128][Z]DebLog ZONEID exceed MAX_ZONE_ID"},
        {12, KVOR_TEXT("Other"), kFile,
         "[src\\Module.cpp#7][12][Other]DebLog SourcID 12 already registered with name Present"},
        {20, KVOR_TEXT("Blocked"), kFile, "[src\\Module.cpp#7][20][Blocked]Create zone setting unsuccessfully"},
        {20, KVOR_TEXT("NoOutputEnable"), kFile,
         "[src\\Module.cpp#7][20][NoOutputEnable]Read zone setting unsuccessfully"},
        {20, KVOR_TEXT("StringOutputEnable"), kFile,
         "[src\\Module.cpp#7][20][StringOutputEnable]Read zone setting unsuccessfully"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        debug.Clear();
        EXPECT_EQ(0u, logger->RegisterZone(c.zone, c.zoneName, c.file, 7));
        const std::vector<std::string> lines = debug.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(c.line, lines.back());
        EXPECT_EQ(0u, DebLogIsZoneEnabled(20, 4));
        EXPECT_EQ("Present", U8(logger->GetZone(12).name));
    }
}

TEST_F(LoggerTest, LongZoneNameIsCutInTheTableButNotInTheRegistry)
{
    Start();
    const std::string name(40, 'n');
    ASSERT_EQ(1u, logger->RegisterZone(30, W(name).c_str(), kFile, 1));
    EXPECT_EQ(name.substr(0, 31), U8(logger->GetZone(30).name));
    EXPECT_EQ(name.substr(0, 8), U8(logger->GetZone(30).tag));
    EXPECT_EQ("dword:00000001", device.Value("SOFTWARE/KVOR/DebLogger/Zone/" + name, "OutputEnable"));
}

// A zone's key is named as the zone, with any character a key name may hold.
TEST_F(LoggerTest, ZoneNamesAreKeyNamesAsWritten)
{
    Start();
    const char* const names[] = {"a/b", ".", "50%"};
    uint32_t zone = 40;
    for (const char* name : names) {
        EXPECT_EQ(1u, logger->RegisterZone(zone++, W(name).c_str(), kFile, 1)) << name;
    }
    const std::vector<std::string> keys = SubkeyNames(KVOR_TEXT("SOFTWARE\\KVOR\\DebLogger\\Zone"));
    for (const char* name : names) {
        EXPECT_NE(std::find(keys.begin(), keys.end(), name), keys.end()) << name;
    }
}

} // namespace
