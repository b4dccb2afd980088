// The client's JSON writer: escaping (its separators show in every --json output).
#include <gtest/gtest.h>

#include "Json.h"

namespace {

TEST(JsonTest, EscapesWhatJsonRequires)
{
    EXPECT_EQ("\"a\\\"b\\\\c\\nd\\u0001\\u001f \\u007f\"", kvorxml::JsonQuote("a\"b\\c\nd\x01\x1F \x7F"));
    EXPECT_EQ("\"\xC3\xA9\"", kvorxml::JsonQuote("\xC3\xA9"));
}

} // namespace
