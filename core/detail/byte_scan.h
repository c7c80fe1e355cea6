// Internal: finding the end of a plain run of string bytes, eight bytes at a time.
#ifndef WEBJSON_DETAIL_BYTE_SCAN_H
#define WEBJSON_DETAIL_BYTE_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>

// Where the first marked byte of a word can be found from its lowest set bit; the bytes before
// the word scanned are plain, so the lowest mark is the first stop.
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define WEBJSON_SCAN_LITTLE_ENDIAN 1
#else
#define WEBJSON_SCAN_LITTLE_ENDIAN 0
#endif

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

// Whether a byte ends a plain run: a double quote, a backslash and, with Controls (the writer,
// which escapes them), a byte below 0x20.
template <bool Controls>
inline bool stops_run(unsigned char c) {
    return c == '"' || c == '\\' || (Controls && c < 0x20);
}

// The bytes of the word w that end a plain run, as stops_run tells, marked by their high bit;
// the usual tests for a zero or small byte, on all bytes at once. The lowest mark is exact;
// marks above it may be false.
template <bool Controls, typename Word>
inline Word stop_marks(Word w) {
    const Word ones = static_cast<Word>(0x0101010101010101u);
    const Word high = static_cast<Word>(0x8080808080808080u);
    const Word quote = w ^ (ones * '"');
    const Word backslash = w ^ (ones * '\\');
    Word marks = ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash);
    if (Controls) marks |= (w - ones * 0x20) & ~w;
    return marks & high;
}

// The length of the run of p[0..n) before the first byte that ends it, eight bytes at a time;
// the run is also copied to copy when that is not null.
template <bool Controls>
inline std::size_t plain_run(const char* p, std::size_t n, char* copy = nullptr) {
    std::size_t i = 0;
    std::uint64_t w;
    for (; i + 8 <= n; i += 8) {
        std::memcpy(&w, p + i, 8);
        const std::uint64_t found = stop_marks<Controls>(w);
        if (found != 0) {
#if WEBJSON_SCAN_LITTLE_ENDIAN
            return i + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
#else
            break;
#endif
        }
        if (copy != nullptr) std::memcpy(copy + i, &w, 8);
    }
    if (i != n && n >= 8) {  // the last word overlaps the one before it
        const std::size_t last = n - 8;
        std::memcpy(&w, p + last, 8);
        const std::uint64_t found = stop_marks<Controls>(w);
        if (found == 0) {
            if (copy != nullptr) std::memcpy(copy + last, &w, 8);
            return n;
        }
#if WEBJSON_SCAN_LITTLE_ENDIAN
        return last + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
#endif
    }
    for (; i < n && !stops_run<Controls>(static_cast<unsigned char>(p[i])); ++i) {
        if (copy != nullptr) copy[i] = p[i];
    }
    return i;
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_BYTE_SCAN_H
