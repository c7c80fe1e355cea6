// Views written from the program's data (array and table sources), documents written into a
// string and read from the caller's memory.
#include <malloc.h>

#include <climits>
#include <stdexcept>

#include "test_support.h"

namespace {

// Takes any amount of text and keeps only its size.
struct Sink : std::streambuf {
    char area[4096];
    std::size_t size = 0;
    Sink() { setp(area, area + sizeof area); }
    int_type overflow(int_type c) override {
        size += static_cast<std::size_t>(pptr() - pbase()) + 1;
        setp(area, area + sizeof area);
        return traits_type::not_eof(c);
    }
};

// Passes its text on to `text` whenever its area of `room` bytes is full, or at a flush.
struct SmallArea : std::streambuf {
    std::vector<char> area;
    std::string text;
    explicit SmallArea(std::size_t room) : area(room) { Drain(); }
    void Drain() {
        text.append(pbase(), pptr());
        setp(area.data(), area.data() + area.size());
    }
    int_type overflow(int_type c) override {
        Drain();
        if (!traits_type::eq_int_type(c, traits_type::eof())) text += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain(), 0; }
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

using Items = JsonSchemaArray<JsonSchemaList>;
using Ints = JsonSchemaArray<JsonSchemaInt>;

// {"items":[{"n":..,"v":[..]}..]} with the items' own prototype.
TreeDocument* ItemsDocument(Items*& items) {
    auto* item = With(new JsonSchemaList(""),
                      {new JsonSchemaInt("n", 7),
                       new Ints("v", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 0)))});
    items = new Items("items", std::unique_ptr<JsonSchemaList>(item));
    return new TreeDocument(With(new JsonSchemaList(""), {items}));
}

}  // namespace

// Each element the source gives is a fresh one (defaults, empty arrays) written in turn; the
// stored elements come back when the source goes; reading is not affected; every way a source
// or the stream ends a write is reported.
TEST(SourceArrays, OneElementFilledPerIndexUntilTheSourceSaysNo) {
    Items* items;
    std::unique_ptr<TreeDocument> doc(ItemsDocument(items));
    ASSERT_TRUE(ReadDoc(*doc, R"({"items":[{"n":1,"v":[]}]})"));
    items->SetSource([](JsonSchemaList& item, std::uint32_t i) {
        if (i % 2) item.Set("n", static_cast<int>(i));
        if (i == 3) static_cast<Ints*>(item.GetObject(1u))->AddNew(new JsonSchemaInt("", 9));
        return i < 4;
    });
    EXPECT_EQ(WriteDoc(*doc), R"({"items":[{"n":7,"v":[]},{"n":1,"v":[]},{"n":7,"v":[]},)"
                              R"({"n":3,"v":[9]}]})");
    EXPECT_TRUE(ReadDoc(*doc, R"({"items":[{"n":5,"v":[6]}]})") && items->Size() == 1);
    items->SetSource([](JsonSchemaList&, std::uint32_t) { return false; });
    EXPECT_EQ(WriteDoc(*doc), R"({"items":[]})");
    items->ClearSource();
    EXPECT_EQ(WriteDoc(*doc), R"({"items":[{"n":5,"v":[6]}]})");
    CoutCapture console;
    items->SetSource([](JsonSchemaList&, std::uint32_t i) {
        if (i == 2) throw std::runtime_error("the data went away");
        return true;
    });
    std::ostringstream out;
    EXPECT_FALSE(doc->GenerateDocumentStream(out, nullptr));
    EXPECT_EQ(doc->LastError().message, "the write was stopped by an exception");
    items->SetSource([](JsonSchemaList&, std::uint32_t) { return true; });  // without end
    FullBuf full(1000);
    std::ostream into(&full);
    EXPECT_FALSE(doc->GenerateDocumentStream(into, nullptr));
    EXPECT_EQ(full.Text().substr(0, 31) + " " + std::to_string(full.Text().size()),
              R"({"items":[{"n":7,"v":[]},{"n":7 1000)");
    Ints unwritable("u", std::unique_ptr<JsonSchemaInt>());  // no prototype to fill
    unwritable.SetSource([](JsonSchemaInt&, std::uint32_t) { return true; });
    bool ok = true;
    EXPECT_EQ(Write(unwritable, false, &ok), "[]");
    EXPECT_FALSE(ok);
    EXPECT_EQ(console.Text(), "Compile Document failed\nCompile Document failed\n");
}

