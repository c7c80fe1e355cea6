// What a browser, a broken connection or a full disk can hand the library: every file of a
// public corpus of valid and invalid JSON texts, truncated documents, very deep nesting, strings
// of megabytes, and streams that fail after any number of bytes. Each must end in a clean false
// with the document's failure line and the tree at its defaults, or in the result the reading
// rules give; never in a crash, a hang, an exception or a leak (the sanitizer and valgrind builds
// run these tests too).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ios>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <webjson/webjson.h>
#include "qm_simserver.h"
#include "sample_document.h"
#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using sample::DefaultText;
using sample::FullText;
using sample::Generate;
using sample::Process;
using sample::SampleDocument;
using testing_support::CoutCapture;
using testing_support::FailingInBuf;
using testing_support::FailingOutBuf;

namespace {

const char kFormatFailed[] = "Format Document failed\n";

// A lenient document: {"a":int}, members missing, repeated or unknown allowed.
class OpenDocument : public JsonDocumentSchema {
  public:
    OpenDocument() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaOpenList("");
        root->AddNew(new JsonSchemaInt("a", 0));
        return root;
    }
};

// Hands out the first `limit` characters of a text in pieces of `piece` characters, each piece
// in a heap block of its own and of its exact size (a read past a piece, or from a piece already
// handed back, is caught by the sanitizers); then fails the way a broken device does: the read
// throws, which the stream turns into its bad state.
class ChunkedInBuf : public std::streambuf {
  public:
    ChunkedInBuf(const std::string& text, std::size_t limit, std::size_t piece)
        : _text(text.substr(0, std::min(limit, text.size()))), _limit(limit), _piece(piece) {}

  protected:
    int_type underflow() override {
        if (_pos == _text.size()) {
            if (_limit <= _text.size()) throw std::ios_base::failure("device read error");
            return traits_type::eof();
        }
        const std::size_t n = std::min(_piece, _text.size() - _pos);
        _block.reset(new char[n]);
        std::copy_n(_text.data() + _pos, n, _block.get());
        _pos += n;
        setg(_block.get(), _block.get(), _block.get() + n);
        return traits_type::to_int_type(_block[0]);
    }

  private:
    std::string _text;
    std::size_t _limit;
    std::size_t _piece;
    std::size_t _pos = 0;
    std::unique_ptr<char[]> _block;
};

// Takes the first `limit` characters written, through a put area of `room` characters in a heap
// block of its exact size, then fails every write.
class BufferedFailingOutBuf : public std::streambuf {
  public:
    BufferedFailingOutBuf(std::size_t limit, std::size_t room)
        : _limit(limit), _room(room), _area(new char[room]) {
        setp(_area.get(), _area.get() + _room);
    }
    std::string text;

  protected:
    int_type overflow(int_type c) override {
        if (!Send()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Send() ? 0 : -1; }

  private:
    // Passes the put area on; false when the limit cut it short.
    bool Send() {
        const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        const std::size_t take = std::min(n, _limit - std::min(_limit, text.size()));
        text.append(pbase(), take);
        setp(_area.get(), _area.get() + _room);
        return take == n;
    }
    std::size_t _limit;
    std::size_t _room;
    std::unique_ptr<char[]> _area;
};

std::filesystem::path TestSuiteDir() {
#ifdef WEBJSON_TESTSUITE_DIR
    return std::filesystem::path(WEBJSON_TESTSUITE_DIR) / "test_parsing";
#else
    return {};
#endif
}

std::vector<std::filesystem::path> TestSuiteFiles() {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(TestSuiteDir(), error)) {
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A scene in request mode with a server that knows one integer parameter.
struct SceneSetup {
    SceneSetup() : scene("left", 640, 480, "right", 200, 480) {
        server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 5);
        QmMbAgent::m_svr = &server;
        scene.SetMode(JsonScene::SCENE_REQUEST);
    }
    QmSimServer server;
    JsonScene scene;
};

const char kPost[] =
    R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"42"},{"value":"7","name":"100.2A.0.0.0.0i"}]})";

}  // namespace

