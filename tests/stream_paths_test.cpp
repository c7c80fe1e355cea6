// The writer and reader use a stream buffer's areas directly where the stream's own functions
// would do nothing more. These tests hold both ways to the same text, values, results and states,
// with streams that force the stream functions (tied, unitbuf) and buffers that fill up, fail or
// throw anywhere. Numbers against the C library; locales and stream flags: robustness_test.
#include <cfloat>
#include <climits>
#include <cmath>
#include <locale>
#include <memory>
#include <random>

#include "test_support.h"

namespace {

// One Serialize call, with the decimal setting in force for it.
struct Item {
    unsigned int token, decimal;
    std::string name, s;
    int i;
    bool b;
    double d;
};

// Random numbers of 32 bits, as unsigned int.
struct Random : std::mt19937 {
    using std::mt19937::mt19937;
    unsigned int operator()() { return static_cast<unsigned int>(std::mt19937::operator()()); }
};

std::vector<Item> RandomItems(unsigned int seed, std::size_t count) {
    Random rng(seed);
    const std::string names[] = {"", "", "a", "key", "we\"ird", std::string(40, 'n')};
    std::vector<std::string> texts = {"",         "plain",   "\ttab", "q\"uote", "back\\slash",
                                      "sev7\"ch", "eight8ch"};
    texts.insert(texts.end(), {std::string(8, '\x1F'), std::string(300, 'x'),
                               std::string("\x01\x1F\x7F\x80\xFF", 5),
                               std::string(150, 'y') + "\n" + std::string(150, 'z')});
    const int ints[] = {0, -1, 7, INT_MIN, INT_MAX, 1000000};
    std::vector<Item> items(count);
    for (Item& it : items) {
        it.token = rng() % 12;
        it.decimal = rng() % 18;
        it.name = names[rng() % 6];
        it.s = texts[rng() % 11];
        it.i = rng() % 2 ? ints[rng() % 6] : static_cast<int>(rng());
        it.b = rng() % 2;
        it.d =
            std::ldexp(rng() % 2 ? -1.0 * rng() : 1.0 * rng(), static_cast<int>(rng() % 80) - 60);
    }
    return items;
}

// Writes the items; returns each call's result and the stream's state after it.
std::vector<std::pair<bool, std::ios::iostate>> WriteItems(std::ostream& out,
                                                           std::vector<Item> items) {
    std::vector<std::pair<bool, std::ios::iostate>> written;
    JsonWriteDocument writer(out);
    for (Item& it : items) {
        writer.SetDecimal(it.decimal);
        std::vector<char> file(it.s.c_str(), it.s.c_str() + it.s.size() + 1);
        void* values[] = {&it.i, &it.b, &it.d, &it.s, &file};
        written.emplace_back(
            writer.Serialize(it.token, it.name, it.token <= JSON_FILE ? values[it.token] : nullptr),
            out.rdstate());
    }
    return written;
}

// Counts the flushes of the stream it buffers.
struct SyncCounter : std::stringbuf {
    int syncs = 0;
    int sync() override { return ++syncs, 0; }
};

}  // namespace

TEST(JsonWriteDocument, BufferAndStreamFunctionsWriteTheSameText) {
    for (unsigned int seed = 1; seed <= 40; ++seed) {
        const std::vector<Item> items = RandomItems(seed, 150);
        SyncCounter tied_counter, own_counter;
        std::ostringstream direct, tied;
        std::ostream sink(&tied_counter), unitbuf(&own_counter);
        tied.tie(&sink);
        unitbuf.setf(std::ios::unitbuf);
        const auto a = WriteItems(direct, items);
        EXPECT_EQ(a, WriteItems(tied, items));
        EXPECT_EQ(a, WriteItems(unitbuf, items));
        EXPECT_EQ(direct.str() + direct.str(), tied.str() + own_counter.str()) << seed;
        EXPECT_EQ(direct.flags() | std::ios::unitbuf, unitbuf.flags());
        EXPECT_EQ(direct.precision(), tied.precision());
        EXPECT_GE(std::min(tied_counter.syncs, own_counter.syncs), 100);  // as the stream does
    }
    // A buffer that is full or throws after every count: the same states and text both ways.
    const std::vector<Item> items = RandomItems(7, 40);
    std::ostringstream whole;
    WriteItems(whole, items);
    for (bool throws : {false, true}) {
        for (std::size_t room = 0; room <= whole.str().size(); ++room) {
            FullBuf direct_buf(room, throws), tied_buf(room, throws);
            std::ostream direct(&direct_buf), tied(&tied_buf);
            std::ostringstream sink;
            tied.tie(&sink);
            EXPECT_EQ(WriteItems(direct, items), WriteItems(tied, items)) << room;
            ASSERT_EQ(direct_buf.Text() + tied_buf.Text(),
                      whole.str().substr(0, room) + whole.str().substr(0, room));
        }
    }
}

