// Arrays read into the elements they kept at the reset that starts a read: no program can tell
// them from the new clones the reading makes otherwise.
#include <memory>
#include <random>
#include <set>

#include "test_support.h"

namespace {

// What a tree is made of: node kinds, of the library's classes or of a class of the caller's.
struct Shape {
    enum Kind { kInt, kBool, kDouble, kString, kList, kOpen, kOrdered, kArray } kind;
    bool logged;  // of the caller's class, which logs its calls
    bool odd;     // logged: its Clone makes another shape (its members renamed)
    std::string name;
    std::vector<Shape> members;  // of a list; an array's element prototype
};

std::string g_log;  // the calls of the caller's classes, in order
int g_made = 0;     // clones made by the caller's classes

JsonSchema* Build(const Shape& shape, int made = 7);
Shape Renamed(Shape shape) {
    for (Shape& member : shape.members)
        member.name += "x";
    shape.odd = false;
    return shape;
}

// The mark of the caller's classes, with the shape a node was built from.
struct Tag {
    explicit Tag(const Shape& shape) : _shape(shape) {}
    virtual ~Tag() = default;
    Shape _shape;
};

// A class of the caller's derived from a node class: logs its clones, resets, reads and
// destruction, and clones by its own rules.
template <typename Base>
struct Logged : Base, Tag {
    template <typename... Args>
    explicit Logged(const Shape& shape, Args&&... args)
        : Base(std::forward<Args>(args)...), Tag(shape) {}
    ~Logged() override { g_log += "~" + this->_name + ";"; }
    void Reset() override {
        g_log += "R" + this->_name + ";";
        Base::Reset();
    }
    bool Format(JsonReadDocument& reader, bool withName) override {
        g_log += "F" + this->_name + ";";
        return Base::Format(reader, withName);
    }
    JsonSchema* Clone() override {
        g_log += "C" + this->_name + ";";
        ++g_made;
        return Build(_shape.odd ? Renamed(_shape) : _shape, g_made);
    }
};

template <typename Node, typename... Args>
JsonSchema* Make(const Shape& shape, Args&&... args) {
    if (shape.logged) return new Logged<Node>(shape, std::forward<Args>(args)...);
    return new Node(std::forward<Args>(args)...);
}

// A node of shape; the caller's integers take made as their default.
JsonSchema* Build(const Shape& shape, int made) {
    const char* name = shape.name.c_str();
    JsonSchemaList* list = nullptr;
    switch (shape.kind) {
        case Shape::kInt:
            return Make<JsonSchemaInt>(shape, name, shape.logged ? made : 7);
        case Shape::kBool:
            return Make<JsonSchemaBool>(shape, name, true);
        case Shape::kDouble:
            return Make<JsonSchemaDouble>(shape, name, 0.5, 4u);
        case Shape::kString:
            return Make<JsonSchemaString>(shape, name, "d");
        case Shape::kArray:
            return Make<JsonSchemaArray<JsonSchema>>(
                shape, name, std::unique_ptr<JsonSchema>(Build(shape.members[0], made)));
        case Shape::kList:
            list = static_cast<JsonSchemaList*>(Make<JsonSchemaList>(shape, name));
            break;
        case Shape::kOpen:
            list = static_cast<JsonSchemaList*>(Make<JsonSchemaOpenList>(shape, name));
            break;
        case Shape::kOrdered:
            list = static_cast<JsonSchemaList*>(Make<JsonSchemaOrderedList>(shape, name));
            break;
    }
    for (const Shape& member : shape.members)
        list->AddNew(Build(member, made));
    return list;
}

Shape RandomShape(std::mt19937& rng, int depth, const std::string& name) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Shape shape{static_cast<Shape::Kind>(pick(depth < 3 ? 8 : 4)), pick(3) == 0, false, name, {}};
    shape.odd = shape.logged && shape.kind >= Shape::kList && pick(2) == 0;
    if (shape.kind == Shape::kArray) {
        shape.members.push_back(RandomShape(rng, depth + 1, ""));
    } else if (shape.kind >= Shape::kList) {
        for (int i = pick(3) + 1; i > 0; --i)
            shape.members.push_back(RandomShape(rng, depth + 1, "m" + std::to_string(i)));
    }
    return shape;
}

