// The writer and reader take characters straight from a stream buffer's areas when the stream's
// own functions would do nothing more; every other case goes through those functions. These
// tests hold the two ways to the same text, values, results and stream states, with streams
// that force the stream functions (a tied stream, unitbuf), buffers that fill up, fail or throw
// at every position, and formatting settings that the stream must apply itself.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <locale>
#include <random>
#include <stdexcept>
#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

// ----- writing

// A put area of `room` characters; past it every write fails (or throws).
class FullBuf : public std::streambuf {
  public:
    explicit FullBuf(std::size_t room, bool throws = false) : _area(room + 1), _throws(throws) {
        setp(_area.data(), _area.data() + room);
    }
    std::string Text() const { return std::string(pbase(), pptr()); }

  protected:
    int_type overflow(int_type) override {
        if (_throws) throw std::runtime_error("device full");
        return traits_type::eof();
    }

  private:
    std::vector<char> _area;
    bool _throws;
};

// One Serialize call, with the decimal setting in force for it.
struct Item {
    unsigned int token;
    std::string name;
    int i;
    bool b;
    double d;
    unsigned int decimal;
    std::string s;
};

std::vector<Item> RandomItems(unsigned int seed, std::size_t count) {
    std::mt19937 rng(seed);
    const std::vector<std::string> names = {"", "", "a", "key", "we\"ird", std::string(40, 'n')};
    const std::vector<std::string> texts = {"",
                                            "plain",
                                            "tab\there",
                                            "q\"uote",
                                            "back\\slash",
                                            std::string("\x01\x1F\x7F\x80\xFF", 5),
                                            std::string(300, 'x'),
                                            std::string(150, 'y') + "\n" + std::string(150, 'z'),
                                            "sev7chr",
                                            "eight8ch"};
    const int ints[] = {0, -1, 7, INT_MIN, INT_MAX, 1000000};
    std::vector<Item> items;
    for (std::size_t k = 0; k < count; ++k) {
        Item it;
        it.token = rng() % 12;
        it.name = names[rng() % names.size()];
        it.i = rng() % 2 ? ints[rng() % 6] : static_cast<int>(rng());
        it.b = rng() % 2;
        it.d = std::ldexp(static_cast<double>(rng()), static_cast<int>(rng() % 80) - 60);
        if (rng() % 2) it.d = -it.d;
        it.decimal = rng() % 18;
        it.s = texts[rng() % texts.size()];
        items.push_back(it);
    }
    return items;
}

struct Written {
    std::vector<bool> results;
    std::vector<std::ios::iostate> states;
};

Written WriteItems(std::ostream& out, std::vector<Item> items) {
    Written w;
    JsonWriteDocument writer(out);
    for (Item& it : items) {
        writer.SetDecimal(it.decimal);
        std::vector<char> file(it.s.begin(), it.s.end());
        file.push_back('\0');
        void* values[] = {&it.i, &it.b, &it.d, &it.s, &file};
        void* value = it.token <= JSON_FILE ? values[it.token] : nullptr;
        w.results.push_back(writer.Serialize(it.token, it.name, value));
        w.states.push_back(out.rdstate());
    }
    return w;
}

// ----- reading

// Hands out its text `chunk` characters per refill, with `back` characters of put-back room,
// then ends it or throws. A chunk of 0 gives no get area at all: characters come one by one
// from uflow and cannot be put back.
class ChunkBuf : public std::streambuf {
  public:
    ChunkBuf(std::string text, std::size_t chunk, std::size_t back, bool throws)
        : _text(std::move(text)), _chunk(chunk), _back(back), _throws(throws) {}

  protected:
    int_type underflow() override {
        if (_chunk == 0) {
            if (_pos >= _text.size()) return End();
            return traits_type::to_int_type(_text[_pos]);
        }
        if (_pos >= _text.size()) return End();
        std::size_t keep = std::min(_back, _pos);
        std::size_t n = std::min(_chunk, _text.size() - _pos);
        _area.assign(_text.begin() + static_cast<long>(_pos - keep),
                     _text.begin() + static_cast<long>(_pos + n));
        setg(_area.data(), _area.data() + keep, _area.data() + keep + n);
        _pos += n;
        return traits_type::to_int_type(*gptr());
    }
    int_type uflow() override {
        if (_chunk != 0) return std::streambuf::uflow();
        if (_pos >= _text.size()) return End();
        return traits_type::to_int_type(_text[_pos++]);
    }

  private:
    int_type End() {
        if (_throws) throw std::runtime_error("read error");
        return traits_type::eof();
    }
    std::string _text;
    std::size_t _chunk, _back;
    bool _throws;
    std::vector<char> _area;
    std::size_t _pos = 0;
};

}  // namespace

