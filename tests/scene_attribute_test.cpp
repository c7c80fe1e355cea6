#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

std::string Write(JsonSchema& node) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    EXPECT_TRUE(node.Compile(writer, false));
    return out.str();
}

const std::string kSpeed =
    R"({"name":"speed","label":"Speed","type":"integer","value":1,"category":"Status",)"
    R"("displayable":true)";

// Speed/Status attribute on an integer node named speed holding value, options Off and On.
JsonSceneAttribute* MakeSpeed(int value = 1) {
    auto* attribute =
        new JsonSceneAttribute("Speed", "Status", ATTR_INTEGER, new JsonSchemaInt("speed", value));
    attribute->labels = {"Off", "On"};
    attribute->values = {0, 1};
    return attribute;
}

}  // namespace

TEST(JsonSceneAttribute, WritesEveryActionKind) {
    struct Case {
        uint32_t action;
        std::string tail;
    } cases[] = {
        {ACTION_NONE, "}"},
        {ACTION_TEXT, R"(,"action":{"type":"text"}})"},
        {ACTION_ENUM, R"(,"action":{"type":"enum","options":[{"value":"0","label":"Off"},)"
                      R"({"value":"1","label":"On"}]}})"},
        {ACTION_CHECK,
         R"(,"action":{"type":"check","options":[{"state":"unchecked","value":"Off"},)"
         R"({"state":"checked","value":"On"}]}})"},
        {ACTION_BUTTON, R"(,"action":{"type":"button","label":""}})"},
        {ACTION_APPLY, R"(,"action":{"type":"apply"}})"},
        {ACTION_SLIDER, R"(,"action":{"type":"slider","min":0,"max":1,"unit":""}})"},
        {7, "}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        JsonSceneAttribute* attribute = MakeSpeed();
        EXPECT_EQ(Write(*attribute), kSpeed + "}");
        attribute->SetActionType(static_cast<JSceneAction>(c.action));
        EXPECT_EQ(Write(*attribute), kSpeed + c.tail);
        delete attribute;
    }
}

TEST(JsonSceneAttribute, TypeWordAndNameFollowTheConstructor) {
    const char* words[] = {"string", "integer", "boolean", "url", "action", "string", "string"};
    const uint32_t kinds[] = {0, 1, 2, 3, 4, 7, 0xFFFFFFFF};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(kinds[i]);
        JsonSceneAttribute attribute("Mode", "Cfg", static_cast<JSceneAttr>(kinds[i]), nullptr);
        EXPECT_EQ(Write(attribute), std::string(R"({"name":"Mode","label":"Mode","type":")") +
                                        words[i] +
                                        R"(","value":"","category":"Cfg","displayable":true})");
    }

    // The value node's name becomes "name"; the node itself answers to "value" from then on,
    // and a reset brings back the label.
    auto* level = new JsonSchemaString("lvl", "high");
    JsonSceneAttribute attribute("Level", "Cfg", ATTR_STRING, level);
    EXPECT_EQ(level->GetName(), "value");
    EXPECT_STREQ(attribute.GetString("name"), "lvl");
    attribute.Reset();
    EXPECT_STREQ(attribute.GetString("name"), "Level");
    EXPECT_EQ(attribute.GetObject("value"), level);
}

TEST(JsonSceneAttribute, EnumOptionsPairLabelsWithValues) {
    JsonSceneAttribute* attribute = MakeSpeed();
    attribute->labels = {"A", "B", "C"};
    attribute->values = {4294967295u, 2};
    attribute->SetActionType(ACTION_ENUM);
    // A change after SetActionType does not show until the next one.
    attribute->labels[0] = "Z";
    EXPECT_EQ(Write(*attribute), kSpeed +
                                     R"(,"action":{"type":"enum","options":[{"value":"4294967295",)"
                                     R"("label":"A"},{"value":"2","label":"B"}]}})");
    attribute->values.clear();
    attribute->SetActionType(ACTION_ENUM);
    EXPECT_EQ(Write(*attribute), kSpeed + R"(,"action":{"type":"enum","options":[]}})");
    delete attribute;
}

