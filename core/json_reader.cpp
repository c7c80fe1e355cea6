// Token reader: one function per grammar rule, over a view of the stream's get area.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <istream>
#include <locale>
#include <streambuf>
#include <string>

#include "core/detail/byte_scan.h"
#include "core/detail/cold.h"
#include "core/detail/json_guard.h"
#include "core/detail/leaf.h"
#include "core/detail/locale_probe.h"
#include "core/detail/number_text.h"
#include "core/detail/stream_area.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

using detail::BufferAccess;
using detail::kMaxPiece;
using detail::short_run;

// One of "+", "-", ".", "0" to "9": the characters from 0x2B to 0x39 but "," and "/".
bool is_number_char(int c) {
    const unsigned int d = static_cast<unsigned int>(c) - 0x2Bu;
    return d <= 14 && ((0x7FEDu >> d) & 1u) != 0;
}

// The end of the C locale's white space at p, at most end.
const char* skip_space(const char* p, const char* end) {
    while (p != end && static_cast<unsigned char>(*p) <= ' ' &&
           (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    return p;
}

// The end of the number characters at p, at most end.
const char* number_end(const char* p, const char* end) {
    while (p != end && is_number_char(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

// The text's double through strtod, for texts of more digits than the short conversion takes.
WEBJSON_COLD double long_text_to_double(const char* p, std::size_t n) {
    char text[64];
    std::memcpy(text, p, n);
    text[n] = '\0';
    return detail::classic_strtod(text);
}

// The double of the number text [p, q); false for a text of 64 characters or more, which is
// refused. One copy, shared by the in-place steps.
WEBJSON_COLD bool read_double(const char* p, const char* q, double& value) {
    const std::size_t n = static_cast<std::size_t>(q - p);
    if (n >= 64) return false;
    if (!detail::short_text_to_double(p, n, value)) value = long_text_to_double(p, n);
    return true;
}

// Value of one character of a \u escape; right for the upper-case hexadecimal digits only.
unsigned int hex_digit(int c) {
    unsigned int x = static_cast<unsigned char>(c);
    return (x <= 0x40 ? x - 0x30 : x - 0x37) & 0xFFu;
}

const int kEof = std::char_traits<char>::eof();

// Longest string (as stored) whose escapes are decoded in place; longer ones are rare enough
// for the grammar's functions.
constexpr std::size_t kShortDecoded = 256;

// A string with escapes that the area holds whole: text starts after the opening quote and its
// first n bytes are plain, followed by a backslash. Stores the decoded string (as read_string
// would) into buf and its size into size, and returns the end of the closing quote; returns
// null, with nothing else to undo, when the string needs the grammar's functions: a longer
// string, an escape it refuses, or the area ending first.
const char* decode_in_place(const char* text, std::size_t n, const char* end, char* buf,
                            std::size_t& size) {
    if (n > kShortDecoded) return nullptr;
    std::memcpy(buf, text, n);
    std::size_t m = n;
    const char* p = text + n;
    while (*p == '\\') {  // p < end: the plain run stopped at a byte of the area
        if (end - p < 2 || m == kShortDecoded) return nullptr;
        char c = p[1];
        p += 2;
        switch (c) {
            case '"':
            case '/':
            case '\\':
                break;
            case 'b':
                c = '\b';
                break;
            case 'f':
                c = '\f';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case 'u':  // four characters; only the last two count, as one byte
                if (end - p < 4) return nullptr;
                c = static_cast<char>((16u * hex_digit(p[2]) + hex_digit(p[3])) & 0xFFu);
                p += 4;
                break;
            default:
                return nullptr;
        }
        buf[m++] = c;
        const std::size_t run = detail::plain_run<false>(p, static_cast<std::size_t>(end - p));
        if (run == static_cast<std::size_t>(end - p) || run > kShortDecoded - m) return nullptr;
        std::memcpy(buf + m, p, run);
        m += run;
        p += run;
    }
    size = m;
    return p + 1;  // *p is the closing quote
}

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
    WEBJSON_RARE void Expected(const char* what, int found, bool taken) {
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
    WEBJSON_RARE void Fail(std::uint32_t back, const std::string& message) {
        Release();
        Record(back, message);
        _stream.setstate(std::ios::failbit);
    }
    // Records why the stream is no longer good when no failure was recorded: the end of the text
    // (atEnd) or a failure of the stream itself.
    WEBJSON_RARE void Stopped(const char* atEnd) {
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
            _p = skip_space(_p, _end);
            if (_p != _end) return;
        }
        SkipSpaceSlow();
    }
    // Appends the characters of the area before the first double quote or backslash to out.
    void TakePlainRun(std::string& out) {
        if (_p == _end) return;
        const std::size_t n = detail::plain_run<false>(_p, static_cast<std::size_t>(_end - _p));
        out.append(_p, n);
        _p += n;
    }

    // A number wholly inside the area, followed there by a character that is not part of it:
    // takes it as [begin, end) (the character after it stays) and returns true. Otherwise takes
    // nothing and returns false.
    bool TakeNumber(const char*& begin, const char*& end) {
        const char* p = number_end(_p, _end);
        if (p == _p || p == _end) return false;
        begin = _p;
        end = p;
        _p = p;
        return true;
    }

  private:
    // The stream's own functions, with the area let go of around them (out of line: they are
    // the rare way).
    WEBJSON_RARE int CallGet() {
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
    WEBJSON_RARE int CallPeek(const char* atEnd) {
        Release();
        const int c = _stream.peek();
        Reload();
        if (c == kEof && atEnd != nullptr) Stopped(atEnd);
        return c;
    }
    WEBJSON_RARE void CallUnget(int c) {
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
    WEBJSON_RARE void SkipSpaceSlow() {
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

// What the reader finds out about the stream's locale when it is made.
unsigned char reader_flags(const std::istream& stream) {
    return detail::classic_white_space(stream) ? kClassicSpaces : 0;
}

// string: '"' (byte | escape)* '"'
WEBJSON_RARE void read_string(In& in, std::string& out) {
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
WEBJSON_RARE void read_bool(In& in, bool& value) {
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

WEBJSON_RARE void read_char(In& in, char c) {
    int x = in.Get();
    if (x == std::char_traits<char>::to_int_type(c)) return;
    if (x != std::char_traits<char>::eof()) in.Unget(x);
    const char what[] = {'\'', c, '\'', '\0'};
    in.Expected(what, x, false);
}

// number: [0-9+-.]+ ; "e" and "E" do not belong to a number. Appends its characters to text;
// returns false when no number starts here (the stream is then failed).
WEBJSON_RARE bool read_number(In& in, std::string& text) {
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

WEBJSON_RARE void read_int32(In& in, int& value) {
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

WEBJSON_RARE void read_double(In& in, double& value) {
    const char* begin;
    const char* end;
    std::string text;
    if (in.TakeNumber(begin, end)) {
        text.assign(begin, end);
    } else if (!read_number(in, text)) {
        return;
    }
    value = detail::text_to_double(text.c_str(), text.size());
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
WEBJSON_RARE void note_stopped(std::istream& stream, JsonReadDocument::Progress& progress) {
    if (progress.error.failed) return;
    In in(stream, false, progress);
    in.Stopped(kEnded);
}

// A key that differs from the expected name; at is the offset of its opening quote.
WEBJSON_RARE void key_differs(In& in, std::uint32_t at, const std::string& name,
                              const std::string& key) {
    in.Fail(in.Offset() - at, "expected member \"" + name + "\" but found \"" + key + "\"");
}

// key: string ws ":" ; with expected, a key other than *expected fails at its opening quote.
inline void read_key(In& in, std::string& key, const std::string* expected) {
    const std::uint32_t at = expected != nullptr ? in.Offset() : 0;
    read_string(in, key);
    if (expected != nullptr && key != *expected) key_differs(in, at, *expected, key);
    in.SkipSpace();
    const int c = in.Get();
    if (c != ':') in.Expected("':'", c, true);
}

}  // namespace

JsonReadDocument::JsonReadDocument(std::istream& stream)
    : _stream(stream), _first(true), _flags(reader_flags(stream)) {
    In in(stream, false, _progress);
    _progress.mark = in.Held();
}

JsonReadDocument::~JsonReadDocument() {}

// Any item, read by the grammar's functions; no exception leaves it.
WEBJSON_COLD bool JsonReadDocument::_deserialize(unsigned int token, std::string& name,
                                                 void* value) {
    return GuardStep(_stream, [&] {
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
                in.Expected(token == JSON_KEY || !name.empty() ? "',' or '}'" : "',' or ']'", c,
                            true);
            }
            in.SkipSpace();
        }

        // the value's own key: key ws
        if (!name.empty()) {
            std::string key;
            read_key(in, key, &name);
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
                // a member's name; the value that follows is read without a comma
                std::string temp;
                read_key(in, value ? *static_cast<std::string*>(value) : temp, nullptr);
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
    });
}

namespace {

// The get area of a good stream with no tied stream, whose white space is the C locale's: there
// items may be taken in place, doing what the stream's functions would do, without a call.
// [begin, end) is bounded to what gbump takes. False when the area may not be used so.
bool area_in_place(std::istream& stream, bool spaces, std::streambuf*& buffer, const char*& begin,
                   const char*& end) {
    buffer = stream.rdbuf();
    if (!spaces || !stream.good() || stream.tie() != nullptr || buffer == nullptr) return false;
    begin = BufferAccess::Gptr(buffer);
    end = BufferAccess::Egptr(buffer);
    if (static_cast<std::size_t>(end - begin) > kMaxPiece) end = begin + kMaxPiece;
    return true;
}

}  // namespace

// An item that the area holds whole, in its plainest form (a key and a string without escapes, a
// number followed by another character), is taken in place: the grammar's functions would take
// the same characters and store the same value. Everything else, and every failure, is read by
// them from where the item starts.
bool JsonReadDocument::Deserialize(unsigned int token, std::string& name, void* value) {
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    if (area_in_place(_stream, (_flags & kClassicSpaces) != 0, buffer, begin, end)) {
        const bool closing = token == JSON_OBJECT_END || token == JSON_ARRAY_END;
        const char* p = skip_space(begin, end);
        bool ready = true;
        if (!_first && !closing) {  // a comma first
            ready = p != end && *p == ',';
            if (ready) p = skip_space(p + 1, end);
        }
        if (ready && !name.empty()) {  // the key: name's bytes between quotes, with no escape
            const std::size_t k = name.size();
            ready = static_cast<std::size_t>(end - p) > k + 1 && *p == '"' && p[k + 1] == '"' &&
                    detail::same_bytes(p + 1, name.data(), k) &&
                    detail::plain_run<false>(name.data(), k) == k;
            if (ready) p = skip_space(p + k + 2, end);
            ready = ready && p != end && *p == ':';
            if (ready) p = skip_space(p + 1, end);
        }
        if (ready && p != end && (value != nullptr || (token > JSON_FILE && token != JSON_KEY))) {
            const char* taken = nullptr;  // the end of the item, once stored
            switch (token) {
                case JSON_STRING:
                case JSON_KEY: {  // a key is followed by ':' and read without a comma after it
                    if (*p != '"') break;
                    const char* text = p + 1;
                    std::size_t n = short_run(text, end);
                    if (text + n == end) break;
                    const char* after = text + n + 1;
                    char decoded[kShortDecoded];
                    if (text[n] != '"') {  // a backslash
                        after = decode_in_place(text, n, end, decoded, n);
                        if (after == nullptr) break;
                        text = decoded;
                    }
                    if (token == JSON_KEY) {
                        after = skip_space(after, end);
                        if (after == end || *after != ':') break;
                        ++after;
                    }
                    std::string& out = *static_cast<std::string*>(value);
                    return GuardStep(_stream, [&] {
                        out.clear();
                        out.append(text, n);
                        BufferAccess::Gbump(buffer, static_cast<int>(after - begin));
                        _first = token == JSON_KEY;
                        return true;
                    });
                }
                case JSON_INT:
                case JSON_DOUBLE: {
                    const char* q = number_end(p, end);
                    if (q == p || q == end) break;
                    if (token == JSON_INT) {
                        *static_cast<int*>(value) = detail::decimal_to_int32(p, q);
                    } else if (!read_double(p, q, *static_cast<double*>(value))) {
                        break;
                    }
                    taken = q;
                    break;
                }
                case JSON_BOOL: {
                    const bool word = *p == 't';
                    const std::size_t n = word ? 4 : 5;
                    if (static_cast<std::size_t>(end - p) < n ||
                        !detail::same_bytes(p, word ? "true" : "false", n)) {
                        break;
                    }
                    *static_cast<bool*>(value) = word;
                    taken = p + n;
                    break;
                }
                case JSON_OBJECT_BEGIN:
                case JSON_OBJECT_END:
                case JSON_ARRAY_BEGIN:
                case JSON_ARRAY_END:
                    if (*p == "{}[]"[token - JSON_OBJECT_BEGIN]) taken = p + 1;
                    break;
                default:
                    break;
            }
            if (taken != nullptr) {
                BufferAccess::Gbump(buffer, static_cast<int>(taken - begin));
                _first = token == JSON_OBJECT_BEGIN || token == JSON_ARRAY_BEGIN;
                return true;
            }
        }
    }
    return _deserialize(token, name, value);
}

bool JsonReadDocument::_deserialize_bracket(unsigned int token) {
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    if (area_in_place(_stream, (_flags & kClassicSpaces) != 0, buffer, begin, end)) {
        const bool opening = token == JSON_OBJECT_BEGIN || token == JSON_ARRAY_BEGIN;
        const char* p = skip_space(begin, end);
        bool ready = true;
        if (!_first && opening) {  // a comma first
            ready = p != end && *p == ',';
            if (ready) p = skip_space(p + 1, end);
        }
        if (ready && p != end && *p == "{}[]"[token - JSON_OBJECT_BEGIN]) {
            BufferAccess::Gbump(buffer, static_cast<int>(p + 1 - begin));
            _first = opening;
            return true;
        }
    }
    return _deserialize(token, JsonSchema::_nullstr, nullptr);
}

// White space and the next character, when the area holds them, are looked at in place.
bool JsonReadDocument::Peek(unsigned int token) {
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    if (area_in_place(_stream, (_flags & kClassicSpaces) != 0, buffer, begin, end)) {
        const char* p = skip_space(begin, end);
        if (p != end) {
            if (p != begin) BufferAccess::Gbump(buffer, static_cast<int>(p - begin));
            if (token == JSON_OBJECT_END) return *p == '}';
            if (token == JSON_ARRAY_END) return *p == ']';
            return false;
        }
    }
    return _peek(token);
}

namespace {

// The fields a leaf node's Format reads into, reached through pointers to the protected members
// (each node is of the class named, never one of these).
struct IntValue : JsonSchemaInt {
    static int& Of(JsonSchema& node) {
        return static_cast<JsonSchemaInt&>(node).*(&IntValue::_value);
    }
};
struct BoolValue : JsonSchemaBool {
    static bool& Of(JsonSchema& node) {
        return static_cast<JsonSchemaBool&>(node).*(&BoolValue::_value);
    }
};
struct DoubleValue : JsonSchemaDouble {
    static double& Of(JsonSchema& node) {
        return static_cast<JsonSchemaDouble&>(node).*(&DoubleValue::_value);
    }
};
struct TextValue : JsonSchemaString {
    static std::string& Of(JsonSchema& node) {
        return static_cast<JsonSchemaString&>(node).*(&TextValue::_value);
    }
    static bool Enabled(const JsonSchema& node) { return node.*(&TextValue::_enable); }
};

}  // namespace

namespace {

// A string with escapes, its first n bytes at text plain: decoded into out; the end of the string
// or null. Out of take_leaf on the device, so that a plain string needs no room for the decoding.
WEBJSON_ONE_COPY const char* take_escaped(std::string& out, const char* text, std::size_t n,
                                          const char* end) {
    char decoded[kShortDecoded];
    const char* after = decode_in_place(text, n, end, decoded, n);
    if (after == nullptr) return nullptr;
    out.clear();
    out.append(decoded, n);
    return after;
}

// take_double for a text the short conversion does not end: measured first, then converted.
WEBJSON_COLD const char* take_measured_double(double& value, const char* p, const char* end) {
    const char* q = number_end(p, end);
    if (q == p || q == end || !read_double(p, q, value)) return nullptr;
    return q;
}

// A double at p stored into value; the end of its text or null. Out of take_leaf on the device,
// so that the other kinds need no floating-point registers saved.
WEBJSON_ONE_COPY const char* take_double(double& value, const char* p, const char* end) {
    // The usual double in one pass: converted up to the first byte that is not its own, which must
    // be no number character; any other text is measured first, as the grammar's functions do.
    const std::size_t left = static_cast<std::size_t>(end - p);
    double converted;
    std::size_t used = 0;
    if (detail::short_text_to_double(p, left, converted, &used) && used != 0 && used < left &&
        !is_number_char(static_cast<unsigned char>(p[used]))) {
        value = converted;
        return p + used;
    }
    return take_measured_double(value, p, end);
}

// A leaf's value at p, when [p, end) holds it in its plainest form (as Deserialize takes in place):
// stored into node, as its Format would store it, and the end of the value returned; null, with
// nothing stored, otherwise. Storing a string may throw (memory running out).
WEBJSON_ONE_COPY const char* take_leaf(JsonSchema& node, detail::Leaf kind, const char* p,
                                       const char* end) {
    switch (kind) {
        case detail::Leaf::kString: {
            if (*p != '"') return nullptr;
            const char* text = p + 1;
            const std::size_t n = short_run(text, end);
            if (text + n == end) return nullptr;
            if (text[n] != '"') return take_escaped(TextValue::Of(node), text, n, end);
            std::string& out = TextValue::Of(node);
            out.clear();
            out.append(text, n);
            return text + n + 1;
        }
        case detail::Leaf::kInt: {
            // The common integer, an optional minus and up to nine digits followed by a byte that
            // is no number character, in one pass; any other number through both steps.
            const char* q = p + (*p == '-' ? 1 : 0);
            std::uint32_t magnitude = 0;
            const char* digits = q;
            if (end - q > 9) {  // nine digits at most, each with one test (the area holds them)
#if defined(__GNUC__)
#pragma GCC unroll 9
#endif
                for (int k = 0; k < 9; ++k, ++q) {
                    const unsigned int digit = static_cast<unsigned char>(*q) - 48u;
                    if (digit > 9) break;
                    magnitude = magnitude * 10 + digit;
                }
            } else {
                for (; q != end && q != digits + 9; ++q) {
                    const unsigned int digit = static_cast<unsigned char>(*q) - 48u;
                    if (digit > 9) break;
                    magnitude = magnitude * 10 + digit;
                }
            }
            if (q != digits && q != end && !is_number_char(static_cast<unsigned char>(*q))) {
                IntValue::Of(node) =
                    *p == '-' ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
                return q;
            }
            q = number_end(p, end);
            if (q == p || q == end) return nullptr;
            IntValue::Of(node) = detail::decimal_to_int32(p, q);
            return q;
        }
        case detail::Leaf::kDouble:
            return take_double(DoubleValue::Of(node), p, end);
        case detail::Leaf::kBool: {
            const bool word = *p == 't';
            const std::size_t n = word ? 4 : 5;
            if (static_cast<std::size_t>(end - p) < n ||
                !detail::same_bytes(p, word ? "true" : "false", n)) {
                return nullptr;
            }
            BoolValue::Of(node) = word;
            return p + n;
        }
        default:
            return nullptr;
    }
}

// take_leaf with no exception leaving it: false, with the stream failed (badbit, whatever its
// exception mask), when one came (memory running out). On the device, copied into the loop of
// members, which then makes one call a value.
WEBJSON_COPIED_ON_DEVICE bool take_contained(std::istream& stream, JsonSchema& node,
                                             detail::Leaf kind, const char* p, const char* end,
                                             const char*& after) {
    if (Contain([&] { after = take_leaf(node, kind, p, end); })) return true;
    Contain([&] { stream.setstate(std::ios::badbit); });
    return false;
}

// The same for the other callers, as the compiler sees fit.
bool take_guarded(std::istream& stream, JsonSchema& node, detail::Leaf kind, const char* p,
                  const char* end, const char*& after) {
    return take_contained(stream, node, kind, p, end, after);
}

}  // namespace

// A leaf's value in place, stored as its Format would store it; the same conditions as
// Deserialize's own in-place reading, and no separator (one is taken before, or none is due).
bool JsonReadDocument::_read_leaf(JsonSchema& node, unsigned int kind) {
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    if (!_first || !TextValue::Enabled(node) ||
        !area_in_place(_stream, (_flags & kClassicSpaces) != 0, buffer, begin, end)) {
        return false;
    }
    const char* p = skip_space(begin, end);
    const char* after = nullptr;
    if (p == end || !take_guarded(_stream, node, static_cast<detail::Leaf>(kind), p, end, after) ||
        after == nullptr) {
        return false;
    }
    BufferAccess::Gbump(buffer, static_cast<int>(after - begin));
    _first = false;
    return true;
}

namespace {

// The start of a container's next item in place: white space and the separator due (none when
// first) skipped. Null when the area ends first or another byte comes; null, with p moved to it
// and ended set, when the bracket close comes next.
inline const char* next_in_place(const char*& p, const char* end, char close, bool first,
                                 bool& ended) {
    const char* q = skip_space(p, end);
    if (q == end) return nullptr;
    if (*q == close) {
        p = q;
        ended = true;
        return nullptr;
    }
    if (!first) {
        if (*q != ',') return nullptr;
        q = skip_space(q + 1, end);
        if (q == end) return nullptr;
    }
    return q;
}

}  // namespace

// Elements in place, the area held from one to the next.
std::size_t JsonReadDocument::_read_leaf_elements(unsigned int kind, JsonSchema* (*make)(void*),
                                                  void* context, bool& ended, JsonSchema*& pending,
                                                  unsigned int& brackets) {
    ended = false;
    pending = nullptr;
    const unsigned int wanted = brackets;
    brackets = 0;
    std::streambuf* buffer = nullptr;
    const char* begin = nullptr;
    const char* end = nullptr;
    const char* q = nullptr;
    if (area_in_place(_stream, (_flags & kClassicSpaces) != 0, buffer, begin, end)) {
        q = begin;
    } else if (!(wanted & kOpenFirst)) {
        return 0;
    }
    const char* p = begin;  // the end of what is taken
    bool first = _first;
    if (wanted & kOpenFirst) {  // the array's "[" first, after the separator due
        if (q != nullptr) {
            q = skip_space(q, end);
            if (!first && q != end) q = *q == ',' ? skip_space(q + 1, end) : end;
            if (q == end || *q != '[') q = nullptr;
        }
        if (q == nullptr) {  // the general way, the elements after it likewise
            if (_deserialize_bracket(JSON_ARRAY_BEGIN)) brackets = kOpenFirst;
            return 0;
        }
        p = q + 1;
        first = true;
        brackets = kOpenFirst;
    }
    const detail::Leaf leaf = static_cast<detail::Leaf>(kind);
    std::size_t count = 0;
    for (;;) {
        q = next_in_place(p, end, ']', first, ended);
        if (q == nullptr) {
            if (ended && (wanted & kCloseAfter)) {  // p is at the "]"
                ended = false;
                ++p;
                first = false;
                brackets |= kCloseAfter;
            }
            break;
        }
        JsonSchema* element = make(context);
        const char* after = nullptr;
        if (!take_guarded(_stream, *element, leaf, q, end, after)) break;
        if (after == nullptr) {  // made, to be read the general way from its separator on
            pending = element;
            break;
        }
        p = after;
        first = false;
        ++count;
    }
    BufferAccess::Gbump(buffer, static_cast<int>(p - begin));
    _first = first;
    return count;
}

// Members in place, the area held from one to the next.
std::size_t JsonReadDocument::_read_leaf_members(
    JsonSchema* (*find)(void*, const char*, const char*, std::size_t), void (*untaken)(void*),
    void* context, const std::size_t* unmatched, bool& ended, unsigned int& brackets) {
    ended = false;
    const bool opening = (brackets & kOpenFirst) != 0;
    brackets = 0;
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    if (!area_in_place(_stream, (_flags & kClassicSpaces) != 0, buffer, begin, end)) return 0;
    const char* p = begin;  // the end of what is taken
    std::size_t count = 0;
    bool first = _first;
    if (opening) {  // the object's "{" first, after the separator due
        const char* q = skip_space(p, end);
        if (!first) {
            if (q == end || *q != ',') return 0;
            q = skip_space(q + 1, end);
        }
        if (q == end || *q != '{') return 0;
        p = q + 1;
        first = true;
        brackets = kOpenFirst;
    }
    for (;;) {
        const char* q = next_in_place(p, end, '}', first, ended);
        if (q == nullptr) {
            if (ended && unmatched != nullptr && *unmatched == 0) {  // p is at the "}"
                ended = false;
                ++p;
                first = false;
                brackets |= kCloseAfter;
            }
            break;
        }
        if (*q != '"') break;
        const char* key = q + 1;
#if defined(__SSE2__)
        // One test of 16 bytes measures a short key; without SSE2 find compares it first.
        const std::size_t size = detail::key_size(key, end);
        if (size == detail::kNoKey) break;
        q = skip_space(key + size + 1, end);
        if (q == end || *q != ':') break;
        q = skip_space(q + 1, end);
        if (q == end) break;
        JsonSchema* child = find(context, key, end, size);
        if (child == nullptr) break;
        if (!TextValue::Enabled(*child)) {
            untaken(context);
            break;
        }
#else
        JsonSchema* child = find(context, key, end, detail::kNoKey);
        if (child == nullptr) break;
        q = skip_space(key + child->GetName().size() + 1, end);  // the key is the child's name
        const bool colon = q != end && *q == ':';
        if (colon) q = skip_space(q + 1, end);
        if (!colon || q == end || !TextValue::Enabled(*child)) {
            untaken(context);
            break;
        }
#endif
        const detail::Leaf leaf = detail::leaf_of(child);
        if (leaf == detail::Leaf::kNone) {
            // For a caller that counts its members, the key is taken as _next_key takes it;
            // the value is the caller's.
            if (unmatched != nullptr) {
                p = q;
                first = true;
                brackets |= kKeyTaken;
            } else {
                untaken(context);
            }
            break;
        }
        const char* after = nullptr;
        if (!take_contained(_stream, *child, leaf, q, end, after) || after == nullptr) {
            untaken(context);
            break;
        }
        p = after;
        first = false;
        ++count;
    }
    BufferAccess::Gbump(buffer, static_cast<int>(p - begin));
    _first = first;
    return count;
}

namespace {

// The area, and where the next item of a container starts in it, after its separator when one is
// due (not first): JsonReadDocument::kNextEnd when the closing byte close comes first (the white
// space before it taken), 0 when that cannot be told in place, otherwise kNextItem with item at
// the item (nothing taken).
inline int item_in_place(std::istream& stream, bool classic, bool first, char close,
                         std::streambuf*& buffer, const char*& begin, const char*& end,
                         const char*& item) {
    if (!area_in_place(stream, classic, buffer, begin, end)) return 0;
    const char* p = begin;
    bool ended = false;
    item = next_in_place(p, end, close, first, ended);
    if (ended) {
        if (p != begin) BufferAccess::Gbump(buffer, static_cast<int>(p - begin));
        return JsonReadDocument::kNextEnd;
    }
    return item != nullptr ? JsonReadDocument::kNextItem : 0;
}

}  // namespace

// The separator and the key in place, as Deserialize(JSON_KEY) takes them.
int JsonReadDocument::_next_key(const char*& key, std::size_t& size) {
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    const char* q;
    const int next =
        item_in_place(_stream, (_flags & kClassicSpaces) != 0, _first, '}', buffer, begin, end, q);
    if (next != kNextItem) return next;
    if (*q != '"') return 0;
    const char* text = q + 1;
    const std::size_t n = short_run(text, end);
    if (text + n == end || text[n] != '"') return 0;  // the area ends, or an escape
    const char* p = skip_space(text + n + 1, end);
    if (p == end || *p != ':') return 0;
    BufferAccess::Gbump(buffer, static_cast<int>(p + 1 - begin));
    _first = true;
    key = text;
    size = n;
    return kNextItem;
}

// The separator of an element in place, as the element's Deserialize takes it.
int JsonReadDocument::_next_element() {
    std::streambuf* buffer;
    const char* begin;
    const char* end;
    const char* q;
    const int next =
        item_in_place(_stream, (_flags & kClassicSpaces) != 0, _first, ']', buffer, begin, end, q);
    if (next != kNextItem) return next;
    _first = true;
    if (q != begin) BufferAccess::Gbump(buffer, static_cast<int>(q - begin));
    return kNextItem;
}

// Through the stream's functions; no exception leaves it.
WEBJSON_RARE bool JsonReadDocument::_peek(unsigned int token) {
    return GuardStep(_stream, [&] {
        if (!_stream.good()) return false;
        In in(_stream, (_flags & kClassicSpaces) != 0, _progress);
        in.SkipSpace();
        int c = in.Peek(kEnded);
        if (token == JSON_OBJECT_END) return c == '}';
        if (token == JSON_ARRAY_END) return c == ']';
        return false;
    });
}

WEBJSON_RARE void JsonReadDocument::Within(const std::string& name) {
    std::string& path = _progress.error.path;
    Contain([&] {
        if (!path.empty() && path[0] != '[') path.insert(0, 1, '.');
        path.insert(0, name);
    });
}

WEBJSON_RARE void JsonReadDocument::Within(std::size_t index) {
    std::string& path = _progress.error.path;
    Contain([&] {
        if (!path.empty() && path[0] != '[') path.insert(0, 1, '.');
        path.insert(0, "[" + std::to_string(index) + "]");
    });
}

WEBJSON_RARE void JsonReadDocument::Refuse(const std::string& message) {
    if (_progress.error.failed) return;
    GuardStep(_stream, [&] {
        In in(_stream, false, _progress);
        in.Record(0, message);
        return true;
    });
}

WEBJSON_RARE void JsonReadDocument::_read_char(std::istream& stream, char c) {
    GuardStep(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_char(in, c);
        return true;
    });
}

WEBJSON_RARE void JsonReadDocument::_read_string(std::istream& stream, std::string& out) {
    GuardStep(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_string(in, out);
        return true;
    });
}

WEBJSON_RARE void JsonReadDocument::_read_bool(std::istream& stream, bool& value) {
    GuardStep(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_bool(in, value);
        return true;
    });
}

WEBJSON_RARE void JsonReadDocument::_read_int32(std::istream& stream, int& value) {
    GuardStep(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_int32(in, value);
        return true;
    });
}

WEBJSON_RARE void JsonReadDocument::_read_double(std::istream& stream, double& value) {
    GuardStep(stream, [&] {
        Progress progress;
        In in(stream, false, progress);
        read_double(in, value);
        return true;
    });
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
