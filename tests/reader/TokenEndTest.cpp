// Which characters end a token, checked over every 16-bit character against
// the rule itself: a name ends at white space (the platform's space class)
// or at one of = " / < > ? ', a value only at " < > '.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestText.h"
#include "kvor/reader/XmlCursor.h"

using kvortest::WString;

namespace {

bool EndsName(WCHAR c)
{
    const std::u16string ends = u"=\"/<>?'";
    return ends.find(static_cast<char16_t>(c)) != std::u16string::npos || kvor::iswctype(c, kvor::SpaceClass) != 0;
}

bool EndsValue(WCHAR c)
{
    const std::u16string ends = u"\"<>'";
    return ends.find(static_cast<char16_t>(c)) != std::u16string::npos;
}

struct Outcome {
    WString token;
    int32_t position;
    bool operator==(const Outcome& other) const { return token == other.token && position == other.position; }
};

// What the reader must make of "a", c, "b".
Outcome Expected(WCHAR c, bool isName)
{
    const WCHAR a = KVOR_TEXT('a');
    const WCHAR b = KVOR_TEXT('b');
    if (isName ? EndsName(c) : EndsValue(c)) {
        return {WString(1, a), 1};
    }
    if (c == 0) {
        return {WString(1, a), 3}; // read on, but the copy of the token stops at the NUL
    }
    return {WString{a, c, b}, 3}; // a value keeps white space inside
}

Outcome Read(WCHAR c, bool isName)
{
    const WString text{KVOR_TEXT('a'), c, KVOR_TEXT('b')};
    XmlCursor cursor(text.data(), static_cast<int32_t>(text.size()));
    WCHAR out[XmlCursor::kTokenLimit];
    const int32_t length = isName ? cursor.ReadName(out, XmlCursor::kTokenLimit)
                                  : cursor.ReadValue(out, XmlCursor::kTokenLimit);
    Outcome outcome{WString(out), cursor.GetPosition()};
    if (length != static_cast<int32_t>(outcome.token.size())) {
        outcome.position = -1; // the length disagrees with the copy
    }
    return outcome;
}

std::string Mismatches(bool isName)
{
    std::string listed;
    int count = 0;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const WCHAR c = static_cast<WCHAR>(code);
        if (Read(c, isName) == Expected(c, isName)) {
            continue;
        }
        if (++count <= 10) {
            char hex[16];
            std::snprintf(hex, sizeof(hex), " U+%04X", code);
            listed += hex;
        }
    }
    return count == 0 ? std::string() : std::to_string(count) + " characters, first:" + listed;
}

TEST(TokenEnd, NameEndsAtWhiteSpaceAndItsSevenTerminatorsOnly)
{
    EXPECT_EQ(Mismatches(true), "");
}

TEST(TokenEnd, ValueEndsAtQuotesAndAngleBracketsOnly)
{
    EXPECT_EQ(Mismatches(false), "");
}

} // namespace
