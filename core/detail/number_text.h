// Internal: number text, written and read as in the C locale whatever locale is in force.
#ifndef WEBJSON_DETAIL_NUMBER_TEXT_H
#define WEBJSON_DETAIL_NUMBER_TEXT_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/detail/cold.h"
#include "core/detail/locale_probe.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {
namespace detail {

// Writes u in decimal, two digits at a time, ending at end; returns where it starts.
inline char* format_u32(std::uint32_t u, char* end) {
    static const char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char* p = end;
    while (u >= 100) {
        const std::uint32_t two = (u % 100) * 2;
        u /= 100;
        *--p = pairs[two + 1];
        *--p = pairs[two];
    }
    if (u >= 10) {
        *--p = pairs[u * 2 + 1];
        *--p = pairs[u * 2];
    } else {
        *--p = static_cast<char>('0' + u);
    }
    return p;
}

// Writes v in decimal ending at end (at least 11 characters before it); returns where it starts.
inline char* format_int(int v, char* end) {
    const std::uint32_t u =
        v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char* p = format_u32(u, end);
    if (v < 0) *--p = '-';
    return p;
}

// Powers of ten that doubles hold exactly.
inline constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxPow10 = 22;

// v times 10 to the power s, with one rounding; false when s is out of the exact range.
inline bool scale10(double v, int s, double& out) {
    if (s < -kMaxPow10 || s > kMaxPow10) return false;
    out = s >= 0 ? v * kPow10[s] : v / kPow10[-s];
    return true;
}

// Writes v as printf's "%.*g" with the given precision (below 16) into out (at least 32
// characters) and returns the length, when the rounding to that many significant digits is
// certain from one correctly rounded scaling of v; returns 0 otherwise (format_general_slow
// then writes it). The result is exact: a value whose scaled form lies too close to a rounding
// boundary, a tie included, is never formatted here.
WEBJSON_COLD inline std::size_t format_general(double v, unsigned int precision, char* out) {
#if FLT_EVAL_METHOD == 0
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0x7FF || (biased == 0 && (bits << 1) != 0)) return 0;  // not finite, subnormal
    char* o = out;
    if (bits >> 63) *o++ = '-';
    if (biased == 0) {  // zero
        *o++ = '0';
        return static_cast<std::size_t>(o - out);
    }
    const double a = std::fabs(v);
    const int digits = precision == 0 ? 1 : static_cast<int>(precision);
    // a lies in [2^(biased-1023), 2^(biased-1022)): its decimal exponent is e or e + 1, e being
    // floor((biased - 1023) * log10(2)), exact in integers over the whole range (78913 / 2^18 is
    // log10(2) close enough for every binary exponent of a double; checked for each of them).
    const int binary = biased - 1023;
    int e = binary >= 0 ? (binary * 78913) >> 18 : -((-binary * 78913 + (1 << 18) - 1) >> 18);
    double y;
    if (!scale10(a, digits - 1 - e, y)) return 0;
    if (y >= kPow10[digits]) {
        ++e;
        if (!scale10(a, digits - 1 - e, y)) return 0;
    }
    // y is within a relative 2^-53 of the exact scaled value; round it to an integer only when
    // its fraction is clearly away from one half. Up to nine digits y is below 2^31 and is cut to
    // an integer by one conversion (floor and 64-bit conversions are calls on 32-bit ARM).
    std::uint64_t n;
    double whole;
    if (digits <= 9) {
        const std::uint32_t cut = static_cast<std::uint32_t>(y);
        whole = static_cast<double>(cut);
        n = cut;
    } else {
        whole = std::floor(y);
        n = static_cast<std::uint64_t>(whole);
    }
    const double fraction = y - whole;
    if (std::fabs(fraction - 0.5) <= y * 0x1p-51) return 0;
    if (fraction > 0.5) {  // rounded up, to 10^digits at most
        ++n;
        if (whole + 1.0 >= kPow10[digits]) {
            n /= 10;
            ++e;
        }
    }
    // The significant digits without the trailing zeros (n has exactly `digits` digits);
    // 32-bit steps for all but the top of a long one.
    int kept = digits;
    for (; kept > 1 && n % 10 == 0; --kept)
        n /= 10;
    // The digits, then zeros: those a whole number ends with, and the bytes the moves below read
    // past the digits. Copies of up to 15 bytes in 8-byte moves, not calls (what they store past
    // their end fits in out's 32 bytes and is overwritten or left unused).
    char d[24];
    std::memset(d, '0', sizeof d);
    char* p = d + kept;
    for (; n > 0xFFFFFFFFu; n /= 10)
        *--p = static_cast<char>('0' + n % 10);
    format_u32(static_cast<std::uint32_t>(n), p);
    auto put = [&o](const char* from, int count) {
        for (int i = 0; i < count; i += 8)
            std::memcpy(o + i, from + i, 8);
        o += count;
    };
    if (e < -4 || e >= digits) {  // d.ddde+xx
        *o++ = d[0];
        if (kept > 1) {
            *o++ = '.';
            put(d + 1, kept - 1);
        }
        *o++ = 'e';
        *o++ = e < 0 ? '-' : '+';
        const int x = e < 0 ? -e : e;
        if (x >= 100) *o++ = static_cast<char>('0' + x / 100);
        *o++ = static_cast<char>('0' + x / 10 % 10);
        *o++ = static_cast<char>('0' + x % 10);
    } else if (e >= 0) {  // ddd.ddd
        put(d, e + 1);
        if (kept > e + 1) {
            *o++ = '.';
            put(d + e + 1, kept - e - 1);
        }
    } else {  // 0.000ddd
        *o++ = '0';
        *o++ = '.';
        std::memset(o, '0', 4);  // -e - 1 zeros, at most 3
        o += -e - 1;
        put(d, kept);
    }
    return static_cast<std::size_t>(o - out);
#else
    (void)v;
    (void)precision;
    (void)out;
    return 0;
#endif
}

