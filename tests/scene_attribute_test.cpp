#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;

namespace {

const std::string kSpeed =
    R"({"name":"speed","label":"Speed","type":"integer","value":1,"category":"Status",)"
    R"("displayable":true)";
const std::string kChecked = R"({"state":"checked","value":)";
const std::string kUnchecked = R"({"state":"unchecked","value":)";

// Speed/Status on an integer node named speed holding 1, with the options Off = 0 and On = 1.
std::unique_ptr<JsonSceneAttribute> MakeSpeed() {
    std::unique_ptr<JsonSceneAttribute> attribute(
        new JsonSceneAttribute("Speed", "Status", ATTR_INTEGER, new JsonSchemaInt("speed", 1)));
    attribute->labels = {"Off", "On"};
    attribute->values = {0, 1};
    return attribute;
}

}  // namespace

TEST(JsonSceneAttribute, WritesEveryActionKind) {
    const std::pair<uint32_t, std::string> cases[] = {
        {ACTION_NONE, "}"},
        {ACTION_TEXT, R"(,"action":{"type":"text"}})"},
        {ACTION_ENUM, R"(,"action":{"type":"enum","options":[{"value":"0","label":"Off"},)"
                      R"({"value":"1","label":"On"}]}})"},
        {ACTION_CHECK, R"(,"action":{"type":"check","options":[)" + kUnchecked + R"("Off"},)" +
                           kChecked + R"("On"}]}})"},
        {ACTION_BUTTON, R"(,"action":{"type":"button","label":""}})"},
        {ACTION_APPLY, R"(,"action":{"type":"apply"}})"},
        {ACTION_SLIDER, R"(,"action":{"type":"slider","min":0,"max":1,"unit":""}})"},
        {7, "}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        auto attribute = MakeSpeed();
        attribute->SetActionType(ACTION_ENUM);  // each call discards what the one before built
        attribute->SetActionType(static_cast<JSceneAction>(c.first));
        EXPECT_EQ(Write(*attribute), kSpeed + c.second);
    }
}

TEST(JsonSceneAttribute, TypeWordNameAndValueNode) {
    const std::pair<uint32_t, const char*> words[] = {{0, "string"}, {1, "integer"}, {2, "boolean"},
                                                      {3, "url"},    {4, "action"},  {7, "string"}};
    for (const auto& w : words) {
        JsonSceneAttribute attribute("Mode", "Cfg", static_cast<JSceneAttr>(w.first), nullptr);
        EXPECT_EQ(Write(attribute), std::string(R"({"name":"Mode","label":"Mode","type":")") +
                                        w.second +
                                        R"(","value":"","category":"Cfg","displayable":true})");
    }
    // The value node's name goes to "name" (as current value only) and the node becomes "value".
    auto* level = new JsonSchemaString("lvl", "high");
    JsonSceneAttribute attribute("Level", "Cfg", ATTR_STRING, level);
    EXPECT_EQ(level->GetName(), "value");
    EXPECT_STREQ(attribute.GetString("name"), "lvl");
    attribute.Reset();
    EXPECT_STREQ(attribute.GetString("name"), "Level");
}

TEST(JsonSceneAttribute, OptionsFollowLabelsAndValues) {
    auto attribute = MakeSpeed();
    attribute->labels = {"A", "B", "C"};
    attribute->values = {4294967295u, 2};
    attribute->SetActionType(ACTION_ENUM);
    attribute->labels[0] = "Z";  // not seen before the next SetActionType
    EXPECT_EQ(Write(*attribute), kSpeed +
                                     R"(,"action":{"type":"enum","options":[{"value":)"
                                     R"("4294967295","label":"A"},{"value":"2","label":"B"}]}})");

    // The value is the position marked, when listed; marks stay when the value moves on.
    attribute->values = {10, 0, 2};
    attribute->SetActionType(ACTION_CHECK);
    const std::pair<int, std::string> steps[] = {
        {10, kUnchecked + R"("Z"},)" + kUnchecked + R"("B"},)" + kUnchecked + R"("C"})"},
        {1, kUnchecked + R"("Z"},)" + kUnchecked + R"("B"},)" + kUnchecked + R"("C"})"},
        {0, kChecked + R"("Z"},)" + kUnchecked + R"("B"},)" + kUnchecked + R"("C"})"},
        {2, kChecked + R"("Z"},)" + kUnchecked + R"("B"},)" + kChecked + R"("C"})"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.first);
        attribute->GetObject("value")->SetValue(step.first);
        EXPECT_NE(Write(*attribute).find(step.second), std::string::npos);
    }
    attribute->Reset();  // empties the options until the next SetActionType
    EXPECT_NE(Write(*attribute).find(R"("options":[])"), std::string::npos);
}

TEST(JsonSceneAttribute, SliderExtrasCloneAndMissingValueNode) {
    auto attribute = MakeSpeed();
    attribute->SetActionType(ACTION_SLIDER);
    auto* action = dynamic_cast<JsonSchemaList*>(attribute->GetObject("action"));
    for (const char* extra : {"denominator", "precision", "shift"})
        action->GetObject(extra)->SetEnable(true);
    EXPECT_EQ(Write(*attribute), kSpeed + R"(,"action":{"type":"slider","min":0,"max":1,"unit":"",)"
                                          R"("shift":0,"precision":0,"denominator":1}})");
    // A clone keeps the kind and the value node's default, nothing else.
    attribute->GetObject("value")->SetValue(5);
    std::unique_ptr<JsonSchema> copy(attribute->Clone());
    EXPECT_EQ(Write(*copy), R"({"name":"value","label":"","type":"integer","value":1,)"
                            R"("category":"","displayable":true})");

    // Without a value node (never given, or removed by the caller) nothing is marked, and
    // clones and new actions still work.
    JsonSceneAttribute bare("Mode", "Cfg", ATTR_URL, nullptr);
    bare.labels = {"A"};
    bare.values = {0};
    bare.SetActionType(ACTION_CHECK);
    EXPECT_EQ(Write(bare).find(kChecked), std::string::npos);
    copy.reset(bare.Clone());
    EXPECT_EQ(Write(*copy), R"({"name":"","label":"","type":"url","value":"","category":"",)"
                            R"("displayable":true})");
    attribute->Clear();
    attribute->SetActionType(ACTION_APPLY);
    EXPECT_EQ(Write(*attribute), R"({"action":{"type":"apply"}})");
    copy.reset(attribute->Clone());
}

// Derived attributes see the members after the object node's, in their declared order.
TEST(JsonSceneAttribute, MembersFollowTheObjectNodeInOrder) {
    struct Probe : JsonSceneAttribute {
        Probe() : JsonSceneAttribute("l", "c", ATTR_STRING, nullptr) {}
        std::vector<uintptr_t> Offsets() const {
            const auto at = [this](const void* member) {
                return reinterpret_cast<uintptr_t>(member) - reinterpret_cast<uintptr_t>(this);
            };
            return {sizeof(JsonSchemaList), at(&_type),  at(&_value), at(&_action_type),
                    at(&_action),           at(&labels), at(&values)};
        }
    };
    const std::vector<uintptr_t> offsets = Probe().Offsets();
    EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()))
        << ::testing::PrintToString(offsets);
}
