// Where and why reading failed, from every source; files and writes that fail.
#include <cstdio>

#include "test_support.h"

namespace {

// {"name","count","on","pos":[int,int],"items":[{"id","label"}...],"opts":{"level"} (open)}
JsonSchemaList* Device() {
    return With(new JsonSchemaList(""),
                {new JsonSchemaString("name", ""), new JsonSchemaInt("count", 0),
                 new JsonSchemaBool("on", false),
                 With(new JsonSchemaOrderedList("pos"),
                      {new JsonSchemaInt("", 0), new JsonSchemaInt("", 0)}),
                 new JsonSchemaArray<JsonSchema>(
                     "items", With(new JsonSchemaList(""), {new JsonSchemaInt("id", 0),
                                                            new JsonSchemaString("label", "")})),
                 With(new JsonSchemaOpenList("opts"), {new JsonSchemaInt("level", 0)})});
}

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
        TreeDocument device(Device());
        std::ofstream(path, std::ios::binary) << text;
        // The same result, line and report from the buffer's area, a byte or three per refill, a
        // stream that is tied (so read through its own functions), a file and the caller's
        // memory (followed by bytes that are not the text's).
        const std::string memory = text + "\"}]}";
        for (int source = 0; source < 6; ++source) {
            CoutCapture console;
            std::stringbuf whole(text);
            ChunkBuf chunks(text, source == 1 ? 1 : 3, 1, false);
            std::istream in(source == 1 || source == 2 ? static_cast<std::streambuf*>(&chunks)
                                                       : &whole);
            std::ostringstream sink;
            if (source == 3) in.tie(&sink);
            EXPECT_EQ(source == 4 ? device.ProcessDocument(path.c_str(), nullptr)
                      : source == 5
                          ? device.ProcessDocumentBuffer(memory.data(), text.size(), nullptr)
                          : device.ProcessDocumentStream(in, nullptr),
                      report[0] == '0');
            EXPECT_EQ(console.Text(), report[0] == '0' ? "" : "Format Document failed\n");
            EXPECT_EQ(Report(device.LastError()), report) << "source " << source;
        }
    }
    std::remove(path.c_str());
}

TEST(JsonError, FilesAndWritesFailWithoutAPlaceAndSuccessClears) {
    TreeDocument device(Device());
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
