#include <gtest/gtest.h>

#include <climits>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::Write;

namespace {

// Reads one value with the given token (no key); returns the result and what is left unread.
template <typename T>
bool ReadOne(unsigned int token, const std::string& text, T& value, std::string* rest = nullptr) {
    std::istringstream in(text);
    JsonReadDocument reader(in);
    bool ok = reader.Deserialize(token, JsonSchema::_nullstr, &value);
    if (rest) {
        in.clear();
        *rest = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return ok;
}

std::string ReadString(const std::string& text, bool* ok = nullptr) {
    std::string value = "stale";
    bool result = ReadOne(JSON_STRING, text + " ", value);
    if (ok) *ok = result;
    return value;
}

}  // namespace

TEST(JsonReadDocument, ReadsBackWhatTheWriterWrote) {
    const std::string tricky("q\"b\\s/t\tn\nc\x01\x1F\x7F\x80\xFF", 16);
    auto build = [](JsonSchemaList& list, int i, bool t, const char* s) {
        list.AddNew(new JsonSchemaInt("i", i));
        list.AddNew(new JsonSchemaBool("t", t));
        list.AddNew(new JsonSchemaBool("f", !t));
        list.AddNew(new JsonSchemaString("s", s));
        auto* seq = new JsonSchemaOrderedList("o");
        seq->AddNew(new JsonSchemaInt("", i));
        seq->AddNew(new JsonSchemaString("", s));
        list.AddNew(seq);
    };
    JsonSchemaList source(""), target("");
    build(source, INT_MIN, true, tricky.c_str());
    build(target, 0, false, "");
    ASSERT_TRUE(Read(target, Write(source) + "\n"));
    EXPECT_EQ(Write(target), Write(source));
    EXPECT_EQ(std::string(target.GetString("s")), tricky);
}

TEST(JsonReadDocument, WhitespaceIsAcceptedBetweenTokensOnly) {
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaInt("a", 0));
    root.AddNew(new JsonSchemaString("b", ""));
    EXPECT_TRUE(Read(root, " \t{\n\"a\" \r: 5 ,\v\"b\"\f:\" x \" } "));
    EXPECT_EQ(root.GetObject("a")->GetValueInt(), 5);
    EXPECT_STREQ(root.GetString("b"), " x ");
    EXPECT_FALSE(Read(root, R"({"a":1 2,"b":""} )"));  // the number stops at the space
}

TEST(JsonReadDocument, NumbersAreDigitsSignsAndDotsOnly) {
    struct IntCase {
        const char* text;
        int value;
        const char* rest;
    } ints[] = {
        {"42,", 42, ","},
        {"-7]", -7, "]"},
        {"2.7,", 2, ","},
        {"12.7}", 12, "}"},
        {"1-2,", 1, ","},
        {"-,", 0, ","},
        {"+5,", 5, ","},
        {".,", 0, ","},
        {"1e5,", 1, "e5,"},
        {"1E5,", 1, "E5,"},
        {"007,", 7, ","},
        // outside the 32-bit range the value saturates
        {"2147483648,", INT_MAX, ","},
        {"-99999999999,", INT_MIN, ","},
    };
    for (const IntCase& c : ints) {
        SCOPED_TRACE(c.text);
        int value = -1;
        std::string rest;
        EXPECT_TRUE(ReadOne(JSON_INT, c.text, value, &rest));
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(rest, c.rest);
    }

    double d = 0;
    std::string rest;
    EXPECT_TRUE(ReadOne(JSON_DOUBLE, "5,", d, &rest));
    EXPECT_EQ(d, 5.0);
    EXPECT_TRUE(ReadOne(JSON_DOUBLE, "1.23e+03,", d, &rest));
    EXPECT_EQ(d, 1.23);
    EXPECT_EQ(rest, "e+03,");
    EXPECT_TRUE(ReadOne(JSON_DOUBLE, "-0.5]", d));
    EXPECT_EQ(d, -0.5);
}

