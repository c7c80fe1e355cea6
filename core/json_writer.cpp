// Token writer: one item (separator, key, value) at a time, into the put area when it has room.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <string>
#include <typeinfo>
#include <vector>

#include "core/detail/byte_scan.h"
#include "core/detail/cold.h"
#include "core/detail/json_guard.h"
#include "core/detail/leaf.h"
#include "core/detail/number_text.h"
#include "core/detail/stream_area.h"
#include "json_schema.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

using detail::BufferAccess;
using detail::kMaxPiece;

constexpr char hexchar[] = "0123456789ABCDEF";

// The escaped form of every byte in a string value (the byte itself when it needs none): character
// i of the form in bits 8i to 8i+7 (so in memory order on a little-endian machine), its length in
// the top byte.
struct Forms {
    std::uint64_t of[256];
};
constexpr std::uint64_t Form(unsigned int c) {
    if (c >= 0x20 && c != '"' && c != '\\') return std::uint64_t{1} << 56 | c;
    unsigned int letter = 0;
    switch (c) {
        case 0x08:
            letter = 'b';
            break;
        case 0x09:
            letter = 't';
            break;
        case 0x0A:
            letter = 'n';
            break;
        case 0x0C:
            letter = 'f';
            break;
        case 0x0D:
            letter = 'r';
            break;
        case '"':
        case '\\':
            letter = c;
            break;
        default:
            break;
    }
    if (letter != 0) return std::uint64_t{2} << 56 | std::uint64_t{letter} << 8 | '\\';
    return std::uint64_t{6} << 56 | std::uint64_t(hexchar[c & 0x0F]) << 40 |
           std::uint64_t(hexchar[c >> 4]) << 32 | std::uint64_t{'0'} << 24 |
           std::uint64_t{'0'} << 16 | std::uint64_t{'u'} << 8 | '\\';
}
constexpr Forms MakeForms() {
    Forms forms{};
    for (unsigned int c = 0; c < 256; ++c)
        forms.of[c] = Form(c);
    return forms;
}
constexpr Forms kForms = MakeForms();

// The escape for one byte of a string value, written into buf; 0 when the byte stands as it is.
std::size_t escape_byte(unsigned char c, char buf[6]) {
    const std::uint64_t form = kForms.of[c];
    const std::size_t size = static_cast<std::size_t>(form >> 56);
    if (size == 1) return 0;
    for (std::size_t i = 0; i < size; ++i)
        buf[i] = static_cast<char>(form >> (8 * i));
    return size;
}

