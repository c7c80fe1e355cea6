#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;

TEST(JsonSchema, EachNodeAnswersOnlyItsOwnType) {
    JsonSchemaInt i("i", 1);
    JsonSchemaBool b("b", false);
    JsonSchemaDouble d("d", 1.5, 3);
    JsonSchemaString s("s", "x");
    for (JsonSchema* node : std::initializer_list<JsonSchema*>{&i, &b, &d, &s}) {
        node->SetValue(7);
        node->SetValue(true);
        node->SetValue("text");
        node->SetValue(2.25);
    }
    EXPECT_EQ(i.GetValueInt(), 7);
    EXPECT_TRUE(b.GetValueBool());
    EXPECT_EQ(d.GetValueDouble(), 2.25);
    EXPECT_STREQ(s.GetValueString(), "text");

    EXPECT_EQ(b.GetValueInt(), 0);
    EXPECT_FALSE(i.GetValueBool());
    EXPECT_STREQ(i.GetValueString(), "");
    EXPECT_EQ(s.GetValueDouble(), 0.0);
    EXPECT_EQ(d.GetValueInt(), 0);
    // a string made from an integer holds its unsigned decimal
    EXPECT_STREQ(JsonSchemaString("", INT32_MIN).GetValueString(), "2147483648");
}

TEST(JsonSchema, CloneTakesNameAndDefaultAndIsEnabled) {
    JsonSchemaInt i("i", 3);
    JsonSchemaString s("s", "orig");
    JsonSchemaDouble d("d", 3.14159, 5);
    i.SetValue(9);
    s.SetValue("changed");
    d.SetValue(1.0);
    i.SetEnable(false);
    std::unique_ptr<JsonSchema> ci(i.Clone()), cs(s.Clone()), cd(d.Clone());
    EXPECT_EQ(Write(*ci, true), R"("i":3)");
    EXPECT_EQ(Write(*cs, true), R"("s":"orig")");
    EXPECT_EQ(Write(*cd, true), R"("d":3.14)");  // the copy writes 3 digits
    EXPECT_NE(dynamic_cast<JsonSchemaDouble*>(cd.get()), nullptr);
}

TEST(JsonSchema, DisabledNodeWritesAndReadsNothing) {
    JsonSchemaInt node("n", 5);
    node.SetEnable(false);
    bool ok = false;
    EXPECT_EQ(Write(node, true, &ok), "");
    EXPECT_TRUE(ok);
    std::istringstream in("garbage");
    JsonReadDocument reader(in);
    EXPECT_TRUE(node.Format(reader, false));
    EXPECT_EQ(in.tellg(), 0);
    node.SetEnable(true);
    EXPECT_EQ(Write(node, true), R"("n":5)");
}

TEST(JsonSchema, NamesAreCopiedAndAnEmptyOneWritesNoKey) {
    std::string name = "first";
    JsonSchemaBool node(name.c_str(), true);
    name = "other";
    EXPECT_EQ(Write(node, true), R"("first":true)");
    node.SetName("");
    EXPECT_EQ(Write(node, true), "true");
}
