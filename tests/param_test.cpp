#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Read;
using testing_support::RecordingMailbox;
using testing_support::Write;

namespace {

const char* kOffOn[] = {"Off", "On"};
const char* kHole[] = {"Off", nullptr};
const idx_t kIdx{0, 1, 2, 0xFFFFFFFF};
const JParamType kOther = static_cast<JParamType>(7);

std::string Name(JParamType type, unsigned int mid, unsigned int param, idx_t idx) {
    return JsonSchemaParam(type, mid, param, idx, nullptr, 0).GetName();
}

// Exactly one message went out, with this id, third argument 0 and the record of a kIdx node.
void ExpectOneCall(const RecordingMailbox& mailbox, unsigned int id, uint32_t length) {
    ASSERT_EQ(mailbox.sent.size(), 1u);
    EXPECT_EQ(mailbox.sent[0].id, id);
    EXPECT_EQ(mailbox.sent[0].third, 0);
    EXPECT_EQ(mailbox.sent[0].words, (std::vector<uint32_t>{0x2A, 0, 1, 2, 0xFFFFFFFF, 0, length}));
}

// What a node writes when the server answers its one get with `word` or the bytes of `answer`.
std::string Fetched(JParamType type, uint32_t word, const std::string& answer = "",
                    const char** texts = kOffOn) {
    SCOPED_TRACE(testing::Message() << "type " << type << ", answer " << word << answer.size());
    RecordingMailbox mailbox;
    mailbox.word = word;
    mailbox.answer = answer;
    mailbox.status = -1;  // ignored
    JsonSchemaParam node(type, 0x100, 0x2A, kIdx, texts, 2);
    bool ok = false;
    const std::string text = Write(node, false, &ok);
    EXPECT_TRUE(ok);
    ExpectOneCall(mailbox, 0x810D, type == PARAM_STRING ? 256 : 4);
    return text;
}

// The data bytes of the one set a node sends after reading json.
std::string Sent(JParamType type, const std::string& json) {
    SCOPED_TRACE(json);
    RecordingMailbox mailbox;
    mailbox.status = -1;  // ignored
    JsonSchemaParam node(type, 0x100, 0x2A, kIdx, kOffOn, 2);
    EXPECT_TRUE(Read(node, json + " "));  // a number needs an end
    const std::string data = mailbox.sent.empty() ? "" : mailbox.sent[0].data;
    ExpectOneCall(mailbox, 0x810B, static_cast<uint32_t>(data.size()));
    return data;
}

std::string Word(uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

}  // namespace

TEST(JsonSchemaParam, NameIsTheIdText) {
    const uint32_t m = 0xFFFFFFFF;
    EXPECT_EQ(Name(PARAM_INT, 0x100, 0x2A, {0, 0, 0, 0}), "100.2A.0.0.0.0i");
    EXPECT_EQ(Name(PARAM_STRING, 0x100, 0x2A, {0, 0, 0, 0}), "100.2A.0.0.0.0s");
    EXPECT_EQ(Name(PARAM_BOOL, 0x100, 0x2C, {0, 1, 0, 0}), "100.2C.0.1.0.0b");
    EXPECT_EQ(Name(kOther, 0x100, 0x2A, {m, 0, 0, 0}), "100.2A.FFFFFFFF.0.0.0i");
    EXPECT_EQ(Name(PARAM_BOOL, m, m, {m, m, m, m}),
              "FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFF.FFFFFFFFb");
}

TEST(JsonSchemaParam, CompileWritesTheAnswerOfOneGet) {
    const std::string full(256, 'x');
    EXPECT_EQ(Fetched(PARAM_INT, 0xFFFFFFFB), "-5");
    EXPECT_EQ(Fetched(PARAM_ENUM, 1), "\"On\"");
    EXPECT_EQ(Fetched(PARAM_ENUM, 2), "\"2\"");
    EXPECT_EQ(Fetched(PARAM_ENUM, 0xFFFFFFFF), "\"4294967295\"");
    EXPECT_EQ(Fetched(PARAM_ENUM, 1, "", kHole), "\"1\"");
    EXPECT_EQ(Fetched(PARAM_ENUM, 1, "", nullptr), "\"1\"");  // the count is ignored
    EXPECT_EQ(Fetched(PARAM_STRING, 0, std::string("ab\0cd", 5)), "\"ab\"");
    EXPECT_EQ(Fetched(PARAM_STRING, 0, full), "\"" + full + "\"");  // no zero byte: all 256
    EXPECT_EQ(Fetched(PARAM_BOOL, 5), "\"true\"");
    EXPECT_EQ(Fetched(PARAM_BOOL, 0), "\"false\"");
}

TEST(JsonSchemaParam, FormatSendsOneSetOfTheConvertedValue) {
    EXPECT_EQ(Sent(PARAM_INT, "-5"), Word(0xFFFFFFFB));
    EXPECT_EQ(Sent(PARAM_ENUM, "\"12abc\""), Word(12));
    EXPECT_EQ(Sent(PARAM_ENUM, "\"On\""), Word(0));
    EXPECT_EQ(Sent(PARAM_ENUM, "\"99999999999\""), Word(0x7FFFFFFF));  // saturated
    EXPECT_EQ(Sent(PARAM_BOOL, "\"true\""), Word(1));
    EXPECT_EQ(Sent(PARAM_BOOL, "\"TRUE\""), Word(0));
    EXPECT_EQ(Sent(PARAM_BOOL, "\"1\""), Word(0));
    EXPECT_EQ(Sent(PARAM_STRING, "\"abc\""), "abc");  // the length leaves out the zero byte
    EXPECT_EQ(Sent(PARAM_STRING, "\"\""), "");
}

TEST(JsonSchemaParam, NothingIsSentForUnknownTypesFailedReadsAndDisabledNodes) {
    RecordingMailbox mailbox;
    JsonSchemaParam other(kOther, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_EQ(Write(other), "");
    {
        // Its value is skipped whole: the reader stands after it.
        std::istringstream in("{\"a\":[1,2]},7 ");
        JsonReadDocument reader(in);
        EXPECT_TRUE(other.Format(reader, false));
        int after = 0;
        EXPECT_TRUE(reader.Deserialize(JSON_INT, JsonSchema::_nullstr, &after));
        EXPECT_EQ(after, 7);
    }
    JsonSchemaParam number(PARAM_INT, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam text(PARAM_STRING, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_FALSE(Read(number, "\"5\""));
    EXPECT_FALSE(Read(text, "5"));
    number.SetEnable(false);
    bool ok = false;
    EXPECT_EQ(Write(number, true, &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Read(number, "5"));
    EXPECT_TRUE(mailbox.sent.empty());
}

TEST(JsonSchemaParam, CloneKeepsTheIdButNotTheTexts) {
    RecordingMailbox mailbox;
    JsonSchemaParam node(PARAM_ENUM, 0x100, 0x2A, kIdx, kOffOn, 2);
    node.SetEnable(false);
    std::unique_ptr<JsonSchema> clone(node.Clone());
    EXPECT_EQ(clone->GetName(), node.GetName());
    mailbox.word = 1;
    EXPECT_EQ(Write(*clone), "\"1\"");  // enabled, and numbers instead of texts
    ExpectOneCall(mailbox, 0x810D, 4);
}

// Ids are the mid OR'ed with the kind bits; a list sends one get per node in tree order, and
// one set per member in the order of the text read.
TEST(JsonSchemaParam, MessageIdsAndOrder) {
    RecordingMailbox mailbox;
    JsonSchemaParam merged(PARAM_BOOL, 0x7, 0x2A, kIdx, nullptr, 0);
    Write(merged);
    EXPECT_TRUE(Read(merged, "\"true\""));
    JsonSchemaList list("");
    for (uint32_t param : {1, 2})
        list.AddNew(new JsonSchemaParam(PARAM_INT, 0x100, param, kIdx, nullptr, 0));
    mailbox.word = 9;
    EXPECT_EQ(Write(list), R"({"100.1.0.1.2.FFFFFFFFi":9,"100.2.0.1.2.FFFFFFFFi":9})");
    EXPECT_TRUE(Read(list, R"({"100.2.0.1.2.FFFFFFFFi":20,"100.1.0.1.2.FFFFFFFFi":10})"));
    std::vector<std::pair<unsigned int, uint32_t>> seen;
    for (const RecordingMailbox::Sent& call : mailbox.sent)
        seen.emplace_back(call.id, call.words[0]);
    const std::vector<std::pair<unsigned int, uint32_t>> expected{
        {0x800F, 0x2A}, {0x800F, 0x2A}, {0x810D, 1}, {0x810D, 2}, {0x810B, 2}, {0x810B, 1}};
    EXPECT_EQ(seen, expected);
}

TEST(QmMbAgent, WithoutAServerNothingIsSentAndTheBufferStaysZero) {
    ASSERT_EQ(QmMbAgent::m_svr, nullptr);
    JsonSchemaParam number(PARAM_INT, 0x100, 0x2A, kIdx, nullptr, 0);
    JsonSchemaParam text(PARAM_STRING, 0x100, 0x2A, kIdx, nullptr, 0);
    EXPECT_EQ(Write(number) + Write(text), "0\"\"");
    EXPECT_EQ(QmMbAgent::MsgCall(0x810D, 0), 0);
}