TEST(JsonWriteDocument, BufferAndStreamFunctionsWriteTheSameText) {
    for (unsigned int seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<Item> items = RandomItems(seed, 150);
        std::ostringstream direct, tied, unitbuf, sink;
        tied.tie(&sink);
        unitbuf.setf(std::ios::unitbuf);
        Written a = WriteItems(direct, items);
        Written b = WriteItems(tied, items);
        Written c = WriteItems(unitbuf, items);
        EXPECT_EQ(direct.str(), tied.str());
        EXPECT_EQ(direct.str(), unitbuf.str());
        EXPECT_EQ(a.results, b.results);
        EXPECT_EQ(a.states, b.states);
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
            Written a = WriteItems(direct, items);
            Written b = WriteItems(tied, items);
            ASSERT_EQ(direct_buf.Text(), tied_buf.Text());
            EXPECT_EQ(direct_buf.Text(), whole.str().substr(0, room));
            EXPECT_EQ(a.results, b.results);
            EXPECT_EQ(a.states, b.states);
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

  protected:
    char do_decimal_point() const override { return _point; }
    char do_thousands_sep() const override { return '\''; }
    std::string do_grouping() const override { return _grouping; }
    std::string do_truename() const override { return _yes; }

  private:
    char _point;
    std::string _grouping, _yes;
};

}  // namespace

TEST(JsonWriteDocument, NumbersFollowTheStreamsSettingsAndLocale) {
    struct Setting {
        const char* what;
        std::function<void(std::ostream&)> apply;
    } settings[] = {
        {"default", [](std::ostream&) {}},
        {"showpos", [](std::ostream& s) { s.setf(std::ios::showpos); }},
        {"hex", [](std::ostream& s) { s.setf(std::ios::hex, std::ios::basefield); }},
        {"oct", [](std::ostream& s) { s.setf(std::ios::oct, std::ios::basefield); }},
        {"uppercase", [](std::ostream& s) { s.setf(std::ios::uppercase); }},
        {"showpoint", [](std::ostream& s) { s.setf(std::ios::showpoint); }},
        {"fixed", [](std::ostream& s) { s.setf(std::ios::fixed, std::ios::floatfield); }},
        {"width",
         [](std::ostream& s) {
             s.width(9);
             s.fill('*');
         }},
        {"grouping",
         [](std::ostream& s) { s.imbue(std::locale(s.getloc(), new Punct('.', "\3", "true"))); }},
        {"comma",
         [](std::ostream& s) { s.imbue(std::locale(s.getloc(), new Punct(',', "", "true"))); }},
        {"words",
         [](std::ostream& s) { s.imbue(std::locale(s.getloc(), new Punct('.', "", "yes"))); }},
    };
    const int ints[] = {0, 7, -1234567, INT_MIN, INT_MAX};
    const double doubles[] = {0.0, -0.0, 1234567.0, 0.000125, -3.14159, 1e300, 2.5e-7};
    for (const Setting& setting : settings) {
        SCOPED_TRACE(setting.what);
        auto check = [&setting](unsigned int token, void* value, unsigned int decimal,
                                const std::function<void(std::ostream&)>& put) {
            std::ostringstream out, expected;
            setting.apply(out);
            setting.apply(expected);
            JsonWriteDocument writer(out);
            writer.SetDecimal(decimal);
            writer.Serialize(token, JsonSchema::_nullstr, value);
            put(expected);
            EXPECT_EQ(out.str(), expected.str());
        };
        for (int i : ints) {
            check(JSON_INT, &i, 3, [i](std::ostream& s) { s << i; });
        }
        for (bool b : {true, false}) {
            check(JSON_BOOL, &b, 3, [b](std::ostream& s) { s << std::boolalpha << b; });
        }
        for (double d : doubles) {
            for (unsigned int decimal : {0u, 3u, 15u}) {
                check(JSON_DOUBLE, &d, decimal, [d, decimal](std::ostream& s) {
                    s.precision(decimal);
                    s << d;
                });
            }
        }
    }
}

