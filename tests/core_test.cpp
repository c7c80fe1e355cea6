// The core: token writer and reader, scalar nodes, the three list kinds, arrays, the file node
// and the document root.
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "sample_document.h"
#include "test_support.h"

namespace {

// The escaped text of a string value, by the rules alone: named escapes, \u00XX for the other
// control bytes, every other byte as it is.
std::string Escaped(const std::string& value) {
    std::string out;
    for (unsigned char c : std::vector<unsigned char>(value.begin(), value.end())) {
        const char* named = c ? std::strchr("\"\\\b\f\n\r\t", c) : nullptr;
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04X", c);
        if (named) out += std::string("\\") + "\"\\bfnrt"[named - "\"\\\b\f\n\r\t"];
        if (!named) out += c < 0x20 ? code : std::string(1, static_cast<char>(c));
    }
    return out;
}

// One value read with the given token and no key, through the buffer's area or (tied) the
// stream's functions: "fail " for a false result, the value, then what is left unread.
std::string ReadOne(unsigned int token, const std::string& text, bool tied) {
    std::istringstream in(text);
    std::ostringstream sink, d_text;
    if (tied) in.tie(&sink);
    int i = -1;
    bool b = true;
    double d = -1;
    std::string s = "stale";
    void* values[] = {&i, &b, &d, &s, nullptr, nullptr, nullptr, nullptr, nullptr, &s, nullptr};
    const bool ok = JsonReadDocument(in).Deserialize(token, JsonSchema::_nullstr,
                                                     token <= 10 ? values[token] : nullptr);
    in.clear();
    d_text << d;
    const std::string shown[] = {
        std::to_string(i), b ? "true" : "false", d_text.str(), s, "", "", "", "", "", s, ""};
    return (ok ? "" : "fail ") + (token <= 10 ? shown[token] : "") + "|" +
           std::string(std::istreambuf_iterator<char>(in), {});
}

// {"a":int 1,"b":string "x","c":{"d":bool false}} in the list given.
JsonSchemaList* MakeObject(JsonSchemaList* list) {
    return With(list, {new JsonSchemaInt("a", 1), new JsonSchemaString("b", "x"),
                       With(new JsonSchemaList("c"), {new JsonSchemaBool("d", false)})});
}

// An element type of the tests' own, so no library document shares its prototype slot.
class Point : public JsonSchemaList {
  public:
    explicit Point(const char* member) : JsonSchemaList("") {
        MakeObject(this)->GetObject(0u)->SetName(member);
    }
    JsonSchema* Clone() override { return new Point(GetObject(0u)->GetName().c_str()); }
};
using PointArray = JsonSchemaArray<Point>;

}  // namespace