TEST(JsonSceneAttribute, CheckMarksTheOptionAtTheValuesPosition) {
    const std::string unchecked = R"({"state":"unchecked","value":)";
    const std::string checked = R"({"state":"checked","value":)";
    JsonSceneAttribute* attribute = MakeSpeed(0);
    attribute->labels = {"A", "B", "C"};

    // No values: nothing is marked.
    attribute->values.clear();
    attribute->SetActionType(ACTION_CHECK);
    std::string text = Write(*attribute);
    EXPECT_EQ(text.find(checked), std::string::npos) << text;

    // The value 10 is listed but there is no option at position 10.
    attribute->values = {10, 20};
    attribute->GetObject("value")->SetValue(10);
    text = Write(*attribute);
    EXPECT_EQ(text.find(checked), std::string::npos) << text;

    // A mark stays when the value moves on: two options end up marked.
    attribute->values = {2, 0};
    attribute->GetObject("value")->SetValue(0);
    Write(*attribute);
    attribute->GetObject("value")->SetValue(2);
    EXPECT_NE(
        Write(*attribute)
            .find(checked + R"("A"},{"state":"unchecked","value":"B"},)" + checked + R"("C"})"),
        std::string::npos);

    // A reset empties the options until the next SetActionType, which drops old marks; the
    // value is back at its default 0.
    attribute->Reset();
    EXPECT_NE(Write(*attribute).find(R"("options":[])"), std::string::npos);
    attribute->SetActionType(ACTION_CHECK);
    EXPECT_NE(Write(*attribute)
                  .find(checked + R"("A"},)" + unchecked + R"("B"},)" + unchecked + R"("C"})"),
              std::string::npos);
    delete attribute;
}

TEST(JsonSceneAttribute, SliderExtrasAreWrittenOnceEnabled) {
    JsonSceneAttribute* attribute = MakeSpeed();
    attribute->SetActionType(ACTION_SLIDER);
    auto* action = dynamic_cast<JsonSchemaList*>(attribute->GetObject("action"));
    ASSERT_NE(action, nullptr);
    action->GetObject("denominator")->SetEnable(true);
    action->GetObject("precision")->SetEnable(true);
    EXPECT_EQ(Write(*attribute), kSpeed + R"(,"action":{"type":"slider","min":0,"max":1,"unit":"",)"
                                          R"("precision":0,"denominator":1}})");
    delete attribute;
}

TEST(JsonSceneAttribute, CloneKeepsOnlyKindAndValueDefault) {
    auto* text = new JsonSchemaString("t", "initial");
    JsonSceneAttribute attribute("Home", "Links", ATTR_URL, text);
    text->SetValue("changed");
    attribute.labels = {"x"};
    attribute.SetActionType(ACTION_TEXT);
    JsonSchema* copy = attribute.Clone();
    EXPECT_EQ(Write(*copy), R"({"name":"value","label":"","type":"url","value":"initial",)"
                            R"("category":"","displayable":true})");
    delete copy;
}

// No caller builds such attributes, but they must neither crash nor leak.
TEST(JsonSceneAttribute, WithoutValueNodeChecksAndClonesSafely) {
    JsonSceneAttribute attribute("Mode", "Cfg", ATTR_STRING, nullptr);
    attribute.labels = {"A"};
    attribute.values = {0};
    attribute.SetActionType(ACTION_CHECK);
    EXPECT_EQ(Write(attribute).find("\"checked\""), std::string::npos);
    JsonSchema* copy = attribute.Clone();
    EXPECT_EQ(Write(*copy), R"({"name":"","label":"","type":"string","value":"",)"
                            R"("category":"","displayable":true})");
    delete copy;

    // Members removed by the caller: the value and action views are not used any more.
    JsonSceneAttribute* emptied = MakeSpeed(1);
    emptied->SetActionType(ACTION_CHECK);
    emptied->Clear();
    EXPECT_EQ(Write(*emptied), "{}");
    emptied->SetActionType(ACTION_APPLY);
    EXPECT_EQ(Write(*emptied), R"({"action":{"type":"apply"}})");
    copy = emptied->Clone();
    delete copy;
    delete emptied;
}