TEST(JsonWriteDocument, DoublesAreWrittenAsTheStreamWritesThem) {
    // Random bit patterns, decimal values of every length near rounding boundaries and ties,
    // and the edges of the formats, at every precision.
    std::mt19937_64 rng(11);
    std::vector<double> values = {0.0,    -0.0,    1.0,     0.125,    0.375,   2.5,     9.995,
                                  99.95,  999.5,   0.0001,  0.00001,  1e15,    1e16,    1e21,
                                  1e22,   1e23,    1e-300,  4.9e-324, DBL_MAX, DBL_MIN, 5e-5,
                                  123456, 1234567, 0.99999, 9.5,      0.05,    1.5,     100};
    for (int k = 0; k < 6000; ++k) {
        std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) values.push_back(d);
        // a decimal with up to 17 digits, or one ending in 5 (a tie in decimal)
        double digits = static_cast<double>(rng() % 100000000000000000ull);
        if (k % 3 == 0) digits = static_cast<double>(rng() % 100000 * 10 + 5);
        values.push_back(digits * std::pow(10.0, static_cast<int>(rng() % 60) - 40));
    }
    // the doubles nearest to decimal ties (d...d5) and their neighbours: the rounding digit
    // is then decided by far less than a unit in the last place
    for (int k = 0; k < 3000; ++k) {
        std::string text = std::to_string(1 + rng() % 9);
        for (int digits = 1 + k % 15; digits > 1; --digits)
            text += std::to_string(rng() % 10);
        text += "5e" + std::to_string(static_cast<int>(rng() % 40) - 20);
        double tie = std::strtod(text.c_str(), nullptr);
        values.insert(values.end(), {tie, std::nextafter(tie, HUGE_VAL), std::nextafter(tie, 0.0)});
    }
    values.push_back(std::nan(""));
    values.push_back(-HUGE_VAL);
    int wrong = 0;
    for (unsigned int decimal = 0; decimal < 16; ++decimal) {
        std::ostringstream expected;
        expected.precision(decimal);
        for (double d : values) {
            std::ostringstream out;
            JsonWriteDocument writer(out);
            writer.SetDecimal(decimal);
            writer.Serialize(JSON_DOUBLE, JsonSchema::_nullstr, &d);
            expected.str(std::string());
            expected << d;
            if (out.str() != expected.str() && ++wrong < 10) {
                ADD_FAILURE() << std::hexfloat << d << " at " << decimal << ": " << out.str()
                              << " instead of " << expected.str();
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(JsonWriteDocument, IntsAreWrittenAsTheStreamWritesThem) {
    std::vector<int> values = {0, INT_MIN, INT_MAX, INT_MIN + 1};
    std::mt19937 rng(2);
    for (long long p = 1; p <= 1000000000LL; p *= 10) {
        for (long long v : {p - 1, p, p + 1, p * 5 + 3}) {
            if (v > INT_MAX) continue;
            values.push_back(static_cast<int>(v));
            values.push_back(static_cast<int>(-v));
        }
    }
    for (int k = 0; k < 2000; ++k)
        values.push_back(static_cast<int>(rng()) >> (rng() % 31));
    for (int v : values) {
        std::ostringstream out, expected;
        JsonWriteDocument writer(out);
        writer.Serialize(JSON_INT, JsonSchema::_nullstr, &v);
        expected << v;
        ASSERT_EQ(out.str(), expected.str());
    }
}

TEST(JsonWriteDocument, LeavesBoolalphaAndPrecisionSet) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    bool b = false;
    double d = 2.0 / 3.0;
    writer.Serialize(JSON_BOOL, JsonSchema::_nullstr, &b);
    EXPECT_TRUE(out.flags() & std::ios::boolalpha);
    writer.SetDecimal(5);
    writer.Serialize(JSON_DOUBLE, JsonSchema::_nullstr, &d);
    EXPECT_EQ(out.precision(), 5);
    EXPECT_EQ(out.str(), "false,0.66667");
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
        "[\"no end",
        "\"",
        "",
        "   ",
        "12",
        "[12",
        "{\"k\"",
        "{\"k\":",
        "[tr",
        "[\"" + std::string(300, 'w') + "\\n" + std::string(100, 'v') + "\"]",
        "[" + std::string(60, '7') + "." + std::string(40, '3') + "]",
    };
    std::mt19937 rng(5);
    for (unsigned int seed = 1; seed <= 6; ++seed) {
        std::ostringstream out;
        std::vector<Item> items = RandomItems(seed, 30);
        WriteItems(out, items);
        std::string text = "[" + out.str() + "]";
        texts.push_back(text);
        std::string spaced = "\v\f";
        for (char c : text) {
            spaced += c;
            if (c == ',' || c == ':' || c == '[' || c == '{') spaced += " \n\t\r\v\f";
        }
        texts.push_back(spaced);
        texts.push_back(text.substr(0, rng() % text.size()));
        std::string changed = text;
        changed[rng() % changed.size()] = "{}[],:\"\\ 9.-tx"[rng() % 15];
        texts.push_back(changed);
    }
    return texts;
}

// A random walk of Deserialize and Peek calls over a text, and everything it saw.
struct Walk {
    std::vector<std::string> seen;
    std::string rest;  // what was left unread
};

// What is left unread in the stream's buffer.
std::string Rest(std::istream& in) {
    std::string rest;
    try {
        for (int c = in.rdbuf()->sbumpc(); c != EOF; c = in.rdbuf()->sbumpc()) {
            rest.push_back(static_cast<char>(c));
        }
    } catch (const std::exception&) {
        rest += "<throw>";
    }
    return rest;
}

// Reads back the items that the writer wrote for RandomItems(seed, 30), in order.
Walk ReadItems(std::istream& in, unsigned int seed) {
    Walk w;
    JsonReadDocument reader(in);
    std::string no_name;
    reader.Deserialize(JSON_ARRAY_BEGIN, no_name, nullptr);
    for (Item& it : RandomItems(seed, 30)) {
        int i = -7;
        bool b = false;
        double d = -7.5;
        std::string s = "stale";
        void* values[] = {&i, &b, &d, &s, nullptr};
        void* value = it.token <= JSON_FILE ? values[it.token] : nullptr;
        std::ostringstream record;
        record << reader.Peek(JSON_ARRAY_END) << reader.Peek(JSON_OBJECT_END) << ' '
               << reader.Deserialize(it.token, it.name, value) << ' ' << i << ' ' << b << ' '
               << std::hexfloat << d << ' ' << s << " state " << in.rdstate();
        w.seen.push_back(record.str());
    }
    w.rest = Rest(in);
    return w;
}

Walk ReadWalk(std::istream& in, unsigned int seed) {
    if (seed > 100) return ReadItems(in, seed - 100);
    Walk w;
    std::mt19937 rng(seed);
    const std::string names[] = {"", "", "", "a", "b", "c", "s", "x"};
    JsonReadDocument reader(in);
    for (int k = 0; k < 60; ++k) {
        unsigned int token = rng() % 12;
        std::string name = names[rng() % 8];
        int i = -7;
        bool b = false;
        double d = -7.5;
        std::string s = "stale";
        void* values[] = {&i, &b, &d, &s, nullptr};
        void* value = token <= JSON_FILE ? values[token] : token == JSON_KEY ? &s : nullptr;
        std::ostringstream record;
        if (rng() % 4 == 0) {
            record << "peek " << token << ' ' << reader.Peek(token);
        } else {
            bool ok = reader.Deserialize(token, name, value);
            record << token << ' ' << name << ' ' << ok << ' ' << i << ' ' << b << ' '
                   << std::hexfloat << d << ' ' << s;
        }
        record << " state " << in.rdstate();
        w.seen.push_back(record.str());
    }
    w.rest = Rest(in);
    return w;
}

// The same walks through a stream that reads from the buffer's area and through one whose tied
// stream makes the reader use the stream's own functions, over every text.
void ExpectSameWalks(
    const std::function<std::unique_ptr<std::streambuf>(const std::string&)>& make) {
    const std::vector<std::string> texts = ReadingTexts();
    for (std::size_t t = 0; t < texts.size(); ++t) {
        // random walks, and reading back what the writer wrote (seeds above 100)
        for (unsigned int seed : {1, 2, 3, 4, 5, 6, 7, 8, 101, 102, 103, 104, 105, 106}) {
            SCOPED_TRACE("text " + std::to_string(t) + " seed " + std::to_string(seed));
            std::unique_ptr<std::streambuf> direct_buf = make(texts[t]), tied_buf = make(texts[t]);
            std::istream direct(direct_buf.get()), tied(tied_buf.get());
            std::ostringstream sink;
            tied.tie(&sink);
            Walk a = ReadWalk(direct, seed);
            Walk b = ReadWalk(tied, seed);
            ASSERT_EQ(a.seen, b.seen);
            ASSERT_EQ(a.rest, b.rest);
        }
    }
}

}  // namespace

