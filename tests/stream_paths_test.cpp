// The writer and reader take characters straight from a stream buffer's areas when the stream's
// own functions would do nothing more; every other case goes through those functions. These
// tests hold the two ways to the same text, values, results and stream states, with streams
// that force the stream functions (a tied stream, unitbuf), buffers that fill up, fail or throw
// at every position, and formatting settings and locales that numbers must not follow.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <iomanip>
#include <locale>
#include <random>
#include <stdexcept>
#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::ChunkBuf;
using testing_support::FullBuf;

namespace {

// One Serialize call, with the decimal setting in force for it.
struct Item {
    unsigned int token, decimal;
    std::string name, s;
    int i;
    bool b;
    double d;
};

std::vector<Item> RandomItems(unsigned int seed, std::size_t count) {
    std::mt19937 rng(seed);
    const std::string names[] = {"", "", "a", "key", "we\"ird", std::string(40, 'n')};
    const std::string controls("\x01\x1F\x7F\x80\xFF", 5), xs(300, 'x'),
        lines = std::string(150, 'y') + "\n" + std::string(150, 'z');
    const std::string texts[] = {
        "", "plain", "tab\there", "q\"uote",  "back\\slash",         controls,
        xs, lines,   "sev7\"ch",  "eight8ch", std::string(8, '\x1F')};
    const int ints[] = {0, -1, 7, INT_MIN, INT_MAX, 1000000};
    std::vector<Item> items(count);
    for (Item& it : items) {
        it.token = rng() % 12;
        it.name = names[rng() % 6];
        it.i = rng() % 2 ? ints[rng() % 6] : static_cast<int>(rng());
        it.b = rng() % 2;
        it.d = std::ldexp(static_cast<double>(rng()), static_cast<int>(rng() % 80) - 60);
        if (rng() % 2) it.d = -it.d;
        it.decimal = rng() % 18;
        it.s = texts[rng() % 11];
    }
    return items;
}

// Each call's result and the stream's state after it.
using Written = std::vector<std::pair<bool, std::ios::iostate>>;

Written WriteItems(std::ostream& out, std::vector<Item> items) {
    Written w;
    JsonWriteDocument writer(out);
    for (Item& it : items) {
        writer.SetDecimal(it.decimal);
        std::vector<char> file(it.s.begin(), it.s.end());
        file.push_back('\0');
        void* values[] = {&it.i, &it.b, &it.d, &it.s, &file};
        const bool ok =
            writer.Serialize(it.token, it.name, it.token <= JSON_FILE ? values[it.token] : nullptr);
        w.emplace_back(ok, out.rdstate());
    }
    return w;
}

}  // namespace

TEST(JsonWriteDocument, BufferAndStreamFunctionsWriteTheSameText) {
    for (unsigned int seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<Item> items = RandomItems(seed, 150);
        std::ostringstream direct, tied, unitbuf, sink;
        tied.tie(&sink);
        unitbuf.setf(std::ios::unitbuf);
        const Written a = WriteItems(direct, items);
        EXPECT_EQ(a, WriteItems(tied, items));
        EXPECT_EQ(a, WriteItems(unitbuf, items));
        EXPECT_EQ(direct.str(), tied.str());
        EXPECT_EQ(direct.str(), unitbuf.str());
        EXPECT_EQ(direct.flags() & ~std::ios::unitbuf, unitbuf.flags() & ~std::ios::unitbuf);
        EXPECT_EQ(direct.precision(), tied.precision());
    }
}

TEST(JsonWriteDocument, FullOrThrowingBufferAtEveryPointGivesTheSameStates) {
    const std::vector<Item> items = RandomItems(7, 40);
    std::ostringstream whole;
    WriteItems(whole, items);
    for (bool throws : {false, true}) {
        for (std::size_t room = 0; room <= whole.str().size(); ++room) {
            SCOPED_TRACE(std::to_string(room) + (throws ? " throwing" : ""));
            FullBuf direct_buf(room, throws), tied_buf(room, throws);
            std::ostream direct(&direct_buf), tied(&tied_buf);
            std::ostringstream sink;
            tied.tie(&sink);
            EXPECT_EQ(WriteItems(direct, items), WriteItems(tied, items));
            ASSERT_EQ(direct_buf.Text(), tied_buf.Text());
            EXPECT_EQ(direct_buf.Text(), whole.str().substr(0, room));
        }
    }
}

