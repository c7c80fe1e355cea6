// Failures that must neither pass for success nor leave the library as exceptions.
#include <clocale>
#include <cstdlib>
#include <locale>

#include "test_support.h"

static long allocations_left = -1;  // before operator new fails; negative: no limit
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (allocations_left == 0) throw std::bad_alloc();
    if (allocations_left > 0) --allocations_left;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The nodes' blocks come from the nothrow form, which must fail (and free) the same way.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
// clang-format off
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
// clang-format on

namespace {

const std::ios::iostate kMask = std::ios::failbit | std::ios::badbit;

// {"gain":double,"packets":int,"on":bool}, gain 0.5 by default and `value` now, then `extra`.
JsonSchemaList* Gain(double value = 21.5, JsonSchema* extra = nullptr) {
    auto* gain = new JsonSchemaDouble("gain", 0.5, 3);
    gain->SetValue(value);
    return With(new JsonSchemaList(""), {gain, new JsonSchemaInt("packets", 1234567),
                                         new JsonSchemaBool("on", true), extra});
}

struct Exhausted : JsonSchemaInt {  // a node "x" whose writing runs out of memory
    Exhausted() : JsonSchemaInt("x", 0) {}
    bool Compile(JsonWriteDocument&, bool) override { throw std::bad_alloc(); }
};

}  // namespace

TEST(JsonDocument, NumbersIgnoreLocalesAndStreamFlags) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {  // CI installs it
        if (std::getenv("CI")) FAIL() << "de_DE.UTF-8 is not installed";
        GTEST_SKIP() << "no de_DE.UTF-8 (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
    }
    std::setlocale(LC_ALL, "C");
    const std::pair<const char*, void (*)(std::ios&)> settings[] = {
        {"global", [](std::ios&) { std::locale::global(std::locale("de_DE.UTF-8")); }},
        {"imbued", [](std::ios& s) { s.imbue(std::locale("de_DE.UTF-8")); }},
        {"C library", [](std::ios&) { std::setlocale(LC_ALL, "de_DE.UTF-8"); }},
        {"hex", [](std::ios& s) { s.setf(s.hex | s.showpos | s.uppercase); }},
        {"oct", [](std::ios& s) { s.setf(s.oct | s.showpoint), s.width(9); }},
        {"hexfloat", [](std::ios& s) { s.setf(s.fixed | s.scientific); }},
    };
    const std::string digits = "0.12345678901234567890123";  // more digits than a double holds
    const double long_value = std::strtod(digits.c_str(), nullptr);
    for (double value : {21.5, 1.5e300, 0.000125, 2.5e-320, -0.0045}) {
        TreeDocument doc(Gain(value)), read(Gain());
        const std::string expected = WriteDoc(doc);  // in the C locale
        for (const auto& setting : settings) {
            SCOPED_TRACE(std::string(setting.first) + " " + expected);
            std::ostringstream out;
            std::istringstream in(R"({"gain":)" + digits + R"(,"packets":7,"on":false})");
            setting.second(out), setting.second(in);
            EXPECT_TRUE(doc.GenerateDocumentStream(out, nullptr) && (out.flags() & out.boolalpha) &&
                        out.precision() == 3);
            EXPECT_EQ(out.str(), expected);
            EXPECT_TRUE(read.ProcessDocumentStream(in, nullptr) &&
                        read.Root()->GetObject(0u)->GetValueDouble() == long_value);
            std::locale::global(std::locale::classic());
            std::setlocale(LC_ALL, "C");
        }
    }
}

TEST(JsonDocumentSchema, NoExceptionLeavesADocumentAndNoFailurePassesForSuccess) {
    CoutCapture console;
    EXPECT_FALSE(
        TreeDocument(Gain()).GenerateDocument("/dev/full", nullptr));  // flushed only when closed
    EXPECT_EQ(console.Text(), "Compile Document failed\n");
    // writing, then reading: a buffer that fails, one that throws, a tree out of memory
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const bool write = k < 3, throws = k % 3 == 1;
        TreeDocument doc(Gain(21.5, k == 2 ? new Exhausted : nullptr));
        CoutCapture lines;
        FullBuf full(k == 2 ? 1000 : 12, throws);
        ChunkBuf chunks(k == 3 ? R"({"gain":0.75,"on":x})" : R"({"gain":0.75,"o)", 4, 1, throws);
        std::ostream out(&full);
        std::istream in(&chunks);
        std::ios& stream = write ? static_cast<std::ios&>(out) : in;
        stream.exceptions(kMask);
        EXPECT_FALSE(write ? doc.GenerateDocumentStream(out, nullptr)
                           : doc.ProcessDocumentStream(in, nullptr));
        EXPECT_EQ(lines.Text(), write ? "Compile Document failed\n" : "Format Document failed\n");
        EXPECT_TRUE(stream.fail() && stream.exceptions() == kMask);
        EXPECT_EQ(doc.Root()->GetObject(0u)->GetValueDouble(),
                  write ? 21.5 : 0.5);  // a failed read resets
    }
}

TEST(JsonSceneRequestVsysCtrl, RunningOutOfMemoryAnywhereFailsCleanly) {
    for (long n = 0;; ++n) {
        SCOPED_TRACE(n);
        JsonSceneRequestVsysCtrl request;  // reading clones pairs, sending copies their texts
        std::istringstream in(
            R"({"attributes":[{"name":"1.2.0.0.0.0s","value":"long enough to be copied"}]})");
        in.exceptions(kMask);
        allocations_left = n;
        const bool ok = request.ProcessDocumentStream(in, nullptr);
        allocations_left = -1;
        if (ok) break;
        EXPECT_TRUE(in.bad() && in.exceptions() == kMask && request.LastError().failed);
        EXPECT_EQ(WriteDoc(request), R"({"attributes":[]})");  // a failed read resets
    }
}

// A prototype whose Clone gives nothing: its array skips the elements instead of failing on them.
struct NoClone : JsonSchemaInt {
    NoClone() : JsonSchemaInt("", 0) {}
    JsonSchema* Clone() override { return nullptr; }
};
TEST(JsonSchemaArray, APrototypeThatClonesNothingSkipsTheElements) {
    JsonSchemaArray<JsonSchemaInt> array("a", std::unique_ptr<JsonSchemaInt>(new NoClone()));
    EXPECT_TRUE(Read(array, "[1,[2],3]") && array.Size() == 0);
}
