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

} // namespace kvor

#endif // KVOR_WHITE_SPACE_H
