// Schema document core: nodes, token writer and reader, containers, file node, document root.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>

#include "json_document.h"
#include "json_file.h"
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
        case 0x08: buf[1] = 'b'; return 2;
        case 0x09: buf[1] = 't'; return 2;
        case 0x0A: buf[1] = 'n'; return 2;
        case 0x0C: buf[1] = 'f'; return 2;
        case 0x0D: buf[1] = 'r'; return 2;
        case '"': buf[1] = '"'; return 2;
        case '\\': buf[1] = '\\'; return 2;
        default:
            buf[1] = 'u';
            buf[2] = '0';
            buf[3] = '0';
            buf[4] = hexchar[c >> 4];
            buf[5] = hexchar[c & 0x0F];
            return 6;
    }
}

bool is_number_char(int c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

// Value of one character of a \u escape; right for the upper-case hexadecimal digits only.
unsigned int hex_digit(int c) {
    unsigned int x = static_cast<unsigned char>(c);
    return (x <= 0x40 ? x - 0x30 : x - 0x37) & 0xFFu;
}

void fail(std::istream& stream) { stream.setstate(std::ios::failbit); }

void print_line(const char* message) { std::cout << message << std::endl; }

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

// Writes data escaped as by _string_to_json, straight into the stream: plain runs in one piece.
void JsonWriteDocument::_write_escaped(const char* data, std::size_t size) {
    char buf[6];
    std::size_t run = 0;
    for (std::size_t i = 0; i < size; ++i) {
        std::size_t n = escape_byte(static_cast<unsigned char>(data[i]), buf);
        if (n == 0) continue;
        if (i > run) _stream.write(data + run, static_cast<std::streamsize>(i - run));
        _stream.write(buf, static_cast<std::streamsize>(n));
        run = i + 1;
    }
    if (size > run) _stream.write(data + run, static_cast<std::streamsize>(size - run));
}

bool JsonWriteDocument::Serialize(unsigned int token, std::string& name, void* value) {
    if (!_stream.good()) return false;

    if (_first) {
        _first = false;
    } else if (token != JSON_OBJECT_END && token != JSON_ARRAY_END) {
        _stream.put(',');
    }

    if (!name.empty()) {
        _stream.put('"');
        _stream.write(name.data(), static_cast<std::streamsize>(name.size()));
        _stream.write("\":", 2);
    }

    switch (token) {
        case JSON_INT:
            if (value) _stream << *static_cast<int*>(value);
            break;
        case JSON_BOOL:
            if (value) {
                _stream.setf(std::ios::boolalpha);
                _stream << *static_cast<bool*>(value);
            }
            break;
        case JSON_DOUBLE:
            if (value) {
                _stream.precision(static_cast<std::streamsize>(_decimal));
                _stream << *static_cast<double*>(value);
            }
            break;
        case JSON_STRING:
            if (value) {
                const std::string& text = *static_cast<std::string*>(value);
                _stream.put('"');
                _write_escaped(text.data(), text.size());
                _stream.put('"');
            }
            break;
        case JSON_FILE:
            if (value) {
                // The text ends at the first zero byte (or at the end of the vector).
                const std::vector<char>& data = *static_cast<std::vector<char>*>(value);
                std::size_t size = 0;
                while (size < data.size() && data[size] != '\0') ++size;
                _stream.put('"');
                _write_escaped(data.data(), size);
                _stream.put('"');
            }
            break;
        case JSON_OBJECT_BEGIN:
            _stream.put('{');
            _first = true;
            break;
        case JSON_OBJECT_END:
            _stream.put('}');
            break;
        case JSON_ARRAY_BEGIN:
            _stream.put('[');
            _first = true;
            break;
        case JSON_ARRAY_END:
            _stream.put(']');
            break;
        default:  // JSON_KEY, JSON_SKIP and unknown tokens write nothing more
            break;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Reader

JsonReadDocument::JsonReadDocument(std::istream& stream) : _stream(stream), _first(true) {}

JsonReadDocument::~JsonReadDocument() {}

bool JsonReadDocument::Deserialize(unsigned int token, std::string& name, void* value) {
    if (!_stream.good()) return false;
    _stream >> std::ws;

    // separator: a comma before every item but the first and the closing brackets
    if (_first) {
        _first = false;
    } else if (token != JSON_OBJECT_END && token != JSON_ARRAY_END) {
        if (_stream.get() != ',') fail(_stream);
        _stream >> std::ws;
    }

    // key: "name" ws ":" ws
    if (!name.empty()) {
        std::string key;
        _read_string(_stream, key);
        if (key != name) fail(_stream);
        _stream >> std::ws;
        if (_stream.get() != ':') fail(_stream);
        _stream >> std::ws;
    }

    switch (token) {
        case JSON_INT: {
            int temp = 0;
            _read_int32(_stream, value ? *static_cast<int*>(value) : temp);
            break;
        }
        case JSON_BOOL: {
            bool temp = false;
            _read_bool(_stream, value ? *static_cast<bool*>(value) : temp);
            break;
        }
        case JSON_DOUBLE: {
            double temp = 0.0;
            _read_double(_stream, value ? *static_cast<double*>(value) : temp);
            break;
        }
        case JSON_STRING: {
            std::string temp;
            _read_string(_stream, value ? *static_cast<std::string*>(value) : temp);
            break;
        }
        case JSON_OBJECT_BEGIN:
            _read_char(_stream, '{');
            _first = true;
            break;
        case JSON_OBJECT_END:
            _read_char(_stream, '}');
            break;
        case JSON_ARRAY_BEGIN:
            _read_char(_stream, '[');
            _first = true;
            break;
        case JSON_ARRAY_END:
            _read_char(_stream, ']');
            break;
        case JSON_KEY: {
            // member name ws ":"; the value that follows is read without a comma
            std::string temp;
            _read_string(_stream, value ? *static_cast<std::string*>(value) : temp);
            _stream >> std::ws;
            if (_stream.get() != ':') fail(_stream);
            _first = true;
            break;
        }
        case JSON_SKIP:
            _skip_value();
            break;
        default:  // JSON_FILE cannot be read; unknown tokens fail
            fail(_stream);
            break;
    }
    return _stream.good();
}

bool JsonReadDocument::Peek(unsigned int token) {
    if (!_stream.good()) return false;
    _stream >> std::ws;
    int c = _stream.peek();
    if (token == JSON_OBJECT_END) return c == '}';
    if (token == JSON_ARRAY_END) return c == ']';
    return false;
}

// value: object | array | anything up to "," "}" or "]". Brackets are counted without regard
// to strings, so a bracket or comma inside a string counts like a structural one.
void JsonReadDocument::_skip_value() {
    int c = _stream.peek();
    if (c == std::char_traits<char>::eof()) return;
    if (c == '{' || c == '[') {
        const int open = c;
        const int close = c == '{' ? '}' : ']';
        uint64_t depth = 0;
        for (;;) {
            int x = _stream.get();
            if (x == std::char_traits<char>::eof()) return;
            if (x == open) {
                ++depth;
            } else if (x == close && --depth == 0) {
                return;
            }
        }
    }
    for (;;) {
        int x = _stream.get();
        if (x == std::char_traits<char>::eof()) return;
        if (x == ',' || x == '}' || x == ']') {
            _stream.unget();
            return;
        }
    }
}

void JsonReadDocument::_read_char(std::istream& stream, char c) {
    int x = stream.get();
    if (x == std::char_traits<char>::to_int_type(c)) return;
    if (x != std::char_traits<char>::eof()) stream.unget();
    fail(stream);
}

// string: '"' (byte | escape)* '"'
void JsonReadDocument::_read_string(std::istream& stream, std::string& out) {
    out.clear();
    if (stream.get() != '"') {
        fail(stream);
        return;
    }
    const int eof = std::char_traits<char>::eof();
    for (;;) {
        int c = stream.get();
        if (c == eof || c == '"') return;
        if (c != '\\') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        c = stream.get();
        switch (c) {
            case '"': out.push_back('"'); break;
            case '/': out.push_back('/'); break;
            case '\\': out.push_back('\\'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                // four characters; only the last two count, as one byte
                int d[4];
                for (int& x : d) {
                    x = stream.get();
                    if (x == eof) return;
                }
                out.push_back(static_cast<char>((16u * hex_digit(d[2]) + hex_digit(d[3])) & 0xFFu));
                break;
            }
            default:  // an unknown escape, or the end of the text
                fail(stream);
                return;
        }
    }
}

// bool: "true" | "false"
void JsonReadDocument::_read_bool(std::istream& stream, bool& value) {
    int c = stream.get();
    const char* rest;
    bool word;
    if (c == 't') {
        rest = "rue";
        word = true;
    } else if (c == 'f') {
        rest = "alse";
        word = false;
    } else {
        fail(stream);
        return;
    }
    for (; *rest != '\0'; ++rest) {
        if (stream.get() != *rest) {
            fail(stream);
            return;
        }
    }
    value = word;
}

namespace {

// number: [0-9+-.]+ ; "e" and "E" do not belong to a number. Returns false when no number
// starts here (the stream is then failed).
bool read_number_text(std::istream& stream, std::string& text) {
    int c = stream.get();
    if (!is_number_char(c)) {
        fail(stream);
        return false;
    }
    do {
        text.push_back(static_cast<char>(c));
        c = stream.get();
    } while (is_number_char(c));
    if (stream.good()) stream.unget();
    return true;
}

}  // namespace

// Converted like atoi, except that text outside the 32-bit range saturates at INT_MIN or
// INT_MAX on every platform (as atoi does where long is 32 bits) instead of being undefined.
void JsonReadDocument::_read_int32(std::istream& stream, int& value) {
    std::string text;
    if (!read_number_text(stream, text)) return;
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > std::numeric_limits<int>::max()) v = std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) v = std::numeric_limits<int>::min();
    value = static_cast<int>(v);
}

void JsonReadDocument::_read_double(std::istream& stream, double& value) {
    std::string text;
    if (!read_number_text(stream, text)) return;
    value = std::strtod(text.c_str(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Schema nodes

std::string JsonSchema::_nullstr;

JsonSchema::JsonSchema(const char* name) : _name(name ? name : ""), _enable(true) {}
JsonSchema::~JsonSchema() {}

void JsonSchema::SetName(const char* name) { _name = name ? name : ""; }
void JsonSchema::SetValue(int) {}
void JsonSchema::SetValue(bool) {}
void JsonSchema::SetValue(const char*) {}
void JsonSchema::SetValue(double) {}
int JsonSchema::GetValueInt() { return 0; }
bool JsonSchema::GetValueBool() { return false; }
const char* JsonSchema::GetValueString() { return ""; }
double JsonSchema::GetValueDouble() { return 0.0; }

JsonSchemaInt::JsonSchemaInt(const char* name, int value)
    : JsonSchema(name), _value(value), _default(value) {}
JsonSchemaInt::~JsonSchemaInt() {}
void JsonSchemaInt::Reset() { _value = _default; }
JsonSchema* JsonSchemaInt::Clone() { return new JsonSchemaInt(_name.c_str(), _default); }
bool JsonSchemaInt::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_INT, _key(withName), &_value);
}
bool JsonSchemaInt::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_INT, _key(withName), &_value);
}
void JsonSchemaInt::SetValue(int value) { _value = value; }
int JsonSchemaInt::GetValueInt() { return _value; }

