// Test documents for the load benchmarks: deterministic, ASCII only and
// inside the subset the reader accepts, so every parser reads the same text.
#ifndef KVOR_BENCH_DOCUMENT_GENERATOR_H
#define KVOR_BENCH_DOCUMENT_GENERATOR_H

#include <cstddef>
#include <string>

namespace kvorbench {

enum class Shape {
    Configuration, // nested modules, groups and settings; 2 to 6 attributes, short texts
    Records,       // one root with a flat list of records
};

struct Document {
    std::string text;     // the document, one character per byte
    long elements = 0;    // elements in it, the root included
};

// A document of the shape, grown until it holds at least targetBytes characters.
Document GenerateDocument(Shape shape, size_t targetBytes);

// The same text as an ANSI file (one byte a character) or as UTF-16
// little-endian with the byte-order mark.
void WriteAnsiFile(const std::string& path, const std::string& text);
void WriteUtf16File(const std::string& path, const std::string& text);

} // namespace kvorbench

#endif // KVOR_BENCH_DOCUMENT_GENERATOR_H
