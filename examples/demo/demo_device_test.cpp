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
        const char* message;  // the sentence the view shows
    };
    const std::string long_text(QmSimServer::kTextSize + 1, 'x');
    const Case cases[] = {
        {"not JSON", "{\"attributes\":[", DemoDevice::PostResult::kUnreadable, 0, ""},
        {"empty body", "", DemoDevice::PostResult::kUnreadable, 0, ""},
        {"pair without value", "{\"attributes\":[{\"name\":\"100.1.0.0.0.0s\"}]}",
         DemoDevice::PostResult::kUnreadable, 0, ""},
        // The server's refusals are told as what the setting takes; its status goes along.
        {"text too long", Post("100.1.0.0.0.0s", long_text.c_str()),
         DemoDevice::PostResult::kRefused, 1, "Service name: at most 256 characters"},
        // What the scene request would skip without a word is refused before anything is sent.
        {"unknown parameter", Post("400.9.0.0.0.0i", "1"), DemoDevice::PostResult::kInvalid, 0,
         "No such setting on the device"},
        {"name that is no id", Post("Service name", "x"), DemoDevice::PostResult::kInvalid, 0,
         "No such setting on the device"},
        {"an empty text", Post("100.1.0.0.0.0s", ""), DemoDevice::PostResult::kInvalid, 0,
         "Service name: a value is needed"},
        // Values the parameter's kind cannot hold refuse the whole post, the good pair too.
        {"letters for a number",
         "{\"attributes\":[{\"name\":\"100.1.0.0.0.0s\",\"value\":\"x\"},"
         "{\"name\":\"200.3.0.0.0.0i\",\"value\":\"12abc\"}]}",
         DemoDevice::PostResult::kInvalid, 0, "Port: a whole number is needed"},
        {"a number beyond 32 bits", Post("200.3.0.0.0.0i", "2147483648"),
         DemoDevice::PostResult::kInvalid, 0, "Port: a whole number is needed"},
        {"an empty number", Post("100.3.0.0.0.0i", ""), DemoDevice::PostResult::kInvalid, 0,
         "Resolution: a value is needed"},
        {"a switch neither true nor false", Post("200.1.0.0.0.0b", "yes"),
         DemoDevice::PostResult::kInvalid, 0, "Output: true or false is needed"},
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
        EXPECT_EQ(refusal.message, c.message);
        // Where it went wrong: the place in the text, or the pair.
        EXPECT_TRUE(refusal.where.failed);
        if (c.result == DemoDevice::PostResult::kRefused) {
            EXPECT_EQ(refusal.where.path, "attributes[0]");
            EXPECT_EQ(refusal.attribute, "100.1.0.0.0.0s");
            EXPECT_EQ(refusal.status, QMSIM_BAD_RECORD);
        }
    }
}

TEST(DemoDevice, ButtonsAndSwitchesDriveTheSimulation) {
    DemoDevice device(WEBJSON_DEMO_IMAGE_DIR, 0);
    for (int i = 0; i < 200; ++i)
        device.Advance(1000);
    const std::string warning = "\"z\":1},\"status\":{\"severity\":\"warning\"";
    const std::string scene = Document(device, "scene");
    ASSERT_EQ(Count(scene, warning), 1u) << "errors counted by now";
    // The reset button's attribute shows the count it resets, as the statistics do.
    const auto value_of = [&scene](const std::string& label) {
        const std::size_t at = scene.find("\"value\":", scene.find("\"label\":\"" + label + "\""));
        return scene.substr(at, scene.find(',', at) - at);
    };
    EXPECT_EQ(value_of("Error counters"), value_of("CC errors"));
    EXPECT_NE(value_of("CC errors"), "\"value\":0");

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
