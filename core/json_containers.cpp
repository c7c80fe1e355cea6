// Containers: objects, ordered lists, open lists and the library's array instantiations.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>

#include "core/detail/byte_scan.h"
#include "core/detail/cold.h"
#include "core/detail/leaf.h"
#include "json_list.h"
#include "json_schema.h"
#include "json_stream.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

// Whether node's name is the size bytes at text.
inline bool Named(JsonSchema& node, const char* text, std::size_t size) {
    const std::string& name = node.GetName();
    return name.size() == size && detail::same_bytes(name.data(), text, size);
}

// A container's bracket open, under its key when it has one.
inline bool ReadOpen(JsonReadDocument& reader, unsigned int token, std::string& key) {
    return key.empty() ? reader._deserialize_bracket(token)
                       : reader.Deserialize(token, key, nullptr);
}

// A child's value: a leaf of the library's classes read in place when the area holds it, any
// other node (and the rest) through its Format.
inline bool ReadChild(JsonReadDocument& reader, JsonSchema& child) {
    const detail::Leaf leaf = detail::leaf_of(&child);
    if (leaf != detail::Leaf::kNone && reader._read_leaf(child, static_cast<unsigned int>(leaf))) {
        return true;
    }
    return child.Format(reader, false);
}

}  // namespace

JsonSchemaList::JsonSchemaList(const char* name) : JsonSchema(name) {
    _cleared = false;
}
JsonSchemaList::~JsonSchemaList() {
    _delete_children();
}

void JsonSchemaList::AddNew(JsonSchema* child) {
    if (!child) return;
    try {
        // Room for a few children at once: most lists have several, and arrays read grow one
        // by one.
        if (_children.capacity() == 0) _children.reserve(4);
        _children.push_back(child);
    } catch (...) {  // the child was handed over: without room it is deleted, not leaked
        delete child;
        throw;
    }
}

JsonSchema* JsonSchemaList::GetObject(const char* name) {
    if (!name) return nullptr;
    for (JsonSchema* child : _children) {
        if (child->GetName() == name) return child;
    }
    return nullptr;
}

// Deleting a large array is bound by fetching each element from memory, not by the work
// done on it: the first few elements are requested at once, and then always the one a few
// places ahead of the element being destroyed.
void JsonSchemaList::Clear() {
    _cleared = true;
    _delete_children();
}

void JsonSchemaList::_delete_children() {
#if defined(__GNUC__)
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = _children.size(), n = 0; i > 0 && n < kAhead; --i, ++n)
        __builtin_prefetch(_children[i - 1]);
#endif
    while (!_children.empty()) {
#if defined(__GNUC__)
        if (_children.size() > kAhead) __builtin_prefetch(_children[_children.size() - 1 - kAhead]);
#endif
        JsonSchema* child = _children.back();
        _children.pop_back();
        delete child;
    }
}

void JsonSchemaList::Reset() {
    for (JsonSchema* child : _children)
        child->Reset();
}

JsonSchema* JsonSchemaList::Clone() {
    std::unique_ptr<JsonSchemaList> copy(new JsonSchemaList(_name.c_str()));
    copy->_children.reserve(_children.size());
    for (JsonSchema* child : _children)
        copy->AddNew(child->Clone());
    return copy.release();
}