namespace {

// Leaves of classes of their own: never taken in the writer's runs, each written by its Compile.
struct OwnString : JsonSchemaString {
    using JsonSchemaString::JsonSchemaString;
};
struct OwnInt : JsonSchemaInt {
    using JsonSchemaInt::JsonSchemaInt;
};
struct OwnBool : JsonSchemaBool {
    using JsonSchemaBool::JsonSchemaBool;
};
struct OwnDouble : JsonSchemaDouble {
    using JsonSchemaDouble::JsonSchemaDouble;
};

// A put area of `size` characters, emptied into the text whenever it is full.
class SmallArea : public std::streambuf {
  public:
    explicit SmallArea(std::size_t size) : _area(size) { Reset(); }
    std::string Text() const { return _text + std::string(pbase(), pptr()); }

  protected:
    int_type overflow(int_type c) override {
        _text.append(pbase(), pptr());
        Reset();
        if (!traits_type::eq_int_type(c, traits_type::eof())) _text += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }

  private:
    void Reset() { setp(_area.data(), _area.data() + _area.size()); }
    std::vector<char> _area;
    std::string _text;
};

}  // namespace

// Runs of leaves (a record's members, a row's cells) write what each leaf's own Compile writes:
// keys of every length, strings short and long with and without escapes, numbers, disabled
// nodes; the same text and stream flags whatever room the area has.
TEST(JsonWriteDocument, RunsOfLeavesWriteWhatEachLeafWrites) {
    const char* names[] = {
        "", "a", "id", "seven77", "eight888", "fifteen_chars__", "sixteen_chars___"};
    const char chars[] = "abcdefgh \"\\\n\x01\x7f\xc3\xa9";
    for (unsigned int seed = 1; seed <= 150; ++seed) {
        Random rng(seed);
        JsonSchemaList* roots[2] = {new JsonSchemaList(""), new JsonSchemaList("")};
        JsonSchemaList* arrays[2];
        for (int own = 0; own < 2; ++own) {
            arrays[own] = new JsonSchemaArray<JsonSchema>(
                "arr", std::unique_ptr<JsonSchema>(new JsonSchemaString("", "")));
        }
        for (int k = 0, n = 1 + static_cast<int>(rng() % 12); k < 2 * n; ++k) {
            const char* name = names[rng() % 7];
            std::string text;
            for (std::size_t size = rng() % (rng() % 4 ? 17 : 40); text.size() < size;)
                text += chars[rng() % 5 ? rng() % 8 : rng() % (sizeof chars - 1)];
            const int i = rng() % 4 ? static_cast<int>(rng()) >> (rng() % 31) : INT_MIN;
            const double d = rng() % 16
                                 ? std::ldexp(1.0 * rng() - 2e9, static_cast<int>(rng() % 60) - 40)
                                 : std::nan("");
            const unsigned int decimal = rng() % 18, kind = rng() % 4;
            const bool enabled = rng() % 8 != 0;
            for (int own = 0; own < 2; ++own) {
                JsonSchema* leaf;
                if (kind == 0) {
                    leaf = own ? new OwnString(name, text.c_str())
                               : new JsonSchemaString(name, text.c_str());
                } else if (kind == 1) {
                    leaf = own ? new OwnInt(name, i) : new JsonSchemaInt(name, i);
                } else if (kind == 2) {
                    leaf = own ? new OwnBool(name, i & 1) : new JsonSchemaBool(name, i & 1);
                } else {
                    leaf = own ? new OwnDouble(name, d, decimal)
                               : new JsonSchemaDouble(name, d, decimal);
                }
                leaf->SetEnable(enabled);
                (k % 2 ? arrays[own] : roots[own])->AddNew(leaf);
            }
        }
        roots[0]->AddNew(arrays[0]);  // (after the leaves: a list's run starts at its first child)
        roots[1]->AddNew(arrays[1]);
        TreeDocument runs(roots[0]), own(roots[1]);
        for (std::size_t area : {0u, 1u, 5u, 16u, 33u, 70u, 150u, 100000u}) {
            SmallArea run_buffer(area), own_buffer(area);
            std::ostream run_out(&run_buffer), own_out(&own_buffer);
            ASSERT_TRUE(runs.GenerateDocumentStream(run_out, nullptr) &&
                        own.GenerateDocumentStream(own_out, nullptr));
            ASSERT_EQ(run_buffer.Text(), own_buffer.Text()) << seed << " area " << area;
            ASSERT_TRUE(run_out.flags() == own_out.flags() &&
                        run_out.precision() == own_out.precision())
                << seed << " area " << area;
        }
    }
}

