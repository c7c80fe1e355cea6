#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <webjson/webjson.h>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::Write;

namespace {

// One message as the mailbox received it.
struct Call {
    unsigned int id;
    int third;
    std::vector<uint32_t> words;  // param, the four index words, status, length
    std::string sent;             // a set's data bytes
};

// Records every message; answers a get of length 4 with `word` and any other get with `answer`.
class RecordingServer : public QmMailbox {
  public:
    int MsgCall(unsigned int id, unsigned long data, int third) override {
        QmMsgRecord* r = reinterpret_cast<QmMsgRecord*>(data);
        calls.push_back({id,
                         third,
                         {r->param, r->idx[0], r->idx[1], r->idx[2], r->idx[3],
                          static_cast<uint32_t>(r->status), r->length},
                         {}});
        char* bytes = static_cast<char*>(r->data);
        if ((id & 0xF) == 0xD) {
            if (r->length == 4) {
                std::memcpy(bytes, &word, 4);
            } else {
                std::memcpy(bytes, answer.data(), std::min<size_t>(answer.size(), r->length));
            }
        } else {
            calls.back().sent.assign(bytes, r->length);
            if (r->length != 4) {
                EXPECT_EQ(bytes[r->length], '\0');  // a text is sent with its terminating zero
            }
        }
        r->status = -1;  // ignored by the node
        return -1;
    }
    std::vector<Call> calls;
    uint32_t word = 0;
    std::string answer;
};

class ParamTest : public ::testing::Test {
  protected:
    void SetUp() override { QmMbAgent::m_svr = &server; }
    void TearDown() override { QmMbAgent::m_svr = nullptr; }

    // Exactly one message went out, with this id and the record words of a kIdx node.
    void ExpectOneCall(unsigned int id, uint32_t length) {
        ASSERT_EQ(server.calls.size(), 1u);
        EXPECT_EQ(server.calls[0].id, id);
        EXPECT_EQ(server.calls[0].third, 0);
        EXPECT_EQ(server.calls[0].words,
                  (std::vector<uint32_t>{0x2A, 0, 1, 2, 0xFFFFFFFF, 0, length}));
    }

    RecordingServer server;
};

const char* kOffOn[] = {"Off", "On"};
const char* kHole[] = {"Off", nullptr};
const idx_t kIdx{0, 1, 2, 0xFFFFFFFF};
const JParamType kOther = static_cast<JParamType>(7);

}  // namespace