bool JsonSchemaList::_compile_children(JsonWriteDocument& writer, bool withName, unsigned int begin,
                                       unsigned int end, bool named) {
    if (!_enable) return true;
    // Runs of leaves (integer, bool, double and string nodes of those very classes: a row of
    // text cells, a record's fields) go to the writer at once, with the brackets when the whole
    // list is of them; every other child compiles itself.
    const std::size_t count = _children.size();
    std::size_t i = JsonWriteDocument::kNothing;
    bool leaves = false;  // whether the list starts with a leaf
    if (count != 0) {
        i = writer._serialize_leaves(begin | end << 8, _key(withName), _children.data(), count,
                                     named);
        if (i != JsonWriteDocument::kNothing) {
            if (i & 1) return true;  // the whole list
            i >>= 1;
            leaves = i != 0;
        } else {
            leaves = detail::leaf_of(_children[0]) != detail::Leaf::kNone;
        }
    }
    bool result = true;
    if (i == JsonWriteDocument::kNothing) {
        i = 0;
        result = writer._serialize_open(begin, _key(withName));
    }
    // The child the first run stopped at is not a leaf, or one the writer's area had no room for:
    // it compiles itself without another try.
    if (leaves && i < count) {
        result = _children[i]->Compile(writer, named);
        ++i;
    }
    // A list that does not start with a leaf (an array of objects, say) is looked at no further.
    for (; result && i < count; ++i) {
        if (leaves && detail::leaf_of(_children[i]) != detail::Leaf::kNone) {
            const std::size_t taken =
                writer._serialize_leaves(0, _nullstr, &_children[i], count - i, named);
            if (taken != JsonWriteDocument::kNothing && taken >= 2) {
                i += (taken >> 1) - 1;
                continue;
            }
        }
        result = _children[i]->Compile(writer, named) && result;
    }
    return writer._serialize_close(end) && result;
}

bool JsonSchemaList::Compile(JsonWriteDocument& writer, bool withName) {
    return _compile_children(writer, withName, JSON_OBJECT_BEGIN, JSON_OBJECT_END, true);
}

// object: "{" (key value)* "}" with every child matched once, in any order.
namespace {

// Which children of a strict list got their member: marked in one register-sized word, or in an
// array of them for longer lists.
struct Matching {
    using Word = std::uintptr_t;
    static constexpr std::size_t kBits = sizeof(Word) * 8;

    std::vector<JsonSchema*>& children;
    Word* marks;
    std::size_t count;
    std::size_t first;  // the first child not matched yet
    std::size_t left;   // children not matched yet
    std::size_t found;  // the child the last key named
    bool ahead;         // whether a child was matched out of order (a mark was set)

    // Whether child i, from first on, is matched; those before first all are, unmarked.
    bool Matched(std::size_t i) const { return ((marks[i / kBits] >> (i % kBits)) & 1) != 0; }
    void Mark(std::size_t i) {
        --left;
        if (i != first) {  // out of the children's order
            marks[i / kBits] |= Word{1} << (i % kBits);
            ahead = true;
            return;
        }
        ++first;
        while (ahead && first < count && Matched(first))
            ++first;
    }
    // Undoes Mark(i), i being the child marked last.
    void Unmark(std::size_t i) {
        ++left;
        if (i < first) {
            first = i;
        } else {
            marks[i / kBits] &= ~(Word{1} << (i % kBits));
        }
    }
    // The first child not matched yet whose name is the size bytes at key (count: none).
    std::size_t Find(const char* key, std::size_t size) const {
        std::size_t i = first;
        while (i < count && (Matched(i) || !Named(*children[i], key, size)))
            ++i;
        return i;
    }
    // The first child not matched yet named by the size bytes at key, marked as taken (unless
    // the reader tells otherwise); null when there is none.
    JsonSchema* Take(const char* key, std::size_t size) {
        found = Find(key, size);
        if (found == count) return nullptr;
        Mark(found);
        return children[found];
    }
    static JsonSchema* FindLeaf(void* self, const char* key, const char* end, std::size_t size) {
        Matching& m = *static_cast<Matching*>(self);
#if !defined(__SSE2__)
        // Without SSE2 the reader leaves the key unmeasured, a scan costing more than a compare
        // there: members come in the children's order, so the key is first compared, where it
        // lies, with the name of the first child not matched yet.
        if (m.first < m.count) {
            JsonSchema* next = m.children[m.first];
            const std::string& name = next->GetName();
            if (detail::closes_name(key, end, name.data(), name.size())) {
                m.found = m.first;
                m.Mark(m.found);
                return next;
            }
        }
        return FindAny(m, key, end, size);
#else
        static_cast<void>(end);
        return m.Take(key, size);
#endif
    }
#if !defined(__SSE2__)
    // FindLeaf's search among every child not matched yet, apart from its first compare.
    WEBJSON_COLD static JsonSchema* FindAny(Matching& m, const char* key, const char* end,
                                            std::size_t size) {
        if (size == detail::kNoKey) size = detail::key_size(key, end);
        if (size == detail::kNoKey) return nullptr;
        return m.Take(key, size);
    }
#endif
    static void Untaken(void* self) {
        Matching& m = *static_cast<Matching*>(self);
        m.Unmark(m.found);
    }
};

}  // namespace