JsonSchemaBool::JsonSchemaBool(const char* name, bool value)
    : JsonSchema(name), _value(value), _default(value) {}
JsonSchemaBool::~JsonSchemaBool() {}
void JsonSchemaBool::Reset() { _value = _default; }
JsonSchema* JsonSchemaBool::Clone() { return new JsonSchemaBool(_name.c_str(), _default); }
bool JsonSchemaBool::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_BOOL, _key(withName), &_value);
}
bool JsonSchemaBool::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_BOOL, _key(withName), &_value);
}
void JsonSchemaBool::SetValue(bool value) { _value = value; }
bool JsonSchemaBool::GetValueBool() { return _value; }

JsonSchemaDouble::JsonSchemaDouble(const char* name, double value, unsigned int decimal)
    : JsonSchema(name), _value(value), _default(value), _decimal(decimal) {}
JsonSchemaDouble::~JsonSchemaDouble() {}
void JsonSchemaDouble::Reset() { _value = _default; }
JsonSchema* JsonSchemaDouble::Clone() { return new JsonSchemaDouble(_name.c_str(), _default, 3); }
bool JsonSchemaDouble::Compile(JsonWriteDocument& writer, bool withName) {
    if (!_enable) return true;
    writer.SetDecimal(_decimal);
    return writer.Serialize(JSON_DOUBLE, _key(withName), &_value);
}
bool JsonSchemaDouble::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_DOUBLE, _key(withName), &_value);
}
void JsonSchemaDouble::SetValue(double value) { _value = value; }
double JsonSchemaDouble::GetValueDouble() { return _value; }

