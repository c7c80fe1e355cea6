// Where and why reading failed, from every source; files and writes that fail.
#include <cstdio>

#include "test_support.h"

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

std::string Report(const JsonError& e) {
    return std::to_string(e.failed) + " " + std::to_string(e.offset) + " " +
           std::to_string(e.line) + ":" + std::to_string(e.column) + " [" + e.path + "] " +
           e.message;
}

}  // namespace

// Cases in golden/errors.tsv.
TEST(JsonError, ReadFailuresSayWhereAndWhyFromEverySource) {
    const std::string path = TempFile("error_report.json", "");
    for (const auto& k : Cases("errors")) {
        const std::string &text = k[0], &report = k[1];
        SCOPED_TRACE(text);
        Device device;
        // The same report from the buffer's area, a byte or three per refill, a stream that
        // is tied (so read through its own functions) and a file.
        {
            CoutCapture console;
            std::istringstream in(text);
            EXPECT_EQ(device.ProcessDocumentStream(in, nullptr), report[0] == '0');
            EXPECT_EQ(console.Text(), report[0] == '0' ? "" : "Format Document failed\n");
            EXPECT_EQ(Report(device.LastError()), report);
        }
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}}) {
            ChunkBuf buffer(text, chunk, 1, false);
            std::istream in(&buffer);
            device.ProcessDocumentStream(in, nullptr);
            EXPECT_EQ(Report(device.LastError()), report) << chunk;
        }
        std::ostringstream sink;
        std::istringstream tied(text);
        tied.tie(&sink);
        device.ProcessDocumentStream(tied, nullptr);
        EXPECT_EQ(Report(device.LastError()), report) << "tied";
        std::ofstream(path, std::ios::binary) << text;
        device.ProcessDocument(path.c_str(), nullptr);
        EXPECT_EQ(Report(device.LastError()), report) << "file";
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
