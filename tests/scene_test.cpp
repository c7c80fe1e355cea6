#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <webjson/webjson.h>
#include "qm_mailbox.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

const std::string kImages =
    R"({"images":[{"id":"plan","url":"plan.png","type":"png","width":640,"height":480}],)";
const std::string kLayout =
    R"("attributes":{"position":"right","width":240,"height":480},"scene":{"position":"left",)"
    R"("width":640,"height":480,"selection":{"type":"border"},"parts":[)";
const std::string kPart =
    R"({"id":"div_plan_Pump","label":"Pump","type":"region","image":"plan","position":{"x":120,)"
    R"("y":80,"z":1},"status":{"severity":"none","label":""},"attributes":[{"name":"speed",)"
    R"("label":"Speed","type":"integer","value":900,"category":"Status","displayable":true}])";

std::string Write(JsonDocumentSchema& document) {
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    return out.str();
}

bool Process(JsonDocumentSchema& document, const std::string& text,
             JsonSchemaList* list = nullptr) {
    std::istringstream in(text);
    return document.ProcessDocumentStream(in, list);
}

// The scene of the view's example: one image by URL, one part with one integer attribute.
struct ExampleScene {
    ExampleScene() : scene("left", 640, 480, "right", 240, 480) {
        scene.CreateImageURL("plan", "plan.png", "png", 640, 480);
        part = scene.CreatePart("plan", "Pump", 120, 80, 1);
        attribute = scene.CreateAttribute(part, "Status", "Speed", ATTR_INTEGER,
                                          new JsonSchemaInt("speed", 900));
    }
    JsonScene scene;
    JsonSchemaList* part;
    JsonSceneAttribute* attribute;
};

// Counts the set messages the scene's request document sends.
class CountingMailbox : public QmMailbox {
  public:
    int MsgCall(unsigned int id, unsigned long, int) override {
        ids.push_back(id);
        return 0;
    }
    std::vector<unsigned int> ids;
};

}  // namespace

TEST(JsonScene, WritesTheExampleSceneAndItsAttributeTables) {
    ExampleScene example;
    ASSERT_NE(example.attribute, nullptr);
    EXPECT_EQ(Write(example.scene), kImages + kLayout + kPart + "}]}}");

    example.scene.CreateNewAttributeTables(example.part);
    char level[] = "Level";
    char quality[] = "Quality";
    char* names[] = {level, quality};
    width_map widths[] = {{"name", "60%"}, {"value", "40%"}};
    example.scene.AddAttributeTablesItms(example.part, "Signal", "table", 2, names, 2, widths, 2);
    EXPECT_EQ(Write(example.scene),
              kImages + kLayout + kPart +
                  R"(,"attribute-tables":[{"category":"Signal","layout":{"type":"table",)"
                  R"("columns":{"count":2,"style":{"width":{"name":"60%","value":"40%"}}},)"
                  R"("rows":{"names":["Level","Quality"]}}}]}]}})");
}

TEST(JsonScene, ModeDecidesWhatIsWritten) {
    struct Case {
        uint32_t mode;
        std::string text;
    } cases[] = {
        {JsonScene::SCENE_NO_IMAGES, "{" + kLayout + kPart + "}]}}"},
        {JsonScene::SCENE_REQUEST, "{}"},
        {5, kImages + kLayout + kPart + "}]}}"},
        {JsonScene::SCENE_FULL, kImages + kLayout + kPart + "}]}}"},
    };
    ExampleScene example;
    // One scene through all modes in turn: each write shows only the current mode.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        example.scene.SetMode(static_cast<JsonScene::JSceneMode>(c.mode));
        EXPECT_EQ(Write(example.scene), c.text);
    }
}

TEST(JsonScene, ImagesByFileAndByUrl) {
    const std::string path = testing::TempDir() + "scene_image.bin";
    std::ofstream(path, std::ios::binary) << "abc";
    JsonScene scene("left", 1, 1, "right", 1, 1);
    scene.SetMode(static_cast<JsonScene::JSceneMode>(7));
    scene.CreateImage("a", path.c_str(), "png", 2, 3);
    scene.CreateImage("b", nullptr, nullptr, 0x80000000u, 0xFFFFFFFFu);
    scene.CreateImageURL("c", "c.svg", "", 4, 5);
    std::string text = Write(scene);
    EXPECT_EQ(text.substr(0, text.find("],")),
              R"({"images":[{"id":"a","data":"YWJj","type":"png","width":2,"height":3},)"
              R"({"id":"b","width":-2147483648,"height":-1},)"
              R"({"id":"c","url":"c.svg","type":"","width":4,"height":5})");
    std::remove(path.c_str());
}

