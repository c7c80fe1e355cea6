#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::Write;

namespace {

std::string TempPath(const char* name) {
    return ::testing::TempDir() + name;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The Base64 text of bytes, as the node writes it (without quotes).
std::string Encode(const std::string& bytes) {
    const std::string path = TempPath("webjson_file_in.bin");
    WriteBytes(path, bytes);
    JsonSchemaFile node("", path.c_str());
    std::remove(path.c_str());
    std::string text = Write(node);
    return text.substr(1, text.size() - 2);
}

}  // namespace

TEST(JsonSchemaFile, EncodesKnownTexts) {
    EXPECT_EQ(Encode(""), "");
    EXPECT_EQ(Encode("a"), "YQ==");
    EXPECT_EQ(Encode("ab"), "YWI=");
    EXPECT_EQ(Encode("abc"), "YWJj");
    EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Encode(std::string("\x00\xFF\xFE", 3)), "AP/+");
}

TEST(JsonSchemaFile, EveryByteValueAndLengthRoundTrips) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    const std::string in = TempPath("webjson_file_rt.bin");
    const std::string out = TempPath("webjson_file_rt.out");
    for (std::size_t length : {0, 1, 2, 3, 4, 5, 6, 254, 255, 256}) {
        SCOPED_TRACE(length);
        const std::string bytes =
            all.substr(0, length) + std::string(all.rbegin(), all.rend()).substr(0, length % 7);
        WriteBytes(in, bytes);
        JsonSchemaFile node("f", in.c_str());
        std::string text = Write(node);
        EXPECT_EQ(text.size(), 2 + (bytes.size() + 2) / 3 * 4);
        EXPECT_EQ(text.find_first_not_of(
                      "\"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        EXPECT_EQ(bytes.size() % 3 == 0, text.find('=') == std::string::npos);
        WriteBytes(out, "previous content that must go");
        node.DataToFile(out.c_str());
        EXPECT_EQ(ReadBytes(out), bytes);
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
}

TEST(JsonSchemaFile, UnreadableSourceGivesEmptyText) {
    JsonSchemaFile missing("img", "/nonexistent/file.png");
    EXPECT_EQ(Write(missing, true), R"("img":"")");
    JsonSchemaFile directory("dir", "/");
    EXPECT_EQ(Write(directory), R"("")");
    JsonSchemaFile empty_path("e", "");
    EXPECT_EQ(Write(empty_path), R"("")");
    missing.DataToFile("/nonexistent/out.bin");  // nothing happens
    const std::string out = TempPath("webjson_file_empty.out");
    missing.DataToFile(out.c_str());
    EXPECT_EQ(ReadBytes(out), "");
    std::remove(out.c_str());
}

TEST(JsonSchemaFile, ResetKeepsCloneDropsTheText) {
    const std::string path = TempPath("webjson_file_rc.bin");
    WriteBytes(path, "abc");
    JsonSchemaFile node("f", path.c_str());
    std::remove(path.c_str());
    node.Reset();
    EXPECT_EQ(Write(node), R"("YWJj")");
    std::unique_ptr<JsonSchema> copy(node.Clone());
    EXPECT_EQ(Write(*copy, true), R"("f":"")");
    node.FileToData("/nonexistent");
    EXPECT_EQ(Write(node), R"("")");
}

TEST(JsonSchemaFile, IsNeverRead) {
    JsonSchemaFile node("f", "");
    EXPECT_FALSE(Read(node, R"("YWJj",)"));
    node.SetEnable(false);
    EXPECT_TRUE(Read(node, R"("YWJj",)"));
    EXPECT_EQ(Write(node, true), "");

    JsonSchemaList list("");
    list.AddNew(new JsonSchemaFile("f", ""));
    EXPECT_EQ(Write(list), R"({"f":""})");
    EXPECT_FALSE(Read(list, R"({"f":""} )"));
}