TEST(JsonWriteDocument, CommasBetweenWrittenItemsOnlyNullValuesAndDoubles) {
    JsonSchemaList root("");
    auto* f = new JsonSchemaOrderedList("f");
    f->AddNew(new JsonSchemaOrderedList("ignored"));
    f->AddNew(new JsonSchemaDouble("", 2.5, 3));
    f->AddNew(new JsonSchemaList(""));
    MakeObject(&root)->AddNew(f);
    root.AddNew(new JsonSchemaString("k\"", "a\x1Fz"));  // keys are not escaped
    root.GetObject(1u)->SetEnable(false);
    EXPECT_EQ(Write(root), R"({"a":1,"c":{"d":false},"f":[[],2.5,{}],"k"":"a\u001Fz"})");
    root.GetObject(0u)->SetEnable(false);
    f->SetEnable(false);  // a disabled node writes nothing, and that is a success
    bool ok = false;
    EXPECT_EQ(Write(root, true, &ok), R"({"c":{"d":false},"k"":"a\u001Fz"})");
    EXPECT_TRUE(ok);

    std::ostringstream out;
    JsonWriteDocument writer(out);
    std::string key = "k";
    EXPECT_TRUE(writer.Serialize(JSON_ARRAY_BEGIN, JsonSchema::_nullstr, nullptr));
    for (unsigned int token : {0u, 1u, 2u, 3u, 4u, 9u})
        EXPECT_TRUE(writer.Serialize(token, key, nullptr));
    EXPECT_TRUE(writer.Serialize(JSON_SKIP, JsonSchema::_nullstr, nullptr));
    EXPECT_TRUE(writer.Serialize(99, JsonSchema::_nullstr, nullptr));
    std::vector<char> file = {'Y', '"', '\0', 'Z'};  // a file's text ends at its zero byte
    EXPECT_TRUE(writer.Serialize(JSON_FILE, JsonSchema::_nullstr, &file));
    out.setstate(std::ios::failbit);
    EXPECT_FALSE(writer.Serialize(JSON_INT, JsonSchema::_nullstr, &f));
    out.clear();  // the refused item did not count as written
    EXPECT_TRUE(writer.Serialize(JSON_ARRAY_END, JsonSchema::_nullstr, nullptr));
    EXPECT_EQ(out.str(), R"(["k":,"k":,"k":,"k":,"k":,"k":,,,"Y\""])");

    for (const auto& c : Cases("doubles")) {  // value, decimal setting, text
        const auto decimal = static_cast<unsigned int>(std::stoul(c[1]));
        EXPECT_EQ(Write(*std::make_unique<JsonSchemaDouble>("", std::stod(c[0]), decimal)), c[2]);
    }
}

// Every byte at every place of values of 1, 5 and 9 bytes (the scan takes eight at a time),
// through the writer's token path and through _string_to_json.
TEST(JsonWriteDocument, EscapesEveryByteAtEveryPlace) {
    for (int c = 0; c < 256; ++c) {
        for (std::size_t size : {1u, 5u, 9u}) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string value(size, 'a'), escaped = "stale";
                value[at] = static_cast<char>(c);
                std::ostringstream out;
                JsonWriteDocument writer(out);
                writer._string_to_json(value, escaped);
                ASSERT_TRUE(writer.Serialize(JSON_STRING, JsonSchema::_nullstr, &value));
                ASSERT_EQ(escaped + out.str(), Escaped(value) + '"' + Escaped(value) + '"')
                    << c << " at " << at;
            }
        }
    }
}

// Numbers are digits, signs and dots; a refused value fails the stream and leaves a bracket it
// could not use unread. Through the area and through the stream's functions; cases in
// golden/reads.tsv.
TEST(JsonReadDocument, ValuesByToken) {
    for (const auto& c : Cases("reads")) {
        for (bool tied : {false, true})
            EXPECT_EQ(ReadOne(static_cast<unsigned int>(std::stoul(c[0])), c[1], tied), c[2])
                << c[1] << (tied ? " tied" : "");
    }
}

TEST(JsonReadDocument, KeysWhiteSpacePeekAndStickyFailures) {
    JsonSchemaInt node("Name", 0);
    for (const char* text :
         {"\"name\":1,", "\"Nam\":1,", "\"Name\";1,", "Name:1,", "\"Name\" :\t7,"}) {
        std::istringstream in(text);
        JsonReadDocument reader(in);
        EXPECT_EQ(node.Format(reader, true), text[6] == ' ') << text;
    }
    EXPECT_EQ(node.GetValueInt(), 7);
    JsonSchemaArray<JsonSchemaInt> array("a", new JsonSchemaInt("", 0));  // its bracket once
    std::istringstream keyed("\"a\" : [ 1 ,2 ] ,");
    JsonReadDocument keyed_reader(keyed);
    EXPECT_TRUE(array.Format(keyed_reader, true) && array.Size() == 2 && keyed.get() == ' ');
    std::istringstream in(" \v }, ]");
    JsonReadDocument reader(in);
    EXPECT_FALSE(reader.Peek(JSON_ARRAY_END) || reader.Peek(JSON_OBJECT_BEGIN));
    EXPECT_TRUE(reader.Peek(JSON_OBJECT_END));
    EXPECT_TRUE(reader.Deserialize(JSON_OBJECT_END, JsonSchema::_nullstr, nullptr));
    EXPECT_FALSE(reader.Peek(JSON_ARRAY_END));  // a comma comes first
    EXPECT_FALSE(reader.Deserialize(JSON_ARRAY_END, JsonSchema::_nullstr, nullptr));
    EXPECT_FALSE(reader.Deserialize(JSON_INT, JsonSchema::_nullstr, nullptr));  // failures stay
    in.clear();
    EXPECT_EQ(in.get(), ',');
    JsonSchemaList root("");
    EXPECT_TRUE(Read(root, "{}"));  // a closing bracket needs no look-ahead
    EXPECT_FALSE(Read(root, "{"));
}

