// Parameter nodes, the messages they send through the agent, and the simulated control server.
#include <memory>

#include <webjson/qm_simserver.h>

#include "test_support.h"

namespace {

const char* kOffOn[] = {"Off", "On"};
const char* kHole[] = {"Off", nullptr};
const idx_t kIdx{5, 1, 2, 0xFFFFFFFF};
const uint32_t m = 0xFFFFFFFF;

}  // namespace

// Writing sends one get and writes its answer; reading sends one set of the converted value.
TEST(JsonSchemaParam, NamesGetsAndSets) {
    const struct {
        JParamType type;
        uint32_t mid, param;
        idx_t idx;
        const char* name;
    } names[] = {
        {PARAM_INT, 0x100, 0x2A, {0, 0, 0, 0}, "100.2A.0.0.0.0i"},
        {PARAM_STRING, 0x100, 0x2A, {0, 0, 0, 0}, "100.2A.0.0.0.0s"},
        {PARAM_BOOL, 0x100, 0x2C, {0, 1, 0, 0}, "100.2C.0.1.0.0b"},
        {static_cast<JParamType>(7), 0x100, 0x2A, {m, 0, 0, 0}, "100.2A.FFFFFFFF.0.0.0i"},
        {PARAM_BOOL, m, m, {m, m, m, m}, "FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFFb"},
    };
    for (const auto& c : names)
        EXPECT_EQ(JsonSchemaParam(c.type, c.mid, c.param, c.idx, nullptr, 0).GetName(), c.name);
    const std::string full(256, 'x');
    // clang-format off
    const struct {
        JParamType type;
        uint32_t word;
        std::string answer;
        const char** texts;
        std::string text;
    } gets[] = {
        {PARAM_INT, 0xFFFFFFFB, "", kOffOn, "-5"}, {PARAM_ENUM, 1, "", kOffOn, "\"On\""},
        {PARAM_ENUM, 2, "", kOffOn, "\"2\""},     {PARAM_ENUM, m, "", kOffOn, "\"4294967295\""},
        {PARAM_ENUM, 1, "", kHole, "\"1\""},      {PARAM_ENUM, 1, "", nullptr, "\"1\""},      {PARAM_ENUM, 0, "", nullptr, "\"0\""},
        {PARAM_STRING, 0, std::string("ab\0cd", 5), kOffOn, "\"ab\""},
        {PARAM_STRING, 0, full, kOffOn, "\"" + full + "\""},  // no zero byte: all 256
        {PARAM_BOOL, 5, "", kOffOn, "\"true\""},  {PARAM_BOOL, 0, "", kOffOn, "\"false\""},
    };
    const struct {
        JParamType type;
        const char* json;
        std::string data;
    } sets[] = {
        {PARAM_INT, "-5", Word(-5)},                {PARAM_ENUM, "\"12abc\"", Word(12)},
        {PARAM_ENUM, "\"On\"", Word(0)},            {PARAM_ENUM, "\"99999999999\"", Word(INT32_MAX)},
        {PARAM_ENUM, "\"-99999999999\"", Word(INT32_MIN)}, {PARAM_BOOL, "\"true\"", Word(1)},
        {PARAM_BOOL, "\"TRUE\"", Word(0)},          {PARAM_BOOL, "\"1\"", Word(0)},
        {PARAM_STRING, "\"abc\"", "abc"},           {PARAM_STRING, "\"\"", ""},  // no zero byte
    };
    // clang-format on
    const std::string record = "2a.5.1.2.ffffffff.0.";
    for (const auto& c : gets) {
        RecordingMailbox mailbox;
        mailbox.word = c.word;
        mailbox.answer = c.answer;
        mailbox.status = -1;  // ignored
        JsonSchemaParam node(c.type, 0x100, 0x2A, kIdx, c.texts, 2);
        bool ok = false;
        EXPECT_EQ(Write(node, false, &ok), c.text);
        EXPECT_TRUE(ok);
        EXPECT_EQ(Sent(mailbox), "810d:" + record + (c.type == PARAM_STRING ? "100" : "4") + ".;");
    }
    for (const auto& c : sets) {
        RecordingMailbox mailbox;
        mailbox.status = -1;  // ignored
        JsonSchemaParam node(c.type, 0x100, 0x2A, kIdx, kOffOn, 2);
        EXPECT_TRUE(Read(node, c.json + std::string(" ")));  // a number needs an end
        std::ostringstream length;
        length << std::hex << c.data.size();
        EXPECT_EQ(Sent(mailbox), "810b:" + record + length.str() + "." + c.data + ";") << c.json;
    }
}

