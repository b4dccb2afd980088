// kvorxml reg: the settings it writes take effect in the next run's
// logging, the logger's own defaults included.
#include "KvorxmlRun.h"

namespace {

const char* const kLoggerKey = "HKLM\\SOFTWARE\\KVOR\\DebLogger";
const char* const kZoneKey = "HKLM\\SOFTWARE\\KVOR\\DebLogger\\Zone\\kvorXMLParser";

TEST_F(KvorxmlTest, RegistrySettingsChangeWhatTheNextRunLogs)
{
    const std::string notFound = "[A][I][kvorxml][kvorXMLP]FindNode - Can't find the matched Xml node.";
    const std::vector<std::string> search = {"find", m_utf16, "nosuch"};
    // Which severities the logger lets through is its own tests' business;
    // here each value added must be where the next run's logger reads it.
    ASSERT_EQ(0, Kvorxml({"reg", "add", kLoggerKey, "/v", "OutputType", "/t", "REG_DWORD", "/d", "1"}).status);
    EXPECT_EQ(std::string::npos, Kvorxml(search, "stderr").err.find(notFound)) << "the default severity holds 1 back";

    ASSERT_EQ(0, Kvorxml({"reg", "add", kZoneKey, "/v", "Severity", "/t", "REG_DWORD", "/d", "1"}).status);
    EXPECT_NE(std::string::npos, Kvorxml(search, "stderr").err.find(notFound));

    EXPECT_EQ("{\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\KVOR\\\\DebLogger\",\"values\":["
              "{\"name\":\"FileMode\",\"type\":\"REG_DWORD\",\"data\":0},"
              "{\"name\":\"OutputType\",\"type\":\"REG_DWORD\",\"data\":1},"
              "{\"name\":\"Severity\",\"type\":\"REG_DWORD\",\"data\":3},"
              "{\"name\":\"TimeFormat\",\"type\":\"REG_DWORD\",\"data\":0}],"
              "\"subkeys\":[\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\KVOR\\\\DebLogger\\\\Zone\"]}\n",
              Kvorxml({"reg", "query", kLoggerKey, "--json"}).out);

    ASSERT_EQ(0, Kvorxml({"reg", "add", kLoggerKey, "/v", "OutputType", "/t", "REG_DWORD", "/d", "0"}).status);
    EXPECT_EQ(std::string::npos, Kvorxml(search, "stderr").err.find("[A]["));
}

TEST_F(KvorxmlTest, RegDeletesWhatItIsToldAndQueriesBelowAKey)
{
    ASSERT_EQ(0, Kvorxml({"reg", "add", kZoneKey, "/v", "Severity", "/t", "REG_DWORD", "/d", "1"}).status);
    const std::string below = Kvorxml({"reg", "query", "HKLM\\SOFTWARE\\KVOR", "/s"}).out;
    EXPECT_NE(std::string::npos, below.find("\nHKEY_LOCAL_MACHINE\\SOFTWARE\\KVOR\\DebLogger\n    FileMode    REG_DWORD"));
    EXPECT_NE(std::string::npos, below.find("\\Zone\\kvorXMLParser\n    OutputEnable    REG_DWORD    0x1\n"
                                            "    Severity    REG_DWORD    0x1\n")) << below;
    // Without /f the answer decides; only the value named goes.
    const std::vector<std::string> deleteValue = {"reg", "delete", kZoneKey, "/v", "Severity"};
    EXPECT_EQ(1, Kvorxml(deleteValue, "", File("no", "n\n")).status);
    EXPECT_NE(std::string::npos, Kvorxml({"reg", "query", kZoneKey}).out.find("Severity"));
    EXPECT_EQ(0, Kvorxml(deleteValue, "", File("yes", "yes\n")).status);
    EXPECT_EQ("\nHKEY_LOCAL_MACHINE\\SOFTWARE\\KVOR\\DebLogger\\Zone\\kvorXMLParser\n    OutputEnable    REG_DWORD    0x1\n\n",
              Kvorxml({"reg", "query", kZoneKey}).out);
    EXPECT_EQ(0, Kvorxml({"reg", "delete", "HKLM\\SOFTWARE\\KVOR\\DebLogger\\Zone", "/f"}).status);
    EXPECT_NE(std::string::npos, Kvorxml({"reg", "query", kZoneKey}).err.find("No such file"));
}

} // namespace
