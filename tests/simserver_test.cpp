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

// Sends one message straight to the server, as the agent would.
int32_t Send(QmSimServer& server, unsigned int id, const QmSimKey& key, uint32_t length,
             void* data) {
    QmMsgRecord record{
        key.param, {key.idx[0], key.idx[1], key.idx[2], key.idx[3]}, 7, length, data};
    const int result = server.MsgCall(id, reinterpret_cast<unsigned long>(&record), 0);
    EXPECT_EQ(result, record.status);
    return record.status;
}

// A document of one parameter node of each type.
class ParamDocument : public JsonDocumentSchema {
  public:
    ParamDocument() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        static const char* states[] = {"Off", "On"};
        JsonSchemaList* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaParam(PARAM_INT, 0x100, 1, idx_t{0, 0, 0, 0}, nullptr, 0));
        root->AddNew(new JsonSchemaParam(PARAM_ENUM, 0x100, 2, idx_t{0, 0, 0, 0}, states, 2));
        root->AddNew(new JsonSchemaParam(PARAM_STRING, 0x100, 3, idx_t{0, 0, 0, 0}, nullptr, 0));
        root->AddNew(new JsonSchemaParam(PARAM_BOOL, 0x100, 4, idx_t{0, 0, 0, 1}, nullptr, 0));
        return root;
    }
};

}  // namespace

TEST(QmSimServer, AnswersAndAppliesMessagesByType) {
    QmSimServer server;
    server.DefineWord(kWord, QMSIM_INT, 5);
    server.DefineText(kText, std::string(300, 't'));  // kept as 256 bytes

    uint32_t word = 0;
    EXPECT_EQ(Send(server, 0x810D, kWord, 4, &word), QMSIM_OK);
    EXPECT_EQ(word, 5u);
    word = 6;
    EXPECT_EQ(Send(server, 0x810B, kWord, 4, &word), QMSIM_OK);

    char text[257];
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(Send(server, 0x810D, kText, 257, text), QMSIM_OK);
    EXPECT_EQ(std::string(text), std::string(256, 't'));
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(Send(server, 0x810D, kText, 256, text), QMSIM_OK);
    EXPECT_EQ(text[255], 't');  // a full text leaves no room for a zero byte
    EXPECT_EQ(text[256], 'z');
    char name[] = "new\0ignored";
    EXPECT_EQ(Send(server, 0x810B, kText, sizeof name, name), QMSIM_OK);

    QmSimParam param{};
    ASSERT_TRUE(server.Find(kWord, param));
    EXPECT_EQ(param.word, 6u);
    ASSERT_TRUE(server.Find(kText, param));
    EXPECT_EQ(param.text, "new");

    // The log holds what was sent and answered.
    std::vector<QmSimMessage> log = server.Log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].kind, QMSIM_GET);
    EXPECT_EQ(log[0].Word(), 5u);
    EXPECT_EQ(log[1].kind, QMSIM_SET);
    EXPECT_EQ(log[1].Word(), 6u);
    EXPECT_EQ(log[4].Text(), "new");
    EXPECT_EQ(log[4].param, 0x2Bu);
    EXPECT_EQ(log[4].idx[1], 1u);
}

TEST(QmSimServer, RefusesWithoutTouchingTheTableOrTheBuffer) {
    QmSimServer server;
    server.DefineWord({0x7, 0x2A, {0, 1, 0, 0}}, QMSIM_BOOL, 1);
    server.DefineWord(kWord, QMSIM_ENUM, 3);
    server.DefineText(kText, "t");
    const QmSimKey missing{0x100, 0x2A, {0, 0, 0, 0}};
    struct Row {
        unsigned int id;
        const QmSimKey& key;
        uint32_t length;
        int32_t status;
    } rows[] = {
        {0x810D, missing, 4, QMSIM_UNKNOWN_PARAM},
        {0x810B, kWord, 8, QMSIM_WRONG_TYPE},
        {0x810D, kWord, 256, QMSIM_WRONG_TYPE},
        {0x810D, kText, 4, QMSIM_WRONG_TYPE},
        {0x810B, kText, 257, QMSIM_BAD_RECORD},
        {0x8101, kWord, 4, QMSIM_UNKNOWN_ID},
        {0x800F, {0x7, 0x2A, {0, 1, 0, 0}}, 4, QMSIM_AMBIGUOUS_ID},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        char buffer[300] = {'x'};
        EXPECT_EQ(Send(server, row.id, row.key, row.length, buffer), row.status);
        EXPECT_EQ(buffer[0], 'x');
        EXPECT_EQ(buffer[1], '\0');
    }
    EXPECT_EQ(server.MsgCall(0x810D, 0, 0), QMSIM_BAD_RECORD);
    QmSimParam param{};
    ASSERT_TRUE(server.Find({0x7, 0x2A, {0, 1, 0, 0}}, param));
    EXPECT_EQ(param.word, 1u);
    ASSERT_TRUE(server.Find(kWord, param));
    EXPECT_EQ(param.word, 3u);
    std::vector<QmSimMessage> log = server.Log();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[6].kind, QMSIM_AMBIGUOUS);
    EXPECT_EQ(log[6].mid, 0u);
    EXPECT_FALSE(log[7].has_record);
}

