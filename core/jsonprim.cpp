// Schema document core: nodes, token writer and reader, containers, file node, document root.
#include <sys/stat.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <locale>
#include <memory>
#include <streambuf>

#include "core/detail/decimal.h"
#include "json_document.h"
#include "json_file.h"
#include "json_guard.h"
#include "json_list.h"
#include "json_schema.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

const char hexchar[] = "0123456789ABCDEF";

// The escape for one byte of a string value, written into buf; 0 when the byte stands as it is.
std::size_t escape_byte(unsigned char c, char buf[6]) {
    if (c >= 0x20 && c != '"' && c != '\\') return 0;
    buf[0] = '\\';
    switch (c) {
        case 0x08:
            buf[1] = 'b';
            return 2;
        case 0x09:
            buf[1] = 't';
            return 2;
        case 0x0A:
            buf[1] = 'n';
            return 2;
        case 0x0C:
            buf[1] = 'f';
            return 2;
        case 0x0D:
            buf[1] = 'r';
            return 2;
        case '"':
            buf[1] = '"';
            return 2;
        case '\\':
            buf[1] = '\\';
            return 2;
        default:
            buf[1] = 'u';
            buf[2] = '0';
            buf[3] = '0';
            buf[4] = hexchar[c >> 4];
            buf[5] = hexchar[c & 0x0F];
            return 6;
    }
}

// One of "+", "-", ".", "0" to "9": the characters from 0x2B to 0x39 but "," and "/".
bool is_number_char(int c) {
    const unsigned int d = static_cast<unsigned int>(c) - 0x2Bu;
    return d <= 14 && ((0x7FEDu >> d) & 1u) != 0;
}

// Value of one character of a \u escape; right for the upper-case hexadecimal digits only.
unsigned int hex_digit(int c) {
    unsigned int x = static_cast<unsigned char>(c);
    return (x <= 0x40 ? x - 0x30 : x - 0x37) & 0xFFu;
}

// A caller's exception mask on std::cout loses the line, not the result.
void print_line(const char* message) {
    Contain([message] { std::cout << message << std::endl; });
}

// Direct access to a stream buffer's get and put areas. Taking characters that the get area
// holds, or storing characters where the put area has room, is all that sbumpc, sungetc and
// sputn do in those cases; doing it here saves a call and the stream's checks per piece. Every
// other case (an exhausted area, a failed stream) goes through the stream's own functions.
struct BufferAccess : std::streambuf {
    static char* Eback(const std::streambuf* b) { return (b->*&BufferAccess::eback)(); }
    static char* Gptr(const std::streambuf* b) { return (b->*&BufferAccess::gptr)(); }
    static char* Egptr(const std::streambuf* b) { return (b->*&BufferAccess::egptr)(); }
    static void Gbump(std::streambuf* b, int n) { (b->*&BufferAccess::gbump)(n); }
    static char* Pptr(const std::streambuf* b) { return (b->*&BufferAccess::pptr)(); }
    static char* Epptr(const std::streambuf* b) { return (b->*&BufferAccess::epptr)(); }
    static void Pbump(std::streambuf* b, int n) { (b->*&BufferAccess::pbump)(n); }
};

// Longest piece moved through an area at once (gbump and pbump take an int).
const std::size_t kMaxPiece = std::size_t{1} << 30;

