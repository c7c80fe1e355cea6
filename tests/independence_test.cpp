// Documents that do not depend on what else the program built; arrays built the old way.

#include <memory>

#include <webjson/qm_simserver.h>

#include "test_support.h"

using Objects = JsonSchemaArray<JsonSchemaList>;

namespace {

JsonSchemaList* Element(const char* member) {
    return With(new JsonSchemaList(""), {new JsonSchemaString(member, "")});
}

// {"<key>":[{"<key>":".."},..]}: a caller's tree whose array has a prototype of its own.
JsonSchemaList* Listing(const char* key) {
    return With(new JsonSchemaList(""),
                {new Objects(key, std::unique_ptr<JsonSchemaList>(Element(key)))});
}

}  // namespace

// A time plot built before or after a scene: the post in request mode reaches the server, and
// the scene reads its own text back (skipping images and parts), either way; the class-wide
// prototype is still the first one offered.
TEST(Independence, PlotAndSceneInEitherOrder) {
    QmSimServer server;
    server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 0);
    QmMbAgent::m_svr = &server;
    for (bool plot_first : {true, false}) {
        std::unique_ptr<JsonTimePlot> plot(plot_first ? new JsonTimePlot("L", "c", "%", 9, 5)
                                                      : nullptr);
        JsonScene scene("left", 1, 1, "right", 1, 1);
        if (!plot_first) plot.reset(new JsonTimePlot("L", "c", "%", 9, 5));
        scene.CreatePart("a", "P", 0, 0, 0);
        scene.SetMode(JsonScene::SCENE_REQUEST);
        EXPECT_TRUE(ReadDoc(scene, R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"42"}]})"));
        EXPECT_EQ(server.Log().size(), plot_first ? 1u : 2u);
        EXPECT_EQ(Objects::_element->Size(), plot_first ? 0u : 2u);
        scene.SetMode(JsonScene::SCENE_FULL);
        EXPECT_TRUE(ReadDoc(scene, WriteDoc(scene)));
        EXPECT_NE(WriteDoc(scene).find(R"("parts":[])"), std::string::npos);
    }
    EXPECT_EQ(Objects::_ref, 0);
}

// Two unrelated documents whose arrays have prototypes of their own read their own texts beside
// an array built the class-wide way, and their clones do not count as its users.
TEST(Independence, ArraysWithPrototypesOfTheirOwn) {
    {
        TreeDocument ports(Listing("port")), users(Listing("user"));
        EXPECT_EQ(Objects::_ref, 0);
        EXPECT_EQ(Objects::_element, nullptr);
        Objects classwide("a", Element("a"));
        EXPECT_EQ(Objects::_ref, 1);
        EXPECT_TRUE(ReadDoc(ports, R"({"port":[{"port":"1"},{"port":"2"}]})"));
        EXPECT_TRUE(ReadDoc(users, R"({"user":[{"user":"3"}]})"));
        EXPECT_EQ(WriteDoc(ports) + WriteDoc(users),
                  R"({"port":[{"port":"1"},{"port":"2"}]}{"user":[{"user":"3"}]})");
        EXPECT_TRUE(Read(classwide, R"([{"a":"x"}])"));
        std::unique_ptr<JsonSchema> copy(ports.Root()->GetObject(0u)->Clone());
        EXPECT_EQ(Objects::_ref, 1);
        EXPECT_TRUE(Read(*copy, R"([{"port":"3"}])"));
        EXPECT_EQ(Write(*copy), R"([{"port":""},{"port":""},{"port":"3"}])");
    }
    EXPECT_EQ(Objects::_ref, 0);
    EXPECT_EQ(Objects::_element, nullptr);
}