TEST(JsonScene, PartsTakeTheirIdFromImageAndLabel) {
    JsonScene scene("left", 1, 1, "right", 1, 1);
    JsonSchemaList* image = scene.CreateImageURL("map", "m.png", "png", 1, 1);
    JsonSchemaList* noId = scene.CreateImage("x", nullptr, nullptr, 1, 1);
    noId->Clear();
    JsonSchemaList* a = scene.CreatePart(image, "Valve", 0xFFFFFFFFu, 0, 2);
    JsonSchemaList* b = scene.CreatePart(noId, "Pump", 1, 2, 3);
    EXPECT_STREQ(a->GetString("id"), "div_map_Valve");
    EXPECT_STREQ(a->GetString("image"), "map");
    EXPECT_STREQ(b->GetString("id"), "div__Pump");
    EXPECT_STREQ(b->GetString("image"), "");
    std::string text = Write(scene);
    EXPECT_NE(text.find(R"("position":{"x":-1,"y":0,"z":2})"), std::string::npos) << text;
}

// What is handed to a scene is adopted or deleted, never leaked (checked under the sanitizers).
TEST(JsonScene, MisplacedAttributesAndTablesChangeNothing) {
    ExampleScene example;
    const std::string before = Write(example.scene);
    JsonSchemaList image("");
    EXPECT_EQ(
        example.scene.CreateAttribute(&image, "c", "l", ATTR_STRING, new JsonSchemaString("v", "")),
        nullptr);
    EXPECT_EQ(example.scene.CreateAttribute(nullptr, "c", "l", ATTR_STRING, nullptr), nullptr);
    example.scene.AddAttributeTablesItms(example.part, "c", "t", 1, nullptr, 0, nullptr, 0);
    example.scene.AddAttributeTablesItms(nullptr, "c", "t", 1, nullptr, 0, nullptr, 0);
    example.scene.CreateNewAttributeTables(nullptr);
    EXPECT_EQ(Write(example.scene), before);

    example.scene.CreateNewAttributeTables(example.part);
    example.scene.AddAttributeTablesItms(example.part, "c", "t", 0, nullptr, -1, nullptr, 0);
    EXPECT_NE(Write(example.scene)
                  .find(R"("columns":{"count":0,"style":{"width":{}}},)"
                        R"("rows":{"names":[]})"),
              std::string::npos);
}

TEST(JsonScene, ProcessingInOwnModesResetsTheTree) {
    ExampleScene example;
    EXPECT_TRUE(Process(example.scene,
                        R"({"images":[],"attributes":{"position":"top","width":1,"height":2},)"
                        R"("scene":{"position":"p","width":3,"height":4,)"
                        R"("selection":{"type":"border"},"parts":[]}})"));
    // The images and parts made before are gone.
    EXPECT_EQ(Write(example.scene),
              R"({"images":[],"attributes":{"position":"top","width":1,"height":2},)"
              R"("scene":{"position":"p","width":3,"height":4,"selection":{"type":"border"},)"
              R"("parts":[]}})");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Process(example.scene, "{}"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(Write(example.scene),
              R"({"images":[],"attributes":{"position":"left","width":0,"height":0},)"
              R"("scene":{"position":"left","width":0,"height":0,"selection":{"type":"border"},)"
              R"("parts":[]}})");
}

TEST(JsonScene, RequestModeHandsThePostToTheRequestDocument) {
    CountingMailbox mailbox;
    QmMbAgent::m_svr = &mailbox;
    ExampleScene example;
    const std::string tree = Write(example.scene);
    const std::string post = R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"7"}]})";
    example.scene.SetMode(JsonScene::SCENE_REQUEST);
    JsonSchemaList own("");
    EXPECT_TRUE(Process(example.scene, post));
    EXPECT_TRUE(Process(example.scene, post, &own));
    EXPECT_EQ(mailbox.ids, (std::vector<unsigned int>{0x810B, 0x810B}));

    // The same through a file.
    const std::string path = testing::TempDir() + "scene_post.json";
    std::ofstream(path) << post;
    EXPECT_TRUE(example.scene.ProcessDocument(path.c_str(), nullptr));
    EXPECT_EQ(mailbox.ids.size(), 3u);
    std::remove(path.c_str());

    // Handing over the document already held keeps it (no double delete).
    auto* request = new JsonSceneRequestVsysCtrl();
    example.scene.SetRequestSchema(request);
    example.scene.SetRequestSchema(request);
    EXPECT_TRUE(Process(example.scene, post));
    EXPECT_EQ(mailbox.ids.size(), 4u);

    // A plain request, or none at all, refuses.
    example.scene.SetRequestSchema(new JsonSceneRequest());
    EXPECT_FALSE(Process(example.scene, post));
    example.scene.SetRequestSchema(nullptr);
    std::istringstream in(post);
    EXPECT_FALSE(example.scene.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(in.tellg(), 0);
    EXPECT_EQ(mailbox.ids.size(), 4u);

    example.scene.SetMode(JsonScene::SCENE_FULL);
    EXPECT_EQ(Write(example.scene), tree);
    QmMbAgent::m_svr = nullptr;
}

// The element types the scene uses are the library's: their counts are shared with programs.
TEST(JsonScene, AttributeArraysShareTheLibrarysCount) {
    const int32_t before = JsonSchemaArray<JsonSceneAttribute>::_ref;
    {
        ExampleScene example;
        EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before + 1);
        example.scene.CreateNewAttributeTables(example.part);
        EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before + 2);
    }
    EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before);
}
