#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

// {"name","count","on","pos":[int,int],"items":[{"id","label"}...],"opts":{"level"} (open)}
class Device : public JsonDocumentSchema {
  public:
    Device() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaString("name", ""));
        root->AddNew(new JsonSchemaInt("count", 0));
        root->AddNew(new JsonSchemaBool("on", false));
        auto* pos = new JsonSchemaOrderedList("pos");
        pos->AddNew(new JsonSchemaInt("", 0));
        pos->AddNew(new JsonSchemaInt("", 0));
        root->AddNew(pos);
        auto* item = new JsonSchemaList("");
        item->AddNew(new JsonSchemaInt("id", 0));
        item->AddNew(new JsonSchemaString("label", ""));
        root->AddNew(new JsonSchemaArray<JsonSchema>("items", item));
        auto* opts = new JsonSchemaOpenList("opts");
        opts->AddNew(new JsonSchemaInt("level", 0));
        root->AddNew(opts);
        return root;
    }
};

const std::string kText =
    "{\"name\":\"a\",\n \"count\":1, \"on\":true,\n \"pos\":[1,2],\n"
    " \"items\":[{\"id\":1,\"label\":\"x\"},\n   {\"id\":2,\"label\":\"y\"}],\n"
    " \"opts\":{\"level\":3}}";

// kText with its only `from` replaced by `to`.
std::string Edit(const std::string& from, const std::string& to) {
    std::string text = kText;
    return text.replace(text.find(from), from.size(), to);
}

std::string Report(const JsonError& e) {
    return std::to_string(e.failed) + " " + std::to_string(e.offset) + " " +
           std::to_string(e.line) + ":" + std::to_string(e.column) + " [" + e.path + "] " +
           e.message;
}

}  // namespace

TEST(JsonError, ReadFailuresSayWhereAndWhyFromEverySource) {
    const std::string cut = kText.substr(0, kText.find("x\"}") + 1);
    const struct {
        std::string text;
        const char* report;
    } cases[] = {
        {Edit("\"a\",", "\"a\" x"), "1 12 1:13 [] expected ',' or '}' but found 'x'"},
        {Edit(":1,", ":\"1\","), "1 22 2:10 [count] expected a number but found '\"'"},
        {Edit("true", "tru,"), "1 33 2:21 [on] expected true or false but found ','"},
        {Edit("\"count\":1", "\"count\" 1"), "1 22 2:10 [] expected ':' but found '1'"},
        {Edit(", \"on\":true", ""), "1 116 6:20 [] member \"on\" is missing"},
        {Edit("[1,2]", "[1,2,3]"), "1 47 3:12 [pos] expected ']' but found ','"},
        {Edit("[1,2]", "[1,x]"), "1 46 3:11 [pos[1]] expected a number but found 'x'"},
        {Edit("\"y\"", "7"), "1 101 5:20 [items[1].label] expected a string but found '7'"},
        {Edit(",\"label\":\"y\"", ""), "1 92 5:11 [items[1]] member \"label\" is missing"},
        {Edit("},\n", "}\n"), "1 84 5:4 [items[1]] expected ',' or ']' but found '{'"},
        {Edit(":3", ":x"), "1 125 6:18 [opts.level] expected a number but found 'x'"},
        {Edit("\"a\"", "\"a\\q\""), "1 11 1:12 [name] unknown escape '\\q' in a string"},
        {cut, "1 78 4:29 [items[0].label] text ended inside a string"},
        {kText.substr(0, kText.find(':', 15) + 2),
         "1 23 2:11 [count] the text ended before the document was complete"},
        {kText.substr(0, kText.find("\n \"items") + 1),
         "1 50 4:1 [] expected a string but found the end of the text"},
        {"", "1 0 1:1 [] expected '{' but found the end of the text"},
        {kText, "0 0 0:0 [] "},
    };
    const std::string path = ::testing::TempDir() + "error_report.json";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Device device;
        // The same report from the buffer's area, a byte or three per refill, a stream that
        // is tied (so read through its own functions) and a file.
        {
            CoutCapture console;
            std::istringstream in(c.text);
            EXPECT_EQ(device.ProcessDocumentStream(in, nullptr), c.report[0] == '0');
            EXPECT_EQ(console.Text(), c.report[0] == '0' ? "" : "Format Document failed\n");
            EXPECT_EQ(Report(device.LastError()), c.report);
        }
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}}) {
            ChunkBuf buffer(c.text, chunk, 1, false);
            std::istream in(&buffer);
            device.ProcessDocumentStream(in, nullptr);
            EXPECT_EQ(Report(device.LastError()), c.report) << chunk;
        }
        std::ostringstream sink;
        std::istringstream tied(c.text);
        tied.tie(&sink);
        device.ProcessDocumentStream(tied, nullptr);
        EXPECT_EQ(Report(device.LastError()), c.report) << "tied";
        std::ofstream(path, std::ios::binary) << c.text;
        device.ProcessDocument(path.c_str(), nullptr);
        EXPECT_EQ(Report(device.LastError()), c.report) << "file";
    }
    std::remove(path.c_str());
}

TEST(JsonError, FilesAndWritesFailWithoutAPlaceAndSuccessClears) {
    Device device;
    CoutCapture console;
    const char* missing = "/nonexistent-dir/device.json";
    EXPECT_FALSE(device.ProcessDocument(missing, nullptr));
    EXPECT_EQ(Report(device.LastError()), "1 0 0:0 [] could not open /nonexistent-dir/device.json");
    std::ostringstream good;
    EXPECT_TRUE(device.GenerateDocumentStream(good, nullptr));
    EXPECT_EQ(Report(device.LastError()), "0 0 0:0 [] ");
    EXPECT_FALSE(device.GenerateDocument(missing, nullptr));
    EXPECT_EQ(device.LastError().message, "could not open /nonexistent-dir/device.json");
    FullBuf full(20);
    std::ostream out(&full);
    EXPECT_FALSE(device.GenerateDocumentStream(out, nullptr));
    EXPECT_EQ(Report(device.LastError()), "1 0 0:0 [] the stream failed while writing");
    EXPECT_EQ(console.Text(),
              "Read Document Error\nWrite Document Error\nCompile Document failed\n");
}

TEST(JsonError, SceneRequestNamesThePairTheServerRefused) {
    RecordingMailbox server;
    server.statuses = {0, -5, -7};
    JsonSceneRequestVsysCtrl request;
    std::istringstream post(
        R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"1"},)"
        R"({"name":"100.2B.0.0.0.0i","value":"2"},{"name":"100.2C.0.0.0.0i","value":"3"}]})");
    EXPECT_FALSE(request.ProcessDocumentStream(post, nullptr));
    EXPECT_EQ(server.sent.size(), 3u);
    EXPECT_EQ(Report(request.LastError()),
              "1 0 0:0 [attributes[1]] the control server answered 100.2B.0.0.0.0i with status -5");
    std::istringstream bad(R"({"attributes":[{"name":"x","value":1}]})");
    EXPECT_FALSE(request.ProcessDocumentStream(bad, nullptr));
    EXPECT_EQ(Report(request.LastError()),
              "1 35 1:36 [attributes[0].value] expected a string but found '1'");
}
