/// \file
/// Container nodes: objects, ordered lists and arrays.
///
/// JsonSchemaList owns its children in insertion order and is written as a JSON object of them.
/// On reading it matches members to children by name, in any order, and skips unknown members.
/// Writes and reads fold every step's result with a logical AND; after the first failure no
/// further child is visited, but the closing bracket is still written or asked for.
#ifndef WEBJSON_JSON_LIST_H
#define WEBJSON_JSON_LIST_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "json_schema.h"
#include "webjson_export.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

/// A JSON object of named children. Strict on reading: every child must get a member.
///
/// The list owns its children, in the order they were appended, and deletes them with itself.
/// On reading, a member goes to the first child of its name not matched yet, members may come
/// in any order, and unknown members are skipped; a child left without a member fails the read
/// at the closing brace (`member "name" is missing`).
/// \ingroup nodes
class WEBJSON_API JsonSchemaList : public JsonSchema {
  public:
    /// An empty object named name (copied); "" gives an anonymous object (document roots, array
    /// elements).
    explicit JsonSchemaList(const char* name);
    /// Deletes every child.
    ~JsonSchemaList() override;

    /// Appends child and takes ownership of it.
    ///
    /// When there is no memory to append it, the child is deleted and the std::bad_alloc passed
    /// on. A null child is ignored.
    void AddNew(JsonSchema* child);
    /// The child at index, or null when index is not below Size(). Borrowed.
    JsonSchema* GetObject(unsigned int index) {
        return index < _children.size() ? _children[index] : nullptr;
    }
    /// The first child named exactly name, or null (also for a null name). Borrowed.
    JsonSchema* GetObject(const char* name);
    /// The number of children.
    unsigned int Size() { return static_cast<unsigned int>(_children.size()); }
    /// Deletes every child, last one first.
    ///
    /// An array emptied this way deletes at its next reset whatever it then holds, rather than
    /// keeping it for the next read (see JsonSchemaArray).
    void Clear();

    /// Resets every child; the children stay.
    void Reset() override;
    /// A deep copy, always a plain JsonSchemaList, enabled; owned by the caller.
    ///
    /// Each child is copied with its own Clone.
    JsonSchema* Clone() override;
    /// Writes "{", each child under its name as key, and "}".
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Reads an object whose members match the children by name; every child must get one.
    bool Format(JsonReadDocument& reader, bool withName) override;

    /// GetValueString() of the first child named name, or "" when there is none.
    const char* GetString(const char* name);
    /// SetValue(value) on the first child named name; nothing when there is none.
    ///
    /// The library exports it for `const char*` and `int`.
    template <typename T>
    void Set(const char* name, T value) {
        if (JsonSchema* child = GetObject(name)) child->SetValue(value);
    }

  protected:
    /// Deletes every child, last one first, for the library's own resets (Clear also notes that
    /// a program emptied the list).
    void _delete_children();

    /// The Compile of every list kind: the bracket begin, the children (under their names when
    /// named) and the bracket end; nothing when the list is disabled.
    bool _compile_children(JsonWriteDocument& writer, bool withName, unsigned int begin,
                           unsigned int end, bool named);

    /// The children, owned, in the order they were appended.
    std::vector<JsonSchema*> _children;

  private:
    // A list owns its children: copying one would delete them twice.
    JsonSchemaList(const JsonSchemaList&) = delete;
    JsonSchemaList& operator=(const JsonSchemaList&) = delete;
};

extern template WEBJSON_API void JsonSchemaList::Set<const char*>(const char*, const char*);
extern template WEBJSON_API void JsonSchemaList::Set<int>(const char*, int);

/// A fixed JSON array: its children, in order, without keys.
///
/// Fewer elements than children leave the rest untouched; more elements fail
/// (`expected ']' but found ','`). Clone gives a plain JsonSchemaList.
/// \ingroup nodes
class WEBJSON_API JsonSchemaOrderedList : public JsonSchemaList {
  public:
    /// An empty ordered list named name (copied).
    explicit JsonSchemaOrderedList(const char* name);
    /// Deletes every child.
    ~JsonSchemaOrderedList() override;