bool JsonSchemaList::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    // A member goes to the first child of its name not matched yet; the search starts at the
    // first unmatched child, which for members in the children's order is the one.
    const std::size_t count = _children.size();
    Matching::Word word = 0;
    std::unique_ptr<Matching::Word[]> words;
    if (count > Matching::kBits) {
        words.reset(new Matching::Word[(count + Matching::kBits - 1) / Matching::kBits]());
    }
    Matching m{_children, words ? words.get() : &word, count, 0, count, 0, false};
    // The bracket and the members whose keys and leaf values the area holds plainly, in one go;
    // then one member the general way (its key compared where it lies when it can be, else
    // read), and again.
    bool ended = false;
    unsigned int brackets = 0;  // the brackets the last run took
    bool looked = false;        // whether the members after the bracket were looked at with it
    if (_key(withName).empty()) {
        brackets = JsonReadDocument::kOpenFirst;
        reader._read_leaf_members(&Matching::FindLeaf, &Matching::Untaken, &m, &m.left, ended,
                                  brackets);
        looked = (brackets & JsonReadDocument::kOpenFirst) != 0;
    }
    bool result = looked || ReadOpen(reader, JSON_OBJECT_BEGIN, _key(withName));
    std::string key;
    while (result) {
        if (!looked) {
            brackets = 0;
            reader._read_leaf_members(&Matching::FindLeaf, &Matching::Untaken, &m, &m.left, ended,
                                      brackets);
        }
        looked = false;
        if (brackets & JsonReadDocument::kCloseAfter) return true;  // every member read, "}"
        if (ended) break;
        std::size_t i = count;
        bool named = true;
        const bool marked = (brackets & JsonReadDocument::kKeyTaken) != 0;
        if (marked) {  // the run stopped after a child's key, the child marked
            i = m.found;
        } else {
            const char* text = nullptr;
            std::size_t size = 0;
            const int next = reader._next_key(text, size);
            if (next == JsonReadDocument::kNextEnd) break;
            if (next == JsonReadDocument::kNextItem) {
                i = m.Find(text, size);
                if (i == count) key.assign(text, size);
            } else {
                if (reader.Peek(JSON_OBJECT_END)) break;
                result = reader.Deserialize(JSON_KEY, _nullstr, &key) && result;
                named = result;
                i = m.first;
                while (i < count &&
                       (m.Matched(i) || !detail::same_text(_children[i]->GetName(), key)))
                    ++i;
            }
        }
        if (i < count) {
            result = ReadChild(reader, *_children[i]) && result;
            if (!marked) m.Mark(i);
        } else {
            result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
        }
        if (named && !result) reader.Within(i < count ? _children[i]->GetName() : key);
    }
    // the first child left without a member, reported at the closing brace
    if (result && m.left != 0) {
        reader.Refuse("member \"" + _children[m.first]->GetName() + "\" is missing");
    }
    result = reader._deserialize_bracket(JSON_OBJECT_END) && result;
    return result && m.left == 0;
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
    return _compile_children(writer, withName, JSON_ARRAY_BEGIN, JSON_ARRAY_END, false);
}