TEST(JsonWriteDocument, AnExceptionAskedForStillLeavesTheStream) {
    // A caller that asked for exceptions gets the buffer's exception, from either way.
    for (bool tied : {false, true}) {
        SCOPED_TRACE(tied);
        FullBuf buf(3, true);
        std::ostream out(&buf);
        std::ostringstream sink;
        if (tied) out.tie(&sink);
        out.exceptions(std::ios::badbit);
        JsonWriteDocument writer(out);
        std::string text = "abcdef";
        EXPECT_THROW(writer.Serialize(JSON_STRING, JsonSchema::_nullstr, &text),
                     std::runtime_error);
        EXPECT_TRUE(out.bad());
        EXPECT_EQ(buf.Text(), "\"ab");
    }
}

namespace {

// A numpunct with other words, grouping or decimal point.
class Punct : public std::numpunct<char> {
  public:
    Punct(char point, std::string grouping, std::string yes)
        : _point(point), _grouping(std::move(grouping)), _yes(std::move(yes)) {}
    static void Imbue(std::ostream& s, char point, const char* grouping, const char* yes) {
        s.imbue(std::locale(s.getloc(), new Punct(point, grouping, yes)));
    }

  protected:
    char do_decimal_point() const override { return _point; }
    char do_thousands_sep() const override { return '\''; }
    std::string do_grouping() const override { return _grouping; }
    std::string do_truename() const override { return _yes; }

  private:
    char _point;
    std::string _grouping, _yes;
};

// What a writer leaves in a stream for one value, and what it should leave: the text a stream in
// the classic locale with no flags writes, the flags of a stream set up alike (a bool sets
// boolalpha) and the precision (a double sets it to `decimal` significant digits).
template <typename T>
std::pair<std::string, std::string> Texts(T value, unsigned int decimal,
                                          void (*setup)(std::ostream&) = nullptr) {
    std::ostringstream out, expected;
    if (setup) {
        setup(out);
        setup(expected);
    }
    JsonWriteDocument writer(out);
    writer.SetDecimal(decimal);
    if (std::is_same<T, bool>::value) {
        writer.Serialize(JSON_BOOL, JsonSchema::_nullstr, &value);
        expected << std::boolalpha;
    } else if (std::is_same<T, double>::value) {
        writer.Serialize(JSON_DOUBLE, JsonSchema::_nullstr, &value);
        expected.precision(decimal);
    } else {
        writer.Serialize(JSON_INT, JsonSchema::_nullstr, &value);
    }
    std::ostringstream plain;
    plain.precision(expected.precision());
    plain << std::boolalpha << value;
    auto state = [](const std::ostringstream& s, const std::string& text) {
        return text + " flags " + std::to_string(static_cast<long>(s.flags())) + " precision " +
               std::to_string(s.precision());
    };
    return {state(out, out.str()), state(expected, plain.str())};
}

}  // namespace