// A source may be any callable: a lambda keeps its state from call to call and write to write, a
// result that converts to bool ends the elements, an empty function pointer or std::function
// clears the source; each element is reset to its default before every call.
TEST(SourceArrays, AnyCallableIsASource) {
    Ints v("", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 5)));
    v.AddNew(new JsonSchemaInt("", 1));
    v.SetSource([n = 0](JsonSchemaInt& e, std::uint32_t) mutable {
        if (++n % 2 == 0) e.SetValue(n);
        return n % 4 != 0;
    });
    EXPECT_EQ(Write(v), "[5,2,5]");
    EXPECT_EQ(Write(v), "[5,6,5]");
    v.SetSource([](JsonSchemaInt&, std::uint32_t i) { return 2 - static_cast<int>(i); });
    EXPECT_EQ(Write(v), "[5,5]");
    bool (*none)(JsonSchemaInt&, std::uint32_t) = nullptr;
    v.SetSource(none);
    EXPECT_EQ(Write(v), "[1]");
    v.SetSource([](JsonSchemaInt&, std::uint32_t) { return false; });
    v.SetSource(std::function<int(JsonSchemaInt&, int)>());
    EXPECT_EQ(Write(v), "[1]");
}

// Leaf elements, and objects of leaves, from a source are written as stored elements of the same
// values are, wherever the stream's area ends or fails.
TEST(SourceArrays, LeafElementsAreWrittenAsStoredOnesAre) {
    const std::vector<int> numbers = {0, -1, 7, 12345, INT_MIN, INT_MAX, -50000};
    const std::vector<const char*> texts = {"", "a\"b", "line\n", "\x01"};
    const std::vector<double> doubles = {0.5, -12.25, 1e300};
    auto document = [&](bool sourced) {
        using Texts = JsonSchemaArray<JsonSchemaString>;
        using Doubles = JsonSchemaArray<JsonSchemaDouble>;
        auto* v = new Ints("v", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 3)));
        auto* t = new Texts("t", std::unique_ptr<JsonSchemaString>(new JsonSchemaString("", "")));
        auto* d =
            new Doubles("d", std::unique_ptr<JsonSchemaDouble>(new JsonSchemaDouble("", 0, 3)));
        auto* pair = With(new JsonSchemaList(""),
                          {new JsonSchemaString("k", ""), new JsonSchemaInt("n", 0)});
        auto* o = new Items("o", std::unique_ptr<JsonSchemaList>(pair));
        if (sourced) {
            o->SetSource([&](JsonSchemaList& e, std::uint32_t i) {
                if (i >= texts.size()) return false;
                e.Set("k", texts[i]);
                e.Set("n", numbers[i]);
                e.SetEnable(i != 1);  // a disabled element writes nothing
                return true;
            });
            v->SetSource([&](JsonSchemaInt& e, std::uint32_t i) {
                return i < numbers.size() && (e.SetValue(numbers[i]), true);
            });
            t->SetSource([&](JsonSchemaString& e, std::uint32_t i) {
                return i < texts.size() && (e.SetValue(texts[i]), true);
            });
            d->SetSource([&](JsonSchemaDouble& e, std::uint32_t i) {
                return i < doubles.size() && (e.SetValue(doubles[i]), true);
            });
        } else {
            for (int n : numbers)
                v->AddNew(new JsonSchemaInt("", n));
            for (const char* text : texts)
                t->AddNew(new JsonSchemaString("", text));
            for (double x : doubles)
                d->AddNew(new JsonSchemaDouble("", x, 3));
            for (std::size_t i = 0; i < texts.size(); ++i) {
                o->AddNew(With(new JsonSchemaList(""), {new JsonSchemaString("k", texts[i]),
                                                        new JsonSchemaInt("n", numbers[i])}));
                o->GetObject(static_cast<unsigned int>(i))->SetEnable(i != 1);
            }
        }
        return std::unique_ptr<TreeDocument>(new TreeDocument(
            With(new JsonSchemaList(""), {new JsonSchemaInt("a", 1), v, t, d, o})));
    };
    auto sourced = document(true), stored = document(false);
    const std::string whole = WriteDoc(*stored);
    ASSERT_EQ(WriteDoc(*sourced), whole);
    CoutCapture console;
    for (std::size_t room = 0; room < whole.size(); ++room) {
        FullBuf a(room), b(room);
        std::ostream into_a(&a), into_b(&b);
        EXPECT_EQ(sourced->GenerateDocumentStream(into_a, nullptr),
                  stored->GenerateDocumentStream(into_b, nullptr));
        ASSERT_EQ(a.Text(), whole.substr(0, room));
        ASSERT_EQ(b.Text(), a.Text());
        SmallArea area(room + 1);
        std::ostream into(&area);
        ASSERT_TRUE(sourced->GenerateDocumentStream(into, nullptr) && into.flush());
        ASSERT_EQ(area.text, whole);
    }
}

