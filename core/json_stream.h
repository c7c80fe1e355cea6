/// \file
/// Token writer and reader: the two ends of the JSON text.
///
/// Schema nodes call JsonWriteDocument::Serialize from their Compile and
/// JsonReadDocument::Deserialize from their Format, one call per value or bracket. Neither class
/// knows the schema. Both keep their errors only in the state of the stream they work on: once
/// the stream is not good, every later call returns false and touches nothing. No exception
/// leaves either class: with an exception mask set on the stream, each call runs with the mask
/// cleared and puts it back before returning, so a failure stays in the stream's state bits; an
/// exception from the stream's buffer or from memory running out ends the call with badbit set.
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

/// Kind of item handed to Serialize, Deserialize and Peek (passed as unsigned int).
///
/// Each kind names the type its value pointer must point to; the brackets, JSON_SKIP and a null
/// value take none.
/// \ingroup nodes
enum JsonToken : unsigned int {
    JSON_INT = 0,           ///< An integer; the value is an `int*`.
    JSON_BOOL = 1,          ///< true or false; the value is a `bool*`.
    JSON_DOUBLE = 2,        ///< A number; the value is a `double*`.
    JSON_STRING = 3,        ///< A string; the value is a `std::string*`.
    JSON_FILE = 4,          ///< A `std::vector<char>*` of zero-terminated text; write only.
    JSON_OBJECT_BEGIN = 5,  ///< "{"; no value.
    JSON_OBJECT_END = 6,    ///< "}"; no value.
    JSON_ARRAY_BEGIN = 7,   ///< "["; no value.
    JSON_ARRAY_END = 8,     ///< "]"; no value.
    JSON_KEY = 9,           ///< A member name, read into a `std::string*` (reader only).
    JSON_SKIP = 10          ///< No value; the reader skips one value of any kind.
};

class JsonSchema;

/// Writes tokens as compact JSON text.
///
/// No whitespace, keys unescaped, doubles in the general notation with the precision set by
/// SetDecimal (3 significant digits until then), NaN and infinities as null. Numbers are written
/// as in the C locale whatever the stream's locale and flags; the writer leaves boolalpha (after
/// a bool) and the precision (after a double) set on the stream. The writer does not own the
/// stream and buffers nothing of its own: text goes straight into the stream's buffer. One writer
/// serves one document operation, on the thread that runs it.
/// \ingroup nodes
class WEBJSON_API JsonWriteDocument {
  public:
    /// A writer at the start of a text on stream, which must outlive it.
    explicit JsonWriteDocument(std::ostream& stream);
    /// Leaves the stream as it is; nothing is flushed.
    ~JsonWriteDocument();

    /// Sets the significant digits of the doubles that follow; 16 and above are ignored.
    void SetDecimal(unsigned int decimal);

    /// Writes one item (a JsonToken), preceded by a comma where needed and by `"name":` when
    /// name is not empty.
    ///
    /// value points to the token's type (see JsonToken); with a null value only the separator
    /// and key are written.
    /// Returns false, writing nothing, when the stream is not good on entry. A failure while the
    /// item is written shows in the stream's state bits and makes the next call return false.
    bool Serialize(unsigned int token, std::string& name, void* value);

    /// Replaces out with the JSON-escaped form of in (without the quotes).
    ///
    /// Quotes, backslashes and control characters are escaped; every other byte is copied.
    void _string_to_json(std::string& in, std::string& out);

    /// The leading leaves of a list in one pass over the stream buffer's area.
    ///
    /// After the bracket open (brackets' low byte: a bracket token, with name as key; 0: none),
    /// writes the leading nodes of [nodes, nodes + count) that are integer, boolean, double or
    /// string nodes of those very classes, as their Compile would (under their names when named),
    /// then the bracket close (brackets' second byte; 0: none) when every node was taken. Returns
    /// twice the number of nodes taken, plus 1 when it wrote the bracket close, or kNothing when it
    /// wrote nothing at all, not even the bracket (the stream not good, no room). With kWholeList
    /// in brackets, it writes the whole list or nothing (kNothing). Lists use it for rows of cells
    /// and the fields of records.
    ///
    /// This and the two functions below serve the library's own nodes; the shared library does
    /// not export them.
    WEBJSON_INTERNAL std::size_t _serialize_leaves(unsigned int brackets, std::string& name,
                                                   JsonSchema* const* nodes, std::size_t count,
                                                   bool named);
    /// One leaf (see _serialize_leaves), without a key, as its Compile would write it; kind is
    /// its kind as detail::leaf_of gives it, known to the caller. False, with nothing written,
    /// when the area cannot take it. Arrays written from a source use it for elements of those
    /// classes.
    WEBJSON_INTERNAL bool _serialize_leaf(const JsonSchema& node, unsigned int kind);
    /// A bracket open (JSON_OBJECT_BEGIN or JSON_ARRAY_BEGIN) under name (none when empty), as
    /// Serialize writes it: containers start with it.
    WEBJSON_INTERNAL bool _serialize_open(unsigned int token, std::string& name);
    /// A bracket close (JSON_OBJECT_END or JSON_ARRAY_END), as Serialize writes it: containers
    /// end with it.
    WEBJSON_INTERNAL bool _serialize_close(unsigned int token);
    /// What _serialize_leaves returns when it wrote nothing.
    static constexpr std::size_t kNothing = ~std::size_t{0};
    /// A mark in _serialize_leaves' brackets: the whole list with both brackets, or nothing.
    static constexpr unsigned int kWholeList = 0x10000;