// Writes u in decimal, two digits at a time, ending at end; returns where it starts.
char* format_u32(std::uint32_t u, char* end) {
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

// Writes v in decimal at the end of buf (at least 11 characters); returns where it starts.
char* format_int(int v, char* end) {
    const std::uint32_t u =
        v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char* p = format_u32(u, end);
    if (v < 0) *--p = '-';
    return p;
}

// Powers of ten that doubles hold exactly.
const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
const int kMaxPow10 = 22;

// v times 10 to the power s, with one rounding; false when s is out of the exact range.
bool scale10(double v, int s, double& out) {
    if (s < -kMaxPow10 || s > kMaxPow10) return false;
    out = s >= 0 ? v * kPow10[s] : v / kPow10[-s];
    return true;
}

// Writes v as printf's "%.*g" with the given precision (below 16) into out (at least 32
// characters) and returns the length, when the rounding to that many significant digits is
// certain from one correctly rounded scaling of v; returns 0 otherwise (format_general_slow
// then writes it). The result is exact: a value whose scaled form lies too close to a rounding
// boundary, a tie included, is never formatted here.
[[gnu::noinline]] std::size_t format_general(double v, unsigned int precision, char* out) {
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
    // a lies in [2^(biased-1023), 2^(biased-1022)): its decimal exponent is e or e + 1.
    int e = static_cast<int>(std::floor((biased - 1023) * 0.30102999566398120));
    double y;
    if (!scale10(a, digits - 1 - e, y)) return 0;
    if (y >= kPow10[digits]) {
        ++e;
        if (!scale10(a, digits - 1 - e, y)) return 0;
    }
    // y is within a relative 2^-53 of the exact scaled value; round it to an integer only when
    // its fraction is clearly away from one half.
    double whole = std::floor(y);
    const double fraction = y - whole;
    if (std::fabs(fraction - 0.5) <= y * 0x1p-51) return 0;
    std::uint64_t n = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    if (n >= static_cast<std::uint64_t>(kPow10[digits])) {
        n /= 10;
        ++e;
    }
    // The significant digits without the trailing zeros (n has exactly `digits` digits);
    // 32-bit steps for all but the top of a long one.
    int kept = digits;
    for (; kept > 1 && n % 10 == 0; --kept)
        n /= 10;
    char d[16] = {};
    char* p = d + kept;
    for (; n > 0xFFFFFFFFu; n /= 10)
        *--p = static_cast<char>('0' + n % 10);
    format_u32(static_cast<std::uint32_t>(n), p);
    std::memset(d + kept, '0', static_cast<std::size_t>(digits - kept));
    auto put = [&o](const char* from, int count) {
        std::memcpy(o, from, static_cast<std::size_t>(count));
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
        std::memset(o, '0', static_cast<std::size_t>(-e - 1));
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

// The C library's decimal point when it is not "." (a locale set with setlocale), else "".
// Asked of the C library's own formatting: localeconv's shared buffer is not safe beside other
// threads, and misses a thread's own locale.
std::string other_decimal_point() {
    char half[16];
    const int n = std::snprintf(half, sizeof half, "%.1f", 0.5);
    if (n < 3 || n >= static_cast<int>(sizeof half) || half[0] != '0' || half[n - 1] != '5') {
        return std::string();
    }
    std::string point(half + 1, half + n - 1);
    return point == "." ? std::string() : point;
}

// Writes v as printf's "%.*g" writes it in the C locale, whatever locale is in force: the
// values format_general leaves. out has room for 32 characters.
[[gnu::noinline]] std::size_t format_general_slow(double v, unsigned int precision, char* out) {
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

// Whether a byte of a string value is written as it is.
inline bool plain_byte(unsigned char c) {
    return c >= 0x20 && c != '"' && c != '\\';
}

// Writes data escaped as by _string_to_json, between double quotes, through the stream: plain
// runs in one piece.
void write_string(std::ostream& stream, const char* data, std::size_t size) {
    stream.put('"');
    const char* run = data;
    const char* end = data + size;
    char buf[6];
    for (const char* p = data; p != end; ++p) {
        if (plain_byte(static_cast<unsigned char>(*p))) continue;
        if (p != run) stream.write(run, p - run);
        stream.write(
            buf, static_cast<std::streamsize>(escape_byte(static_cast<unsigned char>(*p), buf)));
        run = p + 1;
    }
    if (end != run) stream.write(run, end - run);
    stream.put('"');
}

// The text of one written item after its separator and key.
struct Item {
    enum Kind { kText, kQuoted };
    const char* text = nullptr;  // the value as written (kText) or before escaping (kQuoted)
    std::size_t size = 0;
    Kind kind = kText;
};

// Whether the stream's own output functions would do nothing but pass characters to its
// buffer: no tied stream to flush first, no flush after each output.
bool direct_output(const std::ostream& stream) {
    return stream.tie() == nullptr && !(stream.flags() & std::ios::unitbuf);
}

// Whether one of the eight bytes of w needs an escape in a string value (a byte below 0x20, a
// double quote or a backslash); the usual tests for a zero or small byte, on all bytes at once.
template <typename Word>
inline bool escape_in(Word w) {
    const Word ones = static_cast<Word>(0x0101010101010101u);
    const Word high = static_cast<Word>(0x8080808080808080u);
    const Word quote = w ^ (ones * '"');
    const Word backslash = w ^ (ones * '\\');
    return (((w - ones * 0x20) & ~w) | ((quote - ones) & ~quote) |
            ((backslash - ones) & ~backslash)) &
           high;
}

// Copies the n bytes of a string value to p and returns the end of the copy, or returns null
// when one of them needs an escape (some bytes may then have been stored).
char* copy_plain(char* p, const char* s, std::size_t n) {
    std::uint64_t w;
    if (n >= 8) {
        // eight bytes at a time; the last word overlaps the one before it
        for (std::size_t i = 0;; i += 8) {
            if (i + 8 > n) i = n - 8;
            std::memcpy(&w, s + i, 8);
            if (escape_in(w)) return nullptr;
            std::memcpy(p + i, &w, 8);
            if (i + 8 == n) return p + n;
        }
    }
    if (n >= 4) {  // two words of four bytes, overlapping
        std::uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        if (escape_in(a) || escape_in(b)) return nullptr;
        std::memcpy(p, &a, 4);
        std::memcpy(p + n - 4, &b, 4);
        return p + n;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!plain_byte(static_cast<unsigned char>(s[i]))) return nullptr;
        p[i] = s[i];
    }
    return p + n;
}

// Copies n bytes; short copies in two overlapping moves instead of a call.
inline char* copy_bytes(char* to, const char* from, std::size_t n) {
    if (n > 16) {
        std::memcpy(to, from, n);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
    return to + n;
}

// Stores the whole item (separator, key, value) into the put area and returns true, when the
// area has room and a string value needs no escape; otherwise stores nothing and returns false.
bool put_item(std::streambuf* buffer, bool comma, const std::string& name, const Item& item) {
    char* const start = BufferAccess::Pptr(buffer);
    const std::size_t key = name.empty() ? 0 : name.size() + 3;
    const std::size_t need =
        (comma ? 1 : 0) + key + item.size + (item.kind == Item::kQuoted ? 2 : 0);
    if (start == nullptr || need > kMaxPiece ||
        static_cast<std::size_t>(BufferAccess::Epptr(buffer) - start) < need) {
        return false;
    }
    char* p = start;
    if (comma) *p++ = ',';
    if (key != 0) {
        *p++ = '"';
        p = copy_bytes(p, name.data(), name.size());
        *p++ = '"';
        *p++ = ':';
    }
    if (item.kind == Item::kQuoted) {
        *p++ = '"';
        if (char* q = copy_plain(p, item.text, item.size)) {
            p = q;
        } else {
            // Some byte needs an escape: escaped in place when the area has room for the
            // longest form (six characters a byte); nothing is committed otherwise.
            if (item.size > kMaxPiece / 6 ||
                static_cast<std::size_t>(BufferAccess::Epptr(buffer) - p) < 6 * item.size + 1) {
                return false;
            }
            for (std::size_t i = 0; i < item.size; ++i) {
                const unsigned char c = static_cast<unsigned char>(item.text[i]);
                if (plain_byte(c)) {
                    *p++ = static_cast<char>(c);
                } else {
                    p += escape_byte(c, p);
                }
            }
        }
        *p++ = '"';
    } else {
        p = copy_bytes(p, item.text, item.size);
    }
    BufferAccess::Pbump(buffer, static_cast<int>(p - start));
    return true;
}

// Writes the item piece by piece through the stream's functions, as they take them.
[[gnu::noinline]] void write_item(std::ostream& stream, bool comma, const std::string& name,
                                  const Item& item) {
    if (comma) stream.put(',');
    if (!name.empty()) {
        stream.put('"');
        stream.write(name.data(), static_cast<std::streamsize>(name.size()));
        stream.write("\":", 2);
    }
    if (item.kind == Item::kQuoted) {
        write_string(stream, item.text, item.size);
    } else if (item.size == 1) {
        stream.put(*item.text);
    } else if (item.size != 0) {
        stream.write(item.text, static_cast<std::streamsize>(item.size));
    }
}

const char base64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of one Base64 character; 64 (the pad marker) for "=" and anything outside the alphabet.
unsigned int base64_value(char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26u;
    if (c >= '0' && c <= '9') return c - '0' + 52u;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 64;
}

// Appends the Base64 text of the regular file at path (of size bytes) to data.
void encode_file(const char* path, std::uint64_t size, std::vector<char>& data) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return;
    if (size < (std::uint64_t{1} << 30))
        data.reserve(static_cast<std::size_t>((size + 2) / 3 * 4 + 1));
    // Read through the stream (not its buffer) so that read errors end the text instead of
    // throwing.
    char chunk[4096];
    unsigned int b[3] = {0, 0, 0};
    unsigned int k = 0;
    auto emit = [&data, &b, &k]() {
        data.push_back(base64_alphabet[b[0] >> 2]);
        data.push_back(base64_alphabet[((b[0] & 0x03) << 4) | (b[1] >> 4)]);
        data.push_back(k >= 2 ? base64_alphabet[((b[1] & 0x0F) << 2) | (b[2] >> 6)] : '=');
        data.push_back(k == 3 ? base64_alphabet[b[2] & 0x3F] : '=');
        b[0] = b[1] = b[2] = 0;
        k = 0;
    };
    while (file.good()) {
        file.read(chunk, sizeof chunk);
        std::streamsize n = file.gcount();
        for (std::streamsize i = 0; i < n; ++i) {
            b[k++] = static_cast<unsigned char>(chunk[i]);
            if (k == 3) emit();
        }
    }
    if (k > 0) emit();
}

}  // namespace

namespace {

// Runs one reading or writing step so that no exception leaves it. With an exception mask set on
// the stream, the step runs with the mask cleared (the stream's own failures then stay in its
// state bits) and the caller's mask is put back after it; an exception that still comes out (a
// buffer that throws, memory running out) ends the step as badbit and false.
template <typename Step>
bool guarded(std::ios& stream, Step&& step) {
    if (stream.exceptions() != std::ios::goodbit) return RunWithoutExceptions(stream, step);
    bool result = false;
    if (!Contain([&] { result = step(); })) stream.setstate(std::ios::badbit);
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writer

JsonWriteDocument::JsonWriteDocument(std::ostream& stream)
    : _stream(stream), _first(true), _decimal(3) {}

JsonWriteDocument::~JsonWriteDocument() {}

void JsonWriteDocument::SetDecimal(unsigned int decimal) {
    if (decimal < 16) _decimal = decimal;
}

void JsonWriteDocument::_string_to_json(std::string& in, std::string& out) {
    out.clear();
    char buf[6];
    for (char ch : in) {
        std::size_t n = escape_byte(static_cast<unsigned char>(ch), buf);
        if (n == 0) {
            out.push_back(ch);
        } else {
            out.append(buf, n);
        }
    }
}

bool JsonWriteDocument::Serialize(unsigned int token, std::string& name, void* value) {
    return guarded(_stream, [&] { return _serialize(token, name, value); });
}

bool JsonWriteDocument::_serialize(unsigned int token, std::string& name, void* value) {
    if (!_stream.good()) return false;

    // separator: a comma before every item but the first and the closing brackets
    const bool comma = !_first && token != JSON_OBJECT_END && token != JSON_ARRAY_END;
    _first = token == JSON_OBJECT_BEGIN || token == JSON_ARRAY_BEGIN;

    // The value's text. Numbers are written as in the C locale whatever the stream's locale and
    // flags, so that the text stays JSON; boolalpha and the precision are still left set.
    char buf[32];
    Item item;
    switch (token) {
        case JSON_INT:
            if (!value) break;
            item.text = format_int(*static_cast<int*>(value), buf + sizeof buf);
            item.size = static_cast<std::size_t>(buf + sizeof buf - item.text);
            break;
        case JSON_BOOL:
            if (!value) break;
            _stream.setf(std::ios::boolalpha);
            item.text = *static_cast<bool*>(value) ? "true" : "false";
            item.size = *static_cast<bool*>(value) ? 4 : 5;
            break;
        case JSON_DOUBLE: {
            if (!value) break;
            _stream.precision(static_cast<std::streamsize>(_decimal));
            const double d = *static_cast<double*>(value);
            if (!std::isfinite(d)) {  // JSON has no NaN or infinity
                item.text = "null";
                item.size = 4;
                break;
            }
            item.size = format_general(d, _decimal, buf);
            if (item.size == 0) item.size = format_general_slow(d, _decimal, buf);
            item.text = buf;
            break;
        }
        case JSON_STRING:
            if (!value) break;
            item.text = static_cast<std::string*>(value)->data();
            item.size = static_cast<std::string*>(value)->size();
            item.kind = Item::kQuoted;
            break;
        case JSON_FILE:
            if (!value) break;
            {
                // The text ends at the first zero byte (or at the end of the vector).
                const std::vector<char>& data = *static_cast<std::vector<char>*>(value);
                while (item.size < data.size() && data[item.size] != '\0')
                    ++item.size;
                item.text = data.data();
            }
            item.kind = Item::kQuoted;
            break;
        case JSON_OBJECT_BEGIN:
            item.text = "{";
            item.size = 1;
            break;
        case JSON_OBJECT_END:
            item.text = "}";
            item.size = 1;
            break;
        case JSON_ARRAY_BEGIN:
            item.text = "[";
            item.size = 1;
            break;
        case JSON_ARRAY_END:
            item.text = "]";
            item.size = 1;
            break;
        default:  // JSON_KEY, JSON_SKIP and unknown tokens write nothing more
            break;
    }

    if (!direct_output(_stream) || !put_item(_stream.rdbuf(), comma, name, item)) {
        write_item(_stream, comma, name, item);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reader

namespace {

// The length of the run of p[0..n) before the first double quote or backslash; eight bytes at a
// time.
std::size_t plain_run(const char* p, std::size_t n) {
    std::size_t i = 0;
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t high = 0x8080808080808080u;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        const std::uint64_t quote = w ^ (ones * '"');
        const std::uint64_t backslash = w ^ (ones * '\\');
        const std::uint64_t found =
            (((quote - ones) & ~quote) | ((backslash - ones) & ~backslash)) & high;
        if (found != 0) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            // the lowest marked byte is the first match (marks above it may be false)
            return i + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
#else
            break;
#endif
        }
    }
    while (i < n && p[i] != '"' && p[i] != '\\')
        ++i;
    return i;
}

const int kEof = std::char_traits<char>::eof();

// How a character found in the text is named in a message.
std::string found_text(int c) {
    if (c == kEof) return "the end of the text";
    if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    char text[16];
    std::snprintf(text, sizeof text, "byte 0x%02X", static_cast<unsigned int>(c));
    return text;
}

// The characters of one read. They are taken straight from the get area while the stream is
// good, has no tied stream to flush and the area holds them: exactly what get, peek and unget
// would do then. Otherwise, and at the end of the area, the stream's own functions are called,
// and they set the stream's state (end of text, errors of the buffer) as they always do.
//
// The area is held as [_p, _end) and what was taken from it is handed back to the buffer
// (gbump) before any call of the stream's functions and when the object goes away. Only this
// object's calls change the stream meanwhile, so it stays good while the area is held.
//
// What is taken is counted in the reader's Progress: characters taken through the stream's
// functions one by one, those taken from the area in one go from its mark (where the area stood
// when the reader was made or after the last call of the stream's functions), just before the
// stream's functions are called (the area may be refilled then) and when a failure is found.
class In {
  public:
    // spaces: the stream's locale counts as white space exactly the six characters that the C
    // locale counts, so that they can be skipped here.
    In(std::istream& stream, bool spaces, JsonReadDocument::Progress& progress)
        : _stream(stream),
          _buffer(stream.rdbuf()),
          _direct(_buffer != nullptr && stream.tie() == nullptr),
          _spaces(spaces),
          _progress(progress) {
        Load();
    }
    ~In() { Commit(); }
    In(const In&) = delete;
    In& operator=(const In&) = delete;

    bool Good() const { return _p != nullptr || _stream.good(); }
    // The area's current position, or null when the area is not held.
    const char* Held() const { return _p; }

    // Fails the stream, recording the failure unless one was recorded before: "expected what
    // but found" the character found; taken tells whether that character was taken.
    [[gnu::noinline]] void Expected(const char* what, int found, bool taken) {
        Release();
        const std::uint32_t back = taken && found != kEof ? 1 : 0;
        if (found == kEof && _stream.bad()) {
            Record(back, "the stream failed while reading");
        } else {
            Record(back, std::string("expected ") + what + " but found " + found_text(found));
        }
        _stream.setstate(std::ios::failbit);
    }
    // Fails the stream, recording message for the character back bytes before the current one.
    [[gnu::noinline]] void Fail(std::uint32_t back, const std::string& message) {
        Release();
        Record(back, message);
        _stream.setstate(std::ios::failbit);
    }
    // Records why the stream is no longer good when no failure was recorded: the end of the text
    // (atEnd) or a failure of the stream itself.
    [[gnu::noinline]] void Stopped(const char* atEnd) {
        Release();
        Record(0, _stream.bad() || !_stream.eof() ? "the stream failed while reading" : atEnd);
    }
    // The offset of the current character.
    std::uint32_t Offset() const {
        const bool held = _p != nullptr && _progress.mark != nullptr;
        return _progress.offset + (held ? static_cast<std::uint32_t>(_p - _progress.mark) : 0u);
    }
    // Records message for the character back bytes before the current one, unless a failure was
    // recorded before; the stream is left as it is.
    void Record(std::uint32_t back, const std::string& message) {
        Settle();
        JsonReadDocument::Progress& t = _progress;
        JsonError& error = t.error;
        if (error.failed) return;
        error.failed = true;
        error.offset = t.offset >= back ? t.offset - back : 0;
        // A line end between that character and the current one: it lies on the line before.
        const bool before = error.offset < t.lineStart;
        const std::uint32_t start = before ? t.lastLineStart : t.lineStart;
        error.line = t.lines + (before ? 0 : 1);
        error.column = error.offset >= start ? error.offset - start + 1 : 1;
        error.message = message;
    }

    int Get() { return _p != _end ? static_cast<unsigned char>(*_p++) : CallGet(); }
    // atEnd: what to record when the text ends here.
    int Peek(const char* atEnd) {
        return _p != _end ? static_cast<unsigned char>(*_p) : CallPeek(atEnd);
    }
    // Puts back c, the character just taken.
    void Unget(int c) {
        if (_p != _start) {  // the character before was taken from the area
            --_p;
        } else {
            CallUnget(c);
        }
    }
    // As `stream >> std::ws`.
    void SkipSpace() {
        if (_spaces) {
            const char* p = _p;
            const char* end = _end;
            while (p != end && static_cast<unsigned char>(*p) <= ' ' && is_space(*p))
                ++p;
            _p = p;
            if (p != end) return;
        }
        SkipSpaceSlow();
    }
    // Appends the characters of the area before the first double quote or backslash to out.
    void TakePlainRun(std::string& out) {
        if (_p == _end) return;
        const std::size_t n = plain_run(_p, static_cast<std::size_t>(_end - _p));
        out.append(_p, n);
        _p += n;
    }

    // A number wholly inside the area, followed there by a character that is not part of it:
    // takes it as [begin, end) (the character after it stays) and returns true. Otherwise takes
    // nothing and returns false.
    bool TakeNumber(const char*& begin, const char*& end) {
        const char* p = _p;
        while (p != _end && is_number_char(static_cast<unsigned char>(*p)))
            ++p;
        if (p == _p || p == _end) return false;
        begin = _p;
        end = p;
        _p = p;
        return true;
    }

    static bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

  private:
    // The stream's own functions, with the area let go of around them (out of line: they are
    // the rare way).
    [[gnu::noinline]] int CallGet() {
        Release();
        const int c = _stream.get();
        if (c != kEof) {
            JsonReadDocument::Progress& t = _progress;
            ++t.offset;
            if (c == '\n') {
                t.lastLineStart = t.lineStart;
                t.lineStart = t.offset;
                ++t.lines;
            }
        }
        Reload();
        return c;
    }
    [[gnu::noinline]] int CallPeek(const char* atEnd) {
        Release();
        const int c = _stream.peek();
        Reload();
        if (c == kEof && atEnd != nullptr) Stopped(atEnd);
        return c;
    }
    [[gnu::noinline]] void CallUnget(int c) {
        Release();
        _stream.unget();
        if (!_stream.fail() && _progress.offset > 0) {
            JsonReadDocument::Progress& t = _progress;
            --t.offset;
            if (c == '\n' && t.lines > 0) {
                --t.lines;
                t.lineStart = t.lastLineStart;
            }
        }
        Reload();
    }
    // White space where the area ends or the locale's white space is not the C locale's: one
    // character at a time through the stream's functions, as std::ws takes them.
    [[gnu::noinline]] void SkipSpaceSlow() {
        if (!_stream.good()) {  // nothing to count: std::ws decides what happens
            Release();
            _stream >> std::ws;
            Reload();
            return;
        }
        const std::ctype<char>& ctype = std::use_facet<std::ctype<char>>(_stream.getloc());
        for (;;) {
            while (_p != _end && ctype.is(std::ctype_base::space, *_p))
                ++_p;
            if (_p != _end) return;
            const int c = CallPeek(nullptr);
            if (c == kEof || !ctype.is(std::ctype_base::space, static_cast<char>(c))) return;
            CallGet();
        }
    }

    // Holds the get area when it may be used.
    void Load() {
        _p = _end = _start = nullptr;
        if (!_direct || !_stream.good()) return;
        char* p = BufferAccess::Gptr(_buffer);
        if (p == nullptr) return;
        const std::size_t n = static_cast<std::size_t>(BufferAccess::Egptr(_buffer) - p);
        _p = _start = p;
        _end = p + (n < kMaxPiece ? n : kMaxPiece);
    }
    // Holds the area after a call of the stream's functions; the counting starts there again.
    void Reload() {
        Load();
        _progress.mark = _p;
    }
    // Hands what was taken back to the buffer.
    void Commit() {
        if (_p != _start) BufferAccess::Gbump(_buffer, static_cast<int>(_p - _start));
        _start = _p;
    }
    // Counts what was taken from the area since the mark.
    void Settle() {
        JsonReadDocument::Progress& t = _progress;
        const char* mark = t.mark;
        if (mark == nullptr) return;
        t.mark = _p;
        const std::less<const char*> below;
        if (_p == nullptr || below(mark, BufferAccess::Eback(_buffer)) || below(_p, mark)) return;
        for (const char* q = mark;; ++q) {
            q = static_cast<const char*>(std::memchr(q, '\n', static_cast<std::size_t>(_p - q)));
            if (q == nullptr) break;
            t.lastLineStart = t.lineStart;
            t.lineStart = t.offset + static_cast<std::uint32_t>(q - mark) + 1;
            ++t.lines;
        }
        t.offset += static_cast<std::uint32_t>(_p - mark);
    }
    // Commits and lets go of the area, before the stream's own functions are called.
    void Release() {
        Settle();
        Commit();
        _p = _end = _start = nullptr;
        _progress.mark = nullptr;
    }

    std::istream& _stream;
    std::streambuf* _buffer;
    bool _direct;  // no tied stream: taking from the area is all the stream would do
    bool _spaces;
    JsonReadDocument::Progress& _progress;
    const char* _p;      // next character of the area (null: not held)
    const char* _end;    // end of the area
    const char* _start;  // the buffer's own position
};

// Bits of JsonReadDocument::_flags.
const unsigned char kClassicSpaces = 1;  // the stream's white space is the C locale's

[[gnu::noinline]] unsigned char reader_flags(const std::istream& stream) {
    unsigned char flags = 0;
    const std::ctype<char>& ctype = std::use_facet<std::ctype<char>>(stream.getloc());
    const std::ctype_base::mask* classic = std::ctype<char>::classic_table();
    bool same = true;
    for (int c = 0; c < 256 && same; ++c) {
        same = ctype.is(std::ctype_base::space, static_cast<char>(c)) ==
               ((classic[c] & std::ctype_base::space) != 0);
    }
    if (same) flags |= kClassicSpaces;
    return flags;
}

// string: '"' (byte | escape)* '"'
[[gnu::noinline]] void read_string(In& in, std::string& out) {
    out.clear();
    const int first = in.Get();
    if (first != '"') {
        in.Expected("a string", first, true);
        return;
    }
    const int eof = kEof;
    for (;;) {
        in.TakePlainRun(out);  // the plain bytes the area holds, in one piece
        int c = in.Get();
        if (c == '"') return;
        if (c == eof) {
            in.Stopped("text ended inside a string");
            return;
        }
        if (c != '\\') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        c = in.Get();
        switch (c) {
            case '"':
                out.push_back('"');
                break;
            case '/':
                out.push_back('/');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                // four characters; only the last two count, as one byte
                int d[4];
                for (int& x : d) {
                    x = in.Get();
                    if (x == eof) {
                        in.Stopped("text ended inside a string");
                        return;
                    }
                }
                out.push_back(static_cast<char>((16u * hex_digit(d[2]) + hex_digit(d[3])) & 0xFFu));
                break;
            }
            default:  // an unknown escape, or the end of the text
                if (c == eof) {
                    in.Stopped("text ended inside a string");
                } else {
                    in.Fail(1, std::string("unknown escape '\\") + static_cast<char>(c) +
                                   "' in a string");
                }
                return;
        }
    }
}

// bool: "true" | "false"
[[gnu::noinline]] void read_bool(In& in, bool& value) {
    int c = in.Get();
    const char* rest;
    bool word;
    if (c == 't') {
        rest = "rue";
        word = true;
    } else if (c == 'f') {
        rest = "alse";
        word = false;
    } else {
        in.Expected("true or false", c, true);
        return;
    }
    for (; *rest != '\0'; ++rest) {
        c = in.Get();
        if (c != *rest) {
            in.Expected("true or false", c, true);
            return;
        }
    }
    value = word;
}

[[gnu::noinline]] void read_char(In& in, char c) {
    int x = in.Get();
    if (x == std::char_traits<char>::to_int_type(c)) return;
    if (x != std::char_traits<char>::eof()) in.Unget(x);
    const char what[] = {'\'', c, '\'', '\0'};
    in.Expected(what, x, false);
}

// number: [0-9+-.]+ ; "e" and "E" do not belong to a number. Appends its characters to text;
// returns false when no number starts here (the stream is then failed).
[[gnu::noinline]] bool read_number(In& in, std::string& text) {
    int c = in.Get();
    if (!is_number_char(c)) {
        in.Expected("a number", c, true);
        return false;
    }
    do {
        text.push_back(static_cast<char>(c));
        c = in.Get();
    } while (is_number_char(c));
    if (in.Good()) in.Unget(c);
    return true;
}

[[gnu::noinline]] void read_int32(In& in, int& value) {
    const char* begin;
    const char* end;
    if (in.TakeNumber(begin, end)) {
        value = detail::decimal_to_int32(begin, end);
        return;
    }
    std::string text;
    if (read_number(in, text)) {
        value = detail::decimal_to_int32(text.data(), text.data() + text.size());
    }
}

// strtod with "." as the decimal point, whatever the C library's locale (text is zero-terminated).
[[gnu::noinline]] double classic_strtod(const char* text) {
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

// Converts number text as strtod does in the C locale. A text of at most 15 significant digits
// is converted here: its digits make an exact integer and its scale an exact power of ten, and
// the one division between them rounds correctly, as strtod's result does. Other texts go to
// strtod (text is zero-terminated).
double text_to_double(const char* text, std::size_t size) {
#if FLT_EVAL_METHOD == 0
    std::size_t i = 0;
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint64_t digits = 0;
    int count = 0;  // significant digits
    int scale = 0;  // power of ten of the last digit
    bool any = false;
    bool fraction = false;
    for (; i < size; ++i) {
        const char c = text[i];
        if (c == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        any = true;
        if (fraction) --scale;
        if (digits == 0 && c == '0') continue;
        if (++count > 15) break;
        digits = digits * 10 + static_cast<unsigned int>(c - '0');
    }
    if (!any) return 0.0;
    if (count <= 15 && scale >= -kMaxPow10) {
        const double v = static_cast<double>(digits) / kPow10[-scale];
        return negative ? -v : v;
    }
#else
    (void)size;
#endif
    return classic_strtod(text);
}

[[gnu::noinline]] void read_double(In& in, double& value) {
    const char* begin;
    const char* end;
    std::string text;
    if (in.TakeNumber(begin, end)) {
        text.assign(begin, end);
    } else if (!read_number(in, text)) {
        return;
    }
    value = text_to_double(text.c_str(), text.size());
}

// value: object | array | anything up to "," "}" or "]". Brackets are counted without regard
// to strings, so a bracket or comma inside a string counts like a structural one.
void skip_value(In& in) {
    int c = in.Peek(nullptr);
    if (c == std::char_traits<char>::eof()) return;
    if (c == '{' || c == '[') {
        const int open = c;
        const int close = c == '{' ? '}' : ']';
        uint64_t depth = 0;
        for (;;) {
            int x = in.Get();
            if (x == std::char_traits<char>::eof()) return;
            if (x == open) {
                ++depth;
            } else if (x == close && --depth == 0) {
                return;
            }
        }
    }
    for (;;) {
        int x = in.Get();
        if (x == std::char_traits<char>::eof()) return;
        if (x == ',' || x == '}' || x == ']') {
            in.Unget(x);
            return;
        }
    }
}

const char kEnded[] = "the text ended before the document was complete";

// Records why a stream that was not good on entry stopped the read, unless a failure was
// recorded before.
[[gnu::noinline]] void note_stopped(std::istream& stream, JsonReadDocument::Progress& progress) {
    if (progress.error.failed) return;
    In in(stream, false, progress);
    in.Stopped(kEnded);
}

// A key that differs from the expected name; at is the offset of its opening quote.
[[gnu::noinline]] void key_differs(In& in, std::uint32_t at, const std::string& name,
                                   const std::string& key) {
    in.Fail(in.Offset() - at, "expected member \"" + name + "\" but found \"" + key + "\"");
}

}  // namespace

JsonReadDocument::JsonReadDocument(std::istream& stream)
    : _stream(stream), _first(true), _flags(reader_flags(stream)) {
    In in(stream, false, _progress);
    _progress.mark = in.Held();
}

JsonReadDocument::~JsonReadDocument() {}

bool JsonReadDocument::Deserialize(unsigned int token, std::string& name, void* value) {
    return guarded(_stream, [&] { return _deserialize(token, name, value); });
}

bool JsonReadDocument::_deserialize(unsigned int token, std::string& name, void* value) {
    if (!_stream.good()) {
        note_stopped(_stream, _progress);
        return false;
    }
    In in(_stream, (_flags & kClassicSpaces) != 0, _progress);
    in.SkipSpace();

    // separator: a comma before every item but the first and the closing brackets
    if (_first) {
        _first = false;
    } else if (token != JSON_OBJECT_END && token != JSON_ARRAY_END) {
        const int c = in.Get();
        if (c != ',') {
            // members come as keys, elements without
            in.Expected(token == JSON_KEY || !name.empty() ? "',' or '}'" : "',' or ']'", c, true);
        }
        in.SkipSpace();
    }

    // key: "name" ws ":" ws
    if (!name.empty()) {
        std::string key;
        const std::uint32_t at = in.Offset();
        read_string(in, key);
        if (key != name) key_differs(in, at, name, key);
        in.SkipSpace();
        const int c = in.Get();
        if (c != ':') in.Expected("':'", c, true);
        in.SkipSpace();
    }

    switch (token) {
        case JSON_INT: {
            int temp = 0;
            read_int32(in, value ? *static_cast<int*>(value) : temp);
            break;
        }
        case JSON_BOOL: {
            bool temp = false;
            read_bool(in, value ? *static_cast<bool*>(value) : temp);
            break;
        }
        case JSON_DOUBLE: {
            double temp = 0.0;
            read_double(in, value ? *static_cast<double*>(value) : temp);
            break;
        }
        case JSON_STRING: {
            std::string temp;
            read_string(in, value ? *static_cast<std::string*>(value) : temp);
            break;
        }
        case JSON_OBJECT_BEGIN:
            read_char(in, '{');
            _first = true;
            break;
        case JSON_OBJECT_END:
            read_char(in, '}');
            break;
        case JSON_ARRAY_BEGIN:
            read_char(in, '[');
            _first = true;
            break;
        case JSON_ARRAY_END:
            read_char(in, ']');
            break;
        case JSON_KEY: {
            // member name ws ":"; the value that follows is read without a comma
            std::string temp;
            read_string(in, value ? *static_cast<std::string*>(value) : temp);
            in.SkipSpace();
            const int c = in.Get();
            if (c != ':') in.Expected("':'", c, true);
            _first = true;
            break;
        }
        case JSON_SKIP:
            skip_value(in);
            break;
        case JSON_FILE:
            in.Fail(0, "a file value cannot be read");
            break;
        default:
            in.Fail(0, "unknown item kind " + std::to_string(token));
            break;
    }
    if (_stream.good()) return true;
    in.Stopped(kEnded);
    return false;
}

bool JsonReadDocument::Peek(unsigned int token) {
    return guarded(_stream, [&] { return _peek(token); });
}

bool JsonReadDocument::_peek(unsigned int token) {
    if (!_stream.good()) return false;
    In in(_stream, (_flags & kClassicSpaces) != 0, _progress);
    in.SkipSpace();
    int c = in.Peek(kEnded);
    if (token == JSON_OBJECT_END) return c == '}';
    if (token == JSON_ARRAY_END) return c == ']';
    return false;
}

void JsonReadDocument::Within(const std::string& name) {
    std::string& path = _progress.error.path;
    Contain([&] {
        if (!path.empty() && path[0] != '[') path.insert(0, 1, '.');
        path.insert(0, name);
    });
}

void JsonReadDocument::Within(std::size_t index) {
    std::string& path = _progress.error.path;
    Contain([&] {
        if (!path.empty() && path[0] != '[') path.insert(0, 1, '.');
        path.insert(0, "[" + std::to_string(index) + "]");
    });
}

void JsonReadDocument::Refuse(const std::string& message) {
    if (_progress.error.failed) return;
    guarded(_stream, [&] {
        In in(_stream, false, _progress);
        in.Record(0, message);
        return true;
    });
}

void JsonReadDocument::_read_char(std::istream& stream, char c) {
    guarded(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_char(in, c);
        return true;
    });
}

void JsonReadDocument::_read_string(std::istream& stream, std::string& out) {
    guarded(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_string(in, out);
        return true;
    });
}

void JsonReadDocument::_read_bool(std::istream& stream, bool& value) {
    guarded(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_bool(in, value);
        return true;
    });
}

void JsonReadDocument::_read_int32(std::istream& stream, int& value) {
    guarded(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_int32(in, value);
        return true;
    });
}

void JsonReadDocument::_read_double(std::istream& stream, double& value) {
    guarded(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_double(in, value);
        return true;
    });
}