// Writes data escaped as by _string_to_json, between double quotes, through the stream: plain
// runs in one piece.
void write_string(std::ostream& stream, const char* data, std::size_t size) {
    stream.put('"');
    const char* run = data;
    const char* end = data + size;
    char buf[6];
    for (const char* p = data; p != end; ++p) {
        if (!detail::stops_run<true>(static_cast<unsigned char>(*p))) continue;
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

// Stores the separator (when comma) and the key (when name is not empty, key being its size
// + 3) at p, which has room for them and one byte more, and returns their end.
inline char* put_key(char* p, bool comma, const std::string& name, std::size_t key) {
    *p = ',';
    p += comma ? 1 : 0;
    if (key != 0) {
        *p++ = '"';
        p = copy_bytes(p, name.data(), name.size());
        *p++ = '"';
        *p++ = ':';
    }
    return p;
}

// Whether every std::string holds at least 16 bytes (its capacity, at least 15, and the zero after
// it), so that the first 16 of a short one can be read at once: so in libstdc++, whose strings keep
// up to 15 characters in place; other libraries' strings are asked their capacity.
#if defined(__GLIBCXX__)
constexpr bool kShortTextsReadable = true;
#else
constexpr bool kShortTextsReadable = false;
#endif

#if !defined(__SSE2__)
constexpr detail::Word kOnes = static_cast<detail::Word>(0x0101010101010101u);
constexpr detail::Word kHighBits = kOnes * 0x80;

// The bytes of w that may need an escape in a string value, marked in their high bit (kHighBits):
// cheaper than detail::stop_marks, exact for bytes below 0x80, and taking every byte from 0x80 on
// for one; values with such bytes go the exact way. Flipping bit 1 moves the quote (0x22) to
// 0x20, below every byte that needs no escape (a space becomes 0x22), so that one subtraction
// finds it and the control bytes.
inline detail::Word suspect_bytes(detail::Word w) {
    return ((w ^ (kOnes * 0x02)) - kOnes * 0x21) | ((w ^ (kOnes * '\\')) - kOnes) | w;
}
#endif

// Copies a string value of size (at most 16) bytes from s, whose storage holds 16 bytes, to p,
// which has room for 16, and returns the end of the copy; null when a byte of the value needs an
// escape in a string (a quote, a backslash or a control byte). Bytes past size are copied but not
// looked at.
inline char* copy_short(char* p, const char* s, std::size_t size) {
#if defined(__SSE2__)
    // One test and one copy of 16 bytes, whatever the length: on a large document a branch on
    // each value's length is mispredicted about once in two.
    if ((detail::stop_bits<true>(s) & ((1u << size) - 1)) != 0) return nullptr;
    std::memcpy(p, s, 16);
    return p + size;
#else
    // A register at a time, as many as the value needs: without SIMD a fixed 16 bytes cost more
    // than the branches saved.
    using detail::Word;
    Word found = 0;
    std::size_t i = 0;
    for (; i + sizeof(Word) <= size; i += sizeof(Word)) {
        Word w;
        std::memcpy(&w, s + i, sizeof w);
        found |= suspect_bytes(w);
        std::memcpy(p + i, &w, sizeof w);
    }
    if (i != size) {  // the last bytes, those past the value masked off
        Word w;
        std::memcpy(&w, s + i, sizeof w);
        found |= suspect_bytes(w) & ((Word{1} << (8 * (size - i))) - 1);
        std::memcpy(p + i, &w, sizeof w);
    }
    return (found & kHighBits) == 0 ? p + size : nullptr;
#endif
}

// Stores a string value of size (at most 16) bytes from s, whose storage holds 16 bytes, escaped,
// at p, which has room for 16 * 6 + 8 bytes, and returns its end: every byte goes as its form from
// the table, with no branch on where the escapes are (with SSE2 sixteen steps whatever the length,
// so that no branch depends on it either).
inline char* put_escaped(char* p, const char* s, std::size_t size) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(s);
#if defined(__SSE2__)
    const std::size_t steps = 16;
#else
    const std::size_t steps = size;
#endif
    for (std::size_t i = 0; i < steps; ++i) {
        const unsigned int keep = i < size ? 0xFFu : 0u;  // bytes past the value as 0
        const std::uint64_t form = kForms.of[text[i] & keep];
        std::memcpy(p, &form, 8);
        p += static_cast<std::size_t>(form >> 56) & (0 - std::size_t{keep & 1});
    }
    return p;
}

// Stores a string value of size bytes from s escaped at p, which has room for 6 * size + 8 bytes,
// and returns its end: put_escaped for a value of any length, out of the common path. (Defined
// last: defined before its users, it has GCC lay kForms out before kCStops, which costs
// put_ctext's loop an instruction a byte on ARM.)
WEBJSON_COLD char* put_escaped_long(char* p, const char* s, std::size_t size);

// Copies the n bytes of a string value to p and returns the end of the copy, or returns null
// when one of them needs an escape (some bytes may then have been stored).
inline char* copy_plain(char* p, const char* s, std::size_t n) {
#if defined(__SSE2__)
    if (n >= 8) return detail::plain_run<true>(s, n, p) == n ? p + n : nullptr;
    if (n >= 4) {  // two words of four bytes, overlapping
        std::uint32_t a, b;
        std::memcpy(&a, s, 4);
        std::memcpy(&b, s + n - 4, 4);
        if ((detail::stop_marks<true>(a) | detail::stop_marks<true>(b)) != 0) return nullptr;
        std::memcpy(p, &a, 4);
        std::memcpy(p + n - 4, &b, 4);
        return p + n;
    }
    return detail::plain_run<true>(s, n, p) == n ? p + n : nullptr;
#else
    // A register at a time with the cheap test, the last one overlapping those before it; values
    // with bytes from 0x80 on go the exact way, as those that need an escape.
    using detail::Word;
    if (n < sizeof(Word)) return detail::plain_run<true>(s, n, p) == n ? p + n : nullptr;
    Word found = 0;
    std::size_t i = 0;
    for (; i + sizeof(Word) <= n; i += sizeof(Word)) {
        Word w;
        std::memcpy(&w, s + i, sizeof w);
        found |= suspect_bytes(w);
        std::memcpy(p + i, &w, sizeof w);
    }
    if (i != n) {
        Word w;
        std::memcpy(&w, s + n - sizeof w, sizeof w);
        found |= suspect_bytes(w);
        std::memcpy(p + n - sizeof w, &w, sizeof w);
    }
    return (found & kHighBits) == 0 ? p + n : nullptr;
#endif
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
    if (key != 0) p = put_key(p, false, name, key);
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
                if (!detail::stops_run<true>(c)) {
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
WEBJSON_RARE void write_item(std::ostream& stream, bool comma, const std::string& name,
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

}  // namespace

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

namespace {

// Stores a string item (separator, key, value) at p, which has room up to end, and returns the
// end of it; returns null when there is not room enough or a byte would need more room than
// the escaped forms' test allows (nothing is committed; bytes may have been stored).
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline char*
put_text(char* p, const char* end, bool comma, const std::string& name, const std::string& value) {
    const std::size_t key = name.empty() ? 0 : name.size() + 3;
    const std::size_t size = value.size();
    if (size > kMaxPiece || static_cast<std::size_t>(end - p) < 3 + key + size) return nullptr;
    p = put_key(p, comma, name, key);
    *p++ = '"';
#if WEBJSON_SCAN_LITTLE_ENDIAN
    // A short value is checked and copied at once (copy_short). The value's storage (its capacity
    // and the terminating zero) holds the 16 bytes read; the bytes past the value are masked off
    // before the check, and those copied past it are not committed.
    if (size <= 16 && value.capacity() >= 15 && static_cast<std::size_t>(end - p) >= 17) {
        if (char* q = copy_short(p, value.data(), size)) {
            p = q;
        } else {
            // Some byte needs an escape.
            if (static_cast<std::size_t>(end - p) < 16 * 6 + 8 + 1) return nullptr;
            p = put_escaped(p, value.data(), size);
        }
    } else
#endif
    {
        p = copy_plain(p, value.data(), size);
        if (p == nullptr) return nullptr;
    }
    *p++ = '"';
    return p;
}

// The put area of a good stream whose output functions would only pass characters to its
// buffer, as [start, end) bounded to what pbump takes; false when it may not be used so.
inline bool put_area(std::ostream& stream, std::streambuf*& buffer, char*& start,
                     const char*& end) {
    if (!stream.good() || !detail::direct_output(stream)) return false;
    buffer = stream.rdbuf();
    start = BufferAccess::Pptr(buffer);
    if (start == nullptr) return false;
    end = BufferAccess::Epptr(buffer);
    if (static_cast<std::size_t>(end - start) > kMaxPiece) end = start + kMaxPiece;
    return true;
}

// A string value without escapes whose item fits the put area, the most common item of all,
// stored in place; false, with nothing committed to the area and first unchanged, otherwise.
inline bool put_plain_string(std::ostream& stream, bool& first, const std::string& name,
                             const std::string& value) {
    std::streambuf* buffer;
    char* start;
    const char* end;
    if (!put_area(stream, buffer, start, end)) return false;
    char* p = put_text(start, end, !first, name, value);
    if (p == nullptr) return false;
    BufferAccess::Pbump(buffer, static_cast<int>(p - start));
    first = false;
    return true;
}

// An item of size bytes of text written as it stands (a number, true, false), with its key,
// stored in place when the put area has room; false, with nothing committed to the area and
// first unchanged, otherwise.
inline bool put_word(std::ostream& stream, bool& first, const std::string& name, const char* text,
                     std::size_t size) {
    std::streambuf* buffer;
    char* start;
    const char* end;
    if (!put_area(stream, buffer, start, end)) return false;
    const std::size_t key = name.empty() ? 0 : name.size() + 3;
    if (static_cast<std::size_t>(end - start) < 1 + key + size) return false;
    char* p = copy_bytes(put_key(start, !first, name, key), text, size);
    BufferAccess::Pbump(buffer, static_cast<int>(p - start));
    first = false;
    return true;
}

// Every item but a plain string or a bracket in the put area. The common case touches only memory:
// the item goes whole into the put area, with no call on the stream and nothing that can throw. The
// stream's own functions, which may throw (an exception mask, a throwing buffer), run guarded.
WEBJSON_COLD bool serialize_item(std::ostream& stream, bool& first, unsigned int decimal,
                                 unsigned int token, std::string& name, void* value) {
    std::ios& ios = stream;
    if (!ios.good()) return false;

    // separator: a comma before every item but the first and the closing brackets
    const bool comma = !first && token != JSON_OBJECT_END && token != JSON_ARRAY_END;
    first = token == JSON_OBJECT_BEGIN || token == JSON_ARRAY_BEGIN;

    // The value's text. Numbers are written as in the C locale whatever the stream's locale and
    // flags, so that the text stays JSON; boolalpha and the precision are still left set.
    char buf[32];
    Item item;
    switch (token) {
        case JSON_INT:
            if (!value) break;
            item.text = detail::format_int(*static_cast<int*>(value), buf + sizeof buf);
            item.size = static_cast<std::size_t>(buf + sizeof buf - item.text);
            break;
        case JSON_BOOL:
            if (!value) break;
            ios.setf(std::ios::boolalpha);
            item.text = *static_cast<bool*>(value) ? "true" : "false";
            item.size = *static_cast<bool*>(value) ? 4 : 5;
            break;
        case JSON_DOUBLE: {
            if (!value) break;
            ios.precision(static_cast<std::streamsize>(decimal));
            const double d = *static_cast<double*>(value);
            if (!std::isfinite(d)) {  // JSON has no NaN or infinity
                item.text = "null";
                item.size = 4;
                break;
            }
            item.size = detail::format_general(d, decimal, buf);
            if (item.size == 0) item.size = detail::format_general_slow(d, decimal, buf);
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

    if (detail::direct_output(stream) && put_item(ios.rdbuf(), comma, name, item)) return true;
    return GuardStep(ios, [&] {
        write_item(stream, comma, name, item);
        return true;
    });
}

}  // namespace

// Plain strings, integers, booleans and brackets, nearly every item of the library's documents,
// are stored here; everything else goes through serialize_item.
bool JsonWriteDocument::Serialize(unsigned int token, std::string& name, void* value) {
    if (token == JSON_STRING) {
        if (value != nullptr &&
            put_plain_string(_stream, _first, name, *static_cast<const std::string*>(value))) {
            return true;
        }
    } else if (token == JSON_OBJECT_BEGIN || token == JSON_ARRAY_BEGIN) {
        return _serialize_open(token, name);
    } else if ((token == JSON_OBJECT_END || token == JSON_ARRAY_END) && name.empty()) {
        return _serialize_close(token);  // (a close under a key is not JSON: see serialize_item)
    } else if (token == JSON_INT) {
        if (value != nullptr) {
            char buf[16];
            const char* text = detail::format_int(*static_cast<int*>(value), buf + sizeof buf);
            if (put_word(_stream, _first, name, text,
                         static_cast<std::size_t>(buf + sizeof buf - text))) {
                return true;
            }
        }
    } else if (token == JSON_BOOL) {
        // As the general path, which also leaves boolalpha set on the stream.
        const bool* b = static_cast<const bool*>(value);
        if (b != nullptr && put_word(_stream, _first, name, *b ? "true" : "false", *b ? 4 : 5)) {
            _stream.setf(std::ios::boolalpha);
            return true;
        }
    }
    return serialize_item(_stream, _first, _decimal, token, name, value);
}

namespace {

// The fields of the leaf nodes that their Compile hands to the writer, reached through pointers
// to the protected members (each node is of the class named, never one of these).
struct TextFields : JsonSchemaString {
    static bool Enabled(const JsonSchema& node) { return node.*(&TextFields::_enable); }
    static const std::string& Name(const JsonSchema& node) { return node.*(&TextFields::_name); }
    static const std::string& Value(const JsonSchema& node) {
        return static_cast<const JsonSchemaString&>(node).*(&TextFields::_value);
    }
};
struct IntFields : JsonSchemaInt {
    static int Value(const JsonSchema& node) {
        return static_cast<const JsonSchemaInt&>(node).*(&IntFields::_value);
    }
};
struct BoolFields : JsonSchemaBool {
    static bool Value(const JsonSchema& node) {
        return static_cast<const JsonSchemaBool&>(node).*(&BoolFields::_value);
    }
};
struct DoubleFields : JsonSchemaDouble {
    static double Value(const JsonSchema& node) {
        return static_cast<const JsonSchemaDouble&>(node).*(&DoubleFields::_value);
    }
    static unsigned int Decimal(const JsonSchema& node) {
        return static_cast<const JsonSchemaDouble&>(node).*(&DoubleFields::_decimal);
    }
};

// What a run of leaves leaves set, as their own Compile would: the writer's precision (a double
// node sets its own), and on the stream boolalpha (after a bool) and the precision (after a
// double).
struct RunState {
    unsigned int decimal;
    bool boolalpha;
    bool precision;
};

// Stores the separator (when comma) and the key (name, when not empty) at p, which has room for
// them and 16 bytes more, and returns their end: a key of up to 15 bytes (never escaped) moved as
// 16 bytes, which its storage holds, as a short value's.
inline char* put_short_key(char* p, bool comma, const std::string& name) {
    // (the name's size and data read before any byte is stored, which could alias them)
    const std::size_t size = name.size();
    const char* const data = name.data();
    *p = ',';
    p += comma ? 1 : 0;
    if (size != 0) {
        *p = '"';
        if (kShortTextsReadable && size <= 7) {  // most keys
            std::memcpy(p + 1, data, 8);
        } else if (kShortTextsReadable && size <= 15) {
            std::memcpy(p + 1, data, 16);
        } else {
            std::memcpy(p + 1, data, size);
        }
        p += size + 1;
        p[0] = '"';
        p[1] = ':';
        p += 2;
    }
    return p;
}

// A double node's text at out, which has room for 32 bytes, with the state it sets; its size, or
// 0 when only detail::format_general_slow can write it.
inline std::size_t put_double_text(char* out, const JsonSchema& node, RunState& state) {
    const unsigned int decimal = DoubleFields::Decimal(node);
    if (decimal < 16) state.decimal = decimal;
    state.precision = true;
    const double d = DoubleFields::Value(node);
    if (!std::isfinite(d)) {  // JSON has no NaN or infinity
        std::memcpy(out, "null", 4);
        return 4;
    }
    return detail::format_general(d, state.decimal, out);
}

// Stores one leaf of kind leaf (not kNone; enabled) at p, with its separator and key, and returns
// its end; null, with nothing committed, when the area up to end is too small or a long value needs
// an escape (put_escaped_leaf writes it then).
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline char*
put_leaf(char* p, const char* end, const JsonSchema& node, detail::Leaf leaf, bool comma,
         bool named, RunState& state) {
    const std::string& name = named ? TextFields::Name(node) : JsonSchema::_nullstr;
    const std::size_t room = static_cast<std::size_t>(end - p);
    if (name.size() > kMaxPiece || room < name.size() + 24 + 16 * 6) return nullptr;
    if (leaf == detail::Leaf::kString) {
        // The most common item: the comma, quotes and key stored whatever they turn out to be,
        // the value checked and copied at once.
        const std::string& value = TextFields::Value(node);
        const std::size_t size = value.size();
        if (size > kMaxPiece || room < name.size() + size + 24 + 16 * 6) return nullptr;
        char* q = put_short_key(p, comma, name);
        *q++ = '"';
        char* r = nullptr;
        if (size <= 16 && kShortTextsReadable) {
            r = copy_short(q, value.data(), size);
            if (r == nullptr) r = put_escaped(q, value.data(), size);
        } else {
            r = copy_plain(q, value.data(), size);
            if (r == nullptr) return nullptr;
        }
        *r = '"';
        return r + 1;
    }
    char* q = put_short_key(p, comma, name);
    char buf[32];
    const char* text = buf;
    std::size_t size;
    if (leaf == detail::Leaf::kInt) {
        text = detail::format_int(IntFields::Value(node), buf + sizeof buf);
        size = static_cast<std::size_t>(buf + sizeof buf - text);
    } else if (leaf == detail::Leaf::kBool) {
        const bool b = BoolFields::Value(node);
        text = b ? "true" : "false";
        size = b ? 4 : 5;
        state.boolalpha = true;
    } else {
        size = put_double_text(buf, node, state);
        if (size == 0)
            size = detail::format_general_slow(DoubleFields::Value(node), state.decimal, buf);
    }
    return copy_bytes(q, text, size);
}

// put_leaf for a string value that put_leaf leaves: one above 16 bytes that needs an escape,
// stored escaped when the area has room for the longest form; null otherwise.
WEBJSON_COLD char* put_escaped_leaf(char* p, const char* end, const JsonSchema& node, bool comma,
                                    bool named) {
    const std::string& name = named ? TextFields::Name(node) : JsonSchema::_nullstr;
    const std::string& value = TextFields::Value(node);
    const std::size_t room = static_cast<std::size_t>(end - p);
    if (name.size() > kMaxPiece || room < name.size() + 24 ||
        (room - name.size() - 24) / 6 < value.size()) {
        return nullptr;
    }
    char* q = put_short_key(p, comma, name);
    *q++ = '"';
    q = put_escaped_long(q, value.data(), value.size());
    *q = '"';
    return q + 1;
}

// put_leaf apart from put_leaves' loop, with put_escaped_leaf after it: the leaves the loop does
// not store itself.
WEBJSON_COLD char* put_other_leaf(char* p, const char* end, const JsonSchema& node,
                                  detail::Leaf leaf, bool comma, bool named, RunState& state) {
    char* q = put_leaf(p, end, node, leaf, comma, named, state);
    if (q == nullptr && leaf == detail::Leaf::kString)
        q = put_escaped_leaf(p, end, node, comma, named);
    return q;
}

// Where a run of leaves is and what it leaves: the next node, whether nothing was written yet at
// its level (no comma before the next item), and the state its leaves set.
struct LeafRun {
    JsonSchema* const* at;
    bool first;
    RunState state;
};

// Stores the leaves from run.at on (see detail::leaf_of), under their names when named, while the
// area has room, and returns the end of what it stored; run.at is left at the first node it did
// not take.
// Kept apart from the callers' loops, so that it keeps its few values in registers; the loop
// stores short strings itself (a row's cells, most keys' values), put_other_leaf the rest.
template <bool named>
#if defined(__GNUC__)
[[gnu::noinline]]
#endif
char* put_leaves(char* p, const char* end, JsonSchema* const* stop, LeafRun& run) {
    RunState& state = run.state;
    JsonSchema* const* node_at = run.at;
    std::size_t comma = run.first ? 0 : 1;
    for (; node_at != stop; ++node_at) {
        const JsonSchema* node = *node_at;
        const detail::Leaf leaf = detail::leaf_of(node);
        if (leaf == detail::Leaf::kNone) break;
        if (!TextFields::Enabled(*node)) continue;      // a disabled node writes nothing
        if (leaf == detail::Leaf::kString && !named) {  // (one of the two loops each)
            // A cell of a row, the most common item of all: the comma and quote stored whatever
            // they turn out to be, the value checked and copied at once.
            const std::string& value = TextFields::Value(*node);
            if (value.size() <= 16 && kShortTextsReadable && end - p >= 16 * 6 + 8 + 3) {
                *p = ',';
                p[comma] = '"';
                char* q = copy_short(p + comma + 1, value.data(), value.size());
                if (q == nullptr) q = put_escaped(p + comma + 1, value.data(), value.size());
                *q = '"';
                p = q + 1;
                comma = 1;
                continue;
            }
        } else if (leaf == detail::Leaf::kString && kShortTextsReadable) {
            // A member's string: the same, after the comma and key (a name of up to 15 bytes moved
            // as 16). Room: the comma, the key with its quotes and colon, the value's quotes and
            // its longest form.
            const std::string& name = TextFields::Name(*node);
            const std::string& value = TextFields::Value(*node);
            const std::size_t size = value.size();
            const std::size_t room = static_cast<std::size_t>(end - p);
            if (name.size() <= 15 && size <= 16 && room >= 1 + 19 + 2 + 16 * 6 + 8) {
                char* q = put_short_key(p, comma != 0, name);
                *q++ = '"';
                char* r = copy_short(q, value.data(), size);
                if (r == nullptr) r = put_escaped(q, value.data(), size);
                *r = '"';
                p = r + 1;
                comma = 1;
                continue;
            }
            if (name.size() <= 15 && size <= kMaxPiece && room >= 1 + 19 + 2 + size) {
                char* q = put_short_key(p, comma != 0, name);
                *q++ = '"';
                if (char* r = copy_plain(q, value.data(), size)) {
                    *r = '"';
                    p = r + 1;
                    comma = 1;
                    continue;
                }
            }
        } else if (leaf == detail::Leaf::kInt && named) {
            const std::string& name = TextFields::Name(*node);
            if (name.size() <= 15 && end - p >= 1 + 19 + 16) {
                char buf[16];
                const char* text = detail::format_int(IntFields::Value(*node), buf + sizeof buf);
                p = copy_bytes(put_short_key(p, comma != 0, name), text,
                               static_cast<std::size_t>(buf + sizeof buf - text));
                comma = 1;
                continue;
            }
        } else if (leaf == detail::Leaf::kBool && named) {
            const std::string& name = TextFields::Name(*node);
            if (name.size() <= 15 && end - p >= 1 + 19 + 8) {
                const bool b = BoolFields::Value(*node);
                char* q = put_short_key(p, comma != 0, name);
                std::memcpy(q, b ? "true" : "false", 5);
                p = q + (b ? 4 : 5);
                state.boolalpha = true;
                comma = 1;
                continue;
            }
        } else if (leaf == detail::Leaf::kDouble && named) {
            // Formatted in place; the rare value format_general leaves goes to put_other_leaf.
            const std::string& name = TextFields::Name(*node);
            if (name.size() <= 15 && end - p >= 1 + 19 + 32) {
                char* q = put_short_key(p, comma != 0, name);
                const std::size_t size = put_double_text(q, *node, state);
                if (size != 0) {
                    p = q + size;
                    comma = 1;
                    continue;
                }
            }
        }
        char* q = put_other_leaf(p, end, *node, leaf, comma != 0, named, state);
        if (q == nullptr) break;
        p = q;
        comma = 1;
    }
    run.first = comma == 0;
    run.at = node_at;
    return p;
}

}  // namespace

// The stream is looked at once for the whole run: nothing but this loop uses it meanwhile, since
// only nodes whose Compile is the library's own are taken.
std::size_t JsonWriteDocument::_serialize_leaves(unsigned int brackets, std::string& name,
                                                 JsonSchema* const* nodes, std::size_t count,
                                                 bool named) {
    // close's bit 8 is kWholeList's: the whole list or nothing.
    const unsigned int open = brackets & 0xFF, close = brackets >> 8;
    std::streambuf* buffer;
    char* start;
    const char* end;
    if (!put_area(_stream, buffer, start, end)) return kNothing;
    char* p = start;
    bool first = _first;
    if (open != 0) {
        const std::size_t key = name.empty() ? 0 : name.size() + 3;
        if (key > kMaxPiece || static_cast<std::size_t>(end - p) < key + 4) return kNothing;
        p = put_key(p, !first, name, key);
        *p++ = "{}[]"[open - JSON_OBJECT_BEGIN];
        first = true;
    }
    LeafRun run{nodes, first, RunState{_decimal, false, false}};
    p = named ? put_leaves<true>(p, end, nodes + count, run)
              : put_leaves<false>(p, end, nodes + count, run);
    std::size_t taken = static_cast<std::size_t>(run.at - nodes) << 1;
    if (close != 0 && run.at == nodes + count && p != end) {
        *p++ = "{}[]"[(close & 0xFF) - JSON_OBJECT_BEGIN];
        run.first = false;
        taken |= 1;
    } else if (close > 0xFF) {
        return kNothing;  // nothing committed
    }
    BufferAccess::Pbump(buffer, static_cast<int>(p - start));
    _first = run.first;
    _decimal = run.state.decimal;
    if (run.state.boolalpha) _stream.setf(std::ios::boolalpha);
    if (run.state.precision) _stream.precision(static_cast<std::streamsize>(_decimal));
    return taken;
}

bool JsonWriteDocument::_serialize_open(unsigned int token, std::string& name) {
    std::streambuf* buffer;
    char* p;
    const char* end;
    const std::size_t key = name.empty() ? 0 : name.size() + 3;
    if (key > kMaxPiece || !put_area(_stream, buffer, p, end) ||
        static_cast<std::size_t>(end - p) < key + 2 + 16) {
        return _serialize_bracket_apart(token, &name);
    }
    char* q = put_short_key(p, !_first, name);
    *q++ = token == JSON_OBJECT_BEGIN ? '{' : '[';
    BufferAccess::Pbump(buffer, static_cast<int>(q - p));
    _first = true;
    return true;
}

bool JsonWriteDocument::_serialize_close(unsigned int token) {
    std::streambuf* buffer;
    char* p;
    const char* end;
    if (!put_area(_stream, buffer, p, end) || p == end) {
        return _serialize_bracket_apart(token, nullptr);
    }
    *p = token == JSON_OBJECT_END ? '}' : ']';
    BufferAccess::Pbump(buffer, 1);
    _first = false;
    return true;
}

WEBJSON_COLD bool JsonWriteDocument::_serialize_bracket_apart(unsigned int token,
                                                              std::string* name) {
    return serialize_item(_stream, _first, _decimal, token,
                          name != nullptr ? *name : JsonSchema::_nullstr, nullptr);
}

// An array's number, the common case, with no more registers than it needs; the rest apart.
bool JsonWriteDocument::_serialize_leaf(const JsonSchema& node, unsigned int kind) {
    std::streambuf* buffer;
    char* start;
    const char* end;
    if (kind == static_cast<unsigned int>(detail::Leaf::kInt) &&
        put_area(_stream, buffer, start, end) && end - start >= 16) {
        if (TextFields::Enabled(node)) {  // no key, no state
            char buf[16];
            const char* text = detail::format_int(IntFields::Value(node), buf + sizeof buf);
            *start = ',';
            char* p = copy_bytes(start + (_first ? 0 : 1), text,
                                 static_cast<std::size_t>(buf + sizeof buf - text));
            BufferAccess::Pbump(buffer, static_cast<int>(p - start));
            _first = false;
        }
        return true;
    }
    return _serialize_leaf_apart(node, kind);
}

WEBJSON_COLD bool JsonWriteDocument::_serialize_leaf_apart(const JsonSchema& node,
                                                           unsigned int kind) {
    const detail::Leaf leaf = static_cast<detail::Leaf>(kind);
    std::streambuf* buffer;
    char* start;
    const char* end;
    if (leaf == detail::Leaf::kNone || !put_area(_stream, buffer, start, end)) return false;
    if (!TextFields::Enabled(node)) return true;
    RunState state{_decimal, false, false};
    char* p = put_other_leaf(start, end, node, leaf, !_first, false, state);
    if (p == nullptr) return false;
    BufferAccess::Pbump(buffer, static_cast<int>(p - start));
    _first = false;
    _decimal = state.decimal;
    if (state.boolalpha) _stream.setf(std::ios::boolalpha);
    if (state.precision) _stream.precision(static_cast<std::streamsize>(_decimal));
    return true;
}

namespace {

// Stores a string item (separator, value) of size bytes at p, which has room up to end, and
// returns its end; null when there is not room enough (nothing is committed).
#if !defined(__SSE2__)
// The bytes that end a C string's plain run: its end and those put_cstring escapes.
struct CStops {
    bool of[256];
};
constexpr CStops MakeCStops() {
    CStops stops{};
    for (unsigned int c = 0; c < 256; ++c)
        stops.of[c] = c < 0x20 || c == '"' || c == '\\';
    return stops;
}
constexpr CStops kCStops = MakeCStops();

// The rest of a C string from text on, escaped, up to its end (see put_ctext): where a byte
// needs an escape or the area is nearly full. Returns the end, or null when the area up to end
// is too small.
WEBJSON_COLD char* put_ctext_rest(char* p, const char* end, const char* text) {
    for (;; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        if (c == 0) return p;
        if (end - p < 8) return nullptr;  // a byte's escape and the closing quote
        if (kCStops.of[c]) {
            p += escape_byte(c, p);
        } else {
            *p++ = static_cast<char>(c);
        }
    }
}

// put_cstring for a C string whose size is not known: its bytes are checked, copied and their
// end found in one pass, as a word-wide scan cannot without reading past the end. Null when the
// area up to end is too small (nothing is committed).
inline char* put_ctext(char* p, const char* end, bool comma, const char* text) {
    if (end - p < 16) return nullptr;
    const bool* const stops = kCStops.of;
    *p = ',';
    p += comma ? 1 : 0;
    *p++ = '"';
    // Four bytes a turn while the area has room for them, a byte's escape and the closing quote.
    const char* const limit = end - 12;
    while (p < limit) {
        unsigned char c = static_cast<unsigned char>(text[0]);
        if (stops[c]) break;
        p[0] = static_cast<char>(c);
        c = static_cast<unsigned char>(text[1]);
        if (stops[c]) {
            text += 1, p += 1;
            break;
        }
        p[1] = static_cast<char>(c);
        c = static_cast<unsigned char>(text[2]);
        if (stops[c]) {
            text += 2, p += 2;
            break;
        }
        p[2] = static_cast<char>(c);
        c = static_cast<unsigned char>(text[3]);
        if (stops[c]) {
            text += 3, p += 3;
            break;
        }
        p[3] = static_cast<char>(c);
        text += 4, p += 4;
    }
    if (*text != 0) {  // a byte to escape, or the area's end near
        p = put_ctext_rest(p, end, text);
        if (p == nullptr) return nullptr;
    }
    *p++ = '"';
    return p;
}
#endif

inline char* put_cstring(char* p, const char* end, bool comma, const char* text, std::size_t size) {
    if (size > kMaxPiece || static_cast<std::size_t>(end - p) < 3 + size) return nullptr;
    *p = ',';
    p += comma ? 1 : 0;
    *p++ = '"';
    if (char* q = copy_plain(p, text, size)) {
        p = q;
    } else {
        if (static_cast<std::size_t>(end - p) < 6 * size + 1) return nullptr;
        for (std::size_t i = 0; i < size; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (!detail::stops_run<true>(c)) {
                *p++ = static_cast<char>(c);
            } else {
                p += escape_byte(c, p);
            }
        }
    }
    *p++ = '"';
    return p;
}

}  // namespace

// The whole array goes into the put area when it has room; a text that meets its end, and all
// after it, go through Serialize.
bool JsonWriteDocument::_serialize_text_array(const char* const* texts, std::size_t count) {
    std::streambuf* buffer;
    char* start;
    const char* end;
    std::size_t i = 0;
    if (put_area(_stream, buffer, start, end) && end - start >= 2) {
        char* p = start;
        *p = ',';
        p += _first ? 0 : 1;
        *p++ = '[';
        bool first = true;
        for (; i < count; ++i) {
            const char* text = texts[i] != nullptr ? texts[i] : "";
#if defined(__SSE2__)
            char* q = put_cstring(p, end, !first, text, std::strlen(text));
#else
            char* q = put_ctext(p, end, !first, text);
#endif
            if (q == nullptr) break;
            p = q;
            first = false;
        }
        if (i == count && p != end) {
            *p++ = ']';
            BufferAccess::Pbump(buffer, static_cast<int>(p - start));
            _first = false;
            return true;
        }
        BufferAccess::Pbump(buffer, static_cast<int>(p - start));
        _first = first;
    } else if (!Serialize(JSON_ARRAY_BEGIN, JsonSchema::_nullstr, nullptr)) {
        return false;
    }
    for (; i < count; ++i) {
        std::string text(texts[i] != nullptr ? texts[i] : "");
        if (!Serialize(JSON_STRING, JsonSchema::_nullstr, &text)) return false;
    }
    return Serialize(JSON_ARRAY_END, JsonSchema::_nullstr, nullptr);
}

namespace {

WEBJSON_COLD char* put_escaped_long(char* p, const char* s, std::size_t size) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(s);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint64_t form = kForms.of[text[i]];
        std::memcpy(p, &form, 8);
        p += static_cast<std::size_t>(form >> 56);
    }
    return p;
}

}  // namespace

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