// Each file is read through the file and the stream entry points into a document that accepts
// nothing of it (the strict sample) and one that accepts any object whose "a" member, if any,
// is an integer. Both entry points agree; every failure leaves the defaults and one line.
TEST(HostileInput, EveryTestSuiteFileThroughBothEntryPoints) {
    const std::vector<std::filesystem::path> files = TestSuiteFiles();
    if (files.empty()) GTEST_SKIP() << "no JSON test suite at " << TestSuiteDir();

    int accepted = 0;
    CoutCapture quiet;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        SampleDocument strict;
        OpenDocument open;
        for (JsonDocumentSchema* doc :
             {static_cast<JsonDocumentSchema*>(&strict), static_cast<JsonDocumentSchema*>(&open)}) {
            const std::string defaults = Generate(*doc);
            CoutCapture console;
            bool fromFile = false;
            EXPECT_NO_THROW(fromFile = doc->ProcessDocument(path.c_str(), nullptr));
            const std::string fileText = Generate(*doc);
            std::ifstream in(path, std::ios::binary);
            bool fromStream = true;
            EXPECT_NO_THROW(fromStream = doc->ProcessDocumentStream(in, nullptr));
            EXPECT_EQ(fromFile, fromStream);
            EXPECT_EQ(Generate(*doc), fileText);
            if (!fromFile) {
                EXPECT_EQ(console.Text(), std::string(kFormatFailed) + kFormatFailed);
                EXPECT_EQ(fileText, defaults);
            } else {
                EXPECT_EQ(console.Text(), "");
            }
        }
        EXPECT_FALSE(strict.ProcessDocument(path.c_str(), nullptr));
        accepted += OpenDocument().ProcessDocument(path.c_str(), nullptr) ? 1 : 0;
    }
    EXPECT_GT(accepted, 0);
}

// The view documents are written only: whatever they are handed, reading fails without a
// crash; the table and the plot keep what they hold, the service tree is back at its defaults.
TEST(HostileInput, WriteOnlyDocumentsRefuseEveryTestSuiteFile) {
    const std::vector<std::filesystem::path> files = TestSuiteFiles();
    if (files.empty()) GTEST_SKIP() << "no JSON test suite at " << TestSuiteDir();
    JsonTable table;
    table.AddTableColumn("Name");
    const char* row[] = {"a"};
    table.AddTableRow(row, 1);
    JsonTimePlot plot("Load", "cpu", "%", 10, 0);
    plot.SetValueSource([] { return 7; });
    plot.Process();
    JsonTSServiceTree fresh("ts");
    JsonTSServiceTree services("ts");
    const std::string tableText = Generate(table), plotText = Generate(plot);
    CoutCapture quiet;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        services.AddServiceProvider(services.CreateService("one", 1), "p");
        EXPECT_FALSE(table.ProcessDocument(path.c_str(), nullptr));
        EXPECT_FALSE(plot.ProcessDocument(path.c_str(), nullptr));
        EXPECT_FALSE(services.ProcessDocument(path.c_str(), nullptr));
        EXPECT_EQ(Generate(table), tableText);
        EXPECT_EQ(Generate(plot), plotText);
        EXPECT_EQ(Generate(services), Generate(fresh));
    }
}

// What the reading rules make of a few of the corpus's files, for the lenient document.
TEST(HostileInput, TestSuiteFilesGiveWhatTheReadingRulesSay) {
    if (TestSuiteFiles().empty()) GTEST_SKIP() << "no JSON test suite at " << TestSuiteDir();
    struct Case {
        const char* file;
        bool result;
        const char* why;
    };
    const Case cases[] = {
        {"y_object_empty.json", true, "{}"},
        {"y_object_basic.json", true, "an unknown member is skipped"},
        {"y_object_empty_key.json", true, "an empty key is just an unknown name"},
        {"y_object_escaped_null_in_key.json", true, "\\u0000 in a key reads as one byte"},
        {"y_object_long_strings.json", true, "skipping an array of objects counts brackets"},
        {"y_structure_whitespace_array.json", false, "the root must be an object"},
        {"y_object_duplicated_key_and_value.json", false, "the repeated member is read again"},
        {"y_string_comments.json", false, "the root must be an object"},
        {"y_object_string_unicode.json", true, "escapes inside a skipped value are not decoded"},
        {"y_object_simple.json", false, "an array where the integer is expected"},
        {"y_object_extreme_numbers.json", true, "numbers in skipped values are not converted"},
        {"i_structure_500_nested_arrays.json", false, "the root must be an object"},
        {"n_structure_100000_opening_arrays.json", false, "the root must be an object"},
        {"n_structure_open_array_object.json", false, "the root must be an object"},
        {"n_object_trailing_comma.json", false, "a comma must be followed by a member"},
        {"n_object_single_quote.json", false, "keys are double-quoted"},
        {"n_object_unterminated-value.json", false, "the text ends inside the value"},
        {"n_structure_unclosed_object.json", false, "the text ends before the brace"},
        {"n_object_missing_colon.json", false, "a key needs its colon"},
        {"n_object_with_trailing_garbage.json", false, "a string where the integer is expected"},
        {"n_structure_object_followed_by_closing_object.json", true,
         "the text after the root is not read"},
        {"n_object_double_colon.json", true, "a skipped value runs to the next , } or ]"},
        {"n_object_lone_continuation_byte_in_key_and_trailing_comma.json", false,
         "a comma must be followed by a member"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.why);
        OpenDocument doc;
        CoutCapture console;
        EXPECT_EQ(doc.ProcessDocument((TestSuiteDir() / c.file).c_str(), nullptr), c.result);
    }
}

