// Container nodes: objects, ordered lists and arrays.
//
// JsonSchemaList owns its children in insertion order and is written as a JSON object of them.
// On reading it matches members to children by name, in any order, and skips unknown members.
// Writes and reads fold every step's result with a logical AND; after the first failure no
// further child is visited, but the closing bracket is still written or asked for.
#ifndef WEBJSON_JSON_LIST_H
#define WEBJSON_JSON_LIST_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <typeinfo>
#include <vector>

#include "json_schema.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

// A JSON object of named children. Strict on reading: every child must get a member.
class WEBJSON_API JsonSchemaList : public JsonSchema {
  public:
    // "" gives an anonymous object (document roots, array elements).
    explicit JsonSchemaList(const char* name);
    ~JsonSchemaList() override;

    // Appends child and takes ownership of it. A null child is ignored.
    void AddNew(JsonSchema* child);
    // The child at index, or null when index is not below Size(). Borrowed.
    JsonSchema* GetObject(unsigned int index);
    // The first child named exactly name, or null. Borrowed.
    JsonSchema* GetObject(const char* name);
    unsigned int Size();
    // Deletes every child, last one first.
    void Clear();

    // Resets every child; the children stay.
    void Reset() override;
    // A deep copy, always a plain JsonSchemaList, enabled; owned by the caller.
    JsonSchema* Clone() override;
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    bool Format(JsonReadDocument& reader, bool withName) override;

    // GetValueString() of the first child named name, or "" when there is none.
    const char* GetString(const char* name);
    // SetValue(value) on the first child named name; nothing when there is none.
    template <typename T>
    void Set(const char* name, T value) {
        if (JsonSchema* child = GetObject(name)) child->SetValue(value);
    }

  protected:
    std::vector<JsonSchema*> _children;

  private:
    // A list owns its children: copying one would delete them twice.
    JsonSchemaList(const JsonSchemaList&) = delete;
    JsonSchemaList& operator=(const JsonSchemaList&) = delete;
};

extern template WEBJSON_API void JsonSchemaList::Set<const char*>(const char*, const char*);
extern template WEBJSON_API void JsonSchemaList::Set<int>(const char*, int);

// Written and read as a JSON array of its children, in order, without keys. Fewer elements
// than children leave the rest untouched; more elements fail.
class WEBJSON_API JsonSchemaOrderedList : public JsonSchemaList {
  public:
    explicit JsonSchemaOrderedList(const char* name);
    ~JsonSchemaOrderedList() override;

    bool Compile(JsonWriteDocument& writer, bool withName) override;
    bool Format(JsonReadDocument& reader, bool withName) override;
};

// Written like JsonSchemaList; read leniently: members may be missing (their children keep
// their values) or repeated (the last one wins).
class WEBJSON_API JsonSchemaOpenList : public JsonSchemaList {
  public:
    explicit JsonSchemaOpenList(const char* name);
    ~JsonSchemaOpenList() override;

    bool Format(JsonReadDocument& reader, bool withName) override;
};

namespace detail {

// Array classes are known by their type: each registers itself, with the function that adds to
// its count of live arrays, the first time one of its arrays reads.
WEBJSON_API void RegisterArrayClass(const std::type_info& type, void (*count)(std::int32_t delta));

// The spare elements of one array: elements it cloned from the prototype and kept at a reset,
// made like new clones again at the next read. Elements built of the library's own value,
// object and array nodes are kept (arrays in them emptied), members of other classes are
// deleted at the reset and cloned anew. Arrays among the spares are not counted as live.
class WEBJSON_API ElementSpares {
  public:
    ElementSpares() = default;
    // Deletes the spares.
    ~ElementSpares();

    // A read appended an element at the end of children, now of the given size.
    void Appended(std::size_t size) {
        if (_end + 1 != size) _begin = static_cast<std::uint32_t>(size - 1);
        _end = static_cast<std::uint32_t>(size);
    }
    // At a reset: keeps the elements read since the last one that can be renewed from
    // prototype and nulls their places in children.
    void Keep(std::vector<JsonSchema*>& children, JsonSchema* prototype);
    // A spare made like a new clone of prototype, or else a new clone.
    JsonSchema* Take(JsonSchema* prototype);

  private:
    struct Store;
    Store* _store = nullptr;   // made at the first reset that keeps an element
    std::uint32_t _begin = 0;  // the elements read, as places in the array
    std::uint32_t _end = 0;

