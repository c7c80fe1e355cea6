// Processes the input as a post to a scene in request mode, whose request document forwards the
// pairs to the simulated control server. A post that cannot be read sends nothing and says so;
// every message sent is a set message with a record; the result is true exactly when the post
// was read and no answer carried a negative status.
#include <sstream>
#include <string>

#include <webjson/webjson.h>
#include "fuzz_support.h"
#include "qm_simserver.h"

int FuzzSceneRequest(const uint8_t* data, std::size_t size) {
    fuzzing::Console console;
    QmSimServer server;
    server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 5);
    server.DefineText({0x100, 0x2B, {0, 0, 0, 0}}, "hello");
    server.DefineWord({0x100, 0x2C, {0, 1, 0, 0}}, QMSIM_BOOL, 0);
    server.DefineWord({0x100, 0x2D, {0, 0, 0, 0}}, QMSIM_ENUM, 1);
    server.DefineText({0x7, 0x1, {0, 0, 0, 0}}, "ambiguous");
    QmMbAgent::m_svr = &server;

    JsonScene scene("left", 640, 480, "right", 200, 480);
    scene.SetMode(JsonScene::SCENE_REQUEST);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const bool result = scene.ProcessDocumentStream(in, nullptr);

    const std::string said = console.Take();
    bool refused = false;
    for (const QmSimMessage& m : server.Log()) {
        FUZZ_CHECK(m.kind == QMSIM_SET || m.kind == QMSIM_AMBIGUOUS);
        FUZZ_CHECK(m.has_record);
        if (m.status < 0) refused = true;
    }
    if (said == "Format Document failed\n") {
        FUZZ_CHECK(!result && server.Log().empty());
    } else {
        FUZZ_CHECK(said.empty());
        FUZZ_CHECK(result == !refused);
    }

    // In request mode the scene writes an empty object whatever it was sent.
    std::ostringstream out;
    FUZZ_CHECK(scene.GenerateDocumentStream(out, nullptr) && out.str() == "{}");
    QmMbAgent::m_svr = nullptr;
    return 0;
}
