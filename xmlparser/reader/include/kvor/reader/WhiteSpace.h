// The reader's one white-space test: the platform's space class, answered
// inline for ASCII, which is nearly every character of a real document.
#ifndef KVOR_WHITE_SPACE_H
#define KVOR_WHITE_SPACE_H

#include "kvor/platform/kvorPlatform.h"

namespace kvor {

inline bool IsWhiteSpace(WCHAR character)
{
    if (character < 0x80) {
        return character == 0x20 || (character >= 0x09 && character <= 0x0D);
    }
    return iswctype(character, SpaceClass) != 0;
}

// How many white-space characters the length characters of text begin with.
inline int32_t LeadingWhiteSpace(const WCHAR* text, int32_t length)
{
    int32_t leading = 0;
    while (leading < length && IsWhiteSpace(text[leading])) {
        ++leading;
    }
    return leading;
}

// The length of the length characters of text without the white space they end with.
inline int32_t LengthWithoutTrailingWhiteSpace(const WCHAR* text, int32_t length)
{
    while (length > 0 && IsWhiteSpace(text[length - 1])) {
        --length;
    }
    return length;
}

} // namespace kvor

#endif // KVOR_WHITE_SPACE_H