// ---------------------------------------------------------------------------------------------
// Decimal text to a saturated 32-bit integer (reader, parameter nodes, scene requests)

std::int32_t detail::decimal_to_int32(const char* p, const char* end) {
    while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    while (p != end && *p == '0')
        ++p;
    // Ten digits at most fit below 2^40; more saturate alike.
    std::uint64_t magnitude = 0;
    int count = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        if (++count <= 10) magnitude = magnitude * 10 + static_cast<unsigned int>(*p - '0');
    }
    if (count > 10) magnitude = std::uint64_t{1} << 40;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (magnitude > limit) magnitude = limit;
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                    : static_cast<std::int32_t>(magnitude);
}

std::int32_t detail::decimal_to_int32(const char* text) {
    return decimal_to_int32(text, text + std::strlen(text));
}

// ---------------------------------------------------------------------------------------------
// Schema nodes

std::string JsonSchema::_nullstr;

JsonSchema::JsonSchema(const char* name) : _name(name ? name : ""), _enable(true) {}
JsonSchema::~JsonSchema() {}

void JsonSchema::SetName(const char* name) {
    _name = name ? name : "";
}
void JsonSchema::SetValue(int) {}
void JsonSchema::SetValue(bool) {}
void JsonSchema::SetValue(const char*) {}
void JsonSchema::SetValue(double) {}
int JsonSchema::GetValueInt() {
    return 0;
}
bool JsonSchema::GetValueBool() {
    return false;
}
const char* JsonSchema::GetValueString() {
    return "";
}
double JsonSchema::GetValueDouble() {
    return 0.0;
}

