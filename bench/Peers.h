// Load-and-free of one file by each parser under comparison. Each answers
// true when the whole document was read.
#ifndef KVOR_BENCH_PEERS_H
#define KVOR_BENCH_PEERS_H

#include <string>

namespace kvorbench {

struct Parser {
    const char* name;
    bool readsUtf16; // with the byte-order mark
    bool (*loadAndFree)(const std::string& path, long elements);
};

// Ours first, then pugixml, tinyxml2, expat and libxml2.
const Parser* Parsers(int* count);

} // namespace kvorbench

#endif // KVOR_BENCH_PEERS_H