TEST(JsonWriteDocument, NumbersIgnoreTheStreamsSettingsAndLocale) {
    const std::pair<const char*, void (*)(std::ostream&)> settings[] = {
        {"default", [](std::ostream&) {}},
        {"showpos", [](std::ostream& s) { s.setf(std::ios::showpos); }},
        {"hex", [](std::ostream& s) { s.setf(std::ios::hex, std::ios::basefield); }},
        {"oct", [](std::ostream& s) { s.setf(std::ios::oct, std::ios::basefield); }},
        {"uppercase", [](std::ostream& s) { s.setf(std::ios::uppercase); }},
        {"showpoint", [](std::ostream& s) { s.setf(std::ios::showpoint); }},
        {"fixed", [](std::ostream& s) { s.setf(std::ios::fixed, std::ios::floatfield); }},
        {"width", [](std::ostream& s) { s << std::setw(9) << std::setfill('*'); }},
        {"grouping", [](std::ostream& s) { Punct::Imbue(s, '.', "\3", "true"); }},
        {"comma", [](std::ostream& s) { Punct::Imbue(s, ',', "", "true"); }},
        {"words", [](std::ostream& s) { Punct::Imbue(s, '.', "", "yes"); }},
    };
    for (const auto& setting : settings) {
        SCOPED_TRACE(setting.first);
        auto check = [&setting](auto value, unsigned int decimal) {
            const auto texts = Texts(value, decimal, setting.second);
            EXPECT_EQ(texts.first, texts.second) << value << " at " << decimal;
        };
        for (int i : {0, 7, -1234567, INT_MIN, INT_MAX})
            check(i, 3);
        for (bool b : {true, false})
            check(b, 3);
        for (double d : {0.0, -0.0, 1234567.0, 0.000125, -3.14159, 1e300, 2.5e-7}) {
            for (unsigned int decimal : {0u, 3u, 15u})
                check(d, decimal);
        }
    }
}

TEST(JsonWriteDocument, NumbersAreWrittenAsTheStreamWritesThem) {
    // Ints of every length, at and around powers of ten, and random ones.
    std::vector<int> ints = {0, INT_MIN, INT_MAX, INT_MIN + 1};
    std::mt19937 rng32(2);
    for (long long p = 1; p <= 1000000000LL; p *= 10) {
        for (long long v : {p - 1, p, p + 1, p * 5 + 3}) {
            if (v <= INT_MAX) ints.insert(ints.end(), {static_cast<int>(v), static_cast<int>(-v)});
        }
    }
    for (int k = 0; k < 2000; ++k)
        ints.push_back(static_cast<int>(rng32()) >> (rng32() % 31));
    // Doubles: random bit patterns, decimal values of every length near rounding boundaries and
    // ties, and the edges of the formats, at every precision.
    std::mt19937_64 rng(11);
    std::vector<double> doubles = {0.0,    -0.0,    1.0,     0.125,    0.375,   2.5,     9.995,
                                   99.95,  999.5,   0.0001,  0.00001,  1e15,    1e16,    1e21,
                                   1e22,   1e23,    1e-300,  4.9e-324, DBL_MAX, DBL_MIN, 5e-5,
                                   123456, 1234567, 0.99999, 9.5,      0.05,    1.5,     100};
    for (int k = 0; k < 6000; ++k) {
        std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) doubles.push_back(d);
        // a decimal with up to 17 digits, or one ending in 5 (a tie in decimal)
        double digits = static_cast<double>(rng() % 100000000000000000ull);
        if (k % 3 == 0) digits = static_cast<double>(rng() % 100000 * 10 + 5);
        doubles.push_back(digits * std::pow(10.0, static_cast<int>(rng() % 60) - 40));
    }
    // the doubles nearest to decimal ties (d...d5) and their neighbours: the rounding digit
    // is then decided by far less than a unit in the last place
    for (int k = 0; k < 3000; ++k) {
        std::string text = std::to_string(1 + rng() % 9);
        for (int digits = 1 + k % 15; digits > 1; --digits)
            text += std::to_string(rng() % 10);
        text += "5e" + std::to_string(static_cast<int>(rng() % 40) - 20);
        double tie = std::strtod(text.c_str(), nullptr);
        doubles.insert(doubles.end(),
                       {tie, std::nextafter(tie, HUGE_VAL), std::nextafter(tie, 0.0)});
    }
    int wrong = 0;
    auto check = [&wrong](auto value, unsigned int decimal) {
        const auto texts = Texts(value, decimal);
        if (texts.first != texts.second && ++wrong < 10) {
            ADD_FAILURE() << std::hexfloat << value << " at " << decimal << ": " << texts.first
                          << " instead of " << texts.second;
        }
    };
    for (int v : ints)
        check(v, 3);
    for (unsigned int decimal = 0; decimal < 16; ++decimal) {
        for (double d : doubles)
            check(d, decimal);
    }
    EXPECT_EQ(wrong, 0);
}

