// The client's JSON writer: escaping and separators.
#include <gtest/gtest.h>

#include "Json.h"

namespace {

TEST(JsonTest, EscapesWhatJsonRequires)
{
    EXPECT_EQ("\"a\\\"b\\\\c\\nd\\u0001\\u001f \\u007f\"", kvorxml::JsonQuote("a\"b\\c\nd\x01\x1F \x7F"));
    EXPECT_EQ("\"\xC3\xA9\"", kvorxml::JsonQuote("\xC3\xA9"));
}

TEST(JsonTest, SeparatesMembersAndElements)
{
    kvorxml::JsonWriter json;
    json.BeginObject().Key("a").Number(1).Key("b").BeginArray().String("x").Null().Boolean(true).BeginObject();
    json.EndObject().EndArray().Key("c").Number(-2).EndObject();
    EXPECT_EQ("{\"a\":1,\"b\":[\"x\",null,true,{}],\"c\":-2}", json.Text());
}

} // namespace