TEST(JsonSchemaParam, NameIsTheIdText) {
    const idx_t zero{0, 0, 0, 0};
    const uint32_t max = 0xFFFFFFFF;
    struct Row {
        JParamType type;
        unsigned int mid, param;
        idx_t idx;
        const char* name;
    } rows[] = {
        {PARAM_INT, 0x100, 0x2A, zero, "100.2A.0.0.0.0i"},
        {PARAM_ENUM, 0x100, 0x2A, zero, "100.2A.0.0.0.0i"},
        {PARAM_STRING, 0x100, 0x2A, zero, "100.2A.0.0.0.0s"},
        {PARAM_BOOL, 0x100, 0x2C, {0, 1, 0, 0}, "100.2C.0.1.0.0b"},
        {kOther, 0x100, 0x2A, zero, "100.2A.0.0.0.0i"},
        {PARAM_INT, 0x100, 0x2A, {max, 0, 0, 0}, "100.2A.FFFFFFFF.0.0.0i"},
        {PARAM_BOOL,
         max,
         max,
         {max, max, max, max},
         "FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFFb"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        JsonSchemaParam node(row.type, row.mid, row.param, row.idx, nullptr, 0);
        EXPECT_EQ(node.GetName(), row.name);
        EXPECT_EQ(node.GetMid(), row.mid);
        EXPECT_EQ(node.GetParam(), row.param);
        EXPECT_EQ(node.GetParamType(), row.type);
    }
}

TEST_F(ParamTest, CompileWritesTheAnswerOfOneGet) {
    const std::string full(256, 'x');
    struct Row {
        JParamType type;
        uint32_t word;
        std::string answer;
        const char** texts;
        std::string expected;
    } rows[] = {
        {PARAM_INT, 0xFFFFFFFB, "", nullptr, "-5"},
        {PARAM_ENUM, 1, "", kOffOn, "\"On\""},
        {PARAM_ENUM, 2, "", kOffOn, "\"2\""},
        {PARAM_ENUM, 0xFFFFFFFF, "", kOffOn, "\"4294967295\""},
        {PARAM_ENUM, 1, "", kHole, "\"1\""},
        {PARAM_ENUM, 1, "", nullptr, "\"1\""},
        {PARAM_STRING, 0, std::string("ab\0cd", 5), nullptr, "\"ab\""},
        {PARAM_STRING, 0, full, nullptr, "\"" + full + "\""},
        {PARAM_BOOL, 5, "", nullptr, "\"true\""},
        {PARAM_BOOL, 0, "", nullptr, "\"false\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected.substr(0, 16));
        server.calls.clear();
        server.word = row.word;
        server.answer = row.answer;
        JsonSchemaParam node(row.type, 0x100, 0x2A, kIdx, row.texts, 2);
        bool ok = false;
        EXPECT_EQ(Write(node, false, &ok), row.expected);
        EXPECT_TRUE(ok);
        ExpectOneCall(0x810D, row.type == PARAM_STRING ? 256 : 4);
    }
}

TEST_F(ParamTest, FormatSendsOneSetOfTheConvertedValue) {
    struct Row {
        JParamType type;
        const char* json;
        std::string sent;
    } rows[] = {
        {PARAM_INT, "-5", std::string("\xFB\xFF\xFF\xFF", 4)},
        {PARAM_ENUM, "\"12abc\"", std::string("\x0C\0\0\0", 4)},
        {PARAM_ENUM, "\"On\"", std::string(4, '\0')},
        {PARAM_ENUM, "\"99999999999\"", std::string("\xFF\xFF\xFF\x7F", 4)},
        {PARAM_BOOL, "\"true\"", std::string("\x01\0\0\0", 4)},
        {PARAM_BOOL, "\"TRUE\"", std::string(4, '\0')},
        {PARAM_BOOL, "\"1\"", std::string(4, '\0')},
        {PARAM_STRING, "\"abc\"", "abc"},
        {PARAM_STRING, "\"\"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.json);
        server.calls.clear();
        JsonSchemaParam node(row.type, 0x100, 0x2A, kIdx, kOffOn, 2);
        EXPECT_TRUE(Read(node, std::string(row.json) + " "));  // a number needs an end
        ExpectOneCall(0x810B, static_cast<uint32_t>(row.sent.size()));
        if (!server.calls.empty()) {
            EXPECT_EQ(server.calls[0].sent, row.sent);
        }
    }
}

TEST_F(ParamTest, NothingIsSentForUnknownTypesFailedReadsAndDisabledNodes) {
    JsonSchemaParam other(kOther, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_EQ(Write(other), "");
    EXPECT_TRUE(Read(other, "{\"a\":[1,2]}"));

    JsonSchemaParam number(PARAM_INT, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam text(PARAM_STRING, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_FALSE(Read(number, "\"5\""));
    EXPECT_FALSE(Read(text, "5"));

    number.SetEnable(false);
    bool ok = false;
    EXPECT_EQ(Write(number, true, &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Read(number, "5"));
    EXPECT_TRUE(server.calls.empty());
}

TEST_F(ParamTest, CloneKeepsTheIdButNotTheTexts) {
    JsonSchemaParam node(PARAM_ENUM, 0x100, 0x2A, kIdx, kOffOn, 2);
    node.SetEnable(false);
    JsonSchema* clone = node.Clone();
    EXPECT_EQ(clone->GetName(), node.GetName());
    server.word = 1;
    EXPECT_EQ(Write(*clone), "\"1\"");  // enabled, and numbers instead of texts
    delete clone;
    ExpectOneCall(0x810D, 4);
}

TEST_F(ParamTest, KindBitsOfTheMidMergeIntoTheIds) {
    JsonSchemaParam node(PARAM_BOOL, 0x7, 0x2A, kIdx, nullptr, 0);
    Write(node);
    EXPECT_TRUE(Read(node, "\"true\""));
    ASSERT_EQ(server.calls.size(), 2u);
    EXPECT_EQ(server.calls[0].id, 0x800Fu);
    EXPECT_EQ(server.calls[1].id, 0x800Fu);
}

TEST_F(ParamTest, ListSendsOneMessagePerNodeInTreeOrder) {
    JsonSchemaList list("");
    list.AddNew(new JsonSchemaParam(PARAM_INT, 0x100, 1, kIdx, nullptr, 0));
    list.AddNew(new JsonSchemaInt("plain", 0));
    list.AddNew(new JsonSchemaParam(PARAM_INT, 0x100, 2, kIdx, nullptr, 0));
    list.AddNew(new JsonSchemaParam(PARAM_INT, 0x100, 3, kIdx, nullptr, 0));
    server.word = 9;
    EXPECT_EQ(Write(list),
              "{\"100.1.0.1.2.FFFFFFFFi\":9,\"plain\":0,\"100.2.0.1.2.FFFFFFFFi\":9,"
              "\"100.3.0.1.2.FFFFFFFFi\":9}");
    // Reading follows the text's order.
    EXPECT_TRUE(Read(list,
                     "{\"100.3.0.1.2.FFFFFFFFi\":30,\"plain\":1,\"100.1.0.1.2.FFFFFFFFi\":10,"
                     "\"100.2.0.1.2.FFFFFFFFi\":20}"));
    std::vector<std::pair<unsigned int, uint32_t>> seen;
    for (const Call& call : server.calls)
        seen.emplace_back(call.id, call.words[0]);
    const std::vector<std::pair<unsigned int, uint32_t>> expected{
        {0x810D, 1}, {0x810D, 2}, {0x810D, 3}, {0x810B, 3}, {0x810B, 1}, {0x810B, 2}};
    EXPECT_EQ(seen, expected);
}

TEST(QmMbAgent, WithoutAServerNothingIsSentAndTheBufferStaysZero) {
    ASSERT_EQ(QmMbAgent::m_svr, nullptr);
    JsonSchemaParam number(PARAM_INT, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam text(PARAM_STRING, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam choice(PARAM_ENUM, 0x100, 0x2A, kIdx, kOffOn, 2);
    EXPECT_EQ(Write(number) + Write(text) + Write(choice), "0\"\"\"Off\"");
    EXPECT_EQ(QmMbAgent::MsgCall(0x810D, 0), 0);
}