// A write of any length holds the same memory: one element, or no node at all for a table.
TEST(SourceArrays, MemoryDoesNotGrowWithTheElementsWritten) {
    Items* items;
    std::unique_ptr<TreeDocument> doc(ItemsDocument(items));
    std::size_t early = 0, late = 0;
    items->SetSource([&](JsonSchemaList& item, std::uint32_t i) {
        item.Set("n", static_cast<int>(i));
        static_cast<Ints*>(item.GetObject(1u))->AddNew(new JsonSchemaInt("", 1));
        if (i == 1000) early = HeapInUse();
        if (i == 199999) late = HeapInUse();
        return i < 200000;
    });
    JsonTable table;
    table.AddTableColumn("a");
    table.SetTableRowSource(200000, [&](std::uint32_t row, const char** cells) {
        cells[0] = "text";
        if (row == 1000) early += HeapInUse();
        if (row == 199999) late += HeapInUse();
    });
    Sink sink;
    std::ostream out(&sink);
    EXPECT_TRUE(doc->GenerateDocumentStream(out, nullptr) &&
                table.GenerateDocumentStream(out, nullptr));
    EXPECT_LE(late, early + 16384);
}

// Rows from a source: written straight from the texts (null, missing, escaped), counted in
// "iTotalRecords", the stored rows back when it goes; failures as for any write.
TEST(TableRowSource, RowsWrittenFromTheTextsTheSourceSets) {
    JsonTable table;
    table.AddTableColumn("a");
    table.AddTableColumn("b");
    const char* stored[] = {"s", "t"};
    table.AddTableRow(stored, 2);
    table.SetTableRowSource(3, [](std::uint32_t row, const char** cells) {
        cells[0] = row == 0 ? "x\"y" : nullptr;
        if (row == 2) cells[1] = "z";
    });
    EXPECT_EQ(WriteDoc(table), R"({"iTotalRecords":3,"sColumns":["a","b"],"download":false,)"
                               R"("aaSorting":[],"aaData":[["x\"y",""],["",""],["","z"]]})");
    table.AddTableRow(stored, 1);
    EXPECT_NE(WriteDoc(table).find(R"("iTotalRecords":3,)"), std::string::npos);
    table.SetTableRowSource(0, [](std::uint32_t, const char**) {});
    EXPECT_NE(WriteDoc(table).find(R"("aaData":[]})"), std::string::npos);
    table.ClearTableRowSource();
    EXPECT_EQ(WriteDoc(table), R"({"iTotalRecords":2,"sColumns":["a","b"],"download":false,)"
                               R"("aaSorting":[],"aaData":[["s","t"],["s",""]]})");
    CoutCapture console;
    table.SetTableRowSource(100, [](std::uint32_t row, const char** cells) {
        if (row == 50) throw std::runtime_error("gone");
        cells[1] = "0123456789";
    });
    std::string text;
    EXPECT_FALSE(table.GenerateDocumentString(text, nullptr));
    EXPECT_EQ(table.LastError().message, "the write was stopped by an exception");
    FullBuf full(300);
    std::ostream into(&full);
    EXPECT_FALSE(table.GenerateDocumentStream(into, nullptr));
    EXPECT_EQ(table.LastError().message, "the stream failed while writing");
    EXPECT_EQ(full.Text().size(), 300u);
    EXPECT_FALSE(table.ProcessDocumentBuffer("{}", 2, nullptr));  // refused, as from a stream
    EXPECT_EQ(table.LastError().message, "a table cannot be read");
}

