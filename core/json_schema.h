/// \file
/// Schema nodes: the abstract node and the four scalar leaves.
#ifndef WEBJSON_JSON_SCHEMA_H
#define WEBJSON_JSON_SCHEMA_H

#include <cstddef>
#include <new>
#include <string>

#include "json_stream.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

/// The abstract schema node: a named value that writes and reads itself.
///
/// A node has a name (its member key) and an enable flag. It writes itself with Compile and
/// reads itself with Format; a disabled node does neither and reports success. The typed
/// setters and getters form one interface on every node: a node answers only the pair of its
/// own type, the others do nothing or return the base defaults (0, false, "", 0.0).
///
/// Ownership: a node belongs to the container it is appended to, and is deleted with it. A node
/// is used by one thread at a time, like the document it belongs to.
/// \ingroup nodes
class WEBJSON_API JsonSchema {
  public:
    /// A node named name (copied; null is taken as ""); "" gives a node written without a key.
    explicit JsonSchema(const char* name);
    /// Destroys the node; containers delete their children with it.
    virtual ~JsonSchema() = default;

    /// Returns the value to the default it was constructed with (lists reset their children).
    virtual void Reset() = 0;
    /// A new node built from this one's name and default value; owned by the caller.
    ///
    /// The copy is enabled and holds the default, not the current value.
    virtual JsonSchema* Clone() = 0;
    /// Writes the node, under its name as key when withName is true.
    ///
    /// Returns false when the writer's stream was not good (see JsonWriteDocument::Serialize);
    /// a disabled node writes nothing and returns true.
    virtual bool Compile(JsonWriteDocument& writer, bool withName) = 0;
    /// Reads the node's value, expecting its name as key first when withName is true.
    ///
    /// Returns false when the text does not fit the node (the reader's stream is then failed);
    /// a disabled node reads nothing and returns true.
    virtual bool Format(JsonReadDocument& reader, bool withName) = 0;

    /// \name Typed setters
    ///@{

    /// Sets the value of a node of that type; any other node ignores the call.
    ///
    /// Texts are copied. Typed so that each node class answers only its own setter.
    virtual void SetValue(int value);
    virtual void SetValue(bool value);
    virtual void SetValue(const char* value);
    virtual void SetValue(double value);
    ///@}
    /// The value of an integer node; 0 for every other node.
    virtual int GetValueInt();
    /// The value of a boolean node; false for every other node.
    virtual bool GetValueBool();
    /// The text of a string node; never null: "" for nodes that hold no text.
    ///
    /// The pointer is borrowed from the node (see JsonSchemaString::GetValueString).
    virtual const char* GetValueString();
    /// The value of a double node; 0.0 for every other node.
    virtual double GetValueDouble();

    /// The node's own name object (not a copy); its member key.
    std::string& GetName() { return _name; }
    /// Renames the node (copied; null is taken as "").
    void SetName(const char* name);
    /// Enables or disables the node: a disabled node writes and reads nothing and succeeds.
    void SetEnable(bool enable) { _enable = enable; }

    /// The empty name, passed wherever no key is written or expected.
    static std::string _nullstr;

    /// \name Node allocation
    ///@{

    /// Allocates or frees a node with the library's node allocator.
    ///
    /// Nodes of this and every derived class come from it: each thread carves nodes from blocks
    /// of its own (the global operators in builds without the allocator or with a sanitizer). A
    /// node may be deleted on any thread. The plain forms throw std::bad_alloc when memory runs
    /// out, the nothrow forms return null; the placement forms construct in place.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void* operator new(std::size_t size, std::align_val_t align);
    static void* operator new(std::size_t size, std::align_val_t align,
                              const std::nothrow_t&) noexcept;
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, std::size_t size) noexcept;
    static void operator delete(void* p, std::align_val_t align) noexcept;
    static void operator delete(void* p, std::size_t size, std::align_val_t align) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept;
    static void operator delete(void* p, std::align_val_t align, const std::nothrow_t&) noexcept;
    static void operator delete(void*, void*) noexcept {}
    ///@}

  protected:
    /// A node named by the first size bytes of name (which need not end there); null gives "".
    JsonSchema(const char* name, std::size_t size);

    /// The name to hand to the writer or reader for the given withName: the node's name or
    /// _nullstr.
    std::string& _key(bool withName) { return withName ? _name : _nullstr; }

    /// The node's name, its member key.
    std::string _name;
    /// Whether the node writes and reads (true unless SetEnable(false)).
    bool _enable;
    /// Lists only (the room is free here): set when a program empties the list with Clear, so
    /// that the library no longer counts on the children being those it made.
    bool _cleared;
};