JsonSchemaInt::JsonSchemaInt(const char* name, int value)
    : JsonSchema(name), _value(value), _default(value) {}
JsonSchemaInt::~JsonSchemaInt() {}
void JsonSchemaInt::Reset() {
    _value = _default;
}
JsonSchema* JsonSchemaInt::Clone() {
    return new JsonSchemaInt(_name.c_str(), _default);
}
bool JsonSchemaInt::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_INT, _key(withName), &_value);
}
bool JsonSchemaInt::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_INT, _key(withName), &_value);
}
void JsonSchemaInt::SetValue(int value) {
    _value = value;
}
int JsonSchemaInt::GetValueInt() {
    return _value;
}

JsonSchemaBool::JsonSchemaBool(const char* name, bool value)
    : JsonSchema(name), _value(value), _default(value) {}
JsonSchemaBool::~JsonSchemaBool() {}
void JsonSchemaBool::Reset() {
    _value = _default;
}
JsonSchema* JsonSchemaBool::Clone() {
    return new JsonSchemaBool(_name.c_str(), _default);
}
bool JsonSchemaBool::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_BOOL, _key(withName), &_value);
}
bool JsonSchemaBool::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_BOOL, _key(withName), &_value);
}
void JsonSchemaBool::SetValue(bool value) {
    _value = value;
}
bool JsonSchemaBool::GetValueBool() {
    return _value;
}

