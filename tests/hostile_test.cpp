// What a browser, a broken connection or a full disk can hand the library: a public corpus of
// valid and invalid JSON texts, truncated documents, deep nesting, strings of megabytes, streams
// that fail after any number of bytes. Each ends in a clean false with the failure line and the
// tree at its defaults, or in what the reading rules give; never in a crash, hang or leak.
#include <filesystem>

#include "sample_document.h"
#include "test_support.h"

using namespace sample;  // SampleDocument, its texts, Generate and Process

namespace {

// A lenient document's tree: {"a":int}, members missing, repeated or unknown allowed.
JsonSchemaList* Lenient() {
    return With(new JsonSchemaOpenList(""), {new JsonSchemaInt("a", 0)});
}

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
    ASSERT_FALSE(files.empty()) << "no JSON test suite at " << dir;
    int accepted = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        SampleDocument strict;
        TreeDocument open(Lenient());
        for (JsonDocumentSchema* doc : std::initializer_list<JsonDocumentSchema*>{&strict, &open}) {
            const std::string defaults = Generate(*doc);
            CoutCapture console;
            const bool fromFile = doc->ProcessDocument(path.c_str(), nullptr);
            const std::string fileText = Generate(*doc);
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(doc->ProcessDocumentStream(in, nullptr), fromFile);
            EXPECT_EQ(Generate(*doc) + fileText,
                      fromFile ? fileText + fileText : defaults + defaults);
            EXPECT_EQ(console.Text(),
                      fromFile ? "" : "Format Document failed\nFormat Document failed\n");
            EXPECT_FALSE(doc == &strict && fromFile);
            accepted += doc == &open && fromFile ? 1 : 0;
        }
    }
    EXPECT_GT(accepted, 0);
}

// Texts that could crash, hang or leak, each read into the lenient and the strict document:
// 100 000 brackets (skipped by counting, without recursion, where nothing in the schema asks
// for them; refused where the schema wants something else), strings of megabytes (read whole
// or skipped; unterminated ones fail), and the full sample ending or breaking after every byte
// count (false, one line, the defaults; only the whole text succeeds). Output failing after n
// bytes: the document's first n bytes, false and one line unless only the closing brace is lost.
TEST(HostileInput, DeepNestingHugeStringsAndStreamsFailingAfterEveryByte) {
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
        {R"({"x":")" + plain, false}};
    CoutCapture console;
    std::size_t failures = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.substr(0, 12) + "... (" + std::to_string(c.first.size()) + " bytes)");
        TreeDocument lenient(Lenient());
        SampleDocument strict;
        EXPECT_EQ(Process(lenient, c.first), c.second);
        EXPECT_FALSE(Process(strict, c.first));
        EXPECT_EQ(Generate(strict), DefaultText());
        failures += c.second ? 1u : 2u;
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
    const std::string full = FullText();
    ASSERT_TRUE(Process(doc, full));
    const std::string filled = Generate(doc);
    for (std::size_t n = 0; n <= filled.size(); ++n) {
        FullBuf buffer(n);
        std::ostream out(&buffer);
        EXPECT_EQ(doc.GenerateDocumentStream(out, nullptr), n + 1 >= filled.size()) << n;
        EXPECT_EQ(buffer.Text(), filled.substr(0, n));
        failures += n + 1 < filled.size() ? 1u : 0u;
    }
    for (std::size_t n = 0; n <= 2 * full.size() + 1; ++n) {
        const bool breaks = n > full.size();
        ChunkBuf buffer(full.substr(0, n % (full.size() + 1)), 1, 0, breaks);
        std::istream in(&buffer);
        bool result = false;
        EXPECT_NO_THROW(result = doc.ProcessDocumentStream(in, nullptr)) << n;
        EXPECT_EQ(result, n % (full.size() + 1) == full.size()) << n;
        EXPECT_EQ(Generate(doc), result ? filled : DefaultText()) << n;
        failures += result ? 0u : 1u;
    }
    const std::string said = console.Text();
    EXPECT_EQ(static_cast<std::size_t>(std::count(said.begin(), said.end(), '\n')), failures);
}