// Numbers as a plain stream writes them in the classic locale, for ints of every length and
// doubles near every rounding boundary, at every decimal setting; values JSON cannot hold are
// null. The stream keeps its flags but for boolalpha (set by a bool) and gets the precision (set
// by a double) as `decimal` significant digits.
TEST(JsonWriteDocument, NumbersAsAPlainStreamWritesThem) {
    std::vector<int> ints = {0, 7, -1234567, INT_MIN, INT_MAX, INT_MIN + 1};
    std::vector<double> doubles = {0.0,     -0.0,    1.0,      0.125,   2.5,      9.995, 99.95,
                                   999.5,   1e-4,    1e-5,     1e15,    1e16,     1e21,  1e22,
                                   1e23,    1e-300,  4.9e-324, DBL_MAX, DBL_MIN,  5e-5,  123456,
                                   1234567, 0.99999, 9.5,      0.05,    -3.14159, 2.5e-7};
    std::mt19937_64 rng(11);
    for (long long p = 1; p <= 1000000000LL; p *= 10) {
        for (long long v : {p - 1, p, p + 1, p * 5 + 3})
            ints.insert(ints.end(), {static_cast<int>(v), static_cast<int>(-v)});
    }
    for (int k = 0; k < 2000; ++k)
        ints.push_back(static_cast<int>(rng()) >> (rng() % 31));
    for (int k = 0; k < 6000; ++k) {
        std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) doubles.push_back(d);
        // a decimal with up to 17 digits, or one ending in 5 (a tie in decimal)
        const double digits =
            static_cast<double>(k % 3 ? rng() % 100000000000000000ull : rng() % 100000 * 10 + 5);
        doubles.push_back(digits * std::pow(10.0, static_cast<int>(rng() % 60) - 40));
        // the doubles nearest to decimal ties (d...d5) and their neighbours
        std::string text = std::to_string(1 + rng() % 9);
        for (int n = 1 + k % 15; n > 1; --n)
            text += std::to_string(rng() % 10);
        const double tie = std::strtod(
            (text + "5e" + std::to_string(static_cast<int>(rng() % 40) - 20)).c_str(), nullptr);
        if (k % 2)
            doubles.insert(doubles.end(),
                           {tie, std::nextafter(tie, HUGE_VAL), std::nextafter(tie, 0.0)});
    }
    doubles.insert(doubles.end(), {std::nan(""), -HUGE_VAL});
    int wrong = 0;
    auto check = [&wrong](auto value, unsigned int decimal) {
        using T = decltype(value);
        std::ostringstream out, expected;  // the flags and precision as the writer leaves them
        JsonWriteDocument writer(out);
        writer.SetDecimal(decimal);
        writer.Serialize(std::is_same<T, bool>()  ? JSON_BOOL
                         : std::is_same<T, int>() ? JSON_INT
                                                  : JSON_DOUBLE,
                         JsonSchema::_nullstr, &value);
        if (std::is_same<T, bool>()) expected << std::boolalpha;
        if (std::is_same<T, double>()) expected.precision(static_cast<std::streamsize>(decimal));
        expected << value;
        const bool finite = std::isfinite(static_cast<double>(value));
        if ((out.str() != (finite ? expected.str() : "null") || out.flags() != expected.flags() ||
             out.precision() != expected.precision()) &&
            ++wrong < 10)
            ADD_FAILURE() << std::hexfloat << value << " at " << decimal << ": " << out.str()
                          << " instead of " << expected.str();
    };
    for (int i : ints)
        check(i, 3);
    for (bool b : {true, false})
        check(b, 3);
    for (unsigned int decimal = 0; decimal < 16; ++decimal) {
        for (double d : doubles)
            check(d, decimal);
    }
    EXPECT_EQ(wrong, 0);
}

