// What the posix back end offers the programs built with the library on
// Linux besides the Win32 subset: the UTF-8 its file names and debugger
// lines are written in, and a whole write to a descriptor.
#ifndef KVOR_POSIX_TEXT_H
#define KVOR_POSIX_TEXT_H

#include <string>

#include "kvor/platform/kvorPlatform.h"

namespace kvor {
namespace posix {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD. Null gives "".
std::string ToUtf8(const WCHAR* text);
std::string ToUtf8(const WCHAR* text, size_t length);
// The same into out, which has room for 3 bytes per unit; the byte count.
size_t EncodeUtf8(const WCHAR* text, size_t length, char* out);

// Writes all of bytes, retrying after signals and short writes; false
// with errno on an error (ENOSPC when a write moves nothing).
bool WriteAll(int descriptor, const char* bytes, size_t length);

} // namespace posix
} // namespace kvor

#endif // KVOR_POSIX_TEXT_H
