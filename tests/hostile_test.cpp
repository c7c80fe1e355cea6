// What a browser, a broken connection or a full disk can hand the library: a public corpus of
// valid and invalid JSON texts, truncated documents, deep nesting, strings of megabytes, streams
// that fail after any number of bytes. Each ends in a clean false with the failure line and the
// tree at its defaults, or in what the reading rules give; never in a crash, hang or leak.
#include <filesystem>

#include "sample_document.h"
#include "test_support.h"

using sample::DefaultText;
using sample::FullText;
using sample::Generate;
using sample::Process;
using sample::SampleDocument;

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

}  // namespace

// Each file is read through the file and the stream entry points into a document that accepts
// nothing of it (the strict sample) and one that accepts any object whose "a" member, if any,
// is an integer. Both entry points agree; every failure leaves the defaults and one line.
TEST(HostileInput, EveryTestSuiteFileThroughBothEntryPoints) {
    const std::filesystem::path dir = std::filesystem::path(WEBJSON_TESTSUITE_DIR) / "test_parsing";
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    if (files.empty()) GTEST_SKIP() << "no JSON test suite at " << dir;
    int accepted = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        SampleDocument strict;
        OpenDocument open;
        for (JsonDocumentSchema* doc :
             {static_cast<JsonDocumentSchema*>(&strict), static_cast<JsonDocumentSchema*>(&open)}) {
            const std::string defaults = Generate(*doc);
            CoutCapture console;
            const bool fromFile = doc->ProcessDocument(path.c_str(), nullptr);
            const std::string fileText = Generate(*doc);
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(doc->ProcessDocumentStream(in, nullptr), fromFile);
            EXPECT_EQ(Generate(*doc) + fileText,
                      fromFile ? fileText + fileText : defaults + defaults);
            EXPECT_EQ(console.Text(), fromFile ? "" : std::string(kFormatFailed) + kFormatFailed);
            EXPECT_FALSE(doc == &strict && fromFile);
            accepted += doc == &open && fromFile ? 1 : 0;
        }
    }
    EXPECT_GT(accepted, 0);
}

// 100 000 brackets: skipped by counting, without recursion, when nothing in the schema asks for
// them; refused at the first bracket where the schema wants something else. Strings of megabytes
// are skipped or read whole and written back; unterminated ones fail.
TEST(HostileInput, DeepNestingAndMegabyteStrings) {
    const std::size_t depth = 100000, size = 4u << 20;
    const std::string open(depth, '['), close(depth, ']'), braces(depth, '{');
    std::string plain(size, 'x'), escaped;
    for (std::size_t i = 0; i < size; i += 1000)
        plain[i] = static_cast<char>(0x80 + i % 64);
    for (std::size_t i = 0; i < size; ++i)
        escaped += "\\\"";
    const std::pair<std::string, bool> cases[] = {
        // text, result for the lenient document
        {R"({"x":)" + open + close + R"(,"a":3})", true},
        {R"({"x":)" + open + close.substr(1) + "}", false},
        {R"({"x":)" + braces, false},
        {braces, false},
        {R"({"rows":)" + open + close + "}", true},
        {R"({"x":")" + plain + R"(","a":1})", true},
        {R"({"x":")" + plain, false},
    };
    CoutCapture console;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.substr(0, 12) + "... (" + std::to_string(c.first.size()) + " bytes)");
        OpenDocument lenient;
        EXPECT_EQ(Process(lenient, c.first), c.second);
        SampleDocument strict;
        EXPECT_FALSE(Process(strict, c.first));
        EXPECT_EQ(Generate(strict), DefaultText());
    }
    SampleDocument doc;
    auto* s = doc.Root()->GetObject("s");
    std::string text = FullText();
    const std::string member = R"("s":"q\"\\\n\u0001\u00FF\/")";
    const std::size_t at = text.find(member);
    ASSERT_TRUE(Process(doc, text.replace(at, member.size(), R"("s":")" + plain + "\"")));
    EXPECT_TRUE(s->GetValueString() == plain);  // (not EXPECT_EQ: no megabytes in the log)
    ASSERT_TRUE(Process(doc, text.replace(at, plain.size() + 6, R"("s":")" + escaped + "\"")));
    EXPECT_TRUE(s->GetValueString() == std::string(size, '"'));
    EXPECT_NE(Generate(doc).find(R"("s":")" + escaped + "\""), std::string::npos);
}