namespace {

// A walk of Deserialize and Peek calls over a text: each call's result, the values it filled
// and the stream's state after it, then the text left unread. Seeds above 100 read back, in
// order, the items that the writer wrote for RandomItems(seed - 100, 30); others walk at random.
std::string Walk(std::istream& in, unsigned int seed) {
    std::ostringstream seen;
    JsonReadDocument reader(in);
    Random rng(seed);
    const std::vector<Item> items = RandomItems(seed % 100, 30);
    const char* names[] = {"", "", "", "a", "b", "c", "s", "x"};
    for (std::size_t k = 0; k < (seed > 100 ? 31 : 60); ++k) {
        const Item* it = seed > 100 && k > 0 ? &items[k - 1] : nullptr;
        const unsigned int token = seed > 100 ? (it ? it->token : JSON_ARRAY_BEGIN) : rng() % 12;
        std::string name = it ? it->name : seed > 100 ? "" : names[rng() % 8];
        if (it || (seed < 100 && rng() % 4 == 0))
            seen << "peek " << reader.Peek(JSON_ARRAY_END) << reader.Peek(token) << in.rdstate();
        int i = -7;
        bool b = false;
        double d = -7.5;
        std::string s = "stale";
        void* values[11] = {&i, &b, &d, &s};
        values[9] = it ? nullptr : &s;
        seen << token << ' '
             << reader.Deserialize(token, name, token <= 10 ? values[token] : nullptr) << ' ' << i
             << b << std::hexfloat << d << s << in.rdstate() << '\n';
    }
    seen << "rest ";
    try {
        for (int c = in.rdbuf()->sbumpc(); c != EOF; c = in.rdbuf()->sbumpc())
            seen << static_cast<char>(c);
    } catch (const std::exception&) {
        seen << "<throw>";
    }
    return seen.str();
}

}  // namespace

// The same walks over every text through the buffer's area and (tied) the stream's functions.
// Texts: written documents, spaced out, cut short, with a byte changed, and golden/walks.tsv.
// Sources: string buffers; areas of a few characters with and without put-back room; no area at
// all (uflow only: unget fails); buffers that throw where the text ends, as files do on errors.
TEST(JsonReadDocument, EverySourceReadsTheSameThroughTheAreaAndTheStreamFunctions) {
    std::vector<std::string> texts = {""};  // and those of golden/walks.tsv
    for (const auto& c : Cases("walks"))
        texts.push_back(c[0]);
    Random rng(5);
    for (unsigned int seed = 1; seed <= 6; ++seed) {
        std::ostringstream out;
        WriteItems(out, RandomItems(seed, 30));
        const std::string text = "[" + out.str() + "]";
        std::string spaced = "\v\f", changed = text;
        for (char c : text)
            spaced += std::string(1, c) + (std::strchr(",:[{", c) ? " \n\t\r\v\f" : "");
        changed[rng() % changed.size()] = "{}[],:\"\\ 9.-tx"[rng() % 15];
        texts.insert(texts.end(), {text, spaced, text.substr(0, rng() % text.size()), changed});
    }
    const struct {
        std::size_t chunk, back;  // back 9: a string buffer
        bool throws;
    } sources[] = {{0, 9, false}, {0, 0, false}, {0, 1, false}, {1, 0, false},  {1, 1, false},
                   {2, 0, false}, {2, 1, false}, {3, 0, false}, {3, 1, false},  {7, 0, false},
                   {7, 1, false}, {0, 1, true},  {4, 1, true},  {4096, 1, true}};
    for (const auto& s : sources) {
        auto make = [&s](const std::string& text) -> std::unique_ptr<std::streambuf> {
            if (s.back == 9) return std::make_unique<std::stringbuf>(text);
            return std::make_unique<ChunkBuf>(text, s.chunk, s.back, s.throws);
        };
        for (std::size_t t = 0; t < texts.size(); ++t) {
            for (unsigned int seed = 1; seed <= 106; seed += seed == 8 ? 93 : 1) {
                std::unique_ptr<std::streambuf> direct_buf = make(texts[t]),
                                                tied_buf = make(texts[t]);
                std::istream direct(direct_buf.get()), tied(tied_buf.get());
                SyncCounter counter;
                std::ostream sink(&counter);
                tied.tie(&sink);
                ASSERT_EQ(Walk(direct, seed), Walk(tied, seed))
                    << s.chunk << s.back << s.throws << " text " << t << " seed " << seed;
                ASSERT_TRUE(counter.syncs > 0 || texts[t].empty()) << t;  // as get and peek do
            }
        }
    }
}