// array: "[" value* "]", one value per child in order; fewer values leave children untouched.
bool JsonSchemaOrderedList::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    bool result = ReadOpen(reader, JSON_ARRAY_BEGIN, _key(withName));
    for (std::size_t i = 0; i < _children.size(); ++i) {
        const int next = reader._next_element();
        if (next == JsonReadDocument::kNextEnd || (next == 0 && reader.Peek(JSON_ARRAY_END))) {
            break;
        }
        result = ReadChild(reader, *_children[i]) && result;
        if (!result) {
            reader.Within(i);
            break;
        }
    }
    return reader._deserialize_bracket(JSON_ARRAY_END) && result;
}

JsonSchemaOpenList::JsonSchemaOpenList(const char* name) : JsonSchemaList(name) {}
JsonSchemaOpenList::~JsonSchemaOpenList() {}

// object: "{" (key value)* "}"; missing members are allowed, repeated ones read again.
bool JsonSchemaOpenList::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    bool result = ReadOpen(reader, JSON_OBJECT_BEGIN, _key(withName));
    std::string key;
    auto find = [](void* self, const char* text, const char* end, std::size_t size) -> JsonSchema* {
        if (size == detail::kNoKey) size = detail::key_size(text, end);
        if (size == detail::kNoKey) return nullptr;
        for (JsonSchema* child : *static_cast<std::vector<JsonSchema*>*>(self)) {
            if (Named(*child, text, size)) return child;
        }
        return nullptr;
    };
    while (result) {
        bool ended = false;
        unsigned int brackets = 0;
        reader._read_leaf_members(
            find, [](void*) {}, &_children, nullptr, ended, brackets);
        if (ended) break;
        const char* text = nullptr;
        std::size_t size = 0;
        const int next = reader._next_key(text, size);
        if (next == JsonReadDocument::kNextEnd) break;
        auto it = _children.begin();
        bool named = true;
        if (next == JsonReadDocument::kNextItem) {
            while (it != _children.end() && !Named(**it, text, size))
                ++it;
            if (it == _children.end()) key.assign(text, size);
        } else {
            if (reader.Peek(JSON_OBJECT_END)) break;
            result = reader.Deserialize(JSON_KEY, _nullstr, &key) && result;
            named = result;
            while (it != _children.end() && !detail::same_text((*it)->GetName(), key))
                ++it;
        }
        if (it != _children.end()) {
            result = ReadChild(reader, **it) && result;
        } else {
            result = reader.Deserialize(JSON_SKIP, _nullstr, nullptr) && result;
        }
        if (named && !result) reader.Within(it != _children.end() ? (*it)->GetName() : key);
    }
    return reader._deserialize_bracket(JSON_OBJECT_END) && result;
}

JsonSchemaArrayBase::~JsonSchemaArrayBase() {
    delete _own;
}

void JsonSchemaArrayBase::Reset() {
    if (_children.empty()) {  // nothing to keep or delete (an array written from a source)
        _cleared = false;
        _spares.Forget();
        return;
    }
    _spares.Keep(*this, _prototype());
    _delete_children();
}

bool JsonSchemaArrayBase::Compile(JsonWriteDocument& writer, bool withName) {
    if (_sourced) return _compile_source(writer, withName);
    return _compile_children(writer, withName, JSON_ARRAY_BEGIN, JSON_ARRAY_END, false);
}

WEBJSON_COLD bool JsonSchemaArrayBase::_compile_source(JsonWriteDocument& writer, bool withName) {
    if (!_enable) return true;
    return _spares.WriteFromSource(writer, _key(withName), _prototype());
}

void JsonSchemaArrayBase::ClearSource() {
    _spares.SetSource(nullptr, nullptr);
    _sourced = false;
}

void JsonSchemaArrayBase::_set_source(
    std::function<bool(JsonSchema& element, std::uint32_t index)> source,
    bool (*fits)(JsonSchema* element)) {
    _spares.SetSource(std::move(source), fits);
    _sourced = true;
}

