// Scalar nodes: the abstract node and its int, bool, double and string leaves.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "json_schema.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

std::string JsonSchema::_nullstr;

namespace {

// A node's name of size bytes. Names are short and repeat: each length up to 15 gets a copy of
// fixed length, which the compiler writes inline, so that making a node calls no memcpy for its
// name (values, whose lengths vary, would rather pay the jumps' mispredictions).
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline std::string
NameOf(const char* name, std::size_t size) {
    switch (size) {
        case 0:
            return std::string();
        case 1:
            return std::string(name, 1);
        case 2:
            return std::string(name, 2);
        case 3:
            return std::string(name, 3);
        case 4:
            return std::string(name, 4);
        case 5:
            return std::string(name, 5);
        case 6:
            return std::string(name, 6);
        case 7:
            return std::string(name, 7);
        case 8:
            return std::string(name, 8);
        case 9:
            return std::string(name, 9);
        case 10:
            return std::string(name, 10);
        case 11:
            return std::string(name, 11);
        case 12:
            return std::string(name, 12);
        case 13:
            return std::string(name, 13);
        case 14:
            return std::string(name, 14);
        case 15:
            return std::string(name, 15);
        default:
            return std::string(name, size);
    }
}

}  // namespace

JsonSchema::JsonSchema(const char* name)
    : _name(name != nullptr ? NameOf(name, std::strlen(name)) : std::string()),
      _enable(true),
      _cleared(false) {}
JsonSchema::JsonSchema(const char* name, std::size_t size)
    : _name(name != nullptr ? NameOf(name, size) : std::string()), _enable(true), _cleared(false) {}

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
JsonSchemaString::JsonSchemaString(const char* name, std::size_t nameSize, const char* value)
    : JsonSchema(name, nameSize), _value(value ? value : ""), _default(_value) {}
JsonSchemaString::JsonSchemaString(const char* name, int value) : JsonSchema(name) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned int>(value));
    _value = text;
    _default = _value;
}
void JsonSchemaString::Reset() {
    if (_default.empty()) {  // the usual default: no call
        _value.clear();
    } else {
        _value = _default;
    }
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
    if (value == nullptr) value = "";
    const std::size_t size = std::strlen(value);
    const char* const own = _value.data();
    if (std::greater_equal<const char*>()(value, own) &&
        std::less_equal<const char*>()(value, own + _value.size())) {
        _value.assign(value, size);  // its own text: the copy must allow for the overlap
        return;
    }
    // Appended to the emptied value: a plain copy into the room it has.
    _value.clear();
    _value.append(value, size);
}
const char* JsonSchemaString::GetValueString() {
    return _value.c_str();
}
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