TEST(JsonSchema, ScalarNodesOwnSettersClonesNamesAndDisabling) {
    std::string name = "i";
    JsonSchemaInt i(name.c_str(), 3);
    name = "x";  // names are copied
    JsonSchemaBool b("b", false);
    JsonSchemaDouble d("d", 3.14159, 5);
    JsonSchemaString s("s", "orig");
    std::string clones;
    for (JsonSchema* node : std::initializer_list<JsonSchema*>{&i, &b, &d, &s}) {
        node->SetValue(7);
        node->SetValue(true);
        node->SetValue("text");
        node->SetValue(2.25);
        node->SetEnable(false);
        std::unique_ptr<JsonSchema> copy(node->Clone());  // name and default, enabled
        clones += Write(*copy, true) + Write(*node, true) + ",";
        EXPECT_TRUE(Read(*node, "garbage"));  // a disabled node reads nothing
        node->SetEnable(true);
    }
    EXPECT_EQ(clones, R"("i":3,"b":false,"d":3.14,"s":"orig",)");
    EXPECT_EQ(Write(i) + Write(b) + Write(d) + Write(s), R"(7true2.25"text")");
    i.SetName("");
    EXPECT_EQ(Write(i, true), "7");
    EXPECT_STREQ(JsonSchemaString("", INT32_MIN).GetValueString(), "2147483648");
    JsonSchemaString sized("cell and more", 4, "v");  // the name's first bytes only
    sized.SetValue("w");
    s.SetValue("a longer text than any short string holds");
    s.SetValue(s.GetValueString() + 2);  // part of its own text
    EXPECT_STREQ(s.GetValueString(), "longer text than any short string holds");
    EXPECT_TRUE(Read(s, R"("a\u0000b")"));  // the sized text keeps what the C string ends at
    EXPECT_EQ(s.GetValueText(), std::string("a\0b", 3));
    std::unique_ptr<JsonSchema> fresh(sized.Clone());
    EXPECT_EQ(Write(sized, true) + Write(*fresh, true), R"("cell":"w""cell":"v")");
    JsonSchemaString unnamed(nullptr, 4, "v");  // as a null name
    EXPECT_EQ(Write(unnamed, true), R"("v")");
}