    /// Writes "[", each child without a key, and "]".
    bool Compile(JsonWriteDocument& writer, bool withName) override;
    /// Reads one element into each child in order, up to the "]".
    bool Format(JsonReadDocument& reader, bool withName) override;
};

/// A JSON object read leniently: members may be missing or repeated.
///
/// Written like JsonSchemaList. A missing member leaves its child as it is; a repeated one is
/// read again into the first child of its name (the last one wins). Clone gives a plain
/// JsonSchemaList.
/// \ingroup nodes
class WEBJSON_API JsonSchemaOpenList : public JsonSchemaList {
  public:
    /// An empty open list named name (copied).
    explicit JsonSchemaOpenList(const char* name);
    /// Deletes every child.
    ~JsonSchemaOpenList() override;

    /// Reads an object; each member goes to the first child of its name, unknown ones are
    /// skipped.
    bool Format(JsonReadDocument& reader, bool withName) override;
};

namespace detail {

// Where the library finds the class-wide data of an array class without knowing its element
// type.
struct ArrayClassOps {
    std::int32_t* ref;  // the class's _ref
    std::mutex* lock;   // the lock its count leaves and reaches zero under
    // Whether array counts in _ref; when it does, adds delta there (several arrays may be counted
    // at once; the count leaves and reaches zero only under the lock, as everywhere).
    bool count(JsonSchema& array, std::int32_t delta) const;
    // The prototype array reads with when it is its own (owned set), else null.
    JsonSchema* own(JsonSchema& array, bool& owned) const;
};
// Array classes are known by their type: each registers itself the first time one of its arrays
// reads.
void RegisterArrayClass(const std::type_info& type, const ArrayClassOps& ops);

class ReadScope;

template <typename T>
struct ClassPrototype;

// The source of an array of T as the spares call it; Fits tells the elements it can fill.
template <typename T>
struct WEBJSON_INTERNAL SourceCall {
    std::function<bool(T& element, std::uint32_t index)> source;
    bool operator()(JsonSchema& element, std::uint32_t index) const {
        return source(static_cast<T&>(element), index);
    }
    static bool Fits(JsonSchema* element) { return dynamic_cast<T*>(element) != nullptr; }
};

// A callable source of an array of T held as it is, so that a call reaches it through one
// std::function instead of two.
template <typename T, typename F>
struct WEBJSON_INTERNAL SourceOf {
    F source;
    bool operator()(JsonSchema& element, std::uint32_t index) {
        return static_cast<bool>(source(static_cast<T&>(element), index));
    }
};

template <typename F>
struct IsStdFunction : std::false_type {};
template <typename S>
struct IsStdFunction<std::function<S>> : std::true_type {};

// Whether SetSource takes F as it is: a callable class that cannot be empty (function pointers and
// std::function objects, which can, go through the std::function overload and its test).
template <typename T, typename F, typename D = typename std::decay<F>::type>
using PlainSource =
    typename std::enable_if<std::is_class<D>::value && !IsStdFunction<D>::value &&
                            std::is_copy_constructible<D>::value &&
                            std::is_invocable_r<bool, D&, T&, std::uint32_t>::value>::type;

// The spare elements of one array: the elements it read, kept at the reset that starts a
// document's next read (ReadScope) and made like new clones again for that read; those it does
// not need are deleted when the array's read ends, or the document's. Only elements made wholly of
// the library's own value, object and array nodes are kept (arrays in them reset, keeping what they
// read as spares of their own), so that nothing a program overrides can tell them from new
// clones; every other element is deleted at the reset, in the reset's order. Arrays among the
// spares are not counted as live.
class ElementSpares {
  public:
    ElementSpares() = default;
    // Deletes the spares.
    ~ElementSpares();

