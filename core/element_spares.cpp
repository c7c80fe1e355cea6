// Spare elements of arrays: the elements an array read, kept at the reset that starts a document's
// next read and read into again in place of new clones; what the read leaves over is deleted at its
// end. Only elements made of the library's own value, object and array nodes are kept, so that no
// program can tell a kept element from a new clone: no function a program may override (Clone, a
// destructor, Reset, Format) is called more, less or in another order than without them.
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <typeinfo>
#include <vector>

#include "core/detail/byte_scan.h"
#include "core/detail/cold.h"
#include "core/detail/leaf.h"
#include "core/detail/node_reuse.h"
#include "json_list.h"
#include "json_schema.h"

namespace DocumentAPI {
namespace JsonDocumentAPI {

namespace {

// The protected fields that a clone sets, reached from outside the node classes.
struct IntFields : JsonSchemaInt {
    static void Renew(JsonSchemaInt& to, JsonSchemaInt& from) {
        to.*(&IntFields::_default) = from.*(&IntFields::_default);
        to.*(&IntFields::_value) = from.*(&IntFields::_default);
    }
    static void ToDefault(JsonSchema& node) {
        JsonSchemaInt& n = static_cast<JsonSchemaInt&>(node);
        n.*(&IntFields::_value) = n.*(&IntFields::_default);
    }
};
struct BoolFields : JsonSchemaBool {
    static void Renew(JsonSchemaBool& to, JsonSchemaBool& from) {
        to.*(&BoolFields::_default) = from.*(&BoolFields::_default);
        to.*(&BoolFields::_value) = from.*(&BoolFields::_default);
    }
};
struct DoubleFields : JsonSchemaDouble {
    static void Renew(JsonSchemaDouble& to, JsonSchemaDouble& from) {
        to.*(&DoubleFields::_default) = from.*(&DoubleFields::_default);
        to.*(&DoubleFields::_value) = from.*(&DoubleFields::_default);
        to.*(&DoubleFields::_decimal) = 3;  // what Clone gives
    }
};
struct StringFields : JsonSchemaString {
    template <typename Text>
    static void Renew(JsonSchemaString& to, const Text& value) {
        std::string& fresh = to.*(&StringFields::_default);
        if (fresh != value) fresh = value;
        std::string& current = to.*(&StringFields::_value);
        if (fresh.empty()) {  // the usual default of an element read: no call
            current.clear();
        } else {
            current = fresh;
        }
    }
    static const std::string& Default(JsonSchemaString& node) {
        return node.*(&StringFields::_default);
    }
};
struct ListFields : JsonSchemaList {
    static std::vector<JsonSchema*>& Children(JsonSchemaList& list) {
        return list.*(&ListFields::_children);
    }
    // Whether a program emptied the list with Clear since the library made it; clears the mark.
    static bool TakeCleared(JsonSchema& list) {
        bool& cleared = list.*(&ListFields::_cleared);
        const bool was = cleared;
        cleared = false;
        return was;
    }
    static bool Cleared(JsonSchema& list) { return list.*(&ListFields::_cleared); }
    using JsonSchemaList::_delete_children;
    // An object of this very class written as its Compile writes it, without the virtual call.
    static bool Write(JsonSchema& list, JsonWriteDocument& writer) {
        return (static_cast<JsonSchemaList&>(list).*(&ListFields::_compile_children))(
            writer, false, JSON_OBJECT_BEGIN, JSON_OBJECT_END, true);
    }
    // The same for an object of leaves alone, written whole at once; false, with nothing
    // written, when it cannot be (its Write then writes it).
    static bool WriteWhole(JsonSchema& list, JsonWriteDocument& writer) {
        std::vector<JsonSchema*>& members = Children(static_cast<JsonSchemaList&>(list));
        return list.*(&ListFields::_enable) && !members.empty() &&
               writer._serialize_leaves(
                   JsonWriteDocument::kWholeList | JSON_OBJECT_BEGIN | JSON_OBJECT_END << 8,
                   _nullstr, members.data(), members.size(), true) != JsonWriteDocument::kNothing;
    }
    // Whether every member of the list is a leaf of the library's classes.
    static bool Flat(JsonSchema& list) {
        for (JsonSchema* member : Children(static_cast<JsonSchemaList&>(list))) {
            if (detail::leaf_of(member) == detail::Leaf::kNone) return false;
        }
        return true;
    }
};

// The leaf kinds come together, kInt to kString.
enum class Kind { kOther, kInt, kBool, kDouble, kString, kList, kArray };

// The array classes registered so far; a full table only leaves later classes unregistered (their
// arrays are then not kept inside elements).
struct ArrayClass {
    std::atomic<const std::type_info*> type{nullptr};
    detail::ArrayClassOps ops{};
};
ArrayClass g_arrays[64];
std::atomic<std::size_t> g_array_count{0};
pthread_mutex_t g_array_lock = PTHREAD_MUTEX_INITIALIZER;

// The operations of node's class when it is a registered array class.
const detail::ArrayClassOps* ArrayOps(const JsonSchema& node) {
    const std::type_info* type = &typeid(node);
    const std::size_t count = g_array_count.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i) {
        if (g_arrays[i].type.load(std::memory_order_acquire) == type) return &g_arrays[i].ops;
    }
    return nullptr;
}

// The node's exact class, when it is one that is renewed in place. The nodes of these classes
// are made by the library's constructors, so their type information is the library's own
// object: comparing addresses is enough (a miss only costs a clone).
Kind KindOf(const JsonSchema& node) {
    const std::type_info* type = &typeid(node);
    if (type == &typeid(JsonSchemaString)) return Kind::kString;
    if (type == &typeid(JsonSchemaInt)) return Kind::kInt;
    if (type == &typeid(JsonSchemaList)) return Kind::kList;
    if (type == &typeid(JsonSchemaBool)) return Kind::kBool;
    if (type == &typeid(JsonSchemaDouble)) return Kind::kDouble;
    return Kind::kOther;
}

// The class of the clones of a kind's nodes; null for the kinds that are not renewed by kind.
const std::type_info* CloneType(Kind kind) {
    switch (kind) {
        case Kind::kInt:
            return &typeid(JsonSchemaInt);
        case Kind::kBool:
            return &typeid(JsonSchemaBool);
        case Kind::kDouble:
            return &typeid(JsonSchemaDouble);
        case Kind::kString:
            return &typeid(JsonSchemaString);
        case Kind::kList:
            return &typeid(JsonSchemaList);
        default:
            return nullptr;
    }
}

// The kind of a clone of the library node proto (the object lists clone into plain lists).
Kind CloneKind(const JsonSchema& proto) {
    const Kind kind = KindOf(proto);
    if (kind != Kind::kOther) return kind;
    const std::type_info* type = &typeid(proto);
    if (type == &typeid(JsonSchemaOrderedList) || type == &typeid(JsonSchemaOpenList)) {
        return Kind::kList;
    }
    return Kind::kOther;
}

// Whether node is an empty array of a registered class whose clones read with the class-wide
// prototype, or with a copy of a pure prototype of their own; its operations then.
const detail::ArrayClassOps* PureArray(JsonSchema& node);

// Whether clones of node are made of the library's value, object and array nodes alone, by the
// library's own Clone functions: then nothing a program overrides runs when one is made, renewed
// or deleted. Arrays may be the element itself or its members (whose elements the reset handles in
// their turn), not deeper. Looks at the classes only, calling no function of the nodes.
WEBJSON_RARE bool Pure(JsonSchema& node, int depth) {
    if (depth > 64) return false;
    const Kind kind = CloneKind(node);
    if (kind == Kind::kOther) return depth <= 1 && PureArray(node) != nullptr;
    if (kind != Kind::kList) return true;
    for (JsonSchema* child : ListFields::Children(static_cast<JsonSchemaList&>(node))) {
        if (child == nullptr || !Pure(*child, depth + 1)) return false;
    }
    return true;
}

const detail::ArrayClassOps* PureArray(JsonSchema& node) {
    const detail::ArrayClassOps* ops = ArrayOps(node);
    if (ops == nullptr || !ListFields::Children(static_cast<JsonSchemaList&>(node)).empty()) {
        return nullptr;
    }
    bool owned = false;
    JsonSchema* own = ops->own(node, owned);
    return !owned || own == nullptr || Pure(*own, 0) ? ops : nullptr;
}

inline void RenewNode(JsonSchema& node, JsonSchema& proto) {
    std::string& name = node.GetName();
    const std::string& model = proto.GetName();
    if (name.size() != model.size() ||
        (!model.empty() && !detail::same_bytes(name.data(), model.data(), model.size()))) {
        name = model;
    }
    node.SetEnable(true);
}

inline void RenewLeaf(Kind kind, JsonSchema& node, JsonSchema& proto) {
    RenewNode(node, proto);
    if (kind == Kind::kString) {  // the usual element, tested first
        StringFields::Renew(static_cast<JsonSchemaString&>(node),
                            StringFields::Default(static_cast<JsonSchemaString&>(proto)));
        return;
    }
    switch (kind) {
        case Kind::kInt:
            IntFields::Renew(static_cast<JsonSchemaInt&>(node), static_cast<JsonSchemaInt&>(proto));
            break;
        case Kind::kBool:
            BoolFields::Renew(static_cast<JsonSchemaBool&>(node),
                              static_cast<JsonSchemaBool&>(proto));
            break;
        case Kind::kDouble:
            DoubleFields::Renew(static_cast<JsonSchemaDouble&>(node),
                                static_cast<JsonSchemaDouble&>(proto));
            break;
        default:
            StringFields::Renew(static_cast<JsonSchemaString&>(node),
                                StringFields::Default(static_cast<JsonSchemaString&>(proto)));
            break;
    }
}

// A member of the prototype that is an empty array: the spares keep theirs, reset and not
// counted as live.
struct ArrayPlace {
    std::size_t index;
    const std::type_info* type;
    const detail::ArrayClassOps* ops;
};

// Makes list like a clone of proto (both pure, of the same shape): each child renewed, or replaced
// by a clone where its kind differs. kinds are those of the clones of proto's members, when known;
// the children at the places of arrays (kOther, found among an element's own members only) are
// renewed by the caller. False when the children do not match.
bool RenewList(JsonSchemaList& list, JsonSchemaList& proto, const std::vector<Kind>* kinds) {
    std::vector<JsonSchema*>& children = ListFields::Children(list);
    std::vector<JsonSchema*>& model = ListFields::Children(proto);
    const std::size_t count = children.size();
    if (count != model.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        JsonSchema*& child = children[i];
        const Kind kind = kinds != nullptr ? (*kinds)[i] : CloneKind(*model[i]);
        if (kind == Kind::kOther && kinds != nullptr) continue;
        if (child != nullptr && &typeid(*child) == CloneType(kind)) {
            if (kind != Kind::kList) {
                RenewLeaf(kind, *child, *model[i]);
                continue;
            }
            if (RenewList(static_cast<JsonSchemaList&>(*child),
                          static_cast<JsonSchemaList&>(*model[i]), nullptr)) {
                continue;
            }
        }
        delete child;
        child = nullptr;
        child = model[i]->Clone();
        if (child == nullptr) return false;
    }
    RenewNode(list, proto);
    return true;
}

// Whether the list element (kept whole until now) still has the prototype's shape: not emptied
// by a program, the same number of members, and its lists likewise. Leaves are not looked at: a
// node's class cannot change, and only Clear could have replaced one.
bool SameShape(JsonSchemaList& element, JsonSchemaList& proto) {
    if (ListFields::Cleared(element)) return false;
    std::vector<JsonSchema*>& members = ListFields::Children(element);
    std::vector<JsonSchema*>& model = ListFields::Children(proto);
    if (members.size() != model.size()) return false;
    for (std::size_t i = 0; i < model.size(); ++i) {
        if (members[i] == nullptr) return false;
        if (CloneKind(*model[i]) == Kind::kList &&
            (KindOf(*members[i]) != Kind::kList ||
             !SameShape(static_cast<JsonSchemaList&>(*members[i]),
                        static_cast<JsonSchemaList&>(*model[i])))) {
            return false;
        }
    }
    return true;
}

// The read that is running on this thread, if any.
#if defined(__GNUC__)
__attribute__((tls_model("initial-exec")))
#endif
thread_local detail::ReadScope* t_scope = nullptr;

}  // namespace

namespace detail {

// The spares and what they were checked against: the prototype, its class, the kind of its
// clones, and the places of its members that are arrays. Stores that hold spares during a read
// are linked to it.
struct ElementSpares::Store {
    // What every reset and read of the array touches comes first, in as few cache lines as it can.
    // nodes[taken..] are the spares, in the order they were read, so that the next read goes
    // through memory in the same order.
    std::vector<JsonSchema*> nodes;
    std::size_t taken = 0;
    JsonSchema* proto = nullptr;
    const std::type_info* type = nullptr;
    Kind kind = Kind::kOther;
    bool nested = false;         // proto has members that are lists
    ReadScope* scope = nullptr;  // the read holding this store's spares
    Store* prev = nullptr;       // its other stores
    Store* next = nullptr;
    JsonSchemaList* list = nullptr;      // proto as an object, for kind kList
    const ArrayClassOps* ops = nullptr;  // for kind kArray
    std::vector<ArrayPlace> arrays;
    std::vector<Kind> kinds;  // of the clones of proto's members, for kind kList
    std::function<bool(JsonSchema&, std::uint32_t)> source;  // an array's source, if any
    bool (*fits)(JsonSchema*) = nullptr;                     // whether made suits the source
    JsonSchema* made = nullptr;  // the element the source fills, a clone of made_from
    JsonSchema* made_from = nullptr;
    const std::type_info* made_type = nullptr;
    detail::Leaf made_leaf = detail::Leaf::kNone;  // made's kind, when a leaf of the library's
    bool made_list = false;                        // whether made is a JsonSchemaList itself
    bool made_flat = false;  // whether made is such a list whose members were all leaves then