TEST(JsonReadDocument, NumbersConvertAsTheCLibraryDoesAndOtherWhiteSpaceIsFollowed) {
    // Random texts of number characters, long ones included, against strtoll and strtod.
    Random rng(3);
    CoutCapture quiet;
    const char chars[] = "0123456789000000009999+-..";
    for (int k = 0; k < 20000; ++k) {
        std::string text;
        for (std::size_t size = 1 + rng() % (k % 10 == 0 ? 70 : 20); text.size() < size;)
            text += chars[rng() % (sizeof chars - 1)];
        if (k % 3 == 0) text = std::to_string(rng() % 1000000) + "." + std::to_string(rng());
        if (k < 2) text = k == 0 ? std::string(70, '0') + "12" : "0." + std::string(66, '0') + "5";
        if (k == 2) text.clear();
        const long long expected = std::max<long long>(
            INT_MIN, std::min<long long>(INT_MAX, std::strtoll(text.c_str(), nullptr, 10)));
        const double expected_double = std::strtod(text.c_str(), nullptr);
        std::istringstream in(text + ",");  // (the stream functions' way: the walks above)
        int i = 0;
        double d = 0.0;
        JsonReadDocument(in).Deserialize(JSON_INT, JsonSchema::_nullstr, &i);
        in.clear();
        in.seekg(0);
        JsonReadDocument(in).Deserialize(JSON_DOUBLE, JsonSchema::_nullstr, &d);
        ASSERT_TRUE(i == expected && std::memcmp(&d, &expected_double, sizeof d) == 0)
            << text << ": " << i << " " << d;
        // A double member read in place takes what the stream functions take, or fails alike.
        const std::string member = R"({"d":)" + text + "}";
        std::string seen[2];
        for (int path = 0; path < 2; ++path) {
            TreeDocument doc(With(new JsonSchemaList(""), {new JsonSchemaDouble("d", -7.5, 9)}));
            ChunkBuf chunks(member, 1, 1, false);
            std::istream chunked(&chunks);
            const bool ok = path == 0
                                ? doc.ProcessDocumentBuffer(member.data(), member.size(), nullptr)
                                : doc.ProcessDocumentStream(chunked, nullptr);
            const double got = doc.Root()->GetObject(0u)->GetValueDouble();
            std::uint64_t bits;
            std::memcpy(&bits, &got, sizeof bits);
            seen[path] = std::to_string(ok) + " " + std::to_string(bits);
        }
        ASSERT_EQ(seen[0], seen[1]) << member;
    }
    // A locale whose white space includes 0xA0: skipped like a space, as std::ws does.
    static std::vector<std::ctype_base::mask> table(std::ctype<char>::classic_table(),
                                                    std::ctype<char>::classic_table() + 256);
    table[0xA0] |= std::ctype_base::space;
    for (bool tied : {false, true}) {
        std::istringstream in("{\xA0\"a\"\xA0:\xA0 7\xA0}");
        std::ostringstream sink;
        in.tie(tied ? &sink : nullptr);
        in.imbue(std::locale(std::locale::classic(), new std::ctype<char>(table.data())));
        TreeDocument doc(With(new JsonSchemaList(""), {new JsonSchemaInt("a", 0)}));
        EXPECT_TRUE(doc.ProcessDocumentStream(in, nullptr) &&
                    doc.Root()->GetObject(0u)->GetValueInt() == 7);
    }
}