    // The source an array writes from instead of its elements (null: none), and the test its
    // element must pass (the source's element type).
    void SetSource(std::function<bool(JsonSchema& element, std::uint32_t index)> source,
                   bool (*fits)(JsonSchema* element));
    // "[", then one element reset, filled by the source and written for index 0, 1, ... until
    // the source returns false, then "]". The element is made from prototype (and must pass
    // fits) at the first write, and kept for the next ones while the prototype stays the same.
    // False when no element can be made or a write fails.
    bool WriteFromSource(JsonWriteDocument& writer, std::string& key, JsonSchema* prototype);

    // The array is empty: no element read is left to keep.
    void Forget() { _begin = _end = 0; }
    // A read appended elements at the end of children, from place first on, up to size.
    void Appended(std::size_t first, std::size_t size) {
        if (_end != first) _begin = static_cast<std::uint32_t>(first);
        _end = static_cast<std::uint32_t>(size);
    }
    // At a reset of array: keeps the elements read since the last one that can be renewed from
    // prototype, deletes the other children last one first, and nulls every place.
    void Keep(JsonSchemaList& array, JsonSchema* prototype);
    // A spare made like a new clone of prototype, or else a new clone.
    JsonSchema* Take(JsonSchema* prototype);
    // An array's elements, after its "[" and up to its "]": each read into a spare or a clone of
    // prototype appended to children, or skipped without a prototype. Returns result, false
    // once an element fails (the failure is placed at the element's index). With kOpenFirst in
    // brackets (JsonReadDocument's marks), the "[" is taken first, as Deserialize takes it
    // without a key; with kCloseAfter, the "]" may be taken too, and brackets then tells so.
    bool ReadElements(JsonReadDocument& reader, std::vector<JsonSchema*>& children,
                      JsonSchema* prototype, bool result, unsigned int& brackets);

  private:
    friend class ReadScope;
    struct Store;
    // Makes the next element for the reader (a spare or a clone) and appends it.
    static JsonSchema* MakeElement(void* context);
    // Keep, for every case but an array of leaves read whole: element by element.
    void KeepEach(JsonSchemaList& array, JsonSchema* prototype);
    Store* _store = nullptr;   // made at the first reset that keeps an element
    std::uint32_t _begin = 0;  // the elements read, as places in the array
    std::uint32_t _end = 0;

    ElementSpares(const ElementSpares&) = delete;
    ElementSpares& operator=(const ElementSpares&) = delete;
};

// While one lives on a thread, the resets of arrays keep the elements they read for the read
// that follows; at its end, spares no read took are deleted. Made by the document's read.
class ReadScope {
  public:
    ReadScope();
    ~ReadScope();

  private:
    friend struct ElementSpares::Store;
    ReadScope* _outer;
    ElementSpares::Store* _stores = nullptr;

    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
};

}  // namespace detail

/// What every JsonSchemaArray<T> does whatever its element type T: writing, resetting, copying
/// and reading its elements, its own prototype and its source. Only JsonSchemaArray<T> makes
/// one; see there.
/// \ingroup nodes
class WEBJSON_API JsonSchemaArrayBase : public JsonSchemaList {
  public:
    /// Deletes the elements and an own prototype.
    ~JsonSchemaArrayBase() override;

    /// Empties the array: every element is deleted, last one first (within a document's read, the
    /// elements it read last are kept for that read instead, see JsonSchemaArray).
    void Reset() override;

    /// Writes "[", each element without a key, and "]"; with a source, the elements it gives.
    bool Compile(JsonWriteDocument& writer, bool withName) override;

    /// The array writes its stored elements again (see JsonSchemaArray::SetSource).
    void ClearSource();

  protected:
    /// An empty array named name (copied): counted, it reads with the class-wide prototype of
    /// its element type; otherwise with own (which it deletes; null skips every element).
    JsonSchemaArrayBase(const char* name, std::unique_ptr<JsonSchema> own, bool counted)
        : JsonSchemaList(name), _counted(counted), _own(own.release()), _owned(!counted) {}