// A document cut anywhere fails, says so once, and leaves nothing of what was read.
TEST(HostileInput, EveryTruncationOfAValidDocumentFailsCleanly) {
    const std::string full = FullText();
    SampleDocument doc;
    CoutCapture console;
    ASSERT_TRUE(Process(doc, full));
    const std::string filled = Generate(doc);
    ASSERT_NE(filled, DefaultText());
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        ASSERT_TRUE(Process(doc, full));
        EXPECT_FALSE(Process(doc, full.substr(0, n)));
        EXPECT_EQ(Generate(doc), DefaultText());
    }
    EXPECT_EQ(console.Text().size(), full.size() * (sizeof kFormatFailed - 1));
}

// A post cut anywhere sends nothing, even for the pairs read whole before the cut.
TEST(HostileInput, EveryTruncationOfAScenePostSendsNothing) {
    SceneSetup setup;
    const std::string post = kPost;
    CoutCapture console;
    for (std::size_t n = 0; n < post.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        std::istringstream in(post.substr(0, n));
        EXPECT_FALSE(setup.scene.ProcessDocumentStream(in, nullptr));
    }
    EXPECT_TRUE(setup.server.Log().empty());
    std::istringstream in(post);
    EXPECT_TRUE(setup.scene.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(setup.server.Log().size(), 2u);
}

// 100 000 brackets: skipped by counting, without recursion, when nothing in the schema asks for
// them; refused at the first bracket where the schema wants something else.
TEST(HostileInput, DeepNestingIsCountedNotRecursed) {
    const std::size_t depth = 100000;
    const std::string open(depth, '['), close(depth, ']');
    const std::string braces(depth, '{');
    struct Case {
        std::string text;
        bool lenient;  // result for the lenient document
    };
    const Case cases[] = {
        {R"({"x":)" + open + close + R"(,"a":3})", true},
        {R"({"x":)" + open + close.substr(1) + "}", false},  // one bracket short
        {R"({"x":)" + open, false},
        {R"({"x":)" + braces, false},
        {braces, false},
        {open + close, false},
        {R"({"rows":)" + open + close + "}", true},
    };
    CoutCapture console;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 12) + "... (" + std::to_string(c.text.size()) + " bytes)");
        OpenDocument lenient;
        EXPECT_EQ(Process(lenient, c.text), c.lenient);
        SampleDocument strict;
        EXPECT_FALSE(Process(strict, c.text));
        EXPECT_EQ(Generate(strict), DefaultText());
    }
}

// Strings of megabytes are read whole and written back; unterminated ones fail.
TEST(HostileInput, MegabyteStringsAndNumbers) {
    const std::size_t size = 4u << 20;
    std::string plain(size, 'x');
    for (std::size_t i = 0; i < size; i += 1000)
        plain[i] = static_cast<char>(0x80 + i % 64);
    const std::string quotes(size, '"');
    std::string escaped;
    for (std::size_t i = 0; i < size; ++i)
        escaped += "\\\"";

    OpenDocument lenient;
    CoutCapture console;
    EXPECT_TRUE(Process(lenient, R"({"x":")" + plain + R"(","a":1})"));
    EXPECT_FALSE(Process(lenient, R"({"x":")" + plain));

    SampleDocument doc;
    auto* s = doc.Root()->GetObject("s");
    std::string text = FullText();
    const std::string member = R"("s":"q\"\\\n\u0001\u00FF\/")";
    const std::size_t at = text.find(member);
    ASSERT_NE(at, std::string::npos);

    text.replace(at, member.size(), R"("s":")" + plain + "\"");
    ASSERT_TRUE(Process(doc, text));
    EXPECT_TRUE(s->GetValueString() == plain);  // (not EXPECT_EQ: no megabytes in the log)

    text.replace(at, plain.size() + 6, R"("s":")" + escaped + "\"");
    ASSERT_TRUE(Process(doc, text));
    EXPECT_TRUE(s->GetValueString() == quotes);
    doc.file->SetEnable(false);  // refused on reading
    const std::string written = Generate(doc);
    EXPECT_NE(written.find(R"("s":")" + escaped + "\""), std::string::npos);
    EXPECT_TRUE(Process(doc, written));
    EXPECT_TRUE(s->GetValueString() == quotes);

    // A number of megabytes: every digit is collected, the value saturates.
    std::string number = FullText();
    number.replace(number.find(R"("i":-12)"), 7, R"("i":)" + std::string(size, '9'));
    ASSERT_TRUE(Process(doc, number));
    EXPECT_EQ(doc.Root()->GetObject("i")->GetValueInt(), INT32_MAX);
    EXPECT_EQ(console.Text(), kFormatFailed);
}