    /// Writes an array of count texts (null as "") as string values, for tables written from a
    /// source; returns false when the stream failed.
    WEBJSON_INTERNAL bool _serialize_text_array(const char* const* texts, std::size_t count);

  private:
    /// _serialize_leaf beyond an array's number with room in the area.
    bool _serialize_leaf_apart(const JsonSchema& node, unsigned int kind);
    /// Serialize's general way for a bracket under name (none when null), out of the bracket
    /// functions' paths.
    bool _serialize_bracket_apart(unsigned int token, std::string* name);

    std::ostream& _stream;
    bool _first;
    unsigned int _decimal;
};

/// Reads tokens in the order the schema asks for them, with one character of look-ahead.
///
/// Every mismatch sets the stream's failbit; nothing is printed or thrown. The first failure is
/// also kept, with where it was found and why (Error()), for the document to report. Integers
/// beyond the 32-bit range read as INT_MAX or INT_MIN, as the device's atoi gives them. Numbers
/// are read with "." as the decimal point whatever the C and C++ locales; white space is what the
/// stream's locale counts as white space, looked at when the reader is made. The reader does not
/// own the stream and keeps no copy of the text. One reader serves one document operation, on
/// the thread that runs it.
/// \ingroup nodes
class WEBJSON_API JsonReadDocument {
  public:
    /// A reader at the current place of stream, which must outlive it.
    explicit JsonReadDocument(std::istream& stream);
    /// Leaves the stream where the last item ended.
    ~JsonReadDocument();

    /// Reads one item (a JsonToken) into value, expecting the key name first when name is not
    /// empty.
    ///
    /// value points to the token's type (see JsonToken); with a null value the item is read and
    /// dropped. Returns whether the stream is still good: the end of the text counts as not good,
    /// and JSON_FILE always fails.
    bool Deserialize(unsigned int token, std::string& name, void* value);

    /// Skips white space; true when the next character is "}" (for JSON_OBJECT_END) or "]" (for
    /// JSON_ARRAY_END).
    ///
    /// Consumes nothing else; false for any other token and when the stream is not good.
    bool Peek(unsigned int token);

    /// \name In-place steps of the containers' reading
    /// Each takes nothing when the stream buffer's area does not hold what it looks for in its
    /// plainest form; the containers then read as with Deserialize and Peek. The library's own
    /// containers use them; a node of a program's needs none of them, and the shared library
    /// does not export them.
    ///@{