    /// The class-wide prototype of the element type, null when none is registered.
    virtual JsonSchema* _class_prototype() = 0;

    /// From now on the array reads with prototype (owned; null skips every element) instead of
    /// the class-wide one; it still counts in _ref.
    ///
    /// For documents that offer a prototype class-wide, as their arrays always have, and yet
    /// read with one of their own.
    void _read_with(JsonSchema* prototype);

    /// Fills copy, a new empty array of the same class, with a copy of the own prototype and of
    /// every element; returns it (deleted when a copy fails).
    JsonSchema* _copy_to(JsonSchemaArrayBase* copy);

    /// Reads the array (see JsonSchemaArray::Format) with its own prototype, or else with
    /// shared, the class-wide one.
    bool _format(JsonReadDocument& reader, bool withName, JsonSchema* shared);
    /// Makes the array class type, whose class-wide data ops names, known to the reuse of
    /// elements read; sets known.
    static void _register(const std::type_info& type, const detail::ArrayClassOps& ops,
                          std::atomic<bool>& known);

    /// Writes the array from source, whose elements must pass fits (see
    /// JsonSchemaArray::SetSource).
    void _set_source(std::function<bool(JsonSchema& element, std::uint32_t index)> source,
                     bool (*fits)(JsonSchema* element));

    /// Counts one more array in ref, atomically, unless ref is zero (false then: see _join).
    static bool _count_up(std::int32_t& ref) {
        std::int32_t n = __atomic_load_n(&ref, __ATOMIC_ACQUIRE);
        while (n >= 1) {
            if (__atomic_compare_exchange_n(&ref, &n, n + 1, true, __ATOMIC_ACQ_REL,
                                            __ATOMIC_ACQUIRE)) {
                return true;
            }
        }
        return false;
    }
    /// Counts one array less in ref, atomically, unless it is the last one (false then: see
    /// _leave).
    static bool _count_down(std::int32_t& ref) {
        std::int32_t n = __atomic_load_n(&ref, __ATOMIC_ACQUIRE);
        while (n >= 2) {
            if (__atomic_compare_exchange_n(&ref, &n, n - 1, true, __ATOMIC_ACQ_REL,
                                            __ATOMIC_ACQUIRE)) {
                return true;
            }
        }
        return false;
    }
    /// A new class-wide array joins the count ref under lock, where the count leaves zero or
    /// a prototype (not null) is offered through offer.
    static void _join(std::int32_t& ref, std::mutex& lock, void* prototype,
                      void (*offer)(void* prototype));
    /// A class-wide array leaves the count ref under lock, where it may be the last one: the
    /// last one takes the class-wide prototype away through take and deletes it.
    static void _leave(std::int32_t& ref, std::mutex& lock, JsonSchema* (*take)());

    /// Built with the class-wide constructor: counts in _ref.
    const bool _counted;

  private:
    friend struct detail::ArrayClassOps;
    template <typename>
    friend struct detail::ClassPrototype;

    // The prototype this array reads with.
    JsonSchema* _prototype() { return _owned ? _own : _class_prototype(); }
    // The elements of the source (kept apart from Compile's common path).
    WEBJSON_INTERNAL bool _compile_source(JsonWriteDocument& writer, bool withName);

    JsonSchema* _own;       // owned; the prototype of an array that reads with its own
    bool _owned;            // reads with _own, not with the class-wide prototype
    bool _sourced = false;  // written from the source its spares keep

    detail::ElementSpares _spares;
};

