#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::CoutCapture;
using testing_support::ReadDocument;
using testing_support::WriteDocument;

namespace {

// A document of the tests' own: {"id":int,"name":string,"on":bool,"sub":{"v":int},"seq":[int,int]}
class Settings : public JsonDocumentSchema {
  public:
    Settings() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaInt("id", 1));
        root->AddNew(new JsonSchemaString("name", "dev"));
        root->AddNew(new JsonSchemaBool("on", false));
        sub = new JsonSchemaList("sub");
        sub->AddNew(new JsonSchemaInt("v", 0));
        root->AddNew(sub);
        auto* seq = new JsonSchemaOrderedList("seq");
        seq->AddNew(new JsonSchemaInt("", 10));
        seq->AddNew(new JsonSchemaInt("", 20));
        root->AddNew(seq);
        return root;
    }
    JsonSchemaList* root() { return _root; }
    JsonSchemaList* sub = nullptr;
};

class Rootless : public JsonDocumentSchema {
  public:
    JsonSchemaList* BuildSchema() override { return nullptr; }
};

}  // namespace

TEST(JsonDocumentSchema, RoundTripThroughAStream) {
    Settings doc;
    doc.root()->Set("id", 42);
    doc.root()->Set("name", "a \"quoted\" \\ name\n");
    doc.root()->Set("on", true);
    const std::string text = WriteDocument(doc);
    EXPECT_EQ(text,
              R"({"id":42,"name":"a \"quoted\" \\ name\n","on":true,"sub":{"v":0},"seq":[10,20]})");
    Settings other;
    CoutCapture console;
    EXPECT_TRUE(ReadDocument(other, text + "\ntrailing garbage"));
    EXPECT_EQ(WriteDocument(other), text);
    EXPECT_EQ(console.Text(), "");
}

TEST(JsonDocumentSchema, ProcessingStartsFromDefaults) {
    Settings doc;
    static_cast<JsonSchemaList*>(doc.root()->GetObject("seq"))->GetObject(0u)->SetValue(99);
    EXPECT_TRUE(ReadDocument(doc, R"({"name":"x","on":true,"sub":{"v":3},"seq":[],"id":1})"));
    EXPECT_EQ(WriteDocument(doc), R"({"id":1,"name":"x","on":true,"sub":{"v":3},"seq":[10,20]})");
}

TEST(JsonDocumentSchema, SubListIsWrittenAndReadAlone) {
    Settings doc;
    doc.root()->Set("id", 5);
    EXPECT_EQ(WriteDocument(doc, doc.sub), R"({"v":0})");
    EXPECT_TRUE(ReadDocument(doc, R"({"v":9})", doc.sub));
    EXPECT_EQ(doc.sub->GetObject("v")->GetValueInt(), 9);
    EXPECT_EQ(doc.root()->GetObject("id")->GetValueInt(), 5);  // outside the sub-list: untouched
}

TEST(JsonDocumentSchema, FilesRoundTripAndReportOpenErrors) {
    const std::string path = ::testing::TempDir() + "webjson_document_test.json";
    Settings doc;
    doc.root()->Set("id", 77);
    ASSERT_TRUE(doc.GenerateDocument(path.c_str(), nullptr));
    ASSERT_TRUE(doc.GenerateDocument(path.c_str(), nullptr));  // truncates, not appends
    Settings other;
    EXPECT_TRUE(other.ProcessDocument(path.c_str(), nullptr));
    EXPECT_EQ(other.root()->GetObject("id")->GetValueInt(), 77);
    std::remove(path.c_str());

    CoutCapture console;
    other.root()->Set("id", 3);
    EXPECT_FALSE(other.GenerateDocument("/nonexistent-dir/x.json", nullptr));
    EXPECT_FALSE(other.ProcessDocument("/nonexistent-dir/x.json", nullptr));
    EXPECT_FALSE(other.ProcessDocument(nullptr, nullptr));
    EXPECT_EQ(console.Text(), "Write Document Error\nRead Document Error\nRead Document Error\n");
    EXPECT_EQ(other.root()->GetObject("id")->GetValueInt(), 3);  // not even reset
}

TEST(JsonDocumentSchema, DocumentWithoutATreeFailsQuietlyApartFromTheMessage) {
    Rootless doc;
    CoutCapture console;
    std::ostringstream out;
    std::istringstream in("{}");
    EXPECT_FALSE(doc.GenerateDocumentStream(out, nullptr));
    EXPECT_FALSE(doc.ProcessDocumentStream(in, nullptr));
    doc._reset_schema(nullptr);
    EXPECT_EQ(console.Text(), "Compile Document failed\nFormat Document failed\n");
    EXPECT_EQ(out.str(), "");
}