// A text for shape; now and then one that does not fit it.
void RandomText(const Shape& shape, std::mt19937& rng, std::string& out) {
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    if (pick(60) == 0) return void(out += pick(2) ? "\"x\"" : "{}");
    switch (shape.kind) {
        case Shape::kInt:
            return void(out += std::to_string(pick(100)));
        case Shape::kBool:
            return void(out += pick(2) ? "true" : "false");
        case Shape::kDouble:
            return void(out += "1.25");
        case Shape::kString:
            return void(out += "\"s" + std::to_string(pick(9)) + "\"");
        case Shape::kArray:
        case Shape::kOrdered: {
            const Shape& element = shape.members[0];
            out += "[";
            const int count = shape.kind == Shape::kArray ? pick(4) : pick(3);
            for (int i = 0; i < count && i < static_cast<int>(shape.members.size() + 2); ++i) {
                if (i) out += ",";
                RandomText(shape.kind == Shape::kOrdered
                               ? shape.members[static_cast<std::size_t>(i) % shape.members.size()]
                           : element.odd ? Renamed(element)
                                         : element,
                           rng, out);
            }
            return void(out += "]");
        }
        default:
            out += "{";
            std::vector<const Shape*> order;
            for (const Shape& member : shape.members)
                if (shape.kind == Shape::kList || pick(3) != 0) order.push_back(&member);
            std::shuffle(order.begin(), order.end(), rng);
            if (pick(8) == 0) out += "\"zz\":[1,{}],";
            for (std::size_t i = 0; i < order.size(); ++i) {
                out += (i ? ",\"" : "\"") + order[i]->name + "\":";
                RandomText(*order[i], rng, out);
            }
            return void(out += "}");
    }
}

// What a caller may do to a tree between reads: empty an array and append a node of another
// class where read elements stood, append one of the element's class or another, empty an
// element; the same choices for the same seed.
void Meddle(JsonSchema& node, const Shape& shape, unsigned seed) {
    const auto* tag = dynamic_cast<const Tag*>(&node);
    if (shape.kind < Shape::kList || (tag != nullptr && tag->_shape.kind != shape.kind)) return;
    auto& list = static_cast<JsonSchemaList&>(node);
    if (shape.kind == Shape::kArray) {
        const Shape other{Shape::kInt, true, false, "q", {}};
        if (seed % 5 == 0) list.Clear();
        if (seed % 5 != 2) list.AddNew(Build(seed % 5 == 1 ? shape.members[0] : other));
        if (seed % 5 == 2 && list.Size() != 0 && shape.members[0].kind >= Shape::kList) {
            static_cast<JsonSchemaList*>(list.GetObject(0u))->Clear();
        }
        for (unsigned i = 0; i < list.Size(); ++i)
            Meddle(*list.GetObject(i), shape.members[0], seed / 5 + i);
        return;
    }
    for (unsigned i = 0; i < list.Size() && i < shape.members.size(); ++i)
        Meddle(*list.GetObject(i), shape.members[i], seed / 3 + i);
}

// The calls that deleting a node built from shape makes (an array's prototype goes first).
void Deleted(const Shape& shape, std::string& log) {
    if (shape.logged) log += "~" + shape.name + ";";
    if (shape.kind == Shape::kArray) return Deleted(shape.members[0], log);
    for (std::size_t i = shape.members.size(); i > 0; --i)
        Deleted(shape.members[i - 1], log);
}

// The calls that resetting node, of shape, makes as specified: every list resets its children in
// order, every array deletes its elements, last one first; deleting a node deletes its children,
// last one first.
void Expected(JsonSchema& node, const Shape& given, bool reset, std::string& log) {
    auto* tag = dynamic_cast<Tag*>(&node);
    const Shape& shape = tag != nullptr ? tag->_shape : given;
    if (tag != nullptr) log += (reset ? "R" : "~") + shape.name + ";";
    if (shape.kind < Shape::kList) return;
    auto& list = static_cast<JsonSchemaList&>(node);
    if (shape.kind == Shape::kArray) {
        if (!reset) Deleted(shape.members[0], log);
        for (unsigned i = list.Size(); i > 0; --i)
            Expected(*list.GetObject(i - 1), shape.members[0], false, log);
        return;
    }
    for (unsigned k = 0; k < list.Size(); ++k) {
        const unsigned i = reset ? k : list.Size() - 1 - k;
        Expected(*list.GetObject(i), shape.members[i], reset, log);
    }
}

// A document that marks where each reset of its tree ends.
struct MarkedDocument : TreeDocument {
    using TreeDocument::TreeDocument;
    void _reset_schema(JsonSchemaList* list) override {
        TreeDocument::_reset_schema(list);
        g_log += "|";
    }
};

}  // namespace

