// Spare elements of arrays: kept at a reset, made like new clones again at the next read.
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <typeinfo>
#include <vector>

#include "core/detail/cold.h"
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
};

enum class Kind { kOther, kInt, kBool, kDouble, kString, kList, kArray };

using Counter = bool (*)(JsonSchema& array, std::int32_t delta);

// The array classes registered so far; a full table only leaves later classes unregistered.
struct ArrayClass {
    std::atomic<const std::type_info*> type{nullptr};
    Counter count = nullptr;
};
ArrayClass g_arrays[64];
std::atomic<std::size_t> g_array_count{0};
pthread_mutex_t g_array_lock = PTHREAD_MUTEX_INITIALIZER;

// The counting function of node's class when it is a registered array class.
Counter ArrayCounter(const JsonSchema& node) {
    const std::type_info* type = &typeid(node);
    const std::size_t count = g_array_count.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i) {
        if (g_arrays[i].type.load(std::memory_order_acquire) == type) return g_arrays[i].count;
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

// Whether a clone of proto is built of renewable nodes only.
WEBJSON_RARE bool Renewable(JsonSchema& proto) {
    const Kind kind = CloneKind(proto);
    if (kind != Kind::kList) return kind != Kind::kOther;
    for (JsonSchema* child : ListFields::Children(static_cast<JsonSchemaList&>(proto))) {
        if (!Renewable(*child)) return false;
    }
    return true;
}

void RenewNode(JsonSchema& node, JsonSchema& proto) {
    if (node.GetName() != proto.GetName()) node.GetName() = proto.GetName();
    node.SetEnable(true);
}

inline void RenewLeaf(Kind kind, JsonSchema& node, JsonSchema& proto) {
    RenewNode(node, proto);
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

bool Renew(JsonSchema& node, JsonSchema& proto);

// A member of the prototype that is an empty array: the spares keep theirs, reset and not
// counted as live.
struct ArrayPlace {
    std::size_t index;
    const std::type_info* type;
    Counter count;
};

// Makes list like a clone of proto: each child renewed, or replaced by a clone where it cannot
// be (or was deleted at the reset); the children at the places of arrays are renewed by the
// caller. False when the children do not match.
bool RenewList(JsonSchemaList& list, JsonSchemaList& proto, const std::vector<ArrayPlace>* arrays) {
    std::vector<JsonSchema*>& children = ListFields::Children(list);
    std::vector<JsonSchema*>& model = ListFields::Children(proto);
    if (children.size() != model.size()) return false;
    std::size_t next = 0;  // the next array place
    for (std::size_t i = 0; i < children.size(); ++i) {
        JsonSchema*& child = children[i];
        if (arrays != nullptr && next < arrays->size() && (*arrays)[next].index == i) {
            ++next;
            continue;
        }
        if (child != nullptr && Renew(*child, *model[i])) continue;
        delete child;
        child = nullptr;
        child = model[i]->Clone();
        if (child == nullptr) return false;
    }
    RenewNode(list, proto);
    return true;
}

// A node below an element: renewed when it and proto are library nodes of one kind.
bool Renew(JsonSchema& node, JsonSchema& proto) {
    const Kind kind = CloneKind(proto);
    if (kind == Kind::kOther || KindOf(node) != kind) return false;
    if (kind == Kind::kList) {
        return RenewList(static_cast<JsonSchemaList&>(node), static_cast<JsonSchemaList&>(proto),
                         nullptr);
    }
    RenewLeaf(kind, node, proto);
    return true;
}

}  // namespace

namespace detail {

// The spares and what they were checked against: the prototype, its class, the kind of its
// clones, and the places of its members that are cloned anew rather than renewed and of those
// that are arrays.
struct ElementSpares::Store {
    // nodes[taken..] are the spares, in the order they were read, so that the next read goes
    // through memory in the same order.
    std::vector<JsonSchema*> nodes;
    std::size_t taken = 0;
    JsonSchema* proto = nullptr;
    const std::type_info* type = nullptr;
    Kind kind = Kind::kOther;
    JsonSchemaList* list = nullptr;  // proto as an object, for kind kList
    Counter count = nullptr;         // for kind kArray
    std::vector<std::size_t> fresh;
    std::vector<ArrayPlace> arrays;

    // The arrays of a spare count as live again.
    void Revive(JsonSchema* element) {
        if (kind == Kind::kArray) {
            count(*element, 1);
            return;
        }
        if (kind != Kind::kList || arrays.empty()) return;
        std::vector<JsonSchema*>& members =
            ListFields::Children(*static_cast<JsonSchemaList*>(element));
        for (const ArrayPlace& place : arrays) {
            if (place.index < members.size() && members[place.index] != nullptr)
                place.count(*members[place.index], 1);
        }
    }
    bool Empty() const { return taken == nodes.size(); }
    void Drop() {
        while (!Empty()) {
            Revive(nodes.back());
            delete nodes.back();
            nodes.pop_back();
        }
        nodes.clear();
        taken = 0;
    }
    // Makes a spare object or array element like a new clone of prototype; false when it cannot
    // be. Kept out of line, so that taking a value stays short.
    WEBJSON_COLD bool Renew(JsonSchema& element, JsonSchema& prototype) {
        Revive(&element);
        if (kind == Kind::kArray) {
            if (!ListFields::Children(static_cast<JsonSchemaList&>(prototype)).empty())
                return false;
            RenewNode(element, prototype);
            return true;
        }
        // The prototype may have been replaced by another at the same address.
        std::vector<JsonSchema*>& members =
            ListFields::Children(static_cast<JsonSchemaList&>(element));
        std::vector<JsonSchema*>& model = ListFields::Children(*list);
        if (members.size() != model.size()) return false;
        for (const ArrayPlace& place : arrays) {
            JsonSchema& proto_member = *model[place.index];
            if (&typeid(proto_member) != place.type ||
                !ListFields::Children(static_cast<JsonSchemaList&>(proto_member)).empty()) {
                return false;
            }
            RenewNode(*members[place.index], proto_member);
        }
        return RenewList(static_cast<JsonSchemaList&>(element), *list, &arrays);
    }
    bool Matches(JsonSchema* prototype) const {
        return proto == prototype && type == &typeid(*prototype);
    }
    // Learns what prototype's clones are like, from one clone.
    WEBJSON_RARE void Learn(JsonSchema* prototype) {
        Drop();
        proto = prototype;
        type = &typeid(*prototype);
        kind = Kind::kOther;
        list = nullptr;
        count = nullptr;
        fresh.clear();
        arrays.clear();
        JsonSchema* probe = prototype->Clone();
        if (probe == nullptr) return;
        const Kind made = KindOf(*probe);
        if (made == Kind::kList) {
            list = dynamic_cast<JsonSchemaList*>(prototype);
            if (list != nullptr) {
                std::vector<JsonSchema*>& model = ListFields::Children(*list);
                if (model.size() ==
                    ListFields::Children(*static_cast<JsonSchemaList*>(probe)).size()) {
                    kind = made;
                    for (std::size_t i = 0; i < model.size(); ++i) {
                        JsonSchema& member = *model[i];
                        if (Renewable(member)) continue;
                        Counter counter = ArrayCounter(member);
                        if (counter != nullptr &&
                            ListFields::Children(static_cast<JsonSchemaList&>(member)).empty()) {
                            arrays.push_back(ArrayPlace{i, &typeid(member), counter});
                        } else {
                            fresh.push_back(i);
                        }
                    }
                }
            }
        } else if (made != Kind::kOther && CloneKind(*prototype) == made) {
            kind = made;
        } else if ((count = ArrayCounter(*probe)) != nullptr && &typeid(*probe) == type &&
                   ListFields::Children(*static_cast<JsonSchemaList*>(probe)).empty()) {
            kind = Kind::kArray;
        }
        delete probe;
    }
};

ElementSpares::~ElementSpares() {
    if (_store != nullptr) _store->Drop();
    delete _store;
}

// A reset does not fail: when memory for keeping runs out, the elements are not kept (the array
// then deletes them as it always did).
void ElementSpares::Keep(std::vector<JsonSchema*>& children, JsonSchema* prototype) {
    try {
        KeepOrThrow(children, prototype);
    } catch (...) {
    }
}

void ElementSpares::KeepOrThrow(std::vector<JsonSchema*>& children, JsonSchema* prototype) {
    const std::size_t size = children.size();
    const std::size_t begin = _begin < size ? _begin : size;
    const std::size_t end = _end < size ? _end : size;
    _begin = _end = 0;
    if (prototype == nullptr || begin >= end) return;
    if (_store == nullptr) _store = new Store();
    Store& store = *_store;
    if (!store.Matches(prototype)) store.Learn(prototype);
    if (store.kind == Kind::kOther) return;
    // Leaves are kept without a look at them (which would cost a cache miss per element at every
    // reset); their kind is checked when they are taken, where they are touched anyway. When every
    // child was read and no spare waits, the children's vector becomes the spares' as it is.
    const bool leaves = store.kind != Kind::kList && store.kind != Kind::kArray;
    if (leaves && begin == 0 && end == size && store.Empty()) {
        store.nodes.clear();
        store.taken = 0;
        store.nodes.swap(children);
        return;
    }
    const std::size_t members =
        store.list != nullptr ? ListFields::Children(*store.list).size() : 0;
    store.nodes.erase(store.nodes.begin(),
                      store.nodes.begin() + static_cast<std::ptrdiff_t>(store.taken));
    store.taken = 0;
    store.nodes.reserve(store.nodes.size() + (end - begin));
    // Nothing below throws: the arrays kept stop counting as live all at once, after the loop.
    std::int32_t leaving = 0;
    JsonSchema* counted = nullptr;
    for (std::size_t i = begin; i < end; ++i) {
        JsonSchema* element = children[i];
        if (element == nullptr) continue;
        if (store.kind == Kind::kArray) {
            if (&typeid(*element) != store.type) continue;
            element->Reset();  // keeps the elements it read, as spares of its own
            if (store.count(*element, 0)) {
                ++leaving;
                counted = element;
            }
        } else if (store.kind == Kind::kList) {
            if (KindOf(*element) != Kind::kList) continue;
            std::vector<JsonSchema*>& members_of =
                ListFields::Children(*static_cast<JsonSchemaList*>(element));
            if (members_of.size() != members) continue;
            bool arrays_match = true;
            for (const ArrayPlace& place : store.arrays) {
                JsonSchema* member = members_of[place.index];
                arrays_match = arrays_match && member != nullptr && &typeid(*member) == place.type;
            }
            if (!arrays_match) continue;
            for (std::size_t place : store.fresh) {
                delete members_of[place];
                members_of[place] = nullptr;
            }
            for (const ArrayPlace& place : store.arrays) {
                members_of[place.index]->Reset();
                place.count(*members_of[place.index], -1);
            }
        }
        store.nodes.push_back(element);
        children[i] = nullptr;
    }
    if (leaving != 0) store.count(*counted, -leaving);
}

JsonSchema* ElementSpares::Take(JsonSchema* prototype) {
    Store* store = _store;
    if (store != nullptr && !store->Empty()) {
        if (store->Matches(prototype)) {
            JsonSchema* element = store->nodes[store->taken++];
            if (store->Empty()) {
                store->nodes.clear();
                store->taken = 0;
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
                bool renewed;
                if (store->kind == Kind::kList || store->kind == Kind::kArray) {
                    renewed = store->Renew(*element, *prototype);
                } else {
                    renewed = KindOf(*element) == store->kind;
                    if (renewed) RenewLeaf(store->kind, *element, *prototype);
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

bool ElementSpares::ReadElements(JsonReadDocument& reader, std::vector<JsonSchema*>& children,
                                 JsonSchema* prototype, bool result) {
    for (std::size_t i = 0; result && !reader.Peek(JSON_ARRAY_END); ++i) {
        // Without a prototype (or a clone of it) the element is skipped.
        JsonSchema* element = prototype != nullptr ? Take(prototype) : nullptr;
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
        Appended(children.size());
        result = element->Format(reader, false) && result;
        if (!result) reader.Within(i);
    }
    return result;
}

void RegisterArrayClass(const std::type_info& type, Counter count) {
    pthread_mutex_lock(&g_array_lock);
    const std::size_t known = g_array_count.load(std::memory_order_relaxed);
    bool found = false;
    for (std::size_t i = 0; i < known && !found; ++i)
        found = *g_arrays[i].type.load(std::memory_order_relaxed) == type;
    if (!found && known < sizeof g_arrays / sizeof g_arrays[0]) {
        g_arrays[known].count = count;
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