    ElementSpares(const ElementSpares&) = delete;
    ElementSpares& operator=(const ElementSpares&) = delete;
};

}  // namespace detail

// A JSON array of like elements. Elements are the list's children: the owner appends them for
// writing; reading appends one clone of the class-wide prototype per JSON element.
//
// All arrays of one element type T share one prototype (_element) and one count of live
// arrays (_ref). The first non-null prototype offered while none is registered is kept, and
// deleted when the last array of that type is destroyed; a prototype offered while another is
// in force is neither kept nor deleted (the caller still owns it). Without a prototype every
// element read is skipped. Arrays of one element type must be used by one thread at a time.
// A prototype that itself holds an array of its own element type keeps _ref above zero and so
// lives until the process ends. At a reset an array keeps the elements it read that are built of
// the library's value, object and array nodes, and reads into them again instead of cloning.
template <typename T>
class WEBJSON_API JsonSchemaArray : public JsonSchemaList {
  public:
    JsonSchemaArray(const char* name, T* prototype) : JsonSchemaList(name) {
        if (_element == nullptr) _element = prototype;
        ++_ref;
    }

    ~JsonSchemaArray() override {
        if (_ref > 0) --_ref;
        if (_ref == 0 && _element != nullptr) {
            T* prototype = _element;
            _element = nullptr;
            delete prototype;
        }
    }

    // The element at index as T*, or null when index is not below Size().
    T* GetArray(unsigned int index) { return static_cast<T*>(GetObject(index)); }

    // Empties the array: the elements it read are kept as spares, the others deleted.
    void Reset() override {
        _spares.Keep(_children, _element);
        Clear();
    }

    // A new array with the same name and a copy of every element; the prototype is unchanged.
    JsonSchema* Clone() override {
        JsonSchemaArray<T>* copy = new JsonSchemaArray<T>(_name.c_str(), nullptr);
        copy->_children.reserve(_children.size());
        for (JsonSchema* child : _children)
            copy->AddNew(child->Clone());
        return copy;
    }

    bool Compile(JsonWriteDocument& writer, bool withName) override {
        if (!_enable) return true;
        bool result = writer.Serialize(JSON_ARRAY_BEGIN, _key(withName), nullptr);
        for (JsonSchema* child : _children) {
            result = child->Compile(writer, false) && result;
            if (!result) break;
        }
        return writer.Serialize(JSON_ARRAY_END, _nullstr, nullptr) && result;
    }

    // Appends the elements read after those already present.
    bool Format(JsonReadDocument& reader, bool withName) override {
        if (!_enable) return true;
        if (!_registered.load(std::memory_order_relaxed)) {
            detail::RegisterArrayClass(typeid(JsonSchemaArray<T>), &JsonSchemaArray<T>::_count);
            _registered.store(true, std::memory_order_relaxed);
        }
        bool result = reader.Deserialize(JSON_ARRAY_BEGIN, _key(withName), nullptr);
        while (result && !reader.Peek(JSON_ARRAY_END)) {
            if (_element == nullptr) {
                result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
                continue;
            }
            JsonSchema* element = _spares.Take(_element);
            AddNew(element);
            _spares.Appended(_children.size());
            result = element->Format(reader, false) && result;
        }
        return reader.Deserialize(JSON_ARRAY_END, _nullstr, nullptr) && result;
    }

    // Prototype shared by all arrays of element type T; null when none is registered.
    static T* _element;
    // Number of arrays of element type T alive.
    static int32_t _ref;

  private:
    static void _count(std::int32_t delta) { _ref += delta; }
    static std::atomic<bool> _registered;

    detail::ElementSpares _spares;
};

template <typename T>
T* JsonSchemaArray<T>::_element = nullptr;
template <typename T>
int32_t JsonSchemaArray<T>::_ref = 0;
template <typename T>
std::atomic<bool> JsonSchemaArray<T>::_registered{false};

// The instantiations the library itself uses live in the library, so a program that uses the
// same element types shares their prototype and count with it.
extern template class WEBJSON_API JsonSchemaArray<JsonSchema>;
extern template class WEBJSON_API JsonSchemaArray<JsonSchemaInt>;
extern template class WEBJSON_API JsonSchemaArray<JsonSchemaString>;
extern template class WEBJSON_API JsonSchemaArray<JsonSchemaList>;
extern template class WEBJSON_API JsonSchemaArray<JsonSchemaArray<JsonSchema>>;
extern template class WEBJSON_API JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>;

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI

#endif  // WEBJSON_JSON_LIST_H
