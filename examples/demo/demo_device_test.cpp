#include "demo_device.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

namespace {

std::string Document(DemoDevice& device, const std::string& name) {
    std::ostringstream text;
    EXPECT_TRUE(device.WriteDocument(name, text)) << name;
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

QmSimParam Param(DemoDevice& device, uint32_t mid, uint32_t param) {
    QmSimParam value{};
    EXPECT_TRUE(device.Server().Find(QmSimKey{mid, param, {0, 0, 0, 0}}, value));
    return value;
}

std::string Post(const char* name, const char* value) {
    return std::string("{\"attributes\":[{\"name\":\"") + name + "\",\"value\":\"" + value +
           "\"}]}";
}

// The plots are built before any post, so this also guards the order of construction: were a
// plot's empty series prototype in force, every pair would be read without its name.
TEST(DemoDevice, PostedPairsReachTheControlServer) {
    DemoDevice device(WEBJSON_DEMO_IMAGE_DIR, 0);
    unsigned sent = 0;
    EXPECT_EQ(device.PostSceneRequest("{\"attributes\":[{\"name\":\"100.1.0.0.0.0s\",\"value\":"
                                      "\"Late News\"},{\"name\":\"200.3.0.0.0.0i\",\"value\":"
                                      "\"5004\"}]}",
                                      &sent),
              DemoDevice::PostResult::kApplied);
    EXPECT_EQ(sent, 2u);
    EXPECT_EQ(Param(device, demo_param::kEncoder, demo_param::kServiceName).text, "Late News");
    EXPECT_EQ(Param(device, demo_param::kOutput, demo_param::kPort).word, 5004u);
    // The device program follows its settings: the tree and the table show the new name.
    EXPECT_NE(Document(device, "tree").find("\"label\":\"Late News\""), std::string::npos);
    EXPECT_NE(Document(device, "table").find("\"Late News\""), std::string::npos);
}

TEST(DemoDevice, BadPostsAreReportedAndChangeNothingElse) {
    struct Case {
        const char* what;
        std::string body;
        DemoDevice::PostResult result;
        unsigned sent;
    };
    const Case cases[] = {
        {"not JSON", "{\"attributes\":[", DemoDevice::PostResult::kUnreadable, 0},
        {"empty body", "", DemoDevice::PostResult::kUnreadable, 0},
        {"pair without value", "{\"attributes\":[{\"name\":\"100.1.0.0.0.0s\"}]}",
         DemoDevice::PostResult::kUnreadable, 0},
        {"unknown parameter", Post("400.9.0.0.0.0i", "1"), DemoDevice::PostResult::kRefused, 1},
        {"name that is no id", Post("Service name", "x"), DemoDevice::PostResult::kApplied, 0},
        // Values the parameter's kind cannot hold refuse the whole post, the good pair too.
        {"letters for a number",
         "{\"attributes\":[{\"name\":\"100.1.0.0.0.0s\",\"value\":\"x\"},"
         "{\"name\":\"200.3.0.0.0.0i\",\"value\":\"12abc\"}]}",
         DemoDevice::PostResult::kInvalid, 0},
        {"a number beyond 32 bits", Post("200.3.0.0.0.0i", "2147483648"),
         DemoDevice::PostResult::kInvalid, 0},
        {"an empty number", Post("100.3.0.0.0.0i", ""), DemoDevice::PostResult::kInvalid, 0},
        {"a switch neither true nor false", Post("200.1.0.0.0.0b", "yes"),
         DemoDevice::PostResult::kInvalid, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DemoDevice device(WEBJSON_DEMO_IMAGE_DIR, 0);
        unsigned sent = 99;
        DemoDevice::Refusal refusal;
        EXPECT_EQ(device.PostSceneRequest(c.body, &sent, &refusal), c.result);
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(Param(device, demo_param::kEncoder, demo_param::kServiceName).text, "News 24");
        EXPECT_EQ(Param(device, demo_param::kOutput, demo_param::kPort).word, 1234u);
        EXPECT_EQ(refusal.message.empty(), c.result == DemoDevice::PostResult::kApplied ||
                                               c.result == DemoDevice::PostResult::kUnreadable);
        // Where it went wrong: the place in the text, or the pair.
        EXPECT_EQ(refusal.where.failed, c.result != DemoDevice::PostResult::kApplied);
        if (c.result == DemoDevice::PostResult::kRefused) {
            EXPECT_EQ(refusal.where.path, "attributes[0]");
        }
    }
}

TEST(DemoDevice, ButtonsAndSwitchesDriveTheSimulation) {
    DemoDevice device(WEBJSON_DEMO_IMAGE_DIR, 0);
    for (int i = 0; i < 200; ++i)
        device.Advance(1000);
    const std::string warning = "\"z\":1},\"status\":{\"severity\":\"warning\"";
    ASSERT_EQ(Count(Document(device, "scene"), warning), 1u) << "errors counted by now";

    // The reset command is momentary: the device acts on it and clears it.
    EXPECT_EQ(device.PostSceneRequest(Post("100.5.0.0.0.0i", "1")),
              DemoDevice::PostResult::kApplied);
    EXPECT_EQ(Param(device, demo_param::kEncoder, demo_param::kResetErrors).word, 0u);
    EXPECT_EQ(Count(Document(device, "scene"), warning), 0u);

    device.PostSceneRequest(Post("200.1.0.0.0.0b", "false"));
    device.Advance(1000);
    const std::string plot = Document(device, "plot");
    EXPECT_NE(plot.find(",0]}]"), std::string::npos) << plot;
    EXPECT_NE(Document(device, "scene").find("\"label\":\"Output off\""), std::string::npos);
}

TEST(DemoDevice, SceneCarriesBothImagesAndEveryActionKind) {
    DemoDevice device(WEBJSON_DEMO_IMAGE_DIR, 0);
    const std::string scene = Document(device, "scene");
    // The embedded PNG is read from the image folder: Base64 of the PNG signature.
    EXPECT_NE(scene.find("\"data\":\"iVBORw0KGgo"), std::string::npos);
    EXPECT_NE(scene.find("\"url\":\"img/chain.svg\""), std::string::npos);
    const std::pair<const char*, std::size_t> kinds[] = {
        {"text", 3}, {"enum", 1}, {"check", 1}, {"button", 2}, {"apply", 1}, {"slider", 1}};
    for (const auto& [kind, count] : kinds) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(Count(scene, std::string("\"action\":{\"type\":\"") + kind + "\""), count);
    }
    // The check marks follow the device's value (1: Stereo).
    EXPECT_NE(scene.find("{\"state\":\"checked\",\"value\":\"Stereo\"}"), std::string::npos);
    std::ostringstream unknown;
    EXPECT_FALSE(device.WriteDocument("scenes", unknown));
    EXPECT_TRUE(unknown.str().empty());
}

TEST(DemoDevice, ServerStateKeepsABoundedHistoryOfSets) {
    DemoDevice device(WEBJSON_DEMO_IMAGE_DIR, 0);
    Document(device, "scene");  // gets only: counted, not kept
    for (std::size_t i = 0; i < DemoDevice::kHistory + 20; ++i)
        device.PostSceneRequest(Post("200.3.0.0.0.0i", std::to_string(i).c_str()));
    std::ostringstream state;
    device.WriteServerState(state);
    const std::string text = state.str();
    EXPECT_EQ(Count(text, "\"kind\":\"set\""), DemoDevice::kHistory);
    EXPECT_EQ(Count(text, "\"kind\":\"get\""), 0u);
    EXPECT_EQ(text.find("\"gets\":0"), std::string::npos);
    EXPECT_NE(text.find("{\"id\":\"200.3.0.0.0.0i\",\"type\":\"int\",\"value\":119}"),
              std::string::npos);
}

}  // namespace
