// Writes a parameter of the simulated control server through a parameter node.
#include <webjson/qm_simserver.h>
#include <webjson/webjson.h>

#include <sstream>

using namespace DocumentAPI::JsonDocumentAPI;

int main() {
    QmSimServer server;
    server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 900);
    QmMbAgent::m_svr = &server;
    std::ostringstream text;
    JsonWriteDocument writer(text);
    JsonSchemaParam(PARAM_INT, 0x100, 0x2A, idx_t{0, 0, 0, 0}, nullptr, 0).Compile(writer, true);
    return text.str() == R"("100.2A.0.0.0.0i":900)" ? 0 : 1;
}
