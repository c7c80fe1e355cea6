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