JsonSchemaString::JsonSchemaString(const char* name, const char* value)
    : JsonSchema(name), _value(value ? value : ""), _default(_value) {}
JsonSchemaString::JsonSchemaString(const char* name, int value) : JsonSchema(name) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned int>(value));
    _value = text;
    _default = _value;
}
JsonSchemaString::~JsonSchemaString() {}
void JsonSchemaString::Reset() { _value = _default; }
JsonSchema* JsonSchemaString::Clone() {
    return new JsonSchemaString(_name.c_str(), _default.c_str());
}
bool JsonSchemaString::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_STRING, _key(withName), &_value);
}
bool JsonSchemaString::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_STRING, _key(withName), &_value);
}
void JsonSchemaString::SetValue(const char* value) { _value = value ? value : ""; }
const char* JsonSchemaString::GetValueString() { return _value.c_str(); }

// ---------------------------------------------------------------------------------------------
// Containers

JsonSchemaList::JsonSchemaList(const char* name) : JsonSchema(name) {}
JsonSchemaList::~JsonSchemaList() { Clear(); }

void JsonSchemaList::AddNew(JsonSchema* child) {
    if (child) _children.push_back(child);
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

unsigned int JsonSchemaList::Size() { return static_cast<unsigned int>(_children.size()); }

void JsonSchemaList::Clear() {
    while (!_children.empty()) {
        JsonSchema* child = _children.back();
        _children.pop_back();
        delete child;
    }
}

void JsonSchemaList::Reset() {
    for (JsonSchema* child : _children) child->Reset();
}

JsonSchema* JsonSchemaList::Clone() {
    JsonSchemaList* copy = new JsonSchemaList(_name.c_str());
    for (JsonSchema* child : _children) copy->AddNew(child->Clone());
    return copy;
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
    std::vector<JsonSchema*> unmatched(_children);
    std::string key;
    while (result && !reader.Peek(JSON_OBJECT_END)) {
        result = reader.Deserialize(JSON_KEY, _nullstr, &key) && result;
        auto it = unmatched.begin();
        while (it != unmatched.end() && (*it)->GetName() != key) ++it;
        if (it != unmatched.end()) {
            result = (*it)->Format(reader, false) && result;
            unmatched.erase(it);
        } else {
            result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
        }
    }
    result = reader.Deserialize(JSON_OBJECT_END, _nullstr, nullptr) && result;
    return result && unmatched.empty();
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
    for (JsonSchema* child : _children) {
        if (reader.Peek(JSON_ARRAY_END)) break;
        result = child->Format(reader, false) && result;
        if (!result) break;
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
        auto it = _children.begin();
        while (it != _children.end() && (*it)->GetName() != key) ++it;
        if (it != _children.end()) {
            result = (*it)->Format(reader, false) && result;
        } else {
            result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
        }
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
    std::ifstream file;
    if (path && *path) file.open(path, std::ios::in | std::ios::binary);
    if (file.is_open()) {
        // Room for the whole text at once; only a hint, so a size that cannot be right (a
        // directory, a device) reserves nothing.
        file.seekg(0, std::ios::end);
        std::streamoff size = file.tellg();
        if (size > 0 && static_cast<std::uint64_t>(size) < (std::uint64_t{1} << 30)) {
            _data.reserve(static_cast<std::size_t>((size + 2) / 3 * 4 + 1));
        }
        file.clear();
        file.seekg(0, std::ios::beg);

        // Read through the stream (not its buffer) so that read errors, such as a directory's,
        // end the text instead of throwing.
        char chunk[4096];
        unsigned int b[3] = {0, 0, 0};
        unsigned int k = 0;
        auto emit = [this, &b, &k]() {
            _data.push_back(base64_alphabet[b[0] >> 2]);
            _data.push_back(base64_alphabet[((b[0] & 0x03) << 4) | (b[1] >> 4)]);
            _data.push_back(k >= 2 ? base64_alphabet[((b[1] & 0x0F) << 2) | (b[2] >> 6)] : '=');
            _data.push_back(k == 3 ? base64_alphabet[b[2] & 0x3F] : '=');
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
    _data.push_back('\0');
}

void JsonSchemaFile::DataToFile(const char* path) {
    if (!path) return;
    std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!file.is_open()) return;
    unsigned int q[4];
    unsigned int filled = 0;
    std::string bytes;
    for (char c : _data) {
        if (c == '\0') break;
        q[filled++] = base64_value(c);
        if (filled < 4) continue;
        filled = 0;
        bytes.push_back(static_cast<char>(((q[0] << 2) | ((q[1] >> 4) & 0x03)) & 0xFF));
        if (q[2] != 64) bytes.push_back(static_cast<char>(((q[1] << 4) | (q[2] >> 2)) & 0xFF));
        if (q[3] != 64) bytes.push_back(static_cast<char>(((q[2] << 6) | q[3]) & 0xFF));
    }
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void JsonSchemaFile::Reset() {}

JsonSchema* JsonSchemaFile::Clone() { return new JsonSchemaFile(_name.c_str(), ""); }

bool JsonSchemaFile::Compile(JsonWriteDocument& writer, bool withName) {
    return !_enable || writer.Serialize(JSON_FILE, _key(withName), &_data);
}

bool JsonSchemaFile::Format(JsonReadDocument& reader, bool withName) {
    return !_enable || reader.Deserialize(JSON_FILE, _key(withName), &_data);
}

// ---------------------------------------------------------------------------------------------
// Document root

JsonDocumentSchema::JsonDocumentSchema() : _root(nullptr) { pthread_mutex_init(&_mutex, nullptr); }

JsonDocumentSchema::~JsonDocumentSchema() {
    delete _root;
    _root = nullptr;
    pthread_mutex_destroy(&_mutex);
}

bool JsonDocumentSchema::GenerateDocumentStream(std::ostream& stream, JsonSchemaList* list) {
    JsonWriteDocument writer(stream);
    JsonSchemaList* tree = list ? list : _root;
    bool result = tree != nullptr && tree->Compile(writer, false);
    if (!result) print_line("Compile Document failed");
    return result;
}

bool JsonDocumentSchema::ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) {
    JsonReadDocument reader(stream);
    JsonSchemaList* tree = list ? list : _root;
    if (!tree) {
        print_line("Format Document failed");
        return false;
    }
    _reset_schema(tree);
    bool result = tree->Format(reader, false);
    if (!result) {
        print_line("Format Document failed");
        _reset_schema(tree);
    }
    return result;
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
    } else {
        print_line("Write Document Error");
    }
    file.close();
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
    }
    file.close();
    return result;
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
