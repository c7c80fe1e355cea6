#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <webjson/qm_simserver.h>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::ReadDocument;
using testing_support::WriteDocument;

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

// One image by URL, one part, one attribute whose value node is given (an int unless told).
struct ExampleScene {
    explicit ExampleScene(JsonSchema* value = new JsonSchemaInt("speed", 900))
        : scene("left", 640, 480, "right", 240, 480) {
        scene.CreateImageURL("plan", "plan.png", "png", 640, 480);
        part = scene.CreatePart("plan", "Pump", 120, 80, 1);
        attribute = scene.CreateAttribute(part, "Status", "Speed", ATTR_INTEGER, value);
    }
    JsonScene scene;
    JsonSchemaList* part;
    JsonSceneAttribute* attribute;
};

}  // namespace

TEST(JsonScene, WritesTheExampleInEveryMode) {
    ExampleScene example;
    const std::string full = kImages + kLayout + kPart + "}]}}";
    const std::pair<uint32_t, std::string> modes[] = {
        {JsonScene::SCENE_NO_IMAGES, "{" + kLayout + kPart + "}]}}"},
        {JsonScene::SCENE_REQUEST, "{}"},
        {JsonScene::SCENE_FULL, full},
        {5, full},
    };
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.first);
        example.scene.SetMode(static_cast<JsonScene::JSceneMode>(mode.first));
        EXPECT_EQ(WriteDocument(example.scene), mode.second);
    }

    // Attribute tables; a call on an object without "attribute-tables" adds nothing.
    example.scene.AddAttributeTablesItms(example.part, "c", "t", 1, nullptr, 0, nullptr, 0);
    EXPECT_EQ(WriteDocument(example.scene), full);
    example.scene.CreateNewAttributeTables(example.part);
    char level[] = "Level", quality[] = "Quality";
    char* names[] = {level, quality};
    width_map widths[] = {{"name", "60%"}, {"value", "40%"}};
    example.scene.AddAttributeTablesItms(example.part, "Signal", "table", 2, names, 2, widths, 2);
    example.scene.AddAttributeTablesItms(example.part, "E", "t", 0, names, 0, widths, -1);
    EXPECT_EQ(WriteDocument(example.scene),
              kImages + kLayout + kPart +
                  R"(,"attribute-tables":[{"category":"Signal","layout":{"type":"table",)"
                  R"("columns":{"count":2,"style":{"width":{"name":"60%","value":"40%"}}},)"
                  R"("rows":{"names":["Level","Quality"]}}},{"category":"E","layout":)"
                  R"({"type":"t","columns":{"count":0,"style":{"width":{}}},"rows":)"
                  R"({"names":[]}}}]}]}})");
}

TEST(JsonScene, ImagesAndParts) {
    const std::string path = testing::TempDir() + "scene_image.bin";
    std::ofstream(path, std::ios::binary) << "abc";
    JsonScene scene("left", 1, 1, "right", 1, 1);
    JsonSchemaList* a = scene.CreateImage("a", path.c_str(), "png", 2, 3);
    scene.CreateImage("b", nullptr, nullptr, 0x80000000u, 0xFFFFFFFFu);
    scene.CreateImageURL("c", "c.svg", "", 4, 5);
    std::remove(path.c_str());
    JsonSchemaList noId("");
    scene.CreatePart(a, "Valve", 0xFFFFFFFFu, 0, 2);
    scene.CreatePart(&noId, "Pump", 1, 2, 3);
    scene.CreatePart(static_cast<const char*>(nullptr), nullptr, 0, 0, 0);
    // An object without "attributes" takes no attribute; the value node is deleted with it.
    EXPECT_EQ(scene.CreateAttribute(a, "c", "l", ATTR_STRING, new JsonSchemaString("v", "")),
              nullptr);
    const std::string text = WriteDocument(scene);
    EXPECT_EQ(text.substr(0, text.find("],")),
              R"({"images":[{"id":"a","data":"YWJj","type":"png","width":2,"height":3},)"
              R"({"id":"b","width":-2147483648,"height":-1},)"
              R"({"id":"c","url":"c.svg","type":"","width":4,"height":5})");
    EXPECT_NE(text.find(R"("parts":[{"id":"div_a_Valve","label":"Valve","type":"region",)"
                        R"("image":"a","position":{"x":-1,"y":0,"z":2})"),
              std::string::npos);
    EXPECT_NE(text.find(R"({"id":"div__Pump","label":"Pump","type":"region","image":"")"),
              std::string::npos);
    EXPECT_NE(text.find(R"({"id":"div__","label":"","type":"region","image":"")"),
              std::string::npos);
}

// A parameter attribute is written with the server's value and its id text as name; in request
// mode the view's post changes the parameter on the server.
TEST(JsonScene, PostChangesTheServersParameters) {
    QmSimServer server;
    server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 900);
    QmMbAgent::m_svr = &server;
    ExampleScene example(new JsonSchemaParam(PARAM_INT, 0x100, 0x2A, {0, 0, 0, 0}, nullptr, 0));
    const std::string attribute =
        R"({"name":"100.2A.0.0.0.0i","label":"Speed","type":"integer","value":)";
    EXPECT_NE(WriteDocument(example.scene).find(attribute + "900,"), std::string::npos);

    example.scene.SetMode(JsonScene::SCENE_REQUEST);
    JsonSchemaList own("");  // not passed on
    std::istringstream post(R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"42"}]})");
    EXPECT_TRUE(example.scene.ProcessDocumentStream(post, &own));
    // Through a file; a parameter the server does not know answers with a negative status.
    const std::string path = testing::TempDir() + "scene_post.json";
    std::ofstream(path) << R"({"attributes":[{"name":"100.2D.0.0.0.0i","value":"1"}]})";
    EXPECT_FALSE(example.scene.ProcessDocument(path.c_str(), nullptr));
    std::remove(path.c_str());
    EXPECT_EQ(server.Log().size(), 3u);  // one get, two sets

    // The document already held is kept; a plain request or none refuses without reading.
    auto* request = new JsonSceneRequestVsysCtrl();
    example.scene.SetRequestSchema(request);
    example.scene.SetRequestSchema(request);
    EXPECT_TRUE(ReadDocument(example.scene, R"({"attributes":[]})"));
    example.scene.SetRequestSchema(new JsonSceneRequest());
    EXPECT_FALSE(ReadDocument(example.scene, R"({"attributes":[]})"));
    example.scene.SetRequestSchema(nullptr);
    std::istringstream unread(R"({"attributes":[]})");
    EXPECT_FALSE(example.scene.ProcessDocumentStream(unread, nullptr));
    EXPECT_EQ(unread.tellg(), 0);

    example.scene.SetMode(JsonScene::SCENE_FULL);
    EXPECT_NE(WriteDocument(example.scene).find(attribute + "42,"), std::string::npos);
}

// The attribute arrays are the library's instantiation: programs share its count.
TEST(JsonScene, AttributeArraysShareTheLibrarysCount) {
    const int32_t before = JsonSchemaArray<JsonSceneAttribute>::_ref;
    {
        ExampleScene example;
        example.scene.CreateNewAttributeTables(example.part);
        EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before + 2);
    }
    EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before);
}