JsonSchemaDouble::JsonSchemaDouble(const char* name, double value, unsigned int decimal)
    : JsonSchema(name), _value(value), _default(value), _decimal(decimal) {}
JsonSchemaDouble::~JsonSchemaDouble() {}
void JsonSchemaDouble::Reset() {
    _value = _default;
}
JsonSchema* JsonSchemaDouble::Clone() {
    return new JsonSchemaDouble(_name.c_str(), _default, 3);
}
bool JsonSchemaDouble::Compile(JsonWriteDocument& writer, bool withName) {
    if (!_enable) return true;
    writer.SetDecimal(_decimal);
    return writer.Serialize(JSON_DOUBLE, _key(withName), &_value);
}
bool JsonSchemaDouble::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_DOUBLE, _key(withName), &_value);
}
void JsonSchemaDouble::SetValue(double value) {
    _value = value;
}
double JsonSchemaDouble::GetValueDouble() {
    return _value;
}

JsonSchemaString::JsonSchemaString(const char* name, const char* value)
    : JsonSchema(name), _value(value ? value : ""), _default(_value) {}
JsonSchemaString::JsonSchemaString(const char* name, int value) : JsonSchema(name) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned int>(value));
    _value = text;
    _default = _value;
}
JsonSchemaString::~JsonSchemaString() {}
void JsonSchemaString::Reset() {
    _value = _default;
}
JsonSchema* JsonSchemaString::Clone() {
    return new JsonSchemaString(_name.c_str(), _default.c_str());
}
bool JsonSchemaString::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_STRING, _key(withName), &_value);
}
bool JsonSchemaString::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_STRING, _key(withName), &_value);
}
void JsonSchemaString::SetValue(const char* value) {
    _value = value ? value : "";
}
const char* JsonSchemaString::GetValueString() {
    return _value.c_str();
}

