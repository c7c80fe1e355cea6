// Parameter nodes, the messages they send through the agent, and the simulated control server.
#include <memory>

#include <webjson/qm_simserver.h>

#include "test_support.h"

namespace {

const char* kOffOn[] = {"Off", "On"};
const char* kHole[] = {"Off", nullptr};
const idx_t kIdx{5, 1, 2, 0xFFFFFFFF};

}  // namespace

// The name says id, index and type; writing sends one get and writes its answer; reading sends
// one set of the converted value.
TEST(JsonSchemaParam, NamesGetsAndSets) {
    const std::string record = "2a.5.1.2.ffffffff.0.";
    for (const auto& c : Cases("params")) {  // names, gets and sets
        RecordingMailbox mailbox;
        mailbox.status = -1;  // ignored
        const auto type = static_cast<JParamType>(std::stoi(c[1]));
        auto hex = [&c](std::size_t k) {
            return static_cast<uint32_t>(std::stoul(c[k], nullptr, 16));
        };
        if (c[0] == "name") {
            const idx_t idx{hex(4), hex(5), hex(6), hex(7)};
            EXPECT_EQ(JsonSchemaParam(type, hex(2), hex(3), idx, nullptr, 0).GetName(), c[8]);
            continue;
        }
        if (c[0] == "get") {
            mailbox.word = static_cast<uint32_t>(std::stoul(c[2]));
            mailbox.answer = c[3];
            JsonSchemaParam node(type, 0x100, 0x2A, kIdx,
                                 c[4] == "offon"  ? kOffOn
                                 : c[4] == "hole" ? kHole
                                                  : nullptr,
                                 2);
            bool ok = false;
            EXPECT_EQ(Write(node, false, &ok), c[5]);
            EXPECT_TRUE(ok);
            EXPECT_EQ(Sent(mailbox),
                      "810d:" + record + (type == PARAM_STRING ? "100" : "4") + ".;");
            continue;
        }
        JsonSchemaParam node(type, 0x100, 0x2A, kIdx, kOffOn, 2);
        EXPECT_TRUE(Read(node, c[2] + " "));  // a number needs an end
        std::ostringstream length;
        length << std::hex << c[3].size();
        EXPECT_EQ(Sent(mailbox), "810b:" + record + length.str() + "." + c[3] + ";") << c[2];
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
    bool ok = false;  // a disabled node writes nothing, successfully
    EXPECT_TRUE(Write(number, true, &ok).empty() && ok && Sent(mailbox).empty());
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
}
