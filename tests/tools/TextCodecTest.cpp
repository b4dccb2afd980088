// The client's own text handling: UTF-8 output, document decoding, JSON.
#include <gtest/gtest.h>

#include "Json.h"
#include "TestText.h"
#include "TextCodec.h"

namespace {

TEST(TextCodecTest, Utf8RoundTripKeepsSupplementaryCharacters)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // a, e-acute, euro, emoji
    const kvorxml::WString wide = kvorxml::FromUtf8(text);
    EXPECT_EQ(5u, wide.size()); // the emoji takes a surrogate pair
    EXPECT_EQ(text, kvorxml::ToUtf8(wide));
}

TEST(TextCodecTest, BrokenSequencesBecomeReplacementCharacters)
{
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {{"lone continuation", "\x80"}, {"truncated", "\xE2\x82"}, {"overlong", "\xC0\xAF"},
                 {"surrogate", "\xED\xA0\x80"}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        const kvorxml::WString wide = kvorxml::FromUtf8(entry.bytes);
        ASSERT_FALSE(wide.empty());
        EXPECT_EQ(0xFFFF & 0xFFFD, static_cast<int>(wide[0]));
    }
    const WCHAR unpaired[] = {0xD800, 'x', 0};
    EXPECT_EQ("\xEF\xBF\xBDx", kvorxml::ToUtf8(unpaired));
}

TEST(TextCodecTest, DecodesUtf16AfterTheMarkAndAnsiByCodePage)
{
    const std::vector<unsigned char> utf16 = {0xFF, 0xFE, '<', 0, 0xAC, 0x20, '>', 0};
    EXPECT_EQ("<\xE2\x82\xAC>", kvorxml::ToUtf8(kvorxml::DecodeDocument(utf16)));

    const std::vector<unsigned char> ansi = {'<', 0x80, '>'};
    {
        kvortest::ScopedEnv cp("KVOR_ACP", "1252");
        EXPECT_EQ("<\xE2\x82\xAC>", kvorxml::ToUtf8(kvorxml::DecodeDocument(ansi)));
    }
    kvortest::ScopedEnv utf8("KVOR_ACP", "");
    EXPECT_EQ("<\xEF\xBF\xBD>", kvorxml::ToUtf8(kvorxml::DecodeDocument(ansi)));
}

TEST(JsonTest, EscapesWhatJsonRequires)
{
    EXPECT_EQ("\"a\\\"b\\\\c\\nd\\u0001\"", kvorxml::JsonQuote("a\"b\\c\nd\x01"));
    EXPECT_EQ("\"\xC3\xA9\"", kvorxml::JsonQuote("\xC3\xA9"));
}

TEST(JsonTest, SeparatesMembersAndElements)
{
    kvorxml::JsonWriter json;
    json.BeginObject().Key("a").Number(1).Key("b").BeginArray().String("x").Null().BeginObject().EndObject();
    json.EndArray().Key("c").Number(-2).EndObject();
    EXPECT_EQ("{\"a\":1,\"b\":[\"x\",null,{}],\"c\":-2}", json.Text());
}

} // namespace