// ---------------------------------------------------------------------------------------------
// Containers

JsonSchemaList::JsonSchemaList(const char* name) : JsonSchema(name) {}
JsonSchemaList::~JsonSchemaList() {
    Clear();
}

void JsonSchemaList::AddNew(JsonSchema* child) {
    if (!child) return;
    try {
        // Room for a few children at once: most lists have several, and arrays read grow one
        // by one.
        if (_children.capacity() == 0) _children.reserve(4);
        _children.push_back(child);
    } catch (...) {  // the child was handed over: without room it is deleted, not leaked
        delete child;
        throw;
    }
}

JsonSchema* JsonSchemaList::GetObject(unsigned int index) {
    return index < _children.size() ? _children[index] : nullptr;
}

JsonSchema* JsonSchemaList::GetObject(const char* name) {
    if (!name) return nullptr;
    for (JsonSchema* child : _children) {
        if (child->GetName() == name) return child;
    }
    return nullptr;
}

unsigned int JsonSchemaList::Size() {
    return static_cast<unsigned int>(_children.size());
}

// Deleting a large array is bound by fetching each element from memory, not by the work
// done on it: the first few elements are requested at once, and then always the one a few
// places ahead of the element being destroyed.
void JsonSchemaList::Clear() {
#if defined(__GNUC__)
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = _children.size(), n = 0; i > 0 && n < kAhead; --i, ++n)
        __builtin_prefetch(_children[i - 1]);