// A key names a child only as JSON reads it: a quote or a backslash standing in the text ends the
// key or starts an escape, whatever the child's name holds; escaped, the same name is read.
TEST(JsonSchemaList, KeysNameChildrenOnlyAsJsonReadsThem) {
    CoutCapture quiet;
    for (std::string name : {"a\"b", "a\\b", "abcd\"e", "ab\\\"cdef", "quote\"d!", "ab\\"}) {
        std::string escaped;
        for (char c : name)
            escaped += std::string(c == '"' || c == '\\' ? "\\" : "") + c;
        for (bool raw : {true, false}) {
            TreeDocument doc(With(new JsonSchemaList(""), {new JsonSchemaInt(name.c_str(), 0)}));
            const std::string text = "{\"" + (raw ? name : escaped) + "\":7}";
            EXPECT_EQ(doc.ProcessDocumentBuffer(text.data(), text.size(), nullptr), !raw) << text;
            // cut after the name, in a buffer of its own size: nothing past it is read
            const std::size_t cut = 2 + name.size();
            std::unique_ptr<char[]> exact(new char[cut]);
            std::memcpy(exact.get(), text.data(), cut);
            EXPECT_FALSE(doc.ProcessDocumentBuffer(exact.get(), cut, nullptr));
        }
    }
    // a long name differing from the key in its middle only
    TreeDocument doc(With(new JsonSchemaList(""), {new JsonSchemaInt("abcdefghij", 0)}));
    const std::string text = "{\"abcdeXghij\":7}";
    EXPECT_FALSE(doc.ProcessDocumentBuffer(text.data(), text.size(), nullptr));
}

// Lists at and above the 64 children that fit one word of marks, read in reverse order, with a
// pair of twins, an unknown member and a repeat once every child is matched.
TEST(JsonSchemaList, LongListsMatchMembersToTheFirstUnmatchedChild) {
    for (int count : {63, 64, 65, 130}) {
        auto name = [count](int i) {  // the middle and the last child are twins
            return i == count - 1 || i == count / 2 ? std::string("t") : "m" + std::to_string(i);
        };
        JsonSchemaList list("");
        for (int i = 0; i < count; ++i)
            list.AddNew(new JsonSchemaInt(name(i).c_str(), -1));
        std::string text = "{\"zz\":0";
        for (int i = count - 1; i >= 0; --i)
            text += ",\"" + name(i) + "\":" + std::to_string(i);
        ASSERT_TRUE(Read(list, text + ",\"m0\":77}"));
        for (int i = 0; i < count; ++i) {
            // the first twin takes the first "t" member, which carries the larger index
            const int expected = name(i) != "t" ? i : i == count / 2 ? count - 1 : count / 2;
            EXPECT_EQ(list.GetObject(static_cast<unsigned int>(i))->GetValueInt(), expected)
                << count;
        }
        EXPECT_FALSE(Read(list, text.substr(0, text.rfind(',')) + "}"));  // one member short
    }
}

namespace {

// {"s","i","b","d","o":{"x","y"} (open),"q":[int,string]
// (ordered),"a":[int..],"rows":[{"n","v"}..], "t":[string..]}: every container kind, with leaves of
// every kind, all of the library's classes.
JsonSchemaList* Containers() {
    auto row = std::make_unique<JsonSchemaList>("");
    row->AddNew(new JsonSchemaString("n", "-"));
    row->AddNew(new JsonSchemaInt("v", 0));
    return With(new JsonSchemaList(""),
                {new JsonSchemaString("s", ""), new JsonSchemaInt("i", 0),
                 new JsonSchemaBool("b", false), new JsonSchemaDouble("d", 0.0, 6),
                 With(new JsonSchemaOpenList("o"),
                      {new JsonSchemaInt("x", 1), new JsonSchemaString("y", "y")}),
                 With(new JsonSchemaOrderedList("q"),
                      {new JsonSchemaInt("", 0), new JsonSchemaString("", "")}),
                 new JsonSchemaArray<JsonSchemaInt>(
                     "a", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 0))),
                 new JsonSchemaArray<JsonSchemaList>("rows", std::move(row)),
                 new JsonSchemaArray<JsonSchemaString>(
                     "t", std::unique_ptr<JsonSchemaString>(new JsonSchemaString("", ""))),
                 new JsonSchemaArray<JsonSchemaArray<JsonSchemaInt>>(
                     "m", new JsonSchemaArray<JsonSchemaInt>("", new JsonSchemaInt("", 0)))});
}