// Unknown types, failed reads and disabled nodes send nothing; a clone keeps the id but not the
// texts; ids are the mid OR'ed with the kind bits; a list sends one get per node in tree order
// and one set per member in the order of the text read.
TEST(JsonSchemaParam, WhatIsSentAndInWhichOrder) {
    RecordingMailbox mailbox;
    JsonSchemaParam other(static_cast<JParamType>(7), 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_EQ(Write(other), "");
    std::istringstream in("{\"a\":[1,2]},7 ");  // its value is skipped whole
    JsonReadDocument reader(in);
    int after = 0;
    EXPECT_TRUE(other.Format(reader, false) &&
                reader.Deserialize(JSON_INT, JsonSchema::_nullstr, &after));
    EXPECT_EQ(after, 7);
    JsonSchemaParam number(PARAM_INT, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam text(PARAM_STRING, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_FALSE(Read(number, "\"5\"") || Read(text, "5"));
    number.SetEnable(false);
    EXPECT_TRUE(Read(number, "5"));
    EXPECT_EQ(Write(number, true) + Sent(mailbox), "");
    JsonSchemaParam node(PARAM_ENUM, 0x100, 0x2A, kIdx, kOffOn, 2),
        merged(PARAM_BOOL, 0x7, 0x2A, kIdx, nullptr, 0);
    node.SetEnable(false);
    std::unique_ptr<JsonSchema> clone(node.Clone());
    mailbox.word = 1;
    EXPECT_EQ(clone->GetName() + Write(*clone), node.GetName() + "\"1\"");
    mailbox.sent.clear();
    Write(merged);
    EXPECT_TRUE(Read(merged, "\"true\""));
    JsonSchemaList list("");
    for (uint32_t param : {1u, 2u})
        list.AddNew(new JsonSchemaParam(PARAM_INT, 0x100, param, kIdx, nullptr, 0));
    mailbox.word = 9;
    EXPECT_EQ(Write(list), R"({"100.1.5.1.2.FFFFFFFFi":9,"100.2.5.1.2.FFFFFFFFi":9})");
    EXPECT_TRUE(Read(list, R"({"100.2.5.1.2.FFFFFFFFi":20,"100.1.5.1.2.FFFFFFFFi":10})"));
    std::string ids;
    for (const RecordingMailbox::Sent& call : mailbox.sent)
        ids += std::to_string(call.id) + "/" + std::to_string(call.words[0]) + " ";
    EXPECT_EQ(ids, "32783/42 32783/42 33037/1 33037/2 33035/2 33035/1 ");
}

// Without a server nothing is sent and the buffer stays zero; with the simulated one, a text is
// set without its zero byte, and mids that differ only in the kind bits are one parameter.
TEST(QmSimServer, ServesParameterNodes) {
    JsonSchemaParam number(PARAM_INT, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam text(PARAM_STRING, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_EQ(Write(number) + Write(text), "0\"\"");
    EXPECT_EQ(QmMbAgent::MsgCall(0x810D, 0), 0);
    QmSimServer server;
    server.DefineText({0x100, 3, {0, 0, 0, 0}}, "eth0");
    server.DefineWord({0x101, 4, {0, 0, 0, 1}}, QMSIM_BOOL, 0);
    QmMbAgent::m_svr = &server;
    JsonSchemaList root("");
    root.AddNew(new JsonSchemaParam(PARAM_STRING, 0x100, 3, idx_t{0, 0, 0, 0}, nullptr, 0));
    root.AddNew(new JsonSchemaParam(PARAM_BOOL, 0x100, 4, idx_t{0, 0, 0, 1}, nullptr, 0));
    EXPECT_EQ(Write(root), R"({"100.3.0.0.0.0s":"eth0","100.4.0.0.0.1b":"false"})");
    EXPECT_TRUE(Read(root, R"({"100.3.0.0.0.0s":"wlan1","100.4.0.0.0.1b":"true"})"));
    EXPECT_EQ(Write(root), R"({"100.3.0.0.0.0s":"wlan1","100.4.0.0.0.1b":"true"})");
    QmMbAgent::m_svr = nullptr;
}
