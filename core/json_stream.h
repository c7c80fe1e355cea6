// Token writer and reader: the two ends of the JSON text.
//
// Schema nodes call JsonWriteDocument::Serialize from their Compile and
// JsonReadDocument::Deserialize from their Format, one call per value or bracket. Neither class
// knows the schema. Both keep their errors only in the state of the stream they work on: once
// the stream is not good, every later call returns false and touches nothing. An exception mask
// set on the stream is followed here (the stream throws as it asks); the document operations
// clear it while they run, so that nothing is thrown out of them.
#ifndef WEBJSON_JSON_STREAM_H
#define WEBJSON_JSON_STREAM_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "json_error.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

// Kind of item handed to Serialize, Deserialize and Peek (passed as unsigned int).
enum JsonToken : unsigned int {
    JSON_INT = 0,           // int*
    JSON_BOOL = 1,          // bool*
    JSON_DOUBLE = 2,        // double*
    JSON_STRING = 3,        // std::string*
    JSON_FILE = 4,          // std::vector<char>* holding zero-terminated text; write only
    JSON_OBJECT_BEGIN = 5,  // no value
    JSON_OBJECT_END = 6,    // no value
    JSON_ARRAY_BEGIN = 7,   // no value
    JSON_ARRAY_END = 8,     // no value
    JSON_KEY = 9,           // std::string* receiving a member name (reader)
    JSON_SKIP = 10          // no value; the reader skips one value of any kind
};

// Writes tokens as compact JSON text: no whitespace, keys unescaped, doubles in the general
// notation with _decimal significant digits, NaN and infinities as null. Numbers are written as
// in the C locale whatever the stream's locale and flags; the writer leaves boolalpha (after a
// bool) and the precision (after a double) set on the stream. Not owning the stream; no buffering.
class JsonSchema;

class WEBJSON_API JsonWriteDocument {
  public:
    explicit JsonWriteDocument(std::ostream& stream);
    ~JsonWriteDocument();

    // Precision for the doubles that follow; 16 and above are ignored.
    void SetDecimal(unsigned int decimal);

    // Writes one item, preceded by a comma where needed and by "name": when name is not empty.
    // Returns false, writing nothing, when the stream is not good on entry.
    bool Serialize(unsigned int token, std::string& name, void* value);

    // Replaces out with the JSON-escaped form of in (without the quotes).
    void _string_to_json(std::string& in, std::string& out);

    // Writes the leading nodes of [nodes, nodes + count) that are plain string nodes (of the
    // class JsonSchemaString itself) as their Compile(*this, named) would, while the stream's
    // buffer has room for them; returns how many it took. Lists use it for runs of text cells.
    std::size_t _serialize_texts(JsonSchema* const* nodes, std::size_t count, bool named);

  private:
    std::ostream& _stream;
    bool _first;
    unsigned int _decimal;
};

// Reads tokens in the order the schema asks for them, with one character of look-ahead.
// Every mismatch sets the stream's failbit; nothing is printed or thrown. The first failure is
// also kept, with where it was found and why, for the document to report. Integers beyond the
// 32-bit range read as INT_MAX or INT_MIN, as the device's atoi gives them. Numbers are read
// with "." as the decimal point whatever the C and C++ locales; white space is what the
// stream's locale counts as white space, looked at when the reader is made.
class WEBJSON_API JsonReadDocument {
  public:
    explicit JsonReadDocument(std::istream& stream);
    ~JsonReadDocument();

    // Reads one item, expecting the key name first when name is not empty. Returns whether the
    // stream is still good (the end of the text counts as not good).
    bool Deserialize(unsigned int token, std::string& name, void* value);

    // Skips whitespace; true when the next character is "}" (JSON_OBJECT_END) or "]"
    // (JSON_ARRAY_END). Consumes nothing else.
    bool Peek(unsigned int token);

    // The first failure of this read (failed false while there was none).
    const JsonError& Error() const { return _progress.error; }
    // Puts a member name or an element index in front of the failure's path; containers call
    // them as a child's failure returns through them.
    void Within(const std::string& name);
    void Within(std::size_t index);
    // Records a failure that a node found at the current place of the text, unless one was
    // recorded before; the stream is left as it is.
    void Refuse(const std::string& message);

    // What a read has taken so far, for the report of a failure. The reading routines count
    // lazily: the bytes taken from the buffer's get area since mark (where the area stood when the
    // reader was made or after the stream's own functions last ran) are added, and their line ends
    // counted, only before the stream's own functions are called and when a failure is found.
    struct Progress {
        const char* mark = nullptr;       // get-area position the counts reach; null: none
        std::uint32_t offset = 0;         // bytes taken up to mark
        std::uint32_t lines = 0;          // line ends among them
        std::uint32_t lineStart = 0;      // offset after the last of them
        std::uint32_t lastLineStart = 0;  // the same before that line end
        JsonError error;
    };

    // Reading routines; each reports failure only through the stream's failbit.
    void _read_bool(std::istream& stream, bool& value);
    void _read_string(std::istream& stream, std::string& out);
    void _read_char(std::istream& stream, char c);
    void _read_int32(std::istream& stream, int& value);
    void _read_double(std::istream& stream, double& value);

  private:
    bool _deserialize(unsigned int token, std::string& name, void* value);
    bool _peek(unsigned int token);

    std::istream& _stream;
    bool _first;
    // What the reader found out about the stream's locale when it was made: whether white space
    // can be skipped here.
    unsigned char _flags;
    Progress _progress;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_STREAM_H