TEST(JsonReadDocument, BufferAndStreamFunctionsReadTheSame) {
    ExpectSameWalks([](const std::string& text) { return std::make_unique<std::stringbuf>(text); });
}

TEST(JsonReadDocument, RefillsPutBackAndUnbufferedSourcesReadTheSame) {
    // Areas of a few characters, with and without room to put one back, and no area at all
    // (characters from uflow, none can be put back: unget fails the stream).
    for (std::size_t chunk : {0, 1, 2, 3, 7}) {
        for (std::size_t back : {0, 1}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk) + " back " + std::to_string(back));
            ExpectSameWalks([chunk, back](const std::string& text) {
                return std::make_unique<ChunkBuf>(text, chunk, back, false);
            });
        }
    }
}

TEST(JsonReadDocument, ReadErrorOfTheBufferGivesTheSameStates) {
    // The buffer throws where the text ends, as a file buffer does on a read error: the
    // stream's functions turn that into badbit, from the area's end or from the start.
    for (std::size_t chunk : {0, 4, 4096}) {
        SCOPED_TRACE(chunk);
        ExpectSameWalks([chunk](const std::string& text) {
            return std::make_unique<ChunkBuf>(text, chunk, 1, true);
        });
    }
}

TEST(JsonReadDocument, LocaleWithOtherWhiteSpaceIsFollowed) {
    // A locale whose white space includes 0xA0: skipped like a space, as std::ws does.
    static std::vector<std::ctype_base::mask> table(std::ctype<char>::classic_table(),
                                                    std::ctype<char>::classic_table() + 256);
    table[0xA0] |= std::ctype_base::space;
    std::locale odd(std::locale::classic(), new std::ctype<char>(table.data()));
    const std::string text = "{\xA0\"a\"\xA0:\xA0 7\xA0}";
    for (bool tied : {false, true}) {
        SCOPED_TRACE(tied);
        std::istringstream in(text);
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
        std::size_t size = 1 + rng() % (k % 10 == 0 ? 60 : 20);
        for (std::size_t i = 0; i < size; ++i)
            text += chars[rng() % (sizeof chars - 1)];
        if (k % 3 == 0) text = std::to_string(rng() % 1000000) + "." + std::to_string(rng());
        long long whole = std::strtoll(text.c_str(), nullptr, 10);
        int expected_int =
            static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, whole)));
        double expected_double = std::strtod(text.c_str(), nullptr);
        for (bool tied : {false, true}) {
            std::istringstream in(text + ",");
            std::ostringstream sink;
            if (tied) in.tie(&sink);
            int i = 0;
            double d = 0.0;
            JsonReadDocument reader(in);
            reader.Deserialize(JSON_INT, JsonSchema::_nullstr, &i);
            in.clear();
            in.seekg(0);
            JsonReadDocument again(in);
            again.Deserialize(JSON_DOUBLE, JsonSchema::_nullstr, &d);
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

TEST(JsonReadDocument, TiedStreamIsFlushedBeforeReading) {
    SyncCounter counter;
    std::ostream prompt(&counter);
    std::istringstream in("{\"a\":1}");
    in.tie(&prompt);
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaInt("a", 0));
    JsonReadDocument reader(in);
    EXPECT_TRUE(root.Format(reader, false));
    EXPECT_GE(counter.syncs, 4);  // once per character at least, as get and peek do
}