/// A 32-bit signed integer, written as a JSON number.
///
/// Reading takes digits, signs and dots (an exponent is not read); a number beyond the 32-bit
/// range saturates to INT_MAX or INT_MIN.
/// \ingroup nodes
class WEBJSON_API JsonSchemaInt : public JsonSchema {
  public:
    /// A node named name (copied) whose value and default are value.
    JsonSchemaInt(const char* name, int value);
    /// Destroys the node.
    ~JsonSchemaInt() override = default;

    /// Returns the value to its default.
    void Reset() override;
    /// A new node with the same name, holding the default; owned by the caller.
    JsonSchema* Clone() override;
    /// Writes the value as a decimal number.
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Reads a number into the value; false when the text holds no number here.
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    /// Sets the value.
    void SetValue(int value) override;
    /// The value.
    int GetValueInt() override;

  protected:
    /// The current value.
    int _value;
    /// The value given at construction, brought back by Reset.
    int _default;
};

/// A boolean, written as true or false.
/// \ingroup nodes
class WEBJSON_API JsonSchemaBool : public JsonSchema {
  public:
    /// A node named name (copied) whose value and default are value.
    JsonSchemaBool(const char* name, bool value);
    /// Destroys the node.
    ~JsonSchemaBool() override = default;

    /// Returns the value to its default.
    void Reset() override;
    /// A new node with the same name, holding the default; owned by the caller.
    JsonSchema* Clone() override;
    /// Writes true or false (and leaves boolalpha set on the stream).
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Reads true or false; false for any other text.
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    /// Sets the value.
    void SetValue(bool value) override;
    /// The value.
    bool GetValueBool() override;

  protected:
    /// The current value.
    bool _value;
    /// The value given at construction, brought back by Reset.
    bool _default;
};

/// A double, written in the general notation with a number of significant digits of its own.
///
/// Numbers are written and read as in the C locale, whatever the program's locales; NaN and
/// infinities are written as null.
/// \ingroup nodes
class WEBJSON_API JsonSchemaDouble : public JsonSchema {
  public:
    /// A node named name (copied) whose value and default are value.
    ///
    /// decimal: significant digits written (16 and above leave the writer's setting, which is 3
    /// or what the double written before set).
    JsonSchemaDouble(const char* name, double value, unsigned int decimal);
    /// Destroys the node.
    ~JsonSchemaDouble() override = default;

    /// Returns the value to its default.
    void Reset() override;
    /// A new node with the same name and the default value; its decimal setting is 3.
    ///
    /// Owned by the caller.
    JsonSchema* Clone() override;
    /// Sets the writer's precision to the node's decimal setting and writes the value.
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Reads a number into the value, with "." as the decimal point.
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    /// Sets the value.
    void SetValue(double value) override;
    /// The value.
    double GetValueDouble() override;

  protected:
    /// The current value.
    double _value;
    /// The value given at construction, brought back by Reset.
    double _default;
    /// Significant digits written.
    unsigned int _decimal;
};

/// A text, written as a JSON string (escaped where JSON needs it).
/// \ingroup nodes
class WEBJSON_API JsonSchemaString : public JsonSchema {
  public:
    /// A node named name whose value and default are value; both are copied (null is taken as
    /// "").
    JsonSchemaString(const char* name, const char* value);
    /// The same node named by the first nameSize bytes of name (which need not end there).
    ///
    /// For nodes made by the thousand under one name, whose size is known (the table's cells).
    JsonSchemaString(const char* name, std::size_t nameSize, const char* value);
    /// A node whose value is the number formatted as unsigned decimal: -1 gives "4294967295".
    JsonSchemaString(const char* name, int value);
    /// Destroys the node.
    ~JsonSchemaString() override = default;

    /// Returns the value to its default.
    void Reset() override;
    /// A new node with the same name, holding the default; owned by the caller.
    JsonSchema* Clone() override;
    /// Writes the value as a string.
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Reads a string into the value, escapes decoded.
    ///
    /// A `\u` escape carries one byte, its last two hexadecimal digits.
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    /// Copies the text into the value (null is taken as "").
    void SetValue(const char* value) override;
    /// The value; valid until the value next changes or the node is deleted.
    const char* GetValueString() override;
    /// The value as the node holds it, for copying out with its size known (no strlen, no
    /// virtual call); valid as GetValueString's.
    const std::string& GetValueText() const noexcept { return _value; }

  protected:
    /// The current value.
    std::string _value;
    /// The value given at construction, brought back by Reset.
    std::string _default;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_SCHEMA_H
