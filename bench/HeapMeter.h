// Peak heap of one operation, measured the same way for every parser: the
// benchmark program puts itself in front of the C library's malloc family,
// so the blocks of our library (operator new), pugixml, tinyxml2, expat and
// libxml2 are all counted by their usable size.
#ifndef KVOR_BENCH_HEAP_METER_H
#define KVOR_BENCH_HEAP_METER_H

#include <cstddef>

namespace kvorbench {

// Starts counting from zero: blocks allocated from now on add their size,
// blocks freed from now on (whenever allocated) take theirs away.
void StartHeapMeter();
// Stops counting; returns the highest net number of bytes seen meanwhile.
size_t StopHeapMeter();
// Blocks allocated between the last start and stop.
long MeteredAllocations();

} // namespace kvorbench

#endif // KVOR_BENCH_HEAP_METER_H