TEST(QmSimServer, MidsDifferingInTheKindBitsAreOneParameter) {
    QmSimServer server;
    server.DefineWord({0x101, 0x2A, {0, 1, 0, 0}}, QMSIM_INT, 5);
    uint32_t word = 0;
    EXPECT_EQ(Send(server, 0x100 | 0x800D, kWord, 4, &word), QMSIM_OK);
    EXPECT_EQ(word, 5u);
    server.DefineWord(kWord, QMSIM_INT, 6);
    EXPECT_EQ(server.Size(), 1u);
}

TEST(QmSimServer, DestructorUninstallsItself) {
    {
        QmSimServer server;
        QmMbAgent::m_svr = &server;
    }
    EXPECT_EQ(QmMbAgent::m_svr, nullptr);
    // The messaging library's own mailbox answers nothing.
    QmMailbox mailbox;
    uint32_t word = 9;
    QmMsgRecord record{1, {0, 0, 0, 0}, 7, 4, &word};
    EXPECT_EQ(mailbox.MsgCall(0x810D, reinterpret_cast<unsigned long>(&record), 0), 0);
    EXPECT_EQ(word, 9u);
    EXPECT_EQ(record.status, 7);
}

TEST(QmSimServer, DocumentOfParametersRoundTrips) {
    QmSimServer server;
    server.DefineWord({0x100, 1, {0, 0, 0, 0}}, QMSIM_INT, static_cast<uint32_t>(-3));
    server.DefineWord({0x100, 2, {0, 0, 0, 0}}, QMSIM_ENUM, 1);
    server.DefineText({0x100, 3, {0, 0, 0, 0}}, "eth0");
    server.DefineWord({0x100, 4, {0, 0, 0, 1}}, QMSIM_BOOL, 0);
    QmMbAgent::m_svr = &server;

    ParamDocument document;
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    EXPECT_EQ(out.str(),
              "{\"100.1.0.0.0.0i\":-3,\"100.2.0.0.0.0i\":\"On\",\"100.3.0.0.0.0s\":\"eth0\","
              "\"100.4.0.0.0.1b\":\"false\"}");

    std::istringstream in(
        "{\"100.1.0.0.0.0i\":42,\"100.2.0.0.0.0i\":\"0\",\"100.3.0.0.0.0s\":\"wlan1\","
        "\"100.4.0.0.0.1b\":\"true\"}");
    EXPECT_TRUE(document.ProcessDocumentStream(in, nullptr));
    QmMbAgent::m_svr = nullptr;

    QmSimParam param{};
    const uint32_t words[] = {42, 0, 0, 1};
    for (uint32_t p = 1; p <= 4; ++p) {
        SCOPED_TRACE(p);
        ASSERT_TRUE(server.Find({0x100, p, {0, 0, 0, p == 4 ? 1u : 0u}}, param));
        if (p == 3) {
            EXPECT_EQ(param.text, "wlan1");
        } else {
            EXPECT_EQ(param.word, words[p - 1]);
        }
    }
    // One get per node, then one set per node, each in tree order, all answered.
    std::vector<QmSimMessage> log = server.Log();
    ASSERT_EQ(log.size(), 8u);
    for (size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log[i].id, i < 4 ? 0x810Du : 0x810Bu);
        EXPECT_EQ(log[i].param, i % 4 + 1);
        EXPECT_EQ(log[i].length, i % 4 == 2 ? (i < 4 ? 256u : 5u) : 4u);
        EXPECT_EQ(log[i].status, QMSIM_OK);
    }
}
