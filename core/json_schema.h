// Schema nodes: the abstract node and the four scalar leaves.
//
// A node has a name (its member key) and an enable flag. It writes itself with Compile and
// reads itself with Format; a disabled node does neither and reports success. The typed
// setters and getters form one interface on every node: a node answers only the pair of its
// own type, the others do nothing or return the base defaults.
#ifndef WEBJSON_JSON_SCHEMA_H
#define WEBJSON_JSON_SCHEMA_H

#include <cstddef>
#include <new>
#include <string>

#include "json_stream.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

class WEBJSON_API JsonSchema {
  public:
    // name is copied and must not be null; "" gives a node written without a key.
    explicit JsonSchema(const char* name);
    virtual ~JsonSchema() = default;

    // Returns the value to the default it was constructed with (lists reset their children).
    virtual void Reset() = 0;
    // A new node built from this one's name and default value; owned by the caller.
    virtual JsonSchema* Clone() = 0;
    // Writes the node, under its name as key when withName is true.
    virtual bool Compile(JsonWriteDocument& writer, bool withName) = 0;
    // Reads the node's value, expecting its name as key first when withName is true.
    virtual bool Format(JsonReadDocument& reader, bool withName) = 0;

    virtual void SetValue(int value);
    virtual void SetValue(bool value);
    virtual void SetValue(const char* value);
    virtual void SetValue(double value);
    virtual int GetValueInt();
    virtual bool GetValueBool();
    // Never null: "" for nodes that hold no text.
    virtual const char* GetValueString();
    virtual double GetValueDouble();

    // The node's own name object (not a copy).
    std::string& GetName() { return _name; }
    void SetName(const char* name);
    void SetEnable(bool enable) { _enable = enable; }

    // The empty name, passed wherever no key is written or expected.
    static std::string _nullstr;

    // Nodes, of this and every derived class, come from the library's node allocator (per-thread
    // blocks; the global operators in builds without it). A node may be deleted on any thread.
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

  protected:
    // The first size bytes of name (which need not end there) as the name; null gives "".
    JsonSchema(const char* name, std::size_t size);

    // The name to hand to the writer or reader for the given withName.
    std::string& _key(bool withName) { return withName ? _name : _nullstr; }

    std::string _name;
    bool _enable;
    // Lists only (the room is free here): set when a program empties the list with Clear, so that
    // the library no longer counts on the children being those it made.
    bool _cleared;
};

class WEBJSON_API JsonSchemaInt : public JsonSchema {
  public:
    JsonSchemaInt(const char* name, int value);
    ~JsonSchemaInt() override = default;

    void Reset() override;
    JsonSchema* Clone() override;
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    void SetValue(int value) override;
    int GetValueInt() override;

  protected:
    int _value;
    int _default;
};

class WEBJSON_API JsonSchemaBool : public JsonSchema {
  public:
    JsonSchemaBool(const char* name, bool value);
    ~JsonSchemaBool() override = default;

    void Reset() override;
    JsonSchema* Clone() override;
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    void SetValue(bool value) override;
    bool GetValueBool() override;

  protected:
    bool _value;
    bool _default;
};

class WEBJSON_API JsonSchemaDouble : public JsonSchema {
  public:
    // decimal: significant digits written (16 and above leave the writer's setting).
    JsonSchemaDouble(const char* name, double value, unsigned int decimal);
    ~JsonSchemaDouble() override = default;

    void Reset() override;
    // The clone has the default value and the decimal setting 3.
    JsonSchema* Clone() override;
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    void SetValue(double value) override;
    double GetValueDouble() override;

  protected:
    double _value;
    double _default;
    unsigned int _decimal;
};

class WEBJSON_API JsonSchemaString : public JsonSchema {
  public:
    // value is copied and must not be null.
    JsonSchemaString(const char* name, const char* value);
    // The same node named by the first nameSize bytes of name (which need not end there): for
    // nodes made by the thousand under one name, whose size is known.
    JsonSchemaString(const char* name, std::size_t nameSize, const char* value);
    // The value is the number formatted as unsigned decimal: -1 gives "4294967295".
    JsonSchemaString(const char* name, int value);
    ~JsonSchemaString() override = default;

    void Reset() override;
    JsonSchema* Clone() override;
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    bool Format(JsonReadDocument& reader, bool withName) override;

    using JsonSchema::SetValue;
    // Copies the text; must not be null.
    void SetValue(const char* value) override;
    // Valid until the value next changes or the node is deleted.
    const char* GetValueString() override;

  protected:
    std::string _value;
    std::string _default;
};

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_SCHEMA_H
