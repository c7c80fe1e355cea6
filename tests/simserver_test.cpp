#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <webjson/qm_simserver.h>
#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

const QmSimKey kWord{0x100, 0x2A, {0, 1, 0, 0}};
const QmSimKey kText{0x100, 0x2B, {0, 1, 0, 0}};

// Sends one message straight to the server, as the agent would; returns the status word.
int32_t Send(QmSimServer& server, unsigned int id, const QmSimKey& key, uint32_t length,
             void* data) {
    QmMsgRecord record{
        key.param, {key.idx[0], key.idx[1], key.idx[2], key.idx[3]}, 7, length, data};
    EXPECT_EQ(server.MsgCall(id, reinterpret_cast<unsigned long>(&record), 0), record.status);
    return record.status;
}

// One parameter node of each type.
class ParamDocument : public JsonDocumentSchema {
  public:
    ParamDocument() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        static const char* states[] = {"Off", "On"};
        JsonSchemaList* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaParam(PARAM_INT, 0x100, 1, idx_t{0, 0, 0, 0}, nullptr, 0));
        root->AddNew(new JsonSchemaParam(PARAM_ENUM, 0x100, 2, idx_t{0, 0, 0, 0}, states, 2));
        root->AddNew(new JsonSchemaParam(PARAM_STRING, 0x100, 3, idx_t{0, 0, 0, 0}, nullptr, 0));
        root->AddNew(new JsonSchemaParam(PARAM_BOOL, 0x101, 4, idx_t{0, 0, 0, 1}, nullptr, 0));
        return root;
    }
};

}  // namespace

TEST(QmSimServer, TextsAreAtMost256BytesAndEndAtAZero) {
    QmSimServer server;
    server.DefineText(kText, std::string(300, 't'));
    char text[257];
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(Send(server, 0x810D, kText, 256, text), QMSIM_OK);
    EXPECT_EQ(std::string(text, 257), std::string(256, 't') + "z");  // full: no zero byte
    char name[] = "new\0ignored";
    EXPECT_EQ(Send(server, 0x810B, kText, sizeof name, name), QMSIM_OK);
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(Send(server, 0x810D, kText, 257, text), QMSIM_OK);
    EXPECT_STREQ(text, "new");
    QmSimParam param{};
    ASSERT_TRUE(server.Find(kText, param));
    EXPECT_EQ(param.text, "new");
}

TEST(QmSimServer, RefusesWithoutTouchingTheTableOrTheBuffer) {
    QmSimServer server;
    const QmSimKey merged{0x7, 0x2A, {0, 1, 0, 0}};
    server.DefineWord(merged, QMSIM_BOOL, 1);
    server.DefineWord(kWord, QMSIM_ENUM, 3);
    server.DefineText(kText, "t");
    struct Row {
        unsigned int id;
        QmSimKey key;
        uint32_t length;
        int32_t status;
    } rows[] = {
        {0x810D, {0x100, 0x2A, {0, 0, 0, 0}}, 4, QMSIM_UNKNOWN_PARAM},
        {0x810B, kWord, 8, QMSIM_WRONG_TYPE},
        {0x810D, kText, 4, QMSIM_WRONG_TYPE},
        {0x810B, kText, 257, QMSIM_BAD_RECORD},
        {0x8101, kWord, 4, QMSIM_UNKNOWN_ID},
        {0x800F, merged, 4, QMSIM_AMBIGUOUS_ID},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        char buffer[300] = {'x'};
        EXPECT_EQ(Send(server, row.id, row.key, row.length, buffer), row.status);
        EXPECT_EQ(std::string(buffer, 2), std::string("x\0", 2));
    }
    EXPECT_EQ(server.MsgCall(0x810D, 0, 0), QMSIM_BAD_RECORD);
    QmSimParam param{};
    ASSERT_TRUE(server.Find(merged, param));
    EXPECT_EQ(param.word, 1u);
    std::vector<QmSimMessage> log = server.Log();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[5].kind, QMSIM_AMBIGUOUS);
    EXPECT_FALSE(log[6].has_record);
}

TEST(QmSimServer, DocumentOfParametersRoundTrips) {
    QmSimServer server;
    server.DefineWord({0x100, 1, {0, 0, 0, 0}}, QMSIM_INT, static_cast<uint32_t>(-3));
    server.DefineWord({0x100, 2, {0, 0, 0, 0}}, QMSIM_ENUM, 1);
    server.DefineText({0x100, 3, {0, 0, 0, 0}}, "eth0");
    // Mid 0x101 differs from 0x100 only in the kind bits: the server sees it as 0x100.
    server.DefineWord({0x101, 4, {0, 0, 0, 1}}, QMSIM_BOOL, 0);
    {
        QmSimServer other;
        QmMbAgent::m_svr = &other;
    }
    EXPECT_EQ(QmMbAgent::m_svr, nullptr);  // a server uninstalls itself
    QmMbAgent::m_svr = &server;

    ParamDocument document;
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    EXPECT_EQ(out.str(),
              "{\"100.1.0.0.0.0i\":-3,\"100.2.0.0.0.0i\":\"On\",\"100.3.0.0.0.0s\":\"eth0\","
              "\"101.4.0.0.0.1b\":\"false\"}");
    std::istringstream in(
        "{\"100.1.0.0.0.0i\":42,\"100.2.0.0.0.0i\":\"0\",\"100.3.0.0.0.0s\":\"wlan1\","
        "\"101.4.0.0.0.1b\":\"true\"}");
    EXPECT_TRUE(document.ProcessDocumentStream(in, nullptr));
    QmMbAgent::m_svr = nullptr;

    std::ostringstream table;
    QmSimParam param{};
    for (uint32_t p = 1; p <= 4; ++p) {
        ASSERT_TRUE(server.Find({0x100, p, {0, 0, 0, p == 4 ? 1u : 0u}}, param));
        table << param.type << ":" << param.word << param.text << " ";
    }
    EXPECT_EQ(table.str(), "0:42 1:0 2:0wlan1 3:1 ");
    // One get per node, then one set per node, each in tree order, all answered.
    std::ostringstream log;
    for (const QmSimMessage& m : server.Log()) {
        log << std::hex << m.id << ":" << m.param << ":" << m.length << ":" << m.status << " ";
    }
    EXPECT_EQ(log.str(),
              "810d:1:4:0 810d:2:4:0 810d:3:100:0 810d:4:4:0 "
              "810b:1:4:0 810b:2:4:0 810b:3:5:0 810b:4:4:0 ");
}