// Writes v as printf's "%.*g" writes it in the C locale, whatever locale is in force: the
// values format_general leaves. out has room for 32 characters.
WEBJSON_RARE inline std::size_t format_general_slow(double v, unsigned int precision, char* out) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%.*g", static_cast<int>(precision), v);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof text) return 0;
    const std::string point = other_decimal_point();
    const std::size_t skip = point.size();
    std::size_t size = 0;
    for (const char* p = text; *p != '\0' && size < 32;) {
        if (skip != 0 && std::strncmp(p, point.c_str(), skip) == 0) {
            out[size++] = '.';
            p += skip;
        } else {
            out[size++] = *p++;
        }
    }
    return size;
}

// strtod with "." as the decimal point, whatever the C library's locale (text is zero-terminated).
WEBJSON_RARE inline double classic_strtod(const char* text) {
    const std::string point = other_decimal_point();
    if (point.empty()) return std::strtod(text, nullptr);
    // Number text holds no character of a locale's decimal point but the "." it stands for.
    std::string local;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '.') {
            local += point;
        } else {
            local += *p;
        }
    }
    return std::strtod(local.c_str(), nullptr);
}

// Converts number text of at most 15 significant digits as strtod does in the C locale: its
// digits make an exact integer and its scale an exact power of ten, and the one division between
// them rounds correctly, as strtod's result does. False for other texts (no terminator needed).
// The conversion stops at the first byte that is not part of such a number; stop, when given,
// receives its place.
inline bool short_text_to_double(const char* text, std::size_t size, double& value,
                                 std::size_t* stop = nullptr) {
#if FLT_EVAL_METHOD == 0
    std::size_t i = 0;
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    {
        // The usual number, nine digits at most in all (leading zeros too), in one pass; a longer
        // one is taken again below, digit by digit.
        std::uint32_t low = 0;
        std::size_t n = 0, k = i, fraction = 0;  // (sizes: no overflow however long the text)
        for (; k < size; ++k) {
            const unsigned int digit = static_cast<unsigned char>(text[k]) - 48u;
            if (digit > 9) break;
            low = low * 10 + digit;
            ++n;
        }
        if (k < size && text[k] == '.') {
            for (++k; k < size; ++k) {
                const unsigned int digit = static_cast<unsigned char>(text[k]) - 48u;
                if (digit > 9) break;
                low = low * 10 + digit;
                ++n;
                ++fraction;
            }
        }
        if (n <= 9) {
            if (stop != nullptr) *stop = k;
            const double v = static_cast<double>(low) / kPow10[fraction];
            value = n == 0 ? 0.0 : negative ? -v : v;  // no digit at all: 0, unsigned
            return true;
        }
    }
    // Nine digits fit a 32-bit word, a register of the device; further ones go on in 64 bits.
    std::uint32_t low = 0;
    std::uint64_t digits = 0;
    int count = 0;  // significant digits
    int scale = 0;  // power of ten of the last digit
    bool any = false;
    // Takes a digit; false past 15 significant digits.
    auto take = [&](unsigned int digit) {
        any = true;
        if (count == 0 && digit == 0) return true;
        if (++count <= 9) {
            low = low * 10 + digit;
            return true;
        }
        if (count > 15) return false;
        if (count == 10) digits = low;
        digits = digits * 10 + digit;
        return true;
    };
    bool going = true;
    for (; i < size && going; ++i) {
        const unsigned int digit = static_cast<unsigned char>(text[i]) - 48u;
        if (digit > 9) break;
        going = take(digit);
    }
    if (going && i < size && text[i] == '.') {
        for (++i; i < size && going; ++i) {
            const unsigned int digit = static_cast<unsigned char>(text[i]) - 48u;
            if (digit > 9) break;
            --scale;
            going = take(digit);
        }
    }
    if (stop != nullptr) *stop = i;
    if (!any) {
        value = 0.0;
        return true;
    }
    if (count <= 15 && scale >= -kMaxPow10) {
        const double v =
            (count <= 9 ? static_cast<double>(low) : static_cast<double>(digits)) / kPow10[-scale];
        value = negative ? -v : v;
        return true;
    }
#else
    (void)text, (void)size, (void)value, (void)stop;
#endif
    return false;
}