// Random trees of the library's classes and of the caller's (every node class derived, clones of
// their own, calls logged), random texts and meddling, read again and again through a document:
// each reset makes the calls that the specified reset makes, in its order, and each read gives the
// result, tree, failure and calls that a new tree reading the same text gives.
TEST(ElementSpares, KeptElementsCannotBeToldFromNewClones) {
    std::mt19937 rng(20261207);
    CoutCapture quiet;
    int fitted = 0;
    for (int tree = 0; tree < 300; ++tree) {
        Shape root{Shape::kList, false, false, "", {}};
        for (int i = 0; i < 3; ++i)
            root.members.push_back(RandomShape(rng, 1, "r" + std::to_string(i)));
        root.members.push_back(Shape{Shape::kArray, false, false, "a", {RandomShape(rng, 2, "")}});
        MarkedDocument kept(static_cast<JsonSchemaList*>(Build(root)));
        for (int read = 0; read < 8; ++read) {
            std::string text;
            RandomText(root, rng, text);
            const unsigned seed = static_cast<unsigned>(rng());
            if (seed % 3 == 0) Meddle(*kept.Root(), root, seed);
            g_log.clear(), g_made = 0;
            MarkedDocument fresh(static_cast<JsonSchemaList*>(Build(root)));
            const bool fits = ReadDoc(fresh, text);
            const std::string expected = std::to_string(fits) + fresh.LastError().path +
                                         fresh.LastError().message + WriteDoc(fresh) +
                                         g_log.substr(g_log.find('|'));
            std::string reset;
            Expected(*kept.Root(), root, true, reset);
            g_log.clear(), g_made = 0;
            const bool read_ok = ReadDoc(kept, text);
            fitted += read_ok;
            ASSERT_EQ(std::to_string(read_ok) + kept.LastError().path + kept.LastError().message +
                          WriteDoc(kept) + g_log,
                      expected.substr(0, expected.find('|')) + reset +
                          expected.substr(expected.find('|')))
                << "tree " << tree << ", read " << read << ": " << text;
        }
        g_log.clear();
    }
    EXPECT_GT(fitted, 600);
}

using Ints = JsonSchemaArray<JsonSchemaInt>;
using Items = JsonSchemaArray<JsonSchemaList>;

// An array of the caller's that empties places among the elements it read.
struct Holed : JsonSchemaArray<JsonSchemaString> {
    using JsonSchemaArray<JsonSchemaString>::JsonSchemaArray;
    void Hole(std::size_t i) {
        delete _children[i];
        _children[i] = nullptr;
    }
};

// The library's own nodes are read into again: the same nodes, also inside kept elements, arrays
// among the spares not counted as live, and a read that needs fewer deletes the others.
TEST(ElementSpares, TheLibrarysNodesAreReadIntoAgain) {
    auto* item =
        With(new JsonSchemaList(""),
             {new JsonSchemaInt("n", 7), new Ints("v", nullptr),
              With(new JsonSchemaList("s"), {new JsonSchemaInt("k", 0)}), new Ints("w", nullptr)});
    TreeDocument doc(
        With(new JsonSchemaList(""), {new Items("a", std::unique_ptr<JsonSchemaList>(item)),
                                      new Ints("i", new JsonSchemaInt("", 0))}));
    const std::string text =
        R"({"a":[{"n":1,"v":[1,2],"s":{"k":1},"w":[5]},{"n":2,"v":[3],"s":{"k":2},"w":[]}],"i":[]})";
    std::set<JsonSchema*> before, after;
    for (std::set<JsonSchema*>* nodes : {&before, &after}) {
        ASSERT_TRUE(ReadDoc(doc, text));
        auto* items = static_cast<Items*>(doc.Root()->GetObject(0u));
        for (unsigned i = 0; i < 2; ++i) {
            JsonSchemaList* element = items->GetArray(i);
            auto* nested = static_cast<JsonSchemaList*>(element->GetObject(2u));
            nodes->insert({element, nested, nested->GetObject(0u)});
            for (unsigned m : {1u, 3u}) {
                auto* v = static_cast<Ints*>(element->GetObject(m));
                nodes->insert(v);
                for (unsigned k = 0; k < v->Size(); ++k)
                    nodes->insert(v->GetObject(k));
            }
        }
    }
    EXPECT_TRUE(before == after && before.size() == 14 && Ints::_ref == 7);
    TreeDocument table(
        With(new JsonSchemaList(""),
             {new JsonSchemaArray<Ints>("r", std::unique_ptr<Ints>(new Ints("", nullptr)))}));
    EXPECT_TRUE(ReadDoc(table, R"({"r":[[1],[2,3]]})") && Ints::_ref == 10);
    EXPECT_TRUE(ReadDoc(table, R"({"r":[[4]]})") && Ints::_ref == 9);
    EXPECT_EQ(WriteDoc(table), R"({"r":[[4]]})");
    const std::string shorter = R"({"a":[{"n":5,"v":[],"s":{"k":3},"w":[]}],"i":[9]})";
    EXPECT_TRUE(ReadDoc(doc, shorter));
    EXPECT_EQ(WriteDoc(doc), shorter);
    // Places emptied among the kept elements, inside the run and at its end, get new clones.
    auto* holed = new Holed("h", new JsonSchemaString("", "-"));
    TreeDocument texts(With(new JsonSchemaList(""), {holed}));
    ASSERT_TRUE(ReadDoc(texts, R"({"h":["a","b","c","d"]})"));
    holed->Hole(1), holed->Hole(3);
    EXPECT_TRUE(ReadDoc(texts, R"({"h":["v","w","x","y","z"]})"));
    EXPECT_EQ(WriteDoc(texts), R"({"h":["v","w","x","y","z"]})");
}