namespace {

// Texts to read: documents as the writer writes them, with white space, cut short, with a
// byte changed, and some hand-made ones.
std::vector<std::string> ReadingTexts() {
    std::vector<std::string> texts = {
        R"({"a":1,"b":true,"c":"x\"y\u0041\/","d":{"e":2.5},"f":[1,2]})",
        " \t{\n\"a\" \r: -12 ,\v\"b\"\f:false , \"c\" : \"\" } ",
        R"([1.5e3,+-2,..,-0,00012,99999999999999999999,"\q",nul,{"x":[1,{"y":2}]}])",
        R"({"s":"a\tb\\c\"d\b\f\n\r\u20AC\u00zz","t":"tru","u":fals})",
        "[\"" + std::string(300, 'w') + "\\n" + std::string(100, 'v') + "\"]",
        "[" + std::string(60, '7') + "." + std::string(40, '3') + "]"};
    for (const char* cut : {"[\"no end", "\"", "", "   ", "12", "[12", "{\"k\"", "{\"k\":", "[tr"})
        texts.push_back(cut);
    std::mt19937 rng(5);
    for (unsigned int seed = 1; seed <= 6; ++seed) {
        std::ostringstream out;
        WriteItems(out, RandomItems(seed, 30));
        const std::string text = "[" + out.str() + "]";
        std::string spaced = "\v\f", changed = text;
        for (char c : text) {
            spaced += c;
            if (c == ',' || c == ':' || c == '[' || c == '{') spaced += " \n\t\r\v\f";
        }
        texts.insert(texts.end(), {text, spaced, text.substr(0, rng() % text.size())});
        changed[rng() % changed.size()] = "{}[],:\"\\ 9.-tx"[rng() % 15];
        texts.push_back(changed);
    }
    return texts;
}

// What is left unread in the stream's buffer.
std::string Rest(std::istream& in) {
    std::string rest;
    try {
        for (int c = in.rdbuf()->sbumpc(); c != EOF; c = in.rdbuf()->sbumpc())
            rest.push_back(static_cast<char>(c));
    } catch (const std::exception&) {
        rest += "<throw>";
    }
    return rest;
}

// A walk of Deserialize and Peek calls over a text: each call's result, the values it filled
// and the stream's state after it, then the text left unread. Seeds above 100 read back, in
// order, the items that the writer wrote for RandomItems(seed - 100, 30); others walk at random.
std::vector<std::string> Walk(std::istream& in, unsigned int seed) {
    std::vector<std::string> seen;
    JsonReadDocument reader(in);
    auto peek = [&](unsigned int token) {
        seen.push_back("peek " + std::to_string(token) + " " + std::to_string(reader.Peek(token)) +
                       " state " + std::to_string(in.rdstate()));
    };
    // key: a key's name is asked for (into s); otherwise a key is read without a value
    auto read = [&](unsigned int token, std::string name, bool key) {
        int i = -7;
        bool b = false;
        double d = -7.5;
        std::string s = "stale";
        void* values[] = {&i, &b, &d, &s, nullptr};
        void* value = token <= JSON_FILE ? values[token] : token == JSON_KEY && key ? &s : nullptr;
        std::ostringstream record;
        record << token << ' ' << name << ' ' << reader.Deserialize(token, name, value) << ' ' << i
               << ' ' << b << ' ' << std::hexfloat << d << ' ' << s << " state " << in.rdstate();
        seen.push_back(record.str());
    };
    if (seed > 100) {
        read(JSON_ARRAY_BEGIN, "", false);
        for (const Item& it : RandomItems(seed - 100, 30)) {
            peek(JSON_ARRAY_END);
            peek(JSON_OBJECT_END);
            read(it.token, it.name, false);
        }
    } else {
        std::mt19937 rng(seed);
        const char* names[] = {"", "", "", "a", "b", "c", "s", "x"};
        for (int k = 0; k < 60; ++k) {
            const unsigned int token = rng() % 12;
            const char* name = names[rng() % 8];
            if (rng() % 4 == 0) {
                peek(token);
            } else {
                read(token, name, true);
            }
        }
    }
    seen.push_back("rest " + Rest(in));
    return seen;
}