void JsonSchemaArrayBase::_read_with(JsonSchema* prototype) {
    delete _own;
    _own = prototype;
    _owned = true;
}

JsonSchema* JsonSchemaArrayBase::_copy_to(JsonSchemaArrayBase* copy) {
    std::unique_ptr<JsonSchemaArrayBase> made(copy);
    if (_owned) made->_read_with(_own != nullptr ? _own->Clone() : nullptr);
    made->_children.reserve(_children.size());
    for (JsonSchema* child : _children)
        made->AddNew(child->Clone());
    return made.release();
}

bool JsonSchemaArrayBase::_format(JsonReadDocument& reader, bool withName, JsonSchema* shared) {
    if (!_enable) return true;
    // Without a key, the brackets are the elements' reading's to take.
    std::string& key = _key(withName);
    unsigned int brackets = JsonReadDocument::kOpenFirst | JsonReadDocument::kCloseAfter;
    bool result = true;
    if (!key.empty()) {
        brackets = JsonReadDocument::kCloseAfter;
        result = ReadOpen(reader, JSON_ARRAY_BEGIN, key);
    }
    result = _spares.ReadElements(reader, _children, _owned ? _own : shared, result, brackets);
    return ((brackets & JsonReadDocument::kCloseAfter) != 0 ||
            reader._deserialize_bracket(JSON_ARRAY_END)) &&
           result;
}

void JsonSchemaArrayBase::_register(const std::type_info& type, const detail::ArrayClassOps& ops,
                                    std::atomic<bool>& known) {
    detail::RegisterArrayClass(type, ops);
    known.store(true, std::memory_order_relaxed);
}

namespace {

// Adds step to ref, atomically, when the count is at least least; false when it is below.
inline bool count_from(std::int32_t& ref, std::int32_t step, std::int32_t least) {
    std::int32_t n = __atomic_load_n(&ref, __ATOMIC_ACQUIRE);
    while (n >= least) {
        if (__atomic_compare_exchange_n(&ref, &n, n + step, true, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void JsonSchemaArrayBase::_join(std::int32_t& ref, std::mutex& lock, void* prototype,
                                void (*offer)(void* prototype)) {
    std::lock_guard<std::mutex> held(lock);
    if (prototype != nullptr) offer(prototype);
    __atomic_add_fetch(&ref, 1, __ATOMIC_ACQ_REL);
}

void JsonSchemaArrayBase::_leave(std::int32_t& ref, std::mutex& lock, JsonSchema* (*take)()) {
    JsonSchema* unused = nullptr;
    {
        // A count that reaches zero here stays there until the lock is let go.
        std::lock_guard<std::mutex> held(lock);
        count_from(ref, -1, 1);
        if (__atomic_load_n(&ref, __ATOMIC_ACQUIRE) == 0) unused = take();
    }
    // Outside the lock: the prototype may hold arrays of its own.
    delete unused;
}

namespace detail {

bool ArrayClassOps::count(JsonSchema& array, std::int32_t delta) const {
    if (!static_cast<JsonSchemaArrayBase&>(array)._counted) return false;
    if (delta == 0 || count_from(*ref, delta, delta > 0 ? 1 : 1 - delta)) return true;
    std::lock_guard<std::mutex> hold(*lock);
    __atomic_add_fetch(ref, delta, __ATOMIC_ACQ_REL);
    return true;
}

JsonSchema* ArrayClassOps::own(JsonSchema& array, bool& owned) const {
    auto& self = static_cast<JsonSchemaArrayBase&>(array);
    owned = self._owned;
    return self._own;
}

}  // namespace detail

template class JsonSchemaArray<JsonSchema>;
template class JsonSchemaArray<JsonSchemaInt>;
template class JsonSchemaArray<JsonSchemaString>;
template class JsonSchemaArray<JsonSchemaList>;
template class JsonSchemaArray<JsonSchemaArray<JsonSchema>>;
template class JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>;
}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