TEST(JsonReadDocument, WrongKindsOfValueFail) {
    struct Case {
        unsigned int token;
        const char* text;
    } cases[] = {
        {JSON_INT, "\"5\","},      {JSON_INT, "null,"},     {JSON_INT, "true,"},
        {JSON_INT, "x"},           {JSON_BOOL, "1,"},       {JSON_BOOL, "tru,"},
        {JSON_BOOL, "null,"},      {JSON_BOOL, "True,"},    {JSON_STRING, "5,"},
        {JSON_STRING, "null,"},    {JSON_DOUBLE, "\"1\","}, {JSON_FILE, "\"\","},
        {JSON_OBJECT_BEGIN, "[,"}, {JSON_ARRAY_END, "},"},  {11, "1,"},
        {JSON_KEY, "\"k\" 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        JsonReadDocument reader(in);
        std::string scratch;
        void* value = c.token == JSON_STRING || c.token == JSON_KEY ? &scratch : nullptr;
        EXPECT_FALSE(reader.Deserialize(c.token, JsonSchema::_nullstr, value));
        EXPECT_TRUE(in.fail());
    }
    bool flag = true;
    EXPECT_FALSE(ReadOne(JSON_BOOL, "fals,", flag));
    EXPECT_TRUE(flag);  // unchanged after a failed read
}

TEST(JsonReadDocument, KeysMatchExactly) {
    JsonSchemaInt node("Name", 0);
    const std::pair<const char*, bool> cases[] = {{"\"name\":1,", false},
                                                  {"\"Nam\":1,", false},
                                                  {"\"Name\";1,", false},
                                                  {"Name:1,", false},
                                                  {"\"Name\" :\t7,", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        std::istringstream in(c.first);
        JsonReadDocument reader(in);
        EXPECT_EQ(node.Format(reader, true), c.second);
    }
    EXPECT_EQ(node.GetValueInt(), 7);
}

TEST(JsonReadDocument, StringEscapes) {
    EXPECT_EQ(ReadString(R"("\"\/\\\b\f\n\r\t")"), "\"/\\\b\f\n\r\t");
    EXPECT_EQ(ReadString(R"("\u0041")"), "A");
    EXPECT_EQ(ReadString(R"("\u20AC")"), "\xAC");  // one byte: the last two digits
    EXPECT_EQ(ReadString(R"("\u004e")"), "n");     // lower-case digits count from "A"
    EXPECT_EQ(ReadString(R"("\u00e9")"), "\xE9");
    EXPECT_EQ(ReadString("\"raw\x01\xC3\xA9\""), "raw\x01\xC3\xA9");
    EXPECT_EQ(ReadString(R"("\u0000x")"), std::string("\0x", 2));

    bool ok = true;
    EXPECT_EQ(ReadString(R"("ab\x")", &ok), "ab");
    EXPECT_FALSE(ok);
    std::string value;
    EXPECT_FALSE(ReadOne(JSON_STRING, R"("ab\u00)", value));  // cut inside an escape
    EXPECT_EQ(value, "ab");
    EXPECT_FALSE(ReadOne(JSON_STRING, R"("open)", value));
    EXPECT_EQ(value, "open");
}

TEST(JsonReadDocument, SkipCountsBracketsButNotStrings) {
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaInt("a", 0));
    EXPECT_TRUE(Read(root, R"({"x":{"x":[1,{"y":2}]},"n":null,"s":"q","a":3})"));
    EXPECT_EQ(root.GetObject("a")->GetValueInt(), 3);
    EXPECT_FALSE(Read(root, R"({"s":"p,q","a":3})"));      // stops at the comma in the string
    EXPECT_FALSE(Read(root, R"({"s":{"t":"}"},"a":3})"));  // the brace in the string closes it
    EXPECT_FALSE(Read(root, R"({"s":"}","a":4})"));        // ends the object early: "a" is missing
}

TEST(JsonReadDocument, PeekLooksPastWhitespaceOnly) {
    std::istringstream in("   }, ]");
    JsonReadDocument reader(in);
    EXPECT_FALSE(reader.Peek(JSON_ARRAY_END));
    EXPECT_FALSE(reader.Peek(JSON_OBJECT_BEGIN));
    EXPECT_TRUE(reader.Peek(JSON_OBJECT_END));
    EXPECT_EQ(in.get(), '}');
    EXPECT_FALSE(reader.Peek(JSON_OBJECT_END));  // a comma comes first
    in.setstate(std::ios::failbit);
    EXPECT_FALSE(reader.Peek(JSON_OBJECT_END));
}

TEST(JsonReadDocument, EndOfTextAndFailuresAreSticky) {
    int number = 0;
    EXPECT_FALSE(ReadOne(JSON_INT, "42", number));  // the end of the text, even after a number
    EXPECT_EQ(number, 42);
    JsonSchemaList root("");
    EXPECT_TRUE(Read(root, "{}"));  // a closing bracket needs no look-ahead
    EXPECT_FALSE(Read(root, "{"));

    std::istringstream in("x 1,2");
    JsonReadDocument reader(in);
    int value = 0;
    EXPECT_FALSE(reader.Deserialize(JSON_BOOL, JsonSchema::_nullstr, nullptr));
    EXPECT_FALSE(reader.Deserialize(JSON_INT, JsonSchema::_nullstr, &value));
    EXPECT_EQ(value, 0);
    in.clear();
    EXPECT_EQ(in.get(), ' ');
}
