// Internal: finding the end of a plain run of string bytes, sixteen bytes at a time with SSE2,
// a machine word at a time otherwise (four bytes on 32-bit ARM, where eight-byte words would be
// pairs of registers); comparing the short runs of keys and names.
#ifndef WEBJSON_DETAIL_BYTE_SCAN_H
#define WEBJSON_DETAIL_BYTE_SCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The word the scans without SSE2 take at a time: one register of the target.
using Word = std::uintptr_t;

// The place of the lowest marked byte of a word (little-endian).
inline std::size_t lowest_byte(Word marks) {
    return static_cast<std::size_t>(sizeof(Word) == 8
                                        ? __builtin_ctzll(marks)
                                        : __builtin_ctz(static_cast<unsigned>(marks))) /
           8;
}

// Whether a byte ends a plain run: a double quote, a backslash and, with Controls (the writer,
// which escapes them), a byte below 0x20.
template <bool Controls>
inline bool stops_run(unsigned char c) {
    return c == '"' || c == '\\' || (Controls && c < 0x20);
}

// The bytes of the word w that end a plain run, as stops_run tells, marked by their high bit;
// the usual tests for a zero or small byte, on all bytes at once, sharing one mask of the bytes
// below 0x80 (a quote, a backslash and a control byte all are). The lowest mark is exact; marks
// above it may be false.
template <bool Controls, typename Word>
inline Word stop_marks(Word w) {
    const Word ones = static_cast<Word>(0x0101010101010101u);
    const Word high = static_cast<Word>(0x8080808080808080u);
    Word marks = ((w ^ (ones * '"')) - ones) | ((w ^ (ones * '\\')) - ones);
    if (Controls) marks |= w - ones * 0x20;
    return marks & ~w & high;
}

#if defined(__SSE2__)
// The bytes of the 16 at p that end a plain run, as stops_run tells, one bit each (bit i for
// p[i]).
template <bool Controls>
inline unsigned int stop_bits(const char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i stops =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
    if (Controls) {
        const __m128i controls = _mm_set1_epi8(0x1F);
        stops = _mm_or_si128(stops, _mm_cmpeq_epi8(_mm_max_epu8(v, controls), controls));
    }
    return static_cast<unsigned int>(_mm_movemask_epi8(stops));
}
#endif

// The length of the run of p[0..n) before the first byte that ends it; the run is also copied
// to copy when that is not null and the whole of p[0..n) is plain.
template <bool Controls>
inline std::size_t plain_run(const char* p, std::size_t n, char* copy = nullptr) {
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n >= 16) {
        for (; i + 16 <= n; i += 16) {
            const unsigned int found = stop_bits<Controls>(p + i);
            if (found != 0) return i + static_cast<std::size_t>(__builtin_ctz(found));
            if (copy != nullptr) std::memcpy(copy + i, p + i, 16);
        }
        if (i == n) return n;
        const std::size_t last = n - 16;  // the last 16 bytes overlap those before them
        const unsigned int found = stop_bits<Controls>(p + last);
        if (found != 0) return last + static_cast<std::size_t>(__builtin_ctz(found));
        if (copy != nullptr) std::memcpy(copy + last, p + last, 16);
        return n;
    }
#endif
    constexpr std::size_t kWord = sizeof(Word);
    Word w;
#if defined(__SSE2__)
    // Fewer than 16 bytes: an index shows the compiler how few words there are.
    for (; i + kWord <= n; i += kWord) {
        std::memcpy(&w, p + i, kWord);
        const Word found = stop_marks<Controls>(w);
        if (found != 0) return i + lowest_byte(found);
        if (copy != nullptr) std::memcpy(copy + i, &w, kWord);
    }
#else
    // Stepped by a pointer: one test a word.
    const char* q = p;
    for (const char* const stop = p + n; static_cast<std::size_t>(stop - q) >= kWord; q += kWord) {
        std::memcpy(&w, q, kWord);
        const Word found = stop_marks<Controls>(w);
        if (found != 0) {
#if WEBJSON_SCAN_LITTLE_ENDIAN
            return static_cast<std::size_t>(q - p) + lowest_byte(found);
#else
            // Big-endian: the word's first stop, byte by byte (the last word must not be
            // looked at instead).
            std::size_t k = static_cast<std::size_t>(q - p);
            while (!stops_run<Controls>(static_cast<unsigned char>(p[k])))
                ++k;
            return k;
#endif
        }
        if (copy != nullptr) std::memcpy(copy + (q - p), &w, kWord);
    }
    i = static_cast<std::size_t>(q - p);