// The library writes and reads its own leaf classes straight from their fields: a program's class
// made from a copy of a leaf already written is still written and read through its own functions,
// and copies of leaves are nodes of their own.
TEST(JsonSchema, ProgramClassesCopiedFromWrittenLeavesKeepTheirOwnFunctions) {
    struct Quoted : JsonSchemaString {
        explicit Quoted(const JsonSchemaString& from) : JsonSchemaString(from) {}
        bool Compile(JsonWriteDocument& writer, bool withName) override {
            std::string text = "<" + std::string(GetValueString()) + ">";
            return writer.Serialize(JSON_STRING, _key(withName), &text);
        }
        bool Format(JsonReadDocument& reader, bool withName) override {
            return ++reads, JsonSchemaString::Format(reader, withName);
        }
        int reads = 0;
    };
    auto* plain = new JsonSchemaString("s", "v");
    TreeDocument doc(With(new JsonSchemaList(""), {plain, new JsonSchemaInt("n", 1)}));
    EXPECT_EQ(WriteDoc(doc), R"({"s":"v","n":1})");
    auto* quoted = new Quoted(*plain);
    JsonSchemaString copy("c", "");
    copy = *plain;  // a copy takes the name and value only
    TreeDocument mine(With(new JsonSchemaList(""), {quoted, new JsonSchemaString(copy)}));
    EXPECT_EQ(WriteDoc(mine), R"({"s":"<v>","s":"v"})");
    EXPECT_TRUE(ReadDoc(mine, R"({"s":"w","s":"x"})"));
    EXPECT_EQ(quoted->reads, 1);
    EXPECT_EQ(WriteDoc(mine), R"({"s":"<w>","s":"x"})");
}

// Strict lists need every child once and skip unknown members and repeats; open lists take any
// subset; ordered lists read elements in order up to their children. Nothing is rolled back.
TEST(JsonSchemaList, TheThreeKinds) {
    for (const auto& c : Cases("lists")) {  // kind, text, result, text written after
        std::unique_ptr<JsonSchemaList> list(new JsonSchemaList(""));
        if (c[0] == "o") list.reset(new JsonSchemaOpenList(""));
        if (c[0] == "[") list.reset(new JsonSchemaOrderedList(""));
        EXPECT_EQ(Read(*MakeObject(list.get()), c[1]), c[2] == "1") << c[1];
        EXPECT_EQ(Write(*list), c[3]);
    }
    JsonSchemaList twins("");
    EXPECT_TRUE(Read(twins, "{} "));
    twins.AddNew(new JsonSchemaInt("a", 0));
    twins.AddNew(new JsonSchemaInt("a", 0));
    EXPECT_TRUE(Read(twins, R"({"a":1,"a":2} )"));
    EXPECT_EQ(Write(twins), R"({"a":1,"a":2})");
    twins.GetObject(1u)->SetEnable(false);  // matched by no member
    EXPECT_FALSE(Read(twins, R"({"a":1,"a":2} )"));
    EXPECT_FALSE(Read(twins, R"({"a":1} )"));
    JsonSchemaArray<JsonSchemaList> empties("", new JsonSchemaList(""));  // "{}" ends an item
    EXPECT_TRUE(Read(empties, "[{},{} ,{}] "));
    EXPECT_EQ(empties.Size(), 3u);
    EXPECT_FALSE(Read(empties, "[{}{}] "));
}

TEST(JsonSchemaList, LookupsShorthandsResetClearAndClone) {
    JsonSchemaList list("");
    MakeObject(&list)->AddNew(nullptr);
    EXPECT_EQ(list.Size(), 3u);
    EXPECT_EQ(list.GetObject(3u), nullptr);
    EXPECT_EQ(list.GetObject("B"), list.GetObject("bb"));
    EXPECT_EQ(std::string(list.GetString("a")) + list.GetString("none") + list.GetString("b"), "x");
    list.Set("b", "new");
    list.Set("a", 4);
    list.Set("none", 4);
    list.Set("c", "ignored");
    EXPECT_EQ(Write(list), R"({"a":4,"b":"new","c":{"d":false}})");
    std::unique_ptr<JsonSchema> deep(list.Clone());
    static_cast<JsonSchemaList*>(list.GetObject("c"))->Set("d", true);
    list.Reset();
    EXPECT_EQ(Write(list) + Write(*deep),
              R"({"a":1,"b":"x","c":{"d":false}}{"a":1,"b":"x","c":{"d":false}})");
    list.Clear();
    list.Clear();
    EXPECT_EQ(Write(list), "{}");
    JsonSchemaOrderedList ordered("o");
    ordered.AddNew(new JsonSchemaInt("k", 2));
    ordered.SetEnable(false);
    EXPECT_EQ(Write(*std::unique_ptr<JsonSchema>(ordered.Clone()), true),
              R"("o":{"k":2})");  // plain, enabled
}