// Whatever the texts (escapes anywhere, control bytes, long ones) and wherever the stream
// buffer's area ends, a row source writes what the same rows stored write.
TEST(TableRowSource, TheTextOfStoredRowsWhereverTheAreaEnds) {
    const std::vector<std::string> texts = {"",
                                            "a",
                                            "plain text",
                                            std::string(70, 'x'),
                                            "q\"",
                                            "\\b",
                                            "tab\there",
                                            "\x01\x1f",
                                            "caf\xc3\xa9",
                                            std::string(40, 'y') + "\"" + std::string(9, 'z')};
    const std::size_t n = texts.size(), shift[] = {0, 3, 7};  // a row's texts
    JsonTable stored, sourced;
    for (JsonTable* table : {&stored, &sourced}) {
        for (const char* column : {"a", "b", "c"})
            table->AddTableColumn(column);
    }
    for (std::size_t row = 0; row < n; ++row) {
        const char* cells[3];
        for (std::size_t k = 0; k < 3; ++k)
            cells[k] = texts[(row + shift[k]) % n].c_str();
        stored.AddTableRow(cells, 3);
    }
    sourced.SetTableRowSource(static_cast<std::uint32_t>(n),
                              [&](std::uint32_t row, const char** cells) {
                                  for (std::size_t k = 0; k < 3; ++k)
                                      cells[k] = texts[(row + shift[k]) % n].c_str();
                              });
    const std::string expected = WriteDoc(stored);
    ASSERT_EQ(WriteDoc(sourced), expected);
    for (std::size_t room = 1; room <= 96; ++room) {
        SmallArea buf(room);
        std::ostream out(&buf);
        ASSERT_TRUE(sourced.GenerateDocumentStream(out, nullptr) && out.flush());
        ASSERT_EQ(buf.text, expected) << room;
    }
}

// A document written into a string is the text the stream form writes, with its result and
// LastError; its room is reused, and a large one grows as needed.
TEST(DocumentString, TheTextTheStreamFormWrites) {
    Items* items;
    std::unique_ptr<TreeDocument> doc(ItemsDocument(items));
    std::string text = "old contents", big;
    ASSERT_TRUE(doc->GenerateDocumentString(text, nullptr));
    EXPECT_EQ(text, R"({"items":[]})");
    ASSERT_TRUE(ReadDoc(*doc, R"({"items":[{"n":1,"v":[2,3]},{"n":4,"v":[]}]})"));
    EXPECT_TRUE(doc->GenerateDocumentString(text, nullptr) && text == WriteDoc(*doc));
    items->SetSource([](JsonSchemaList& item, std::uint32_t i) {
        item.Set("n", static_cast<int>(i));
        return i < 100000;
    });
    ASSERT_TRUE(doc->GenerateDocumentString(big, nullptr));
    EXPECT_TRUE(big == WriteDoc(*doc) && big.size() > 1000000);
    const char* before = big.data();
    EXPECT_TRUE(doc->GenerateDocumentString(big, nullptr) && big.data() == before);
    CoutCapture console;
    auto* unwritable = new Items("u", std::unique_ptr<JsonSchemaList>());
    unwritable->SetSource([](JsonSchemaList&, std::uint32_t) { return true; });
    TreeDocument failing(With(new JsonSchemaList(""), {new JsonSchemaInt("a", 1), unwritable}));
    EXPECT_FALSE(failing.GenerateDocumentString(text, nullptr));
    EXPECT_EQ(text, R"({"a":1,"u":[]})");
    EXPECT_EQ(failing.LastError().message, "the document could not be written");
    EXPECT_EQ(console.Text(), "Compile Document failed\n");
}