/// A JSON array of like elements, grown from a prototype when read.
///
/// Elements are the list's children: the owner appends them for writing; reading appends one
/// clone of the array's prototype per JSON element, after the elements already present. Without
/// a prototype every element read is skipped.
///
/// An array gets its prototype in one of two ways:
/// - Its own: `JsonSchemaArray(name, std::unique_ptr<T>)`. The array reads with that prototype
///   whatever else the program has built, and deletes it with itself. It leaves the class-wide
///   data alone: the prototype is not offered there and the array does not count in _ref.
/// - The class-wide one: `JsonSchemaArray(name, T*)`. All such arrays of one element type T share
///   one prototype (_element) and one count of live arrays (_ref). The first non-null prototype
///   offered while none is registered is kept, and deleted when the last array of that type is
///   destroyed; a prototype offered while another is in force is neither kept nor deleted (the
///   caller still owns it), and the array reads with the one in force. A prototype that itself
///   holds an array of its own element type keeps _ref above zero and so lives until the process
///   ends.
///
/// Threads: _element and _ref are updated atomically. A lock of the element type is taken only
/// where the count leaves or reaches zero or a prototype is offered (so not for the copies that
/// reading makes); a read takes the prototype once, when the array starts reading. Arrays of one
/// type may so be built, used and destroyed in several threads at once, each array by one thread
/// at a time. A class-wide prototype must not be changed once offered, and a program that reads
/// _element or _ref itself must not do so while another thread builds or destroys arrays of that
/// type.
///
/// At the reset that starts a document's read, an array keeps the elements it read that are
/// made wholly of the library's value, object and array classes, and reads into them again
/// instead of cloning; what the read does not need is deleted at its end. Nothing a program
/// overrides can tell: elements with a class of the program's anywhere are cloned and deleted as
/// without reuse. Arrays inside kept elements do not count in _ref while they are kept.
///
/// An array may also be written from a source instead of its elements (SetSource): one element,
/// filled by the source for each index in turn, so that writing a view of the program's data
/// needs no node per element.
///
/// The library holds the instantiations for JsonSchema, JsonSchemaInt, JsonSchemaString,
/// JsonSchemaList, `JsonSchemaArray<JsonSchema>`, `JsonSchemaArray<JsonSchemaString>`, JsonTree
/// and JsonSceneAttribute, so a program that uses these element types shares their prototype
/// and count with it.
/// \ingroup nodes
template <typename T>
class WEBJSON_API JsonSchemaArray : public JsonSchemaArrayBase {
  public:
    /// An array whose prototype is its own (null: every element read is skipped).
    JsonSchemaArray(const char* name, std::unique_ptr<T> prototype)
        : JsonSchemaArrayBase(name, std::move(prototype), false) {}

    /// An array that reads with the class-wide prototype of T; prototype (may be null) is
    /// offered there.
    JsonSchemaArray(const char* name, T* prototype) : JsonSchemaArrayBase(name, nullptr, true) {
        // Without a prototype to offer and while other arrays of T live, only the count changes.
        if (prototype != nullptr || !_count_up(_ref)) {
            _join(_ref, _lock, prototype, &detail::ClassPrototype<T>::Offer);
        }
    }

    /// Deletes the elements and an own prototype; the last class-wide array of T deletes the
    /// class-wide prototype.
    ~JsonSchemaArray() override {
        if (_counted && !_count_down(_ref)) _leave(_ref, _lock, &detail::ClassPrototype<T>::Take);
    }

    /// The element at index as `T*`, or null when index is not below Size(). Borrowed.
    ///
    /// Not checked: the element must be a T.
    T* GetArray(unsigned int index) { return static_cast<T*>(GetObject(index)); }

    /// A new array with the same name and a copy of every element (not the source); owned by
    /// the caller.
    ///
    /// A class-wide array's copy reads with the class-wide prototype (which is unchanged),
    /// another's with a copy of its own.
    JsonSchema* Clone() override {
        return _copy_to(_counted ? new JsonSchemaArray<T>(_name.c_str(), nullptr)
                                 : new JsonSchemaArray<T>(_name.c_str(), std::unique_ptr<T>()));
    }