#endif
    if (i != n && n >= kWord) {  // the last word overlaps the one before it
        const std::size_t last = n - kWord;
        std::memcpy(&w, p + last, kWord);
        const Word found = stop_marks<Controls>(w);
        if (found == 0) {
            if (copy != nullptr) std::memcpy(copy + last, &w, kWord);
            return n;
        }
#if WEBJSON_SCAN_LITTLE_ENDIAN
        return last + lowest_byte(found);
#endif
    }
    for (; i < n && !stops_run<Controls>(static_cast<unsigned char>(p[i])); ++i) {
        if (copy != nullptr) copy[i] = p[i];
    }
    return i;
}

// The length of the plain run of a string at text (up to a quote or a backslash), at most
// end - text. With SSE2 the first 16 bytes are looked at all at once rather than in a loop whose
// end depends on the string's length, a branch that is mispredicted about once in two over the
// strings of a large document; without it a register at a time.
inline std::size_t short_run(const char* text, const char* end) {
    const std::size_t left = static_cast<std::size_t>(end - text);
#if defined(__SSE2__)
    if (left >= 16) {  // one test of 16 bytes; plain_run's loop costs more for short strings
        const unsigned int stops = stop_bits<false>(text);
        if (stops != 0) return static_cast<std::size_t>(__builtin_ctz(stops));
        return 16 + plain_run<false>(text + 16, left - 16);
    }
#endif
    return plain_run<false>(text, left);
}

// The length of a key whose text starts at key: a string without escapes whose closing quote
// comes before end; kNoKey when the key is not so.
inline constexpr std::size_t kNoKey = ~std::size_t{0};
inline std::size_t key_size(const char* key, const char* end) {
    const std::size_t n = short_run(key, end);
    return key + n == end || key[n] != '"' ? kNoKey : n;
}

// Whether the n bytes at a and b are the same, n being from sizeof(W) to twice that: the first
// and the last W of each side, overlapping, compared at once.
template <typename W>
inline bool same_ends(const char* a, const char* b, std::size_t n) {
    W a0, a1, b0, b1;
    std::memcpy(&a0, a, sizeof a0);
    std::memcpy(&b0, b, sizeof b0);
    std::memcpy(&a1, a + n - sizeof a1, sizeof a1);
    std::memcpy(&b1, b + n - sizeof b1, sizeof b1);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

// same_bytes for more than 8 bytes, kept out of the callers' loops.
#if defined(__GNUC__)
[[gnu::noinline]]
#endif
inline bool
same_long_bytes(const char* a, const char* b, std::size_t n) {
    return n > 16 ? std::memcmp(a, b, n) == 0 : same_ends<std::uint64_t>(a, b, n);
}

// Whether the n bytes at a and b are the same. Keys and node names are a few bytes long: up to 8
// they are compared in two overlapping loads a side, with no call (memcmp costs some sixty
// instructions a call on 32-bit ARM).
inline bool same_bytes(const char* a, const char* b, std::size_t n) {
    if (n < 4) return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
    return n > 8 ? same_long_bytes(a, b, n) : same_ends<std::uint32_t>(a, b, n);
}

// Whether the text at key, in an area ending at end, is the n bytes of name closed by a quote,
// none of them a quote or a backslash: a JSON string without escapes that equals name. Names of
// up to 8 bytes are compared in place (loads as same_bytes makes them); longer ones are left to
// the caller (false).
inline bool closes_name(const char* key, const char* end, const char* name, std::size_t n) {
    if (n > 8 || static_cast<std::size_t>(end - key) <= n || key[n] != '"') return false;
    if (n < 4) {
        for (std::size_t i = 0; i < n; ++i) {
            if (key[i] != name[i] || stops_run<false>(static_cast<unsigned char>(key[i])))
                return false;
        }
        return true;
    }
    std::uint32_t a0, a1, b0, b1;
    std::memcpy(&a0, key, 4);
    std::memcpy(&b0, name, 4);
    std::memcpy(&a1, key + n - 4, 4);
    std::memcpy(&b1, name + n - 4, 4);
    return ((a0 ^ b0) | (a1 ^ b1) | stop_marks<false>(a0) | stop_marks<false>(a1)) == 0;
}

// Whether two texts are the same (std::string's == calls memcmp).
inline bool same_text(const std::string& a, const std::string& b) {
    return a.size() == b.size() && same_bytes(a.data(), b.data(), a.size());
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_BYTE_SCAN_H