    // The arrays of a spare count as live again.
    void Revive(JsonSchema* element) {
        if (kind == Kind::kArray) {
            ops->count(*element, 1);
            return;
        }
        if (kind != Kind::kList || arrays.empty()) return;
        std::vector<JsonSchema*>& members =
            ListFields::Children(*static_cast<JsonSchemaList*>(element));
        for (const ArrayPlace& place : arrays) {
            if (place.index < members.size() && members[place.index] != nullptr)
                place.ops->count(*members[place.index], 1);
        }
    }
    bool Empty() const { return taken == nodes.size(); }
    void Unmake() {
        delete made;
        made = nullptr;
        made_from = nullptr;
        made_type = nullptr;
        made_leaf = detail::Leaf::kNone;
        made_list = false;
        made_flat = false;
    }
    // Deletes the spares not read into, and leaves the read.
    void Drop() {
        DropSpares();
        Leave();
    }
    // The same, staying in the read (the caller joins or leaves it next).
    void DropSpares() {
        while (!Empty()) {
            Revive(nodes.back());
            delete nodes.back();
            nodes.pop_back();
        }
        nodes.clear();
        taken = 0;
    }
    void Join(ReadScope* read) {
        if (scope == read) return;
        Leave();
        scope = read;
        next = read->_stores;
        if (next != nullptr) next->prev = this;
        read->_stores = this;
    }
    void Leave() {
        if (scope == nullptr) return;
        if (prev != nullptr) {
            prev->next = next;
        } else {
            scope->_stores = next;
        }
        if (next != nullptr) next->prev = prev;
        prev = next = nullptr;
        scope = nullptr;
    }
    // Makes a spare object or array element like a new clone of prototype; false when it cannot
    // be. Kept out of line, so that taking a value stays short.
    WEBJSON_COLD bool Renew(JsonSchema& element, JsonSchema& prototype) {
        Revive(&element);
        if (kind == Kind::kArray) {
            RenewNode(element, prototype);
            return true;
        }
        std::vector<JsonSchema*>& members =
            ListFields::Children(static_cast<JsonSchemaList&>(element));
        for (const ArrayPlace& place : arrays)
            RenewNode(*members[place.index], *ListFields::Children(*list)[place.index]);
        return RenewList(static_cast<JsonSchemaList&>(element), *list, &kinds);
    }
    // Learns what prototype's clones are like, from its classes; kind stays kOther when they are
    // not made of the library's nodes alone.
    WEBJSON_RARE void Learn(JsonSchema* prototype) {
        Drop();
        proto = prototype;
        type = &typeid(*prototype);
        kind = Kind::kOther;
        list = nullptr;
        ops = nullptr;
        arrays.clear();
        kinds.clear();
        nested = false;
        if (!Pure(*prototype, 0)) return;
        kind = CloneKind(*prototype);
        if (kind == Kind::kOther) {
            ops = ArrayOps(*prototype);
            kind = Kind::kArray;
        } else if (kind == Kind::kList) {
            list = static_cast<JsonSchemaList*>(prototype);
            std::vector<JsonSchema*>& model = ListFields::Children(*list);
            for (std::size_t i = 0; i < model.size(); ++i) {
                JsonSchema& item = *model[i];
                const Kind member = CloneKind(item);
                if (member == Kind::kOther)
                    arrays.push_back(ArrayPlace{i, &typeid(item), ArrayOps(item)});
                nested = nested || member == Kind::kList;
                kinds.push_back(member);
            }
        }
    }
    // Whether the prototype is the one learnt, with the same shape (a prototype may be replaced
    // by another at the same address).
    bool Matches(JsonSchema* prototype) {
        if (proto != prototype || type != &typeid(*prototype)) return false;
        if (kind != Kind::kList) return kind != Kind::kArray || PureArray(*prototype) != nullptr;
        std::vector<JsonSchema*>& model = ListFields::Children(*list);
        if (model.size() != kinds.size()) return false;
        std::size_t place = 0;
        for (std::size_t i = 0; i < model.size(); ++i) {
            JsonSchema& item = *model[i];
            const bool array = place < arrays.size() && arrays[place].index == i;
            if (CloneKind(item) != kinds[i]) return false;
            if (array != (kinds[i] == Kind::kOther)) return false;
            if (array && (&typeid(item) != arrays[place++].type || !PureArray(item))) return false;
            if (!array && !Pure(item, 1)) return false;
        }
        return place == arrays.size();
    }
    // Whether element, read into last time, may be kept; an array element is reset here (it
    // keeps its own elements as spares), the arrays of a list element likewise, last one first,
    // in the order deleting the element would have deleted their elements.
    bool Keep(JsonSchema& element) {
        if (kind == Kind::kArray) {
            if (&typeid(element) != type) return false;
            element.Reset();
            return true;
        }
        if (kind != Kind::kList) return true;  // a leaf read is of its clone's class
        if (KindOf(element) != Kind::kList) return false;
        std::vector<JsonSchema*>& members =
            ListFields::Children(static_cast<JsonSchemaList&>(element));
        if (nested ? !SameShape(static_cast<JsonSchemaList&>(element), *list)
                   : ListFields::Cleared(element) ||
                         members.size() != ListFields::Children(*list).size()) {
            return false;
        }
        for (const ArrayPlace& place : arrays) {
            JsonSchema* member = members[place.index];
            if (member == nullptr || &typeid(*member) != place.type) return false;
        }
        for (std::size_t k = arrays.size(); k > 0; --k) {
            JsonSchema& array = *members[arrays[k - 1].index];
            array.Reset();
            arrays[k - 1].ops->count(array, -1);
        }
        return true;
    }
};

void ElementSpares::SetSource(std::function<bool(JsonSchema&, std::uint32_t)> source,
                              bool (*fits)(JsonSchema*)) {
    if (_store == nullptr) {
        if (!source) return;
        _store = new Store();
    }
    // Another element type may come with the new source: the element is made again.
    if (!source || fits != _store->fits) _store->Unmake();
    _store->source = std::move(source);
    _store->fits = fits;
}

bool ElementSpares::WriteFromSource(JsonWriteDocument& writer, std::string& key,
                                    JsonSchema* prototype) {
    bool result = writer._serialize_open(JSON_ARRAY_BEGIN, key);
    Store& store = *_store;
    if (result && prototype != nullptr &&
        (store.made_from != prototype || store.made_type != &typeid(*prototype))) {
        store.Unmake();
        JsonSchema* made = prototype->Clone();
        if (made != nullptr && store.fits != nullptr && !store.fits(made)) {
            delete made;
            made = nullptr;
        }
        store.made = made;
        store.made_from = made != nullptr ? prototype : nullptr;
        store.made_type = made != nullptr ? &typeid(*prototype) : nullptr;
        store.made_leaf = detail::leaf_of(made);
        store.made_list = made != nullptr && KindOf(*made) == Kind::kList;
        store.made_flat = store.made_list && ListFields::Flat(*made);
    }
    JsonSchema* element = prototype != nullptr ? store.made : nullptr;
    result = result && element != nullptr;
    const auto& source = store.source;
    // A leaf of the library's own class goes straight to the writer, as its Compile would.
    const unsigned int leaf = static_cast<unsigned int>(store.made_leaf);
    if (leaf == static_cast<unsigned int>(detail::Leaf::kInt)) {
        // Integers of the library's class, reset as their Reset would, without the call.
        for (std::uint32_t i = 0; result; ++i) {
            IntFields::ToDefault(*element);
            if (!source(*element, i)) break;
            if (!writer._serialize_leaf(*element, leaf)) result = element->Compile(writer, false);
            if (i == UINT32_MAX) break;
        }
    } else if (store.made_flat) {
        // Objects of leaves alone (a request's pairs), each tried whole at once.
        for (std::uint32_t i = 0; result; ++i) {
            element->Reset();
            if (!source(*element, i)) break;
            if (!ListFields::WriteWhole(*element, writer))
                result = ListFields::Write(*element, writer);
            if (i == UINT32_MAX) break;
        }
    } else {
        for (std::uint32_t i = 0; result; ++i) {
            element->Reset();
            if (!source(*element, i)) break;
            if (store.made_list) {
                result = ListFields::Write(*element, writer);
            } else if (leaf == 0 || !writer._serialize_leaf(*element, leaf)) {
                result = element->Compile(writer, false);
            }
            if (i == UINT32_MAX) break;
        }
    }
    return writer._serialize_close(JSON_ARRAY_END) && result;
}

ElementSpares::~ElementSpares() {
    if (_store != nullptr) _store->Drop(), _store->Unmake();
    delete _store;
}

namespace {

// Gives back the room of a vector of elements that needs much less of it: a read that shrinks an
// array, or a reset outside a read, does not leave it holding a pointer for every element it once
// had. Keeps it when a smaller one cannot be had.
WEBJSON_COLD void Refit(std::vector<JsonSchema*>& nodes) {
    try {
        std::vector<JsonSchema*>(nodes).swap(nodes);
    } catch (...) {
    }
}
inline bool Roomy(const std::vector<JsonSchema*>& nodes, std::size_t need) {
    return nodes.capacity() > 2 * need + 64;
}
inline void FitRoom(std::vector<JsonSchema*>& nodes) {
    if (Roomy(nodes, nodes.size())) Refit(nodes);
}

}  // namespace

// A reset does not fail: when memory for keeping runs out, the elements are not kept (the array
// then deletes them as it always did).
void ElementSpares::Keep(JsonSchemaList& array, JsonSchema* prototype) {
    std::vector<JsonSchema*>& children = ListFields::Children(array);
    Store* store = _store;
    // The usual reset in a read: an array of leaves whose children the last read made, all of
    // them, hands them to its spares as they are, without a look at them (which would cost a
    // cache miss per element). A store of leaves has learnt a prototype, which is never null.
    if (store != nullptr && store->kind >= Kind::kInt && store->kind <= Kind::kString &&
        t_scope != nullptr && store->Empty() && _begin == 0 && _end != 0 &&
        _end == children.size() && !ListFields::Cleared(array) && store->proto == prototype &&
        store->type == &typeid(*prototype)) {
        _end = 0;
        store->nodes.clear();
        store->taken = 0;
        store->nodes.swap(children);
        store->Join(t_scope);
        return;
    }
    KeepEach(array, prototype);
}

WEBJSON_COLD void ElementSpares::KeepEach(JsonSchemaList& array, JsonSchema* prototype) {
    std::vector<JsonSchema*>& children = ListFields::Children(array);
    const bool cleared = ListFields::TakeCleared(array);
    const std::size_t size = children.size();
    const std::size_t begin = _begin < size ? _begin : size;
    const std::size_t end = _end < size ? _end : size;
    _begin = _end = 0;
    Store* store = _store;
    // Spares live for one read only; the store leaves its read below unless it joins this one.
    if (store != nullptr) store->DropSpares();
    // Elements are kept only for a read of the document that follows at once.
    if (t_scope != nullptr && !cleared && prototype != nullptr && begin < end) {
        try {
            if (store == nullptr) store = _store = new Store();
            if (!store->Matches(prototype)) store->Learn(prototype);
        } catch (...) {
            store = nullptr;
        }
    } else {
        store = nullptr;
    }
    if (store == nullptr || store->kind == Kind::kOther) {
        if (_store != nullptr) _store->Leave();
        (array.*(&ListFields::_delete_children))();
        if (t_scope == nullptr) FitRoom(children);
        return;
    }
    // Last one first, as the reset deletes them: each element is kept or deleted in its turn, so
    // that whatever a deletion runs, runs in the same order. The kept ones move to the end of the
    // vector, in the order they were read, and the vector becomes the spares'.
    std::size_t kept = size;
    std::int32_t leaving = 0;  // arrays kept, which stop counting as live all at once
    JsonSchema* counted = nullptr;
    for (std::size_t i = size; i > 0; --i) {
        JsonSchema* element = children[i - 1];
        children[i - 1] = nullptr;
        if (element == nullptr) continue;
        if (i - 1 >= begin && i - 1 < end && store->Keep(*element)) {
            if (store->kind == Kind::kArray && store->ops->count(*element, 0)) {
                ++leaving;
                counted = element;
            }
            children[--kept] = element;
        } else {
            delete element;
        }
    }
    if (leaving != 0) store->ops->count(*counted, -leaving);
    store->nodes.swap(children);
    children.clear();
    store->taken = kept;
    if (!store->Empty()) {
        store->Join(t_scope);
    } else {
        store->Leave();
    }
}

JsonSchema* ElementSpares::Take(JsonSchema* prototype) {
    Store* store = _store;
    if (store != nullptr && !store->Empty()) {
        if (store->proto == prototype && store->type == &typeid(*prototype)) {
            JsonSchema* element = store->nodes[store->taken++];
            if (store->Empty()) {
                store->nodes.clear();
                store->taken = 0;
                store->Leave();
            } else {
#if defined(__GNUC__)
                // The next spare is read into next: its lines are fetched while this one is read.
                const std::uintptr_t next =
                    reinterpret_cast<std::uintptr_t>(store->nodes[store->taken]);
                __builtin_prefetch(reinterpret_cast<const void*>(next));
                __builtin_prefetch(reinterpret_cast<const void*>(next + 64));
#endif
            }
            if (element != nullptr) {  // null: a place a subclass emptied
                bool renewed = true;
                if (store->kind == Kind::kList || store->kind == Kind::kArray) {
                    renewed = store->Renew(*element, *prototype);
                } else {
                    RenewLeaf(store->kind, *element, *prototype);
                }
                if (renewed) return element;
                delete element;
            }
        } else {
            store->Drop();
        }
    }
    return prototype->Clone();
}

namespace {

// What the reader's in-place loop needs to make an element: a spare or a clone, appended (of a
// leaf prototype of the library's classes, whose clones are never null).
struct Making {
    ElementSpares* spares;
    std::vector<JsonSchema*>* children;
    JsonSchema* prototype;
    // Spares of the prototype's leaf class, learnt from it; nothing else changes the spares
    // while the run is read, so the next one is taken at once.
    void* leaves;
};

}  // namespace

JsonSchema* ElementSpares::MakeElement(void* context) {
    Making& m = *static_cast<Making*>(context);
    JsonSchema* element;
    Store* store = static_cast<Store*>(m.leaves);
    if (store != nullptr && !store->Empty()) {
        element = store->nodes[store->taken++];  // the store leaves the read at its end
        if (element == nullptr) {                // a place a subclass emptied
            element = m.prototype->Clone();
        } else {
            RenewLeaf(store->kind, *element, *m.prototype);
        }
    } else {
        element = m.spares->Take(m.prototype);
    }
    try {  // as AddNew, without its call: an element that cannot be kept is deleted
        m.children->push_back(element);
    } catch (...) {
        delete element;
        throw;
    }
    return element;
}

bool ElementSpares::ReadElements(JsonReadDocument& reader, std::vector<JsonSchema*>& children,
                                 JsonSchema* prototype, bool result, unsigned int& brackets) {
    // Clones of a leaf prototype of the library's classes are leaves: runs of them read in place.
    const detail::Leaf leaf = detail::leaf_of(prototype);
    Store* store = _store;
    const bool leaves = leaf != detail::Leaf::kNone && store != nullptr &&
                        store->proto == prototype && store->type == &typeid(*prototype) &&
                        store->kind != Kind::kList && store->kind != Kind::kArray &&
                        store->kind != Kind::kOther;
    Making making{this, &children, prototype, leaves ? store : nullptr};
    // Runs of leaves take the brackets with them; other elements leave them to the caller, but
    // for the "[" asked for here.
    unsigned int runs = brackets;
    brackets = 0;
    if (leaf == detail::Leaf::kNone && (runs & JsonReadDocument::kOpenFirst) != 0) {
        result = reader._deserialize_bracket(JSON_ARRAY_BEGIN) && result;
    }
    for (std::size_t i = 0; result; ++i) {
        JsonSchema* element = nullptr;
        if (leaf != detail::Leaf::kNone) {
            bool ended = false;
            unsigned int taken = runs;
            // The run's elements are marked as read once it ends (not when memory for one ran
            // out: the next reset then deletes them instead of keeping them).
            const std::size_t first = children.size();
            i += reader._read_leaf_elements(static_cast<unsigned int>(leaf), &MakeElement, &making,
                                            ended, element, taken);
            if (children.size() != first) Appended(first, children.size());
            if (runs & JsonReadDocument::kOpenFirst) {
                runs &= ~JsonReadDocument::kOpenFirst;
                if (!(taken & JsonReadDocument::kOpenFirst)) {
                    result = false;
                    break;
                }
            }
            if (taken & JsonReadDocument::kCloseAfter) {
                brackets = JsonReadDocument::kCloseAfter;
                break;
            }
            if (ended) break;
        }
        if (element == nullptr) {
            const int next = reader._next_element();
            if (next == JsonReadDocument::kNextEnd || (next == 0 && reader.Peek(JSON_ARRAY_END))) {
                break;
            }
            // Without a prototype (or a clone of it) the element is skipped.
            element = prototype != nullptr ? Take(prototype) : nullptr;
            if (element == nullptr) {
                result = reader.Deserialize(JSON_SKIP, JsonSchema::_nullstr, nullptr) && result;
                if (!result) reader.Within(i);
                continue;
            }
            try {  // as AddNew, without its call: an element that cannot be kept is deleted
                children.push_back(element);
            } catch (...) {
                delete element;
                throw;
            }
            Appended(children.size() - 1, children.size());
        }
        result = element->Format(reader, false) && result;
        if (!result) reader.Within(i);
    }
    // The spares this read did not need go now: a read that shrinks the array gives memory back.
    if (Store* left = _store) {
        if (left->scope != nullptr) left->Drop();
        if (Roomy(left->nodes, children.size())) std::vector<JsonSchema*>().swap(left->nodes);
        FitRoom(children);
    }
    return result;
}

ReadScope::ReadScope() : _outer(t_scope) {
    t_scope = this;
}

ReadScope::~ReadScope() {
    while (_stores != nullptr)
        _stores->Drop();
    t_scope = _outer;
}

void RegisterArrayClass(const std::type_info& type, const ArrayClassOps& ops) {
    pthread_mutex_lock(&g_array_lock);
    const std::size_t known = g_array_count.load(std::memory_order_relaxed);
    bool found = false;
    for (std::size_t i = 0; i < known && !found; ++i)
        found = *g_arrays[i].type.load(std::memory_order_relaxed) == type;
    if (!found && known < sizeof g_arrays / sizeof g_arrays[0]) {
        g_arrays[known].ops = ops;
        g_arrays[known].type.store(&type, std::memory_order_release);
        g_array_count.store(known + 1, std::memory_order_release);
    }
    pthread_mutex_unlock(&g_array_lock);
}

}  // namespace detail

void TakeTextNodes(JsonSchemaList& list, const char* name, std::vector<JsonSchema*>& spares) {
    for (JsonSchema*& child : ListFields::Children(list)) {
        if (child != nullptr && KindOf(*child) == Kind::kString && child->GetName() == name) {
            spares.push_back(child);
            child = nullptr;
        }
    }
}

std::vector<JsonSchema*>& ChildrenOf(JsonSchemaList& list) {
    return ListFields::Children(list);
}

void RenewTextNode(JsonSchema& node, const char* name, const char* text) {
    node.SetEnable(true);
    if (node.GetName() != name) node.GetName() = name;
    StringFields::Renew(static_cast<JsonSchemaString&>(node), text);
}

}  // namespace JsonDocumentAPI
}  // namespace DocumentAPI