// Output that fails after n bytes, for every n: the bytes that arrive are the document's first
// n, in order, and the result is false with the line "Compile Document failed" unless only the
// last item (the closing brace) is lost, which nothing comes after to notice.
TEST(HostileInput, OutputFailingAfterEveryByteCount) {
    SampleDocument doc;
    ASSERT_TRUE(Process(doc, FullText()));
    const std::string full = Generate(doc);
    CoutCapture console;
    std::string expected;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        SCOPED_TRACE("fails after " + std::to_string(n) + " bytes");
        FullBuf buffer(n);
        std::ostream out(&buffer);
        EXPECT_EQ(doc.GenerateDocumentStream(out, nullptr), n + 1 >= full.size());
        EXPECT_EQ(buffer.Text(), full.substr(0, n));
        if (n + 1 < full.size()) expected += "Compile Document failed\n";
    }
    EXPECT_EQ(console.Text(), expected);
}

// Input that ends (every truncation) or breaks after n bytes, for every n: false, one line, the
// defaults; only the whole text succeeds. The same for a scene post, which sends nothing unless
// it is read whole (read with no other array of objects alive, whose prototype would be used).
TEST(HostileInput, InputEndingOrBreakingAfterEveryByteCount) {
    CoutCapture console;
    std::size_t failures = 0;
    auto read = [&](JsonDocumentSchema& target, const std::string& text, std::size_t n,
                    bool breaks) {
        SCOPED_TRACE(std::to_string(n) + (breaks ? " bytes, then a read error" : " bytes"));
        ChunkBuf buffer(text.substr(0, n), 1, 0, breaks);
        std::istream in(&buffer);
        bool result = false;
        EXPECT_NO_THROW(result = target.ProcessDocumentStream(in, nullptr));
        EXPECT_EQ(result, n == text.size());
        failures += result ? 0 : 1;
    };
    {
        const std::string full = FullText();
        SampleDocument doc;
        ASSERT_TRUE(Process(doc, full));
        const std::string filled = Generate(doc);
        for (bool breaks : {false, true}) {
            for (std::size_t n = 0; n <= full.size(); ++n) {
                read(doc, full, n, breaks);
                EXPECT_EQ(Generate(doc), n < full.size() ? DefaultText() : filled);
            }
        }
    }
    const std::string post =
        R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"42"},{"value":"7","name":"100.2A.0.0.0.0i"}]})";
    RecordingMailbox mailbox;
    JsonScene scene("left", 1, 1, "right", 1, 1);
    scene.SetMode(JsonScene::SCENE_REQUEST);
    for (bool breaks : {false, true}) {
        const std::size_t sent = mailbox.sent.size();
        for (std::size_t n = 0; n <= post.size(); ++n)
            read(scene, post, n, breaks);
        EXPECT_EQ(mailbox.sent.size(), sent + 2);
    }
    const std::string said = console.Text();
    EXPECT_EQ(static_cast<std::size_t>(std::count(said.begin(), said.end(), '\n')), failures);
}

// The class-wide prototypes live exactly as long as the arrays of their type, also when reading
// made clones of them and when a prototype holds arrays itself.
TEST(HostileInput, PrototypesGoWithTheLastArrayOfTheirType) {
    {
        SampleDocument first, second;  // the second offers its own prototypes, not kept
        ASSERT_TRUE(Process(first, FullText()));
        ASSERT_TRUE(Process(second, FullText()));
        EXPECT_NE(JsonSchemaArray<JsonSchemaList>::_element, nullptr);
        EXPECT_GT(JsonSchemaArray<JsonSchemaString>::_ref, 2);
    }
    EXPECT_TRUE(JsonSchemaArray<JsonSchemaList>::_element == nullptr &&
                JsonSchemaArray<JsonSchemaString>::_element == nullptr &&
                JsonSchemaArray<JsonSchemaInt>::_element == nullptr &&
                JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>::_element == nullptr);
    EXPECT_EQ(JsonSchemaArray<JsonSchemaList>::_ref + JsonSchemaArray<JsonSchemaString>::_ref +
                  JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>::_ref,
              0);
}
