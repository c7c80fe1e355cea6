#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::Write;

namespace {

// {"a":int,"b":string,"c":{"d":bool}} as a list of the given class.
template <typename List>
std::unique_ptr<List> MakeObject() {
    auto list = std::make_unique<List>("");
    list->AddNew(new JsonSchemaInt("a", 1));
    list->AddNew(new JsonSchemaString("b", "x"));
    auto* c = new JsonSchemaList("c");
    c->AddNew(new JsonSchemaBool("d", false));
    list->AddNew(c);
    return list;
}

}  // namespace

TEST(JsonSchemaList, ReadsMembersInAnyOrderAndSkipsUnknownOnes) {
    auto list = MakeObject<JsonSchemaList>();
    EXPECT_TRUE(Read(*list, R"({"c":{"d":true},"zz":[1,{"q":[]}],"b":"y","o":{"a":2},"a":9} )"));
    EXPECT_EQ(Write(*list), R"({"a":9,"b":"y","c":{"d":true}})");
}

TEST(JsonSchemaList, StrictObjectNeedsEveryChildOnce) {
    auto list = MakeObject<JsonSchemaList>();
    EXPECT_FALSE(Read(*list, R"({"a":5,"b":"z"} )"));
    EXPECT_EQ(list->GetObject("a")->GetValueInt(), 5);  // nothing is rolled back

    JsonSchemaList empty("");
    EXPECT_TRUE(Read(empty, "{} "));
    EXPECT_FALSE(Read(*list, "{} "));

    JsonSchemaList one("");
    one.AddNew(new JsonSchemaInt("a", 0));
    EXPECT_TRUE(Read(one, R"({"a":1,"a":2} )"));
    EXPECT_EQ(one.GetObject("a")->GetValueInt(), 1);  // the repeat is skipped

    JsonSchemaList twins("");
    twins.AddNew(new JsonSchemaInt("a", 0));
    twins.AddNew(new JsonSchemaInt("a", 0));
    EXPECT_TRUE(Read(twins, R"({"a":1,"a":2} )"));
    EXPECT_EQ(Write(twins), R"({"a":1,"a":2})");
}

TEST(JsonSchemaList, DisabledChildIsMatchedButReadsNothing) {
    auto list = MakeObject<JsonSchemaList>();
    list->GetObject("b")->SetEnable(false);
    EXPECT_EQ(Write(*list), R"({"a":1,"c":{"d":false}})");
    EXPECT_FALSE(Read(*list, R"({"a":1,"b":"y","c":{"d":true}} )"));
    EXPECT_FALSE(Read(*list, R"({"a":1,"c":{"d":true}} )"));  // "b" stays unmatched
}

TEST(JsonSchemaOpenList, MissingAndRepeatedMembersAreFine) {
    auto list = MakeObject<JsonSchemaOpenList>();
    EXPECT_TRUE(Read(*list, "{} "));
    EXPECT_EQ(Write(*list), R"({"a":1,"b":"x","c":{"d":false}})");
    EXPECT_TRUE(Read(*list, R"({"a":1,"x":null,"a":2} )"));
    EXPECT_EQ(list->GetObject("a")->GetValueInt(), 2);
    EXPECT_FALSE(Read(*list, R"({"a":"str"} )"));
}

TEST(JsonSchemaOrderedList, ReadsElementsInOrderUpToItsChildren) {
    JsonSchemaOrderedList list("n");
    for (int i = 0; i < 3; ++i)
        list.AddNew(new JsonSchemaInt("x", -1));
    EXPECT_EQ(Write(list, true), R"("n":[-1,-1,-1])");
    EXPECT_TRUE(Read(list, "[7] "));
    EXPECT_EQ(Write(list), "[7,-1,-1]");
    EXPECT_TRUE(Read(list, "[ ] "));
    EXPECT_FALSE(Read(list, "[1,2,3,4] "));
    EXPECT_FALSE(Read(list, "[1;2] "));
    EXPECT_FALSE(Read(list, "{} "));
}

TEST(JsonSchemaList, LookupsAndShorthands) {
    auto list = MakeObject<JsonSchemaList>();
    EXPECT_EQ(list->Size(), 3u);
    EXPECT_EQ(list->GetObject(3u), nullptr);
    EXPECT_EQ(list->GetObject(1u)->GetName(), "b");
    EXPECT_EQ(list->GetObject("B"), nullptr);
    EXPECT_EQ(list->GetObject("bb"), nullptr);
    EXPECT_STREQ(list->GetString("b"), "x");
    EXPECT_STREQ(list->GetString("a"), "");  // not a string node
    EXPECT_STREQ(list->GetString("none"), "");
    list->Set("b", "new");
    list->Set("a", 4);
    list->Set("none", 4);
    list->Set("c", "ignored");
    EXPECT_EQ(Write(*list), R"({"a":4,"b":"new","c":{"d":false}})");
    list->AddNew(nullptr);
    EXPECT_EQ(list->Size(), 3u);
}

TEST(JsonSchemaList, ResetKeepsChildrenClearDeletesThem) {
    auto list = MakeObject<JsonSchemaList>();
    list->Set("a", 8);
    list->Reset();
    EXPECT_EQ(list->Size(), 3u);
    EXPECT_EQ(list->GetObject("a")->GetValueInt(), 1);
    list->Clear();
    EXPECT_EQ(list->GetObject(0u), nullptr);
    list->Clear();
    EXPECT_EQ(Write(*list), "{}");
}

TEST(JsonSchemaList, CloneIsAPlainEnabledDeepCopy) {
    auto ordered = std::make_unique<JsonSchemaOrderedList>("o");
    ordered->AddNew(new JsonSchemaInt("k", 2));
    ordered->SetEnable(false);
    std::unique_ptr<JsonSchema> copy(ordered->Clone());
    EXPECT_EQ(Write(*copy, true), R"("o":{"k":2})");
    EXPECT_EQ(dynamic_cast<JsonSchemaOrderedList*>(copy.get()), nullptr);

    auto list = MakeObject<JsonSchemaList>();
    std::unique_ptr<JsonSchema> deep(list->Clone());
    list->Set("b", "changed");
    static_cast<JsonSchemaList*>(list->GetObject("c"))->Set("d", true);
    EXPECT_EQ(Write(*deep), R"({"a":1,"b":"x","c":{"d":false}})");
}