// Converts number text as strtod does in the C locale (text is zero-terminated).
inline double text_to_double(const char* text, std::size_t size) {
    double value;
    return short_text_to_double(text, size, value) ? value : classic_strtod(text);
}

// Decimal text to a 32-bit integer, as the device's 32-bit atoi reads it: leading blanks, an
// optional sign, then the digits up to the first other character of [p, end); 0 without
// digits. Text outside the 32-bit range saturates at INT32_MIN or INT32_MAX on every platform
// instead of being undefined.
WEBJSON_COLD inline std::int32_t decimal_to_int32(const char* p, const char* end) {
    while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    while (p != end && *p == '0')
        ++p;
    // Nine digits fit a 32-bit word, the common case of a register on the device; ten digits at
    // most fit below 2^40; more saturate alike.
    std::uint32_t low = 0;
    int count = 0;
    for (; p != end && count < 9 && *p >= '0' && *p <= '9'; ++p, ++count)
        low = low * 10 + static_cast<unsigned int>(*p - '0');
    std::uint64_t magnitude = low;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        if (++count <= 10) magnitude = magnitude * 10 + static_cast<unsigned int>(*p - '0');
    }
    if (count > 10) magnitude = std::uint64_t{1} << 40;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (magnitude > limit) magnitude = limit;
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                    : static_cast<std::int32_t>(magnitude);
}

// The same over a zero-terminated text.
inline std::int32_t decimal_to_int32(const char* text) {
    return decimal_to_int32(text, text + std::strlen(text));
}

}  // namespace detail
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_DETAIL_NUMBER_TEXT_H
