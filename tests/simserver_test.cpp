#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <webjson/qm_simserver.h>

#include "test_support.h"

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

// The status of a message that the server refuses without writing to the data buffer.
int32_t Refused(QmSimServer& server, unsigned int id, const QmSimKey& key, uint32_t length) {
    char buffer[300] = {'x'};
    const int32_t status = Send(server, id, key, length, buffer);
    EXPECT_EQ(std::string(buffer, 2), std::string("x\0", 2));
    return status;
}

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
    EXPECT_EQ(Send(server, 0x810D, kText, 257, text), QMSIM_OK);
    EXPECT_STREQ(text, "new");
    // 256 characters with their zero byte fit; 257 characters do not.
    std::string full(256, 'f');
    EXPECT_EQ(Send(server, 0x810B, kText, 257, &full[0]), QMSIM_OK);
    std::string over(257, 'o');
    EXPECT_EQ(Send(server, 0x810B, kText, 257, &over[0]), QMSIM_BAD_RECORD);
    QmSimParam param{};
    ASSERT_TRUE(server.Find(kText, param));
    EXPECT_EQ(param.text, full);
}

TEST(QmSimServer, RefusesWithoutTouchingTheTableOrTheBuffer) {
    QmSimServer server;
    const QmSimKey merged{0x7, 0x2A, {0, 1, 0, 0}};
    server.DefineWord(merged, QMSIM_BOOL, 1);
    server.DefineWord(kWord, QMSIM_ENUM, 3);
    server.DefineText(kText, "t");
    EXPECT_EQ(Refused(server, 0x810D, {0x100, 0x2A, {0, 0, 0, 0}}, 4), QMSIM_UNKNOWN_PARAM);
    EXPECT_EQ(Refused(server, 0x810B, kWord, 8), QMSIM_WRONG_TYPE);
    EXPECT_EQ(Refused(server, 0x810D, kText, 4), QMSIM_WRONG_TYPE);
    EXPECT_EQ(Refused(server, 0x810B, kText, 258), QMSIM_BAD_RECORD);
    EXPECT_EQ(Refused(server, 0x8101, kWord, 4), QMSIM_UNKNOWN_ID);
    EXPECT_EQ(Refused(server, 0x800F, merged, 4), QMSIM_AMBIGUOUS_ID);
    EXPECT_EQ(server.MsgCall(0x810D, 0, 0), QMSIM_BAD_RECORD);
    QmSimParam param{};
    ASSERT_TRUE(server.Find(merged, param));
    EXPECT_EQ(param.word, 1u);
    ASSERT_EQ(server.Log().size(), 7u);
    EXPECT_EQ(server.Log()[5].kind, QMSIM_AMBIGUOUS);
}

// Parameter nodes through the server: a text is set without its zero byte, and mids that differ
// only in the kind bits (0x101 and 0x100) are one parameter.
TEST(QmSimServer, ServesParameterNodes) {
    QmSimServer server;
    server.DefineText({0x100, 3, {0, 0, 0, 0}}, "eth0");
    server.DefineWord({0x101, 4, {0, 0, 0, 1}}, QMSIM_BOOL, 0);
    {
        QmSimServer other;
        QmMbAgent::m_svr = &other;
    }
    EXPECT_EQ(QmMbAgent::m_svr, nullptr);  // a server uninstalls itself
    QmMbAgent::m_svr = &server;
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaParam(PARAM_STRING, 0x100, 3, idx_t{0, 0, 0, 0}, nullptr, 0));
    root.AddNew(new JsonSchemaParam(PARAM_BOOL, 0x100, 4, idx_t{0, 0, 0, 1}, nullptr, 0));
    EXPECT_EQ(testing_support::Write(root),
              R"({"100.3.0.0.0.0s":"eth0","100.4.0.0.0.1b":"false"})");
    EXPECT_TRUE(
        testing_support::Read(root, R"({"100.3.0.0.0.0s":"wlan1","100.4.0.0.0.1b":"true"})"));
    QmMbAgent::m_svr = nullptr;
    QmSimParam text{}, flag{};
    ASSERT_TRUE(server.Find({0x100, 3, {0, 0, 0, 0}}, text));
    ASSERT_TRUE(server.Find({0x101, 4, {0, 0, 0, 1}}, flag));
    EXPECT_EQ(text.text + ":" + std::to_string(flag.word), "wlan1:1");
}
