#include <gtest/gtest.h>

#include <memory>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::Write;

namespace {

// An element type of the tests' own, so no library document shares its prototype slot.
class Point : public JsonSchemaList {
  public:
    explicit Point(const char* member) : JsonSchemaList("") {
        AddNew(new JsonSchemaInt(member, 0));
    }
    JsonSchema* Clone() override {
        auto* copy = new Point("");
        copy->Clear();
        for (JsonSchema* child : _children)
            copy->AddNew(child->Clone());
        return copy;
    }
};

using PointArray = JsonSchemaArray<Point>;

}  // namespace

TEST(JsonSchemaArray, ReadsByCloningThePrototypeAndAppends) {
    ASSERT_EQ(PointArray::_element, nullptr);
    {
        auto* prototype = new Point("a");
        PointArray array("pts", prototype);
        EXPECT_EQ(Write(array, true), R"("pts":[])");
        EXPECT_TRUE(Read(array, "[] "));
        EXPECT_EQ(PointArray::_element, prototype);
        EXPECT_EQ(PointArray::_ref, 1);
        EXPECT_TRUE(Read(array, R"([{"a":5},{"a":6},{"a":7}] )"));
        EXPECT_EQ(Write(array), R"([{"a":5},{"a":6},{"a":7}])");
        EXPECT_TRUE(Read(array, R"([{"a":8}] )"));
        ASSERT_EQ(array.Size(), 4u);
        EXPECT_EQ(array.GetArray(3)->GetObject("a")->GetValueInt(), 8);
        EXPECT_EQ(array.GetArray(4), nullptr);
        array.Reset();
        EXPECT_EQ(array.Size(), 0u);
    }
    EXPECT_EQ(PointArray::_element, nullptr);
    EXPECT_EQ(PointArray::_ref, 0);
}

TEST(JsonSchemaArray, WithoutPrototypeEveryElementIsSkipped) {
    JsonSchemaArray<JsonSchemaOrderedList> array("", nullptr);
    EXPECT_TRUE(Read(array, R"([1,[2],{"a":3},"s",null] )"));
    EXPECT_EQ(array.Size(), 0u);
}

TEST(JsonSchemaArray, FirstPrototypeStaysInForceUntilTheLastArrayIsGone) {
    auto first = std::make_unique<PointArray>("first", new Point("a"));
    auto* unused = new Point("b");
    auto second = std::make_unique<PointArray>("second", unused);
    EXPECT_EQ(PointArray::_ref, 2);
    EXPECT_TRUE(Read(*second, R"([{"a":1}] )"));
    EXPECT_EQ(Write(*second), R"([{"a":1}])");
    EXPECT_FALSE(Read(*second, R"([{"b":1}] )"));  // the element lacks "a"
    delete unused;                                 // a prototype not kept stays the caller's

    first.reset();
    EXPECT_EQ(PointArray::_ref, 1);
    EXPECT_NE(PointArray::_element, nullptr);
    second.reset();
    EXPECT_EQ(PointArray::_ref, 0);
    EXPECT_EQ(PointArray::_element, nullptr);

    PointArray third("third", new Point("b"));  // the slot is free again
    EXPECT_TRUE(Read(third, R"([{"b":2}] )"));
}

TEST(JsonSchemaArray, FailedElementStaysInTheArray) {
    auto* prototype = new Point("name");
    prototype->AddNew(new JsonSchemaInt("n", 0));
    PointArray array("", prototype);
    EXPECT_FALSE(Read(array, R"([{"name":4},{"name":5,"n":1}] )"));
    ASSERT_EQ(array.Size(), 1u);
    EXPECT_EQ(array.GetArray(0)->GetObject("name")->GetValueInt(), 4);
}

TEST(JsonSchemaArray, CloneCopiesElementsNotThePrototype) {
    auto* prototype = new Point("a");
    PointArray array("arr", prototype);
    array.AddNew(new JsonSchemaInt("", 1));
    array.AddNew(new JsonSchemaString("", "two"));
    array.SetEnable(false);
    std::unique_ptr<JsonSchema> copy(array.Clone());
    EXPECT_EQ(PointArray::_ref, 2);
    EXPECT_EQ(PointArray::_element, prototype);
    EXPECT_EQ(Write(*copy, true), R"("arr":[1,"two"])");
    EXPECT_EQ(Write(array), "");
}

TEST(JsonSchemaArray, ProgramAndLibraryShareTheSlotsOfLibraryElementTypes) {
    // JsonSchemaArray<JsonSchemaInt> is instantiated in the library; arrays built by the
    // program and copies made by the library count in the same slots.
    int32_t before = JsonSchemaArray<JsonSchemaInt>::_ref;
    {
        JsonSchemaArray<JsonSchemaInt> mine("", new JsonSchemaInt("", 0));
        std::unique_ptr<JsonSchema> copy(mine.Clone());
        EXPECT_EQ(JsonSchemaArray<JsonSchemaInt>::_ref, before + 2);
        auto* library_copy = static_cast<JsonSchemaArray<JsonSchemaInt>*>(copy.get());
        EXPECT_TRUE(Read(*library_copy, "[3,4] "));
        EXPECT_EQ(Write(*library_copy), "[3,4]");
    }
    EXPECT_EQ(JsonSchemaArray<JsonSchemaInt>::_ref, before);
}