#endif
    while (!_children.empty()) {
#if defined(__GNUC__)
        if (_children.size() > kAhead) __builtin_prefetch(_children[_children.size() - 1 - kAhead]);
#endif
        JsonSchema* child = _children.back();
        _children.pop_back();
        delete child;
    }
}

void JsonSchemaList::Reset() {
    for (JsonSchema* child : _children)
        child->Reset();
}

JsonSchema* JsonSchemaList::Clone() {
    std::unique_ptr<JsonSchemaList> copy(new JsonSchemaList(_name.c_str()));
    copy->_children.reserve(_children.size());
    for (JsonSchema* child : _children)
        copy->AddNew(child->Clone());
    return copy.release();
}

bool JsonSchemaList::Compile(JsonWriteDocument& writer, bool withName) {
    if (!_enable) return true;
    bool result = writer.Serialize(JSON_OBJECT_BEGIN, _key(withName), nullptr);
    for (JsonSchema* child : _children) {
        result = child->Compile(writer, true) && result;
        if (!result) break;
    }
    return writer.Serialize(JSON_OBJECT_END, _nullstr, nullptr) && result;
}

// object: "{" (key value)* "}" with every child matched once, in any order.
bool JsonSchemaList::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    bool result = reader.Deserialize(JSON_OBJECT_BEGIN, _key(withName), nullptr);
    // A member goes to the first child of its name not matched yet. Matched children are
    // marked in one word, or in an array of words for lists of more than 64 children; the
    // search starts at the first unmatched child, which for members in the children's order is
    // the one.
    const std::size_t count = _children.size();
    std::uint64_t word = 0;
    std::unique_ptr<std::uint64_t[]> words;
    if (count > 64) words.reset(new std::uint64_t[(count + 63) / 64]());
    std::uint64_t* marks = words ? words.get() : &word;
    auto matched = [marks](std::size_t i) { return ((marks[i / 64] >> (i % 64)) & 1) != 0; };
    std::size_t first = 0;
    std::size_t left = count;
    std::string key;
    while (result && !reader.Peek(JSON_OBJECT_END)) {
        result = reader.Deserialize(JSON_KEY, _nullstr, &key) && result;
        const bool named = result;
        std::size_t i = first;
        while (i < count && (matched(i) || _children[i]->GetName() != key))
            ++i;
        if (i < count) {
            result = _children[i]->Format(reader, false) && result;
            marks[i / 64] |= std::uint64_t{1} << (i % 64);
            --left;
            while (first < count && matched(first))
                ++first;
        } else {
            result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
        }
        if (named && !result) reader.Within(key);
    }
    // the first child left without a member, reported at the closing brace
    if (result && left != 0) {
        reader.Refuse("member \"" + _children[first]->GetName() + "\" is missing");
    }
    result = reader.Deserialize(JSON_OBJECT_END, _nullstr, nullptr) && result;
    return result && left == 0;
}

const char* JsonSchemaList::GetString(const char* name) {
    JsonSchema* child = GetObject(name);
    return child ? child->GetValueString() : "";
}

template WEBJSON_API void JsonSchemaList::Set<const char*>(const char*, const char*);
template WEBJSON_API void JsonSchemaList::Set<int>(const char*, int);

JsonSchemaOrderedList::JsonSchemaOrderedList(const char* name) : JsonSchemaList(name) {}
JsonSchemaOrderedList::~JsonSchemaOrderedList() {}

bool JsonSchemaOrderedList::Compile(JsonWriteDocument& writer, bool withName) {
    if (!_enable) return true;
    bool result = writer.Serialize(JSON_ARRAY_BEGIN, _key(withName), nullptr);
    for (JsonSchema* child : _children) {
        result = child->Compile(writer, false) && result;
        if (!result) break;
    }
    return writer.Serialize(JSON_ARRAY_END, _nullstr, nullptr) && result;
}

// array: "[" value* "]", one value per child in order; fewer values leave children untouched.
bool JsonSchemaOrderedList::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    bool result = reader.Deserialize(JSON_ARRAY_BEGIN, _key(withName), nullptr);
    for (std::size_t i = 0; i < _children.size(); ++i) {
        if (reader.Peek(JSON_ARRAY_END)) break;
        result = _children[i]->Format(reader, false) && result;
        if (!result) {
            reader.Within(i);
            break;
        }
    }
    return reader.Deserialize(JSON_ARRAY_END, _nullstr, nullptr) && result;
}