TEST(JsonSchemaArray, ReadsByCloningThePrototypeWhileItsLastArrayLives) {
    ASSERT_EQ(PointArray::_element, nullptr);
    {
        auto* prototype = new Point("a");
        auto first = std::make_unique<PointArray>("pts", prototype);
        auto* unused = new Point("z");
        PointArray second("second", unused);
        delete unused;  // a prototype not kept stays the caller's
        EXPECT_EQ(PointArray::_ref, 2);
        EXPECT_EQ(Write(*first, true), R"("pts":[])");
        EXPECT_TRUE(
            Read(*first, R"([{"a":5,"b":"p","c":{"d":true}},{"c":{"d":false},"b":"","a":6}] )"));
        EXPECT_FALSE(
            Read(second, R"([{"a":8,"b":"","c":{"d":true}},{"z":1}] )"));  // appended, kept
        EXPECT_EQ(
            Write(*first) + Write(second),
            R"([{"a":5,"b":"p","c":{"d":true}},{"a":6,"b":"","c":{"d":false}}][{"a":8,"b":"","c":{"d":true}},{"a":1,"b":"x","c":{"d":false}}])");
        EXPECT_EQ(second.GetArray(2), nullptr);
        second.AddNew(new JsonSchemaString("", "two"));
        second.SetEnable(false);
        std::unique_ptr<JsonSchema> copy(second.Clone());  // elements, not the prototype
        EXPECT_EQ(PointArray::_ref, 3);
        EXPECT_EQ(
            Write(*copy, true) + Write(second),
            R"("second":[{"a":1,"b":"x","c":{"d":false}},{"a":1,"b":"x","c":{"d":false}},"two"])");
        first.reset();
        EXPECT_EQ(PointArray::_element, prototype);
        second.Reset();
        EXPECT_EQ(second.Size(), 0u);
    }
    EXPECT_EQ(PointArray::_element, nullptr);
    EXPECT_EQ(PointArray::_ref, 0);
    PointArray third("third", new Point("q"));  // the slot is free again
    EXPECT_TRUE(Read(third, R"([{"q":2,"b":"","c":{"d":true}}] )"));
    JsonSchemaArray<JsonSchemaOrderedList> without("", nullptr);  // no prototype: all skipped
    EXPECT_TRUE(Read(without, R"([1,[2],{"a":3},"s",null] )"));
    EXPECT_EQ(without.Size(), 0u);
    // JsonSchemaArray<JsonSchemaInt> is the library's instance: copies it makes count here too.
    const int32_t before = JsonSchemaArray<JsonSchemaInt>::_ref;
    JsonSchemaArray<JsonSchemaInt> mine("", new JsonSchemaInt("", 0));
    std::unique_ptr<JsonSchema> copy(mine.Clone());
    EXPECT_EQ(JsonSchemaArray<JsonSchemaInt>::_ref, before + 2);
    EXPECT_TRUE(Read(*copy, "[3,4] "));
    EXPECT_EQ(Write(*copy), "[3,4]");
}

