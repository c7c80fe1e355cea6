// A document that uses every kind of node the core offers, for the fuzz targets and the
// hostile-input tests: every scalar, a file node, strict, open and ordered lists, arrays of
// scalars, of objects and of arrays with class-wide prototypes, an array without a prototype
// and lists nested three deep.
#ifndef WEBJSON_SAMPLE_DOCUMENT_H
#define WEBJSON_SAMPLE_DOCUMENT_H

#include <sstream>
#include <string>

#include <webjson/webjson.h>

namespace sample {

using namespace DocumentAPI::JsonDocumentAPI;

// An array built with prototype; the prototype is deleted when another one of its element type
// is already in force (the array neither keeps nor deletes it then).
template <typename T>
JsonSchemaArray<T>* NewArray(const char* name, T* prototype) {
    auto* array = new JsonSchemaArray<T>(name, prototype);
    if (JsonSchemaArray<T>::_element != prototype) delete prototype;
    return array;
}

class SampleDocument : public JsonDocumentSchema {
  public:
    SampleDocument() { _root = BuildSchema(); }

    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaInt("i", 7));
        root->AddNew(new JsonSchemaBool("b", false));
        root->AddNew(new JsonSchemaDouble("d", 2.5, 3));
        root->AddNew(new JsonSchemaString("s", "text"));
        root->AddNew(new JsonSchemaString("u", -1));

        auto* strict = new JsonSchemaList("strict");
        strict->AddNew(new JsonSchemaInt("x", 0));
        strict->AddNew(new JsonSchemaString("y", ""));
        root->AddNew(strict);

        auto* open = new JsonSchemaOpenList("open");
        open->AddNew(new JsonSchemaInt("a", 1));
        open->AddNew(new JsonSchemaBool("flag", true));
        file = new JsonSchemaFile("file", "");  // written as "", refused when read
        open->AddNew(file);
        root->AddNew(open);

        auto* ordered = new JsonSchemaOrderedList("ordered");
        ordered->AddNew(new JsonSchemaInt("", 1));
        ordered->AddNew(new JsonSchemaDouble("", 0.5, 6));
        ordered->AddNew(new JsonSchemaString("", "o"));
        auto* point = new JsonSchemaList("");
        point->AddNew(new JsonSchemaInt("z", 0));
        ordered->AddNew(point);
        root->AddNew(ordered);

        root->AddNew(NewArray("ints", new JsonSchemaInt("", 0)));
        root->AddNew(NewArray("strings", new JsonSchemaString("", "")));

        // Elements: {"name":s,"value":s,"more":{"n":i},"tags":[s...]}; the tags use the string
        // prototype registered above. Clones of a list are plain lists, so "more" is strict in
        // every element read.
        auto* element = new JsonSchemaList("");
        element->AddNew(new JsonSchemaString("name", ""));
        element->AddNew(new JsonSchemaString("value", ""));
        auto* more = new JsonSchemaOpenList("more");
        more->AddNew(new JsonSchemaInt("n", 0));
        element->AddNew(more);
        element->AddNew(new JsonSchemaArray<JsonSchemaString>("tags", nullptr));
        root->AddNew(NewArray("objects", element));
        root->AddNew(NewArray("rows", new JsonSchemaArray<JsonSchemaString>("", nullptr)));
        root->AddNew(new JsonSchemaArray<JsonSchema>("skipped", nullptr));

        auto* nested = new JsonSchemaList("nested");
        auto* inner = new JsonSchemaOpenList("inner");
        auto* deep = new JsonSchemaOrderedList("deep");
        auto* leaf = new JsonSchemaList("");
        leaf->AddNew(new JsonSchemaBool("k", false));
        deep->AddNew(leaf);
        inner->AddNew(deep);
        nested->AddNew(inner);
        root->AddNew(nested);
        return root;
    }

    JsonSchemaList* Root() { return _root; }
    JsonSchemaFile* file = nullptr;
};

// Text written by a document, and whether writing succeeded.
inline std::string Generate(JsonDocumentSchema& doc, bool* ok = nullptr) {
    std::ostringstream out;
    bool result = doc.GenerateDocumentStream(out, nullptr);
    if (ok) *ok = result;
    return out.str();
}

inline bool Process(JsonDocumentSchema& doc, const std::string& text) {
    std::istringstream in(text);
    return doc.ProcessDocumentStream(in, nullptr);
}

// What a fresh document writes (the file node writes "").
inline const char* DefaultText() {
    return R"({"i":7,"b":false,"d":2.5,"s":"text","u":"4294967295","strict":{"x":0,"y":""},)"
           R"("open":{"a":1,"flag":true,"file":""},"ordered":[1,0.5,"o",{"z":0}],"ints":[],)"
           R"("strings":[],"objects":[],"rows":[],"skipped":[],"nested":{"inner":{"deep":)"
           R"([{"k":false}]}}})";
}

// A text that gives every node but the file node a value other than its default.
inline const char* FullText() {
    return R"({"i":-12,"b":true,"d":3.25,"s":"q\"\\\n\u0001\u00FF\/","u":"","strict":{"y":"Y",)"
           R"("x":5},"open":{"flag":false,"a":2,"a":3},"ordered":[9,0.125,"p",{"z":4}],)"
           R"("ints":[1,-2,3],"strings":["a","b,c"],"objects":[{"name":"n","value":"v","more":)"
           R"({"n":6},"tags":["t1","t2"]},{"tags":[],"more":{"n":0},"value":"","name":"m"}],)"
           R"("rows":[["r1"],[],["r2","r3"]],"skipped":[1,[2],{"a":3}],"nested":{"inner":{)"
           R"("deep":[{"k":true}]}}})";
}

}  // namespace sample

#endif  // WEBJSON_SAMPLE_DOCUMENT_H