// The same walks over every text through a stream that reads from the buffer's area and through
// one whose tied stream makes the reader use the stream's own functions.
void ExpectSameWalks(
    const std::function<std::unique_ptr<std::streambuf>(const std::string&)>& make) {
    const std::vector<std::string> texts = ReadingTexts();
    for (std::size_t t = 0; t < texts.size(); ++t) {
        for (unsigned int seed : {1, 2, 3, 4, 5, 6, 7, 8, 101, 102, 103, 104, 105, 106}) {
            SCOPED_TRACE("text " + std::to_string(t) + " seed " + std::to_string(seed));
            std::unique_ptr<std::streambuf> direct_buf = make(texts[t]), tied_buf = make(texts[t]);
            std::istream direct(direct_buf.get()), tied(tied_buf.get());
            std::ostringstream sink;
            tied.tie(&sink);
            ASSERT_EQ(Walk(direct, seed), Walk(tied, seed));
        }
    }
}

}  // namespace

TEST(JsonReadDocument, EverySourceReadsTheSameThroughTheAreaAndTheStreamFunctions) {
    ExpectSameWalks([](const std::string& text) { return std::make_unique<std::stringbuf>(text); });
    // Areas of a few characters, with and without room to put one back, and no area at all
    // (characters from uflow, none can be put back: unget fails the stream); then buffers that
    // throw where the text ends, as a file buffer does on a read error: the stream's functions
    // turn that into badbit, from the area's end or from the start.
    struct Source {
        std::size_t chunk, back;
        bool throws;
    } sources[] = {{0, 0, false}, {0, 1, false}, {1, 0, false},  {1, 1, false}, {2, 0, false},
                   {2, 1, false}, {3, 0, false}, {3, 1, false},  {7, 0, false}, {7, 1, false},
                   {0, 1, true},  {4, 1, true},  {4096, 1, true}};
    for (const Source& s : sources) {
        SCOPED_TRACE("chunk " + std::to_string(s.chunk) + " back " + std::to_string(s.back) +
                     (s.throws ? " throws" : ""));
        ExpectSameWalks([&s](const std::string& text) {
            return std::make_unique<ChunkBuf>(text, s.chunk, s.back, s.throws);
        });
    }
}

TEST(JsonReadDocument, LocaleWithOtherWhiteSpaceIsFollowed) {
    // A locale whose white space includes 0xA0: skipped like a space, as std::ws does.
    static std::vector<std::ctype_base::mask> table(std::ctype<char>::classic_table(),
                                                    std::ctype<char>::classic_table() + 256);
    table[0xA0] |= std::ctype_base::space;
    const std::locale odd(std::locale::classic(), new std::ctype<char>(table.data()));
    for (bool tied : {false, true}) {
        SCOPED_TRACE(tied);
        std::istringstream in("{\xA0\"a\"\xA0:\xA0 7\xA0}");
        std::ostringstream sink;
        if (tied) in.tie(&sink);
        in.imbue(odd);
        JsonSchemaList root("");
        root.AddNew(new JsonSchemaInt("a", 0));
        JsonReadDocument reader(in);
        EXPECT_TRUE(root.Format(reader, false));
        EXPECT_EQ(root.GetObject("a")->GetValueInt(), 7);
    }
}