    /// Takes the separator due, a member's key (a string without escapes) and ":"; the key's
    /// bytes are left at key and size until the next call. Returns kNextItem, kNextEnd (only
    /// white space taken) when "}" comes next, or 0 (nothing taken).
    WEBJSON_INTERNAL int _next_key(const char*& key, std::size_t& size);
    /// Takes an element's separator when one is due; returns kNextItem, kNextEnd (only white
    /// space taken) when "]" comes next, or 0 (nothing taken).
    WEBJSON_INTERNAL int _next_element();
    /// Reads the value of a leaf node (see JsonWriteDocument::_serialize_leaves; kind as the
    /// library's leaf test gives it) when no separator is due, as its Format would; false when
    /// nothing was taken.
    WEBJSON_INTERNAL bool _read_leaf(JsonSchema& node, unsigned int kind);
    /// Reads elements that are leaves of kind, the area held from one to the next: make gives,
    /// and appends, the element for each. Stops, taking nothing of it, at the first element it
    /// cannot take so (an element made for it is left in pending, to be read the general way),
    /// setting ended when "]" comes next (not taken). Returns how many it took.
    ///
    /// With kOpenFirst in brackets, the array's "[" (after the separator due) is taken first, as
    /// Deserialize takes it without a key (the general way when the area does not hold it; no
    /// element is taken then). With kCloseAfter, a "]" that comes next is taken too, as
    /// Deserialize would, instead of setting ended. brackets tells on return which were taken.
    WEBJSON_INTERNAL std::size_t _read_leaf_elements(unsigned int kind, JsonSchema* (*make)(void*),
                                                     void* context, bool& ended,
                                                     JsonSchema*& pending, unsigned int& brackets);
    /// Reads members whose key find turns into a leaf child, the area held from one to the
    /// next. Stops, taking nothing of it, at the first member it cannot take so, setting ended
    /// when "}" comes next (not taken). Returns how many it took. find is given the key's text
    /// from its first byte, the area ending at its third argument, and the key's length when it
    /// was measured (detail::kNoKey otherwise); it returns the child the key names (whose name
    /// is then the key's text), which it may count as read, or null when no child takes the key
    /// or the key is not a string without escapes closed within the area. untaken is told when
    /// the child find returned is not read after all (but for a key taken, see kKeyTaken).
    ///
    /// With kOpenFirst in brackets, the object's "{" (after the separator due) is taken first,
    /// as Deserialize would without a key; when the area does not hold it there, nothing at all
    /// is taken. When "}" comes next and unmatched (the members the object still needs; null: not
    /// known) is 0, the "}" is taken too, as Deserialize would, instead of setting ended.
    /// brackets tells on return which were taken: kOpenFirst, kCloseAfter. With unmatched given,
    /// a member whose key find turns into an enabled child that is not a leaf has its key (and
    /// ":") taken as _next_key would take it, and brackets tells so with kKeyTaken; the child's
    /// value comes next.
    WEBJSON_INTERNAL std::size_t _read_leaf_members(
        JsonSchema* (*find)(void*, const char*, const char*, std::size_t), void (*untaken)(void*),
        void* context, const std::size_t* unmatched, bool& ended, unsigned int& brackets);
    /// _read_leaf_members or _read_leaf_elements takes or took the container's opening bracket.
    static constexpr unsigned int kOpenFirst = 1;
    /// _read_leaf_members or _read_leaf_elements took the container's closing bracket.
    static constexpr unsigned int kCloseAfter = 2;
    /// _read_leaf_members took the key of a member that is not a leaf.
    static constexpr unsigned int kKeyTaken = 4;
    /// Deserialize for a bracket (token JSON_OBJECT_BEGIN to JSON_ARRAY_END) without a key, as
    /// containers read their own.
    WEBJSON_INTERNAL bool _deserialize_bracket(unsigned int token);
    /// _next_key or _next_element found the container's closing bracket next.
    static constexpr int kNextEnd = 1;
    /// _next_key or _next_element took what comes before an item.
    static constexpr int kNextItem = 2;
    ///@}

    /// The first failure of this read; `failed` is false while there was none.
    const JsonError& Error() const { return _progress.error; }
    /// \name Failure path
    ///@{

    /// Puts a member name or an element index in front of the failure's path.
    ///
    /// Containers call them as a child's failure returns through them, so that the path names
    /// the node from the root down ("ports[1].name").
    void Within(const std::string& name);
    void Within(std::size_t index);
    ///@}
    /// Records a failure that a node found at the current place of the text, unless one was
    /// recorded before.
    ///
    /// The stream is left as it is: the caller returns false on its own.
    void Refuse(const std::string& message);

    /// What a read has taken so far, for the report of a failure.
    ///
    /// The reading routines count lazily: the bytes taken from the buffer's get area since mark
    /// (where the area stood when the reader was made or after the stream's own functions last
    /// ran) are added, and their line ends counted, only before the stream's own functions are
    /// called and when a failure is found.
    struct Progress {
        const char* mark = nullptr;       ///< Get-area position the counts reach; null: none.
        std::uint32_t offset = 0;         ///< Bytes taken up to mark.
        std::uint32_t lines = 0;          ///< Line ends among them.
        std::uint32_t lineStart = 0;      ///< Offset after the last of them.
        std::uint32_t lastLineStart = 0;  ///< The same before that line end.
        JsonError error;                  ///< The first failure, once found.
    };

    /// \name Single reads
    ///@{

    /// Reads one character, string, boolean, integer or double from stream, through the
    /// stream's own functions and without a separator or key.
    ///
    /// Each reports failure only through the stream's failbit; none records an Error().
    void _read_bool(std::istream& stream, bool& value);
    void _read_string(std::istream& stream, std::string& out);
    void _read_char(std::istream& stream, char c);
    void _read_int32(std::istream& stream, int& value);
    void _read_double(std::istream& stream, double& value);
    ///@}

  private:
    WEBJSON_INTERNAL bool _deserialize(unsigned int token, std::string& name, void* value);
    WEBJSON_INTERNAL bool _peek(unsigned int token);

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