TEST(JsonSchemaFile, WritesBase64OfARegularFileAndIsNeverRead) {
    const std::pair<std::string, std::string> known[] = {
        {"", ""},        {"a", "YQ=="},          {"ab", "YWI="},
        {"abc", "YWJj"}, {"foobar", "Zm9vYmFy"}, {std::string("\x00\xFF\xFE", 3), "AP/+"}};
    for (const auto& k : known)
        EXPECT_EQ(Write(*std::make_unique<JsonSchemaFile>("", TempFile("f.bin", k.first).c_str())),
                  '"' + k.second + '"');
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(255 - i));
    for (std::size_t length : {1u, 2u, 3u, 4u, 5u, 6u, 254u, 255u, 256u}) {
        JsonSchemaFile node("f", TempFile("f.bin", all.substr(0, length)).c_str());
        EXPECT_EQ(Write(node).size(), 2 + (length + 2) / 3 * 4);
        const std::string out = TempFile("f.out", "previous content that must go");
        node.DataToFile(out.c_str());
        std::ifstream in(out, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), all.substr(0, length));
    }
    JsonSchemaFile node("f", TempFile("f.bin", "abc").c_str());
    node.Reset();  // keeps the text, a clone does not
    EXPECT_EQ(Write(node, true) + Write(*std::unique_ptr<JsonSchema>(node.Clone())),
              R"("f":"YWJj""")");
    const std::string fifo = TempFile("fifo", "");  // no writer: opening it would wait for ever
    ASSERT_TRUE(std::remove(fifo.c_str()) == 0 && mkfifo(fifo.c_str(), 0600) == 0);
    for (const char* path : {"/", "/dev/zero", "/dev/urandom", fifo.c_str()}) {  // not regular
        node.FileToData(path);
        EXPECT_EQ(Write(node), R"("")") << path;
    }
    std::remove(fifo.c_str());
    EXPECT_FALSE(Read(node, R"("YWJj",)"));
    node.SetEnable(false);
    EXPECT_TRUE(Read(node, R"("YWJj",)"));
}

TEST(JsonDocumentSchema, ReadsFromDefaultsWritesAndReadsSubListsAndFiles) {
    sample::SampleDocument doc, other;
    CoutCapture console;
    ASSERT_TRUE(ReadDoc(doc, std::string(sample::FullText()) + "\ntrailing garbage"));
    ExpectGolden("sample_full", {WriteDoc(doc)});
    std::string text = sample::FullText();  // every read starts from the defaults
    const std::string ordered = R"("ordered":[9,0.125,"p",{"z":4}])";
    EXPECT_TRUE(ReadDoc(doc, text.replace(text.find(ordered), ordered.size(), R"("ordered":[])")));
    EXPECT_NE(WriteDoc(doc).find(R"("ordered":[1,0.5,"o",{"z":0}])"), std::string::npos);
    auto* strict = static_cast<JsonSchemaList*>(doc.Root()->GetObject("strict"));
    EXPECT_TRUE(ReadDoc(doc, R"({"y":"q","x":9})", strict));
    EXPECT_EQ(doc.Root()->GetObject("i")->GetValueInt(), -12);  // outside the sub-list: untouched
    const std::string path = TempFile("webjson_document.json", "");
    auto* target = static_cast<JsonSchemaList*>(other.Root()->GetObject("strict"));
    ASSERT_TRUE(doc.GenerateDocument(path.c_str(), strict));
    ASSERT_TRUE(doc.GenerateDocument(path.c_str(), strict));  // truncates, not appends
    EXPECT_TRUE(other.ProcessDocument(path.c_str(), target));
    EXPECT_EQ(WriteDoc(other, target), R"({"x":9,"y":"q"})");
    EXPECT_EQ(console.Text(), "");
    EXPECT_FALSE(other.GenerateDocument("/nonexistent-dir/x.json", nullptr));
    EXPECT_FALSE(other.ProcessDocument("/nonexistent-dir/x.json", nullptr));
    EXPECT_FALSE(other.ProcessDocument(nullptr, nullptr));
    EXPECT_EQ(target->GetObject("x")->GetValueInt(), 9);  // not even reset
    TreeDocument rootless(nullptr);
    EXPECT_EQ(WriteDoc(rootless), "(write failed) ");
    EXPECT_FALSE(ReadDoc(rootless, "{}"));
    rootless._reset_schema(nullptr);
    EXPECT_EQ(console.Text(),
              "Write Document Error\nRead Document Error\nRead Document Error\nCompile Document "
              "failed\nFormat Document failed\n");
}
