// Heap use of the benchmark program, counted by its own malloc family (which every allocator
// of the program ends in: operator new and the libraries' own allocators alike). Counting is
// off unless a measurement is running, so that the timed runs pay nothing for it.
#ifndef WEBJSON_BENCH_HEAP_COUNTER_H
#define WEBJSON_BENCH_HEAP_COUNTER_H

#include <cstddef>

namespace bench {

// Starts counting: bytes in use and their peak start from zero.
void HeapStart();
// Stops counting and returns the peak of the bytes allocated (and not freed) since HeapStart.
std::size_t HeapStop();

}  // namespace bench

#endif  // WEBJSON_BENCH_HEAP_COUNTER_H
