// Text between the command line and the library: arguments (UTF-8) become
// UTF-16 through the platform's own code-page conversion, and the library's
// UTF-16 goes back out as UTF-8 through the posix back end's conversion,
// the one its file names take (the client is built for Linux only).
#ifndef KVORXML_TEXT_CODEC_H
#define KVORXML_TEXT_CODEC_H

#include <string>

#include "kvor/platform/PosixText.h"

namespace kvorxml {

typedef std::basic_string<WCHAR> WString;

// Unpaired surrogates become U+FFFD; null gives "".
using kvor::posix::ToUtf8;
inline std::string ToUtf8(const WString& text) { return ToUtf8(text.data(), text.size()); }
// Invalid sequences become U+FFFD.
WString FromUtf8(const std::string& text);

} // namespace kvorxml

#endif // KVORXML_TEXT_CODEC_H