std::string RandomContainersText(Random& rng) {
    const char* texts[] = {"\"\"", "\"ab\"", "\"a\\nb\\u0041\\\"\"", "\"0123456789abcdefghij\""};
    const char* numbers[] = {"0", "-12", "007", "2147483648", "3.5", "-0.25", "12345678901"};
    auto text = [&] { return std::string(texts[rng() % 4]); };
    auto number = [&] { return std::string(numbers[rng() % 7]); };
    auto list = [&](int n, const std::function<std::string()>& item) {
        std::string out = "[";
        for (int k = 0; k < n; ++k)
            out += (k ? "," : "") + item();
        return out + "]";
    };
    std::vector<std::string> members = {
        "\"s\":" + text(),
        (rng() % 4 ? "\"i\":" : "\"\\u0069\":") + number(),
        std::string("\"b\":") + (rng() % 2 ? "true" : "false"),
        "\"d\":" + number(),
        "\"o\":{" + std::string(rng() % 2 ? "\"y\":" + text() + "," : "") + "\"x\":" + number() +
            "}",
        "\"q\":" + list(static_cast<int>(rng() % 3), [&] { return number(); }),
        "\"a\":" + list(static_cast<int>(rng() % 4), number),
        "\"rows\":" + list(static_cast<int>(rng() % 4),
                           [&] { return "{\"v\":" + number() + ",\"n\":" + text() + "}"; }),
        "\"t\":" + list(static_cast<int>(rng() % 4), text),
        "\"m\":" + list(static_cast<int>(rng() % 4),
                        [&] { return list(static_cast<int>(rng() % 3), number); })};
    if (rng() % 3 == 0) members.push_back("\"zz\":[1,{\"k\":\"v\"}]");
    for (std::size_t k = members.size(); k > 1; --k)
        std::swap(members[k - 1], members[rng() % k]);
    std::string out = "{";
    for (std::size_t k = 0; k < members.size(); ++k)
        out += (k ? "," : "") + members[k];
    return out + "}";
}

}  // namespace

// Whole documents read the same through the buffer's area (where containers take keys,
// separators and leaf values in place) and through the stream's functions, from every source:
// the result, the tree and where and why a read failed.
TEST(JsonSchemaList, ContainersReadTheSameThroughTheAreaAndTheStreamFunctions) {
    Random rng(11);
    CoutCapture quiet;
    for (int n = 0; n < 150; ++n) {
        std::string text = RandomContainersText(rng), spaced;
        for (char c : text)
            spaced += std::string(1, c) + (std::strchr(",:[{", c) ? " \n" : "");
        std::string changed = text, joined = text;  // joined: two arrays without their comma
        changed[rng() % changed.size()] = "{}[],:\"\\ 9.-tx"[rng() % 15];
        if (joined.find("],[") != std::string::npos) joined.erase(joined.find("],[") + 1, 1);
        for (const std::string& variant :
             {text, spaced, changed, joined, text.substr(0, rng() % text.size())}) {
            std::string expected;
            for (std::size_t chunk : {std::size_t{0}, std::size_t{9}, std::size_t{1},
                                      std::size_t{2}, std::size_t{3}, std::size_t{7}}) {
                TreeDocument doc(Containers());
                std::stringbuf whole(variant);
                ChunkBuf chunks(variant, chunk, 1, false);
                std::istream in(chunk == 0 ? static_cast<std::streambuf*>(&whole) : &chunks);
                std::ostringstream sink;
                if (chunk == 9) in.tie(&sink);
                const bool ok = chunk == 0 && n % 2 ? doc.ProcessDocumentBuffer(
                                                          variant.data(), variant.size(), nullptr)
                                                    : doc.ProcessDocumentStream(in, nullptr);
                const JsonError& e = doc.LastError();
                const std::string seen = std::to_string(ok) + WriteDoc(doc) +
                                         std::to_string(e.offset) + ":" + std::to_string(e.line) +
                                         ":" + std::to_string(e.column) + e.path + e.message;
                if (expected.empty()) expected = seen;
                ASSERT_EQ(seen, expected) << "chunk " << chunk << ": " << variant;
            }
        }
    }
}
