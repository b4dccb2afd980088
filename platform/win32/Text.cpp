// Character classes on Windows: the C library's own.
#include <cwctype>

#include "kvor/platform/kvorPlatform.h"

namespace kvor {

int iswctype(WCHAR character, int mask)
{
    return ::iswctype(static_cast<wint_t>(character), static_cast<wctype_t>(mask));
}

} // namespace kvor