JsonSchemaOpenList::JsonSchemaOpenList(const char* name) : JsonSchemaList(name) {}
JsonSchemaOpenList::~JsonSchemaOpenList() {}

// object: "{" (key value)* "}"; missing members are allowed, repeated ones read again.
bool JsonSchemaOpenList::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    bool result = reader.Deserialize(JSON_OBJECT_BEGIN, _key(withName), nullptr);
    std::string key;
    while (result && !reader.Peek(JSON_OBJECT_END)) {
        result = reader.Deserialize(JSON_KEY, _nullstr, &key) && result;
        const bool named = result;
        auto it = _children.begin();
        while (it != _children.end() && (*it)->GetName() != key)
            ++it;
        if (it != _children.end()) {
            result = (*it)->Format(reader, false) && result;
        } else {
            result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
        }
        if (named && !result) reader.Within(key);
    }
    return reader.Deserialize(JSON_OBJECT_END, _nullstr, nullptr) && result;
}

template class JsonSchemaArray<JsonSchema>;
template class JsonSchemaArray<JsonSchemaInt>;
template class JsonSchemaArray<JsonSchemaString>;
template class JsonSchemaArray<JsonSchemaList>;
template class JsonSchemaArray<JsonSchemaArray<JsonSchema>>;
template class JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>;

// ---------------------------------------------------------------------------------------------
// File node

JsonSchemaFile::JsonSchemaFile(const char* name, const char* path) : JsonSchema(name) {
    FileToData(path);
}

JsonSchemaFile::~JsonSchemaFile() {}

void JsonSchemaFile::FileToData(const char* path) {
    _data.clear();
    // Only regular files: a device such as /dev/zero never ends, and opening a FIFO waits for
    // a writer.
    struct stat status;
    if (path && *path && ::stat(path, &status) == 0 && S_ISREG(status.st_mode)) {
        const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
        if (!Contain([&] { encode_file(path, size, _data); })) {
            std::vector<char>().swap(_data);  // out of memory: the empty text
        }
    }
    // Without memory even for the zero byte the vector stays empty, which writes as "" too.
    Contain([this] { _data.push_back('\0'); });
}

void JsonSchemaFile::DataToFile(const char* path) {
    if (!path) return;
    Contain([this, path] {  // the file's buffer is the only allocation
        std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!file.is_open()) return;
        unsigned int q[4];
        unsigned int filled = 0;
        char bytes[3 * 1024];
        std::size_t n = 0;
        for (char c : _data) {
            if (c == '\0') break;
            q[filled++] = base64_value(c);
            if (filled < 4) continue;
            filled = 0;
            bytes[n++] = static_cast<char>(((q[0] << 2) | ((q[1] >> 4) & 0x03)) & 0xFF);
            if (q[2] != 64) bytes[n++] = static_cast<char>(((q[1] << 4) | (q[2] >> 2)) & 0xFF);
            if (q[3] != 64) bytes[n++] = static_cast<char>(((q[2] << 6) | q[3]) & 0xFF);
            if (n + 3 > sizeof bytes) {
                file.write(bytes, static_cast<std::streamsize>(n));
                n = 0;
            }
        }
        file.write(bytes, static_cast<std::streamsize>(n));
    });
}

void JsonSchemaFile::Reset() {}

JsonSchema* JsonSchemaFile::Clone() {
    return new JsonSchemaFile(_name.c_str(), "");
}

bool JsonSchemaFile::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_FILE, _key(withName), &_data);
}

bool JsonSchemaFile::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_FILE, _key(withName), &_data);
}

// ---------------------------------------------------------------------------------------------
// Document root

JsonDocumentSchema::JsonDocumentSchema() : _root(nullptr) {
    pthread_mutex_init(&_mutex, nullptr);
}

JsonDocumentSchema::~JsonDocumentSchema() {
    delete _root;
    _root = nullptr;
    pthread_mutex_destroy(&_mutex);
}

bool JsonDocumentSchema::GenerateDocumentStream(std::ostream& stream, JsonSchemaList* list) {
    JsonSchemaList* tree = list ? list : _root;
    bool result = tree != nullptr && RunWithoutExceptions(stream, [&] {
                      JsonWriteDocument writer(stream);
                      return tree->Compile(writer, false);
                  });
    if (!result) {
        print_line("Compile Document failed");
        const char* why = "the stream failed while writing";
        if (tree == nullptr) why = "the document has no tree";
        if (tree != nullptr && stream.good()) why = "the document could not be written";
        _fail(why);
    } else {
        _error = JsonError();
    }
    return result;
}

bool JsonDocumentSchema::ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) {
    JsonSchemaList* tree = list ? list : _root;
    if (!tree) {
        print_line("Format Document failed");
        _fail("the document has no tree");
        return false;
    }
    bool reported = false;
    bool result = RunWithoutExceptions(stream, [&] {
        JsonReadDocument reader(stream);
        _reset_schema(tree);
        if (tree->Format(reader, false)) return true;
        if (!reader.Error().failed) reader.Refuse("the text does not fit the document");
        _error = reader.Error();
        reported = true;
        return false;
    });
    if (!result) {
        // An exception (memory ran out, a buffer threw) ended the read before it said why.
        if (!reported) _fail("the read was stopped by an exception");
        print_line("Format Document failed");
        _reset_schema(tree);
    } else {
        _error = JsonError();
    }
    return result;
}

// Keeps why an operation failed: message followed by subject. When even that cannot be stored
// (memory ran out) the failure is still marked.
void JsonDocumentSchema::_fail(const char* message, const char* subject) {
    _error = JsonError();
    _error.failed = true;
    Contain([&] { (_error.message = message) += subject; });
}

void JsonDocumentSchema::_reset_schema(JsonSchemaList* list) {
    JsonSchemaList* tree = list ? list : _root;
    if (tree) tree->Reset();
}

bool JsonDocumentSchema::GenerateDocument(const char* path, JsonSchemaList* list) {
    std::ofstream file;
    if (path) file.open(path, std::ios::out | std::ios::trunc);
    bool result = false;
    if (path && file.good() && file.is_open()) {
        result = GenerateDocumentStream(file, list);
        // The text reaches the disk when the file is flushed and closed: a full disk shows here.
        file.close();
        if (result && file.fail()) {
            print_line("Compile Document failed");
            _fail("the file could not be flushed and closed");
            result = false;
        }
    } else {
        print_line("Write Document Error");
        _fail(path ? "could not open " : "no file was named", path ? path : "");
    }
    return result;
}

bool JsonDocumentSchema::ProcessDocument(const char* path, JsonSchemaList* list) {
    std::ifstream file;
    if (path) file.open(path, std::ios::in);
    bool result = false;
    if (path && file.good() && file.is_open()) {
        result = ProcessDocumentStream(file, list);
    } else {
        print_line("Read Document Error");
        _fail(path ? "could not open " : "no file was named", path ? path : "");
    }
    file.close();
    return result;
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
