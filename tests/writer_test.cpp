#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;

namespace {

std::string Escape(const std::string& in) {
    std::ostringstream sink;
    JsonWriteDocument writer(sink);
    std::string source = in, out = "stale";
    writer._string_to_json(source, out);
    return out;
}

}  // namespace

TEST(JsonWriteDocument, WritesCompactNestedDocumentWithCommasBetweenWrittenItemsOnly) {
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaInt("a", 1));
    auto* hidden = new JsonSchemaInt("h", -2);
    root.AddNew(hidden);
    root.AddNew(new JsonSchemaBool("b", true));
    root.AddNew(new JsonSchemaString("c", "x\"y"));
    auto* d = new JsonSchemaList("d");
    d->AddNew(new JsonSchemaDouble("e", 2.5, 3));
    root.AddNew(d);
    auto* f = new JsonSchemaOrderedList("f");
    f->AddNew(new JsonSchemaOrderedList("ignored"));
    f->AddNew(new JsonSchemaInt("", 1));
    f->AddNew(new JsonSchemaList(""));
    root.AddNew(f);
    EXPECT_EQ(Write(root), R"({"a":1,"h":-2,"b":true,"c":"x\"y","d":{"e":2.5},"f":[[],1,{}]})");
    hidden->SetEnable(false);
    EXPECT_EQ(Write(root), R"({"a":1,"b":true,"c":"x\"y","d":{"e":2.5},"f":[[],1,{}]})");
    JsonSchemaList empty("n");
    EXPECT_EQ(Write(empty, true), R"("n":{})");
}

TEST(JsonWriteDocument, EscapesControlBytesQuotesAndBackslashesOnly) {
    EXPECT_EQ(Escape(std::string("\t\"\\/ \x01", 6)), R"(\t\"\\/ \u0001)");
    EXPECT_EQ(Escape("\b\f\n\r"), R"(\b\f\n\r)");
    EXPECT_EQ(Escape(std::string("\x00\x1F\x0B", 3)), R"(\u0000\u001F\u000B)");
    // DEL, high bytes and multi-byte UTF-8 pass through unchanged
    EXPECT_EQ(Escape("\x7F\x80\xFF\xE2\x82\xAC"), "\x7F\x80\xFF\xE2\x82\xAC");
    EXPECT_EQ(Escape(""), "");

    JsonSchemaString node("k\"", std::string("a\x1Fz").c_str());  // keys are not escaped
    EXPECT_EQ(Write(node, true), R"("k"":"a\u001Fz")");
}

TEST(JsonWriteDocument, DoublesUseSignificantDigits) {
    struct Case {
        double value;
        unsigned int decimal;
        const char* text;
    } cases[] = {
        {3.14159, 3, "3.14"},    {0.5, 3, "0.5"},       {2.0, 3, "2"},
        {1234.5, 3, "1.23e+03"}, {0.00001, 3, "1e-05"}, {3.14159, 2, "3.1"},
        {3.14159, 0, "3"},       {-2.5, 15, "-2.5"},    {0.1, 15, "0.1"},
        {123456.0, 6, "123456"}, {3.14159, 16, "3.14"},  // 16 and above keep the setting in force
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JsonSchemaDouble node("", c.value, c.decimal);
        EXPECT_EQ(Write(node), c.text);
    }
}

TEST(JsonWriteDocument, NullValuesWriteOnlySeparatorAndKey) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    std::string key = "k";
    EXPECT_TRUE(writer.Serialize(JSON_ARRAY_BEGIN, JsonSchema::_nullstr, nullptr));
    for (unsigned int token = JSON_INT; token <= JSON_FILE; ++token) {
        EXPECT_TRUE(writer.Serialize(token, key, nullptr));
    }
    EXPECT_TRUE(writer.Serialize(JSON_KEY, key, nullptr));
    EXPECT_TRUE(writer.Serialize(JSON_SKIP, JsonSchema::_nullstr, nullptr));
    EXPECT_TRUE(writer.Serialize(99, JsonSchema::_nullstr, nullptr));
    std::vector<char> file = {'Y', '"', '\0', 'Z'};  // a file's text ends at its zero byte
    EXPECT_TRUE(writer.Serialize(JSON_FILE, JsonSchema::_nullstr, &file));
    EXPECT_TRUE(writer.Serialize(JSON_ARRAY_END, JsonSchema::_nullstr, nullptr));
    EXPECT_EQ(out.str(), R"(["k":,"k":,"k":,"k":,"k":,"k":,,,"Y\""])");
}

TEST(JsonWriteDocument, FailedStreamWritesNothing) {
    std::ostringstream out;
    out.setstate(std::ios::failbit);
    JsonWriteDocument writer(out);
    int v = 1;
    EXPECT_FALSE(writer.Serialize(JSON_INT, JsonSchema::_nullstr, &v));
    out.clear();
    EXPECT_TRUE(writer.Serialize(JSON_INT, JsonSchema::_nullstr, &v));
    EXPECT_EQ(out.str(), "1");  // no comma: the refused item did not count as written
}