    /// Writes the array from source instead of its elements, until ClearSource.
    ///
    /// Writing makes one element from the prototype (the array's own or the class-wide one),
    /// then for index 0, 1, ... resets it to its defaults, calls `source(element, index)` and
    /// writes the element when the call returns true, until a call returns false. The element
    /// is kept with the array for its next writes while the prototype stays the same, so a write
    /// of any length, and a source array inside a source's element, holds one element's memory.
    /// The elements stored in the array are kept but not written; reading is not affected.
    /// Without a prototype (or when its clone is not a T) the write fails. An exception from the
    /// source ends the document's write as a failure, like one from a node. When there is no
    /// memory to hold the source, std::bad_alloc is passed on and the array is left as it was.
    void SetSource(std::function<bool(T& element, std::uint32_t index)> source) {
        if (!source) return ClearSource();
        _set_source(detail::SourceCall<T>{std::move(source)}, &detail::SourceCall<T>::Fits);
    }

    /// As SetSource above, for a lambda or another callable object of the program's: it is held
    /// as it is, not inside a second std::function, which saves an indirect call per element.
    template <typename F, typename = detail::PlainSource<T, F>>
    void SetSource(F&& source) {
        using Call = detail::SourceOf<T, typename std::decay<F>::type>;
        _set_source(Call{std::forward<F>(source)}, &detail::SourceCall<T>::Fits);
    }

    /// Appends the elements read after those already present.
    ///
    /// Fails at the first element that does not fit the prototype (the failure's path names its
    /// index).
    bool Format(JsonReadDocument& reader, bool withName) override {
        if (_class_known.load(std::memory_order_relaxed)) {
            return _format(reader, withName, _registered());
        }
        return detail::ClassPrototype<T>::FirstFormat(*this, reader, withName);
    }

    /// Prototype shared by the class-wide arrays of element type T; null when none is
    /// registered. Owned by the class-wide data.
    static T* _element;
    /// Number of class-wide arrays of element type T alive.
    static int32_t _ref;

  protected:
    /// The class-wide prototype in force, loaded atomically, for use beside other threads'
    /// arrays of T.
    static T* _registered() { return __atomic_load_n(&_element, __ATOMIC_ACQUIRE); }
    /// The class-wide prototype of T in force.
    JsonSchema* _class_prototype() override { return _registered(); }

  private:
    friend struct detail::ClassPrototype<T>;

    // Taken where the count leaves or reaches zero and where a prototype is offered.
    static std::mutex _lock;
    // Whether the class is registered for the spares (at its first read).
    static std::atomic<bool> _class_known;
};

template <typename T>
T* JsonSchemaArray<T>::_element = nullptr;
template <typename T>
int32_t JsonSchemaArray<T>::_ref = 0;
template <typename T>
std::mutex JsonSchemaArray<T>::_lock;
template <typename T>
std::atomic<bool> JsonSchemaArray<T>::_class_known{false};

namespace detail {

// The class-wide prototype of JsonSchemaArray<T>, for the arrays' shared code.
template <typename T>
struct WEBJSON_INTERNAL ClassPrototype {
    // Keeps prototype (a T) when none is in force.
    static void Offer(void* prototype) {
        if (JsonSchemaArray<T>::_element == nullptr) {
            __atomic_store_n(&JsonSchemaArray<T>::_element, static_cast<T*>(prototype),
                             __ATOMIC_RELEASE);
        }
    }
    // Takes the prototype in force away.
    static JsonSchema* Take() {
        return __atomic_exchange_n(&JsonSchemaArray<T>::_element, nullptr, __ATOMIC_ACQ_REL);
    }
    // The first read of an array of the class, which makes the class known first (out of the
    // way of the reads that follow).
    [[gnu::noinline, gnu::cold]] static bool FirstFormat(JsonSchemaArray<T>& array,
                                                         JsonReadDocument& reader, bool withName) {
        JsonSchemaArrayBase::_register(
            typeid(JsonSchemaArray<T>),
            ArrayClassOps{&JsonSchemaArray<T>::_ref, &JsonSchemaArray<T>::_lock},
            JsonSchemaArray<T>::_class_known);
        return array._format(reader, withName, JsonSchemaArray<T>::_registered());
    }
};

}  // namespace detail

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