TEST(JsonReadDocument, NumbersConvertAsTheCLibraryDoes) {
    // Random texts of number characters, long ones included, against strtoll and strtod.
    std::mt19937 rng(3);
    const char chars[] = "0123456789000000009999+-..";
    for (int k = 0; k < 20000; ++k) {
        std::string text;
        for (std::size_t size = 1 + rng() % (k % 10 == 0 ? 60 : 20); text.size() < size;)
            text += chars[rng() % (sizeof chars - 1)];
        if (k % 3 == 0) text = std::to_string(rng() % 1000000) + "." + std::to_string(rng());
        const int expected_int = static_cast<int>(std::max<long long>(
            INT_MIN, std::min<long long>(INT_MAX, std::strtoll(text.c_str(), nullptr, 10))));
        const double expected_double = std::strtod(text.c_str(), nullptr);
        for (bool tied : {false, true}) {
            std::istringstream in(text + ",");
            std::ostringstream sink;
            if (tied) in.tie(&sink);
            int i = 0;
            double d = 0.0;
            JsonReadDocument(in).Deserialize(JSON_INT, JsonSchema::_nullstr, &i);
            in.clear();
            in.seekg(0);
            JsonReadDocument(in).Deserialize(JSON_DOUBLE, JsonSchema::_nullstr, &d);
            if (i != expected_int || std::memcmp(&d, &expected_double, sizeof d) != 0) {
                ADD_FAILURE() << text << (tied ? " tied" : "") << ": " << i << " " << d;
                return;
            }
        }
    }
}

namespace {

// Counts the flushes of the stream it buffers.
class SyncCounter : public std::stringbuf {
  public:
    int syncs = 0;

  protected:
    int sync() override {
        ++syncs;
        return 0;
    }
};

}  // namespace

TEST(JsonWriteDocument, TiedStreamAndUnitbufAreFlushedAsByTheStream) {
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaInt("a", 1));
    root.AddNew(new JsonSchemaString("b", "x"));
    for (bool unitbuf : {false, true}) {
        SCOPED_TRACE(unitbuf);
        SyncCounter tied_counter, own_counter;
        std::ostream tied(&tied_counter), out(&own_counter);
        if (unitbuf) {
            out.setf(std::ios::unitbuf);
        } else {
            out.tie(&tied);
        }
        JsonWriteDocument writer(out);
        EXPECT_TRUE(root.Compile(writer, false));
        EXPECT_EQ(own_counter.str(), R"({"a":1,"b":"x"})");
        EXPECT_GE((unitbuf ? own_counter : tied_counter).syncs, 4);
    }
    // A reader flushes the tied stream as get and peek do: once per character at least.
    SyncCounter counter;
    std::ostream prompt(&counter);
    std::istringstream in(R"({"a":2,"b":"y"})");
    in.tie(&prompt);
    JsonReadDocument reader(in);
    EXPECT_TRUE(root.Format(reader, false));
    EXPECT_GE(counter.syncs, 12);
}

TEST(JsonSchemaList, LongListsMatchMembersToTheFirstUnmatchedChild) {
    // Lists at and above the 64 children that fit one word of marks, read in reverse order,
    // with a pair of twins, an unknown member and a repeat once every child is matched.
    for (int count : {63, 64, 65, 130}) {
        SCOPED_TRACE(count);
        auto name = [count](int i) {  // the middle and the last child are twins
            return i == count - 1 || i == count / 2 ? std::string("t") : "m" + std::to_string(i);
        };
        JsonSchemaList list("");
        for (int i = 0; i < count; ++i)
            list.AddNew(new JsonSchemaInt(name(i).c_str(), -1));
        std::string text = "{\"zz\":0";
        for (int i = count - 1; i >= 0; --i)
            text += ",\"" + name(i) + "\":" + std::to_string(i);
        ASSERT_TRUE(testing_support::Read(list, text + ",\"m0\":77}"));
        for (int i = 0; i < count; ++i) {
            // the first twin takes the first "t" member, which carries the larger index
            const int expected = name(i) != "t" ? i : i == count / 2 ? count - 1 : count / 2;
            EXPECT_EQ(list.GetObject(static_cast<unsigned int>(i))->GetValueInt(), expected);
        }
        // without one member the list is not complete
        EXPECT_FALSE(testing_support::Read(list, text.substr(0, text.rfind(',')) + "}"));
    }
}
