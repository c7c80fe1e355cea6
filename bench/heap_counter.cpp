// The malloc family of the benchmark program, forwarding to the C library's own functions and
// counting usable sizes while a measurement runs. Memory allocated before HeapStart and freed
// during the measurement lowers the count, so "in use" may go below zero: the peak is what
// counts. The benchmark is single-threaded.
#include "heap_counter.h"

#include <malloc.h>

#include <cerrno>
#include <cstdint>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace {

bool counting = false;
std::int64_t in_use = 0;
std::int64_t peak = 0;

void* Counted(void* p) {
    if (counting && p != nullptr) {
        in_use += static_cast<std::int64_t>(malloc_usable_size(p));
        if (in_use > peak) peak = in_use;
    }
    return p;
}

void Uncount(void* p) {
    if (counting && p != nullptr) in_use -= static_cast<std::int64_t>(malloc_usable_size(p));
}

}  // namespace

namespace bench {

void HeapStart() {
    in_use = 0;
    peak = 0;
    counting = true;
}

std::size_t HeapStop() {
    counting = false;
    return static_cast<std::size_t>(peak);
}

}  // namespace bench

extern "C" {

void* malloc(std::size_t size) {
    return Counted(__libc_malloc(size));
}
void* calloc(std::size_t n, std::size_t size) {
    return Counted(__libc_calloc(n, size));
}
void* realloc(void* p, std::size_t size) {
    Uncount(p);
    void* q = __libc_realloc(p, size);
    if (q == nullptr && size != 0) return Counted(p), nullptr;  // p is still allocated
    return Counted(q);
}
void free(void* p) {
    Uncount(p);
    __libc_free(p);
}
void* memalign(std::size_t align, std::size_t size) {
    return Counted(__libc_memalign(align, size));
}
void* aligned_alloc(std::size_t align, std::size_t size) {
    return memalign(align, size);
}
int posix_memalign(void** out, std::size_t align, std::size_t size) {
    void* p = memalign(align, size);
    if (p == nullptr) return ENOMEM;
    *out = p;
    return 0;
}

}  // extern "C"
