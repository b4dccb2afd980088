// Text conversions of the client: UTF-16 as the library hands it out,
// UTF-8 for the terminal, and a document's bytes decoded the way the
// library reads them.
#ifndef KVORXML_TEXT_CODEC_H
#define KVORXML_TEXT_CODEC_H

#include <string>
#include <vector>

#include "kvorXMLParser.h"

namespace kvorxml {

typedef std::basic_string<WCHAR> WString;

// Unpaired surrogates and invalid sequences become U+FFFD.
std::string ToUtf8(const WCHAR* text);
std::string ToUtf8(const WString& text);
WString FromUtf8(const std::string& text);

// Decodes a file's bytes as the library does: UTF-16LE after the byte-order
// mark FF FE, anything else as the ANSI code page (KVOR_ACP: 65001, the
// default, or 1252).
WString DecodeDocument(const std::vector<unsigned char>& bytes);

// The whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::vector<unsigned char>& bytes);

} // namespace kvorxml

#endif // KVORXML_TEXT_CODEC_H