// Output that fails after n bytes, for every n, written straight or through a small buffer:
// the bytes that arrive are the document's first n, in order. Unbuffered, the result is false
// with the line "Compile Document failed" unless only the last item (the closing brace) is lost,
// which nothing comes after to notice; buffered, the failure shows when the buffer is passed on,
// so up to a buffer later.
TEST(HostileInput, OutputFailingAfterEveryByteCount) {
    SampleDocument doc;
    ASSERT_TRUE(Process(doc, FullText()));
    const std::string full = Generate(doc);
    const std::size_t room = 8;
    CoutCapture console;
    std::size_t failures = 0;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE("fails after " + std::to_string(n) + " bytes");
        FailingOutBuf straight(n);
        std::ostream out(&straight);
        bool result = doc.GenerateDocumentStream(out, nullptr);
        EXPECT_EQ(straight.text, full.substr(0, n));
        EXPECT_EQ(result, n + 1 >= full.size());
        failures += result ? 0 : 1;

        BufferedFailingOutBuf buffered(n, room);
        std::ostream bufferedOut(&buffered);
        result = doc.GenerateDocumentStream(bufferedOut, nullptr);
        buffered.pubsync();
        EXPECT_EQ(buffered.text, full.substr(0, n));
        if (n >= full.size() || n + room + 1 < full.size()) {
            EXPECT_EQ(result, n >= full.size());
        }
        failures += result ? 0 : 1;
    }
    std::string expected;
    for (std::size_t i = 0; i < failures; ++i)
        expected += "Compile Document failed\n";
    EXPECT_EQ(console.Text(), expected);
}

// Input that ends or breaks after n bytes, for every n, handed out a byte, seven bytes or all
// at a time: false, one line, the defaults; only the whole text succeeds. The same for a scene
// post, which then sends nothing.
TEST(HostileInput, InputFailingAfterEveryByteCount) {
    const std::string full = FullText();
    const std::string post = kPost;
    SampleDocument doc;
    SceneSetup setup;
    CoutCapture console;
    std::size_t reads = 0;
    for (int kind = 0; kind < 3; ++kind) {
        const std::size_t piece = kind == 1 ? 7 : full.size();
        auto read = [&](JsonDocumentSchema& target, const std::string& text, std::size_t n) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", " + std::to_string(n) + " bytes");
            FailingInBuf ends(text, n);
            ChunkedInBuf breaks(text, n, piece);
            std::istream in(kind == 0 ? static_cast<std::streambuf*>(&ends) : &breaks);
            bool result = false;
            EXPECT_NO_THROW(result = target.ProcessDocumentStream(in, nullptr));
            ++reads;
            return result;
        };
        for (std::size_t n = 0; n <= full.size(); ++n) {
            const bool result = read(doc, full, n);
            EXPECT_EQ(result, n == full.size());
            if (!result) {
                EXPECT_EQ(Generate(doc), DefaultText());
            }
        }
        for (std::size_t n = 0; n < post.size(); ++n)
            EXPECT_FALSE(read(setup.scene, post, n));
    }
    EXPECT_TRUE(setup.server.Log().empty());
    const std::string said = console.Text();
    EXPECT_EQ(static_cast<std::size_t>(std::count(said.begin(), said.end(), '\n')), reads - 3);
}

// The class-wide prototypes live exactly as long as the arrays of their type, also when reading
// made clones of them and when a prototype holds arrays itself.
TEST(HostileInput, PrototypesGoWithTheLastArrayOfTheirType) {
    {
        SampleDocument first;
        SampleDocument second;  // offers its own prototypes, which are not kept
        ASSERT_TRUE(Process(first, FullText()));
        ASSERT_TRUE(Process(second, FullText()));
        EXPECT_NE(JsonSchemaArray<JsonSchemaList>::_element, nullptr);
        EXPECT_GT(JsonSchemaArray<JsonSchemaString>::_ref, 2);
    }
    EXPECT_EQ(JsonSchemaArray<JsonSchemaList>::_element, nullptr);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaList>::_ref, 0);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaString>::_element, nullptr);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaString>::_ref, 0);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaInt>::_element, nullptr);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>::_element, nullptr);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>::_ref, 0);
}
