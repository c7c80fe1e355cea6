// Internal: finding the end of a plain run of string bytes, eight bytes at a time.
#ifndef WEBJSON_DETAIL_BYTE_SCAN_H
#define WEBJSON_DETAIL_BYTE_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The length of the run of p[0..n) before the first byte that ends it; eight bytes at a time,
// the last word overlapping the one before it.
template <bool Controls>
inline std::size_t plain_run(const char* p, std::size_t n) {
    std::size_t i = 0;
    if (n >= 8) {
        for (;; i += 8) {
            if (i + 8 > n) i = n - 8;
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            const std::uint64_t found = stop_marks<Controls>(w);
            if (found != 0) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
                // the bytes before i are plain: the lowest mark is the first stop
                return i + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
#else
                break;
#endif
            }
            if (i + 8 == n) return n;
        }
    }
    while (i < n && !stops_run<Controls>(static_cast<unsigned char>(p[i])))
        ++i;
    return i;
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_BYTE_SCAN_H