TEST(JsonWriteDocument, TiedStreamAndUnitbufAreFlushedAsByTheStream) {
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaInt("a", 1));
    root.AddNew(new JsonSchemaString("b", "x"));
    for (bool unitbuf : {false, true}) {
        SCOPED_TRACE(unitbuf);
        SyncCounter tied_counter, own_counter;
        std::ostream tied(&tied_counter);
        std::ostream out(&own_counter);
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
}

TEST(JsonSchemaList, LongListsMatchMembersToTheFirstUnmatchedChild) {
    // Lists at and above the 64 children that fit one word of marks, read in reverse order,
    // with a pair of twins, an unknown member and a repeat once every child is matched.
    for (int count : {63, 64, 65, 130}) {
        SCOPED_TRACE(count);
        JsonSchemaList list("");
        for (int i = 0; i < count; ++i) {
            const bool twin = i == count - 1 || i == count / 2;
            list.AddNew(new JsonSchemaInt(twin ? "t" : ("m" + std::to_string(i)).c_str(), -1));
        }
        std::string text = "{\"zz\":0";
        for (int i = count - 1; i >= 0; --i) {
            const bool twin = i == count - 1 || i == count / 2;
            text += ",\"" + (twin ? std::string("t") : "m" + std::to_string(i)) +
                    "\":" + std::to_string(i);
        }
        const std::string all = text + ",\"m0\":77}";
        ASSERT_TRUE(testing_support::Read(list, all));
        for (int i = 0; i < count; ++i) {
            const bool twin = i == count - 1 || i == count / 2;
            // the first twin takes the first "t" member, which carries the larger index
            const int expected = !twin ? i : i == count / 2 ? count - 1 : count / 2;
            EXPECT_EQ(list.GetObject(static_cast<unsigned int>(i))->GetValueInt(), expected);
        }
        // without one member the list is not complete
        EXPECT_FALSE(testing_support::Read(list, text.substr(0, text.rfind(',')) + "}"));
    }
}
