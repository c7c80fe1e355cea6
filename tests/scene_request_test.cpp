#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include <webjson/webjson.h>
#include "qm_mailbox.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

// One message as the server saw it: the id, the record's words and the data bytes.
struct Sent {
    unsigned int id;
    uint32_t param;
    uint32_t idx[4];
    int32_t status;
    uint32_t length;
    std::string data;
};

// Records every message and answers with the statuses queued (0 when none is left).
class RecordingMailbox : public QmMailbox {
  public:
    int MsgCall(unsigned int id, unsigned long data, int third) override {
        auto* record = reinterpret_cast<QmMsgRecord*>(data);
        Sent s{id, record->param, {}, record->status, record->length, {}};
        std::memcpy(s.idx, record->idx, sizeof s.idx);
        s.data.assign(static_cast<const char*>(record->data), record->length);
        sent.push_back(s);
        thirds.push_back(third);
        if (!statuses.empty()) {
            record->status = statuses.front();
            statuses.pop_front();
        }
        return 0;
    }
    std::vector<Sent> sent;
    std::vector<int> thirds;
    std::deque<int32_t> statuses;
};

std::string Word(int32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

std::string Post(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string text = R"({"attributes":[)";
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (i) text += ",";
        text += R"({"name":")" + pairs[i].first + R"(","value":")" + pairs[i].second + "\"}";
    }
    return text + "]}";
}

class SceneRequest : public ::testing::Test {
  protected:
    void SetUp() override { QmMbAgent::m_svr = &mailbox; }
    void TearDown() override { QmMbAgent::m_svr = nullptr; }

    bool Process(JsonDocumentSchema& request, const std::string& text,
                 JsonSchemaList* list = nullptr) {
        std::istringstream in(text);
        return request.ProcessDocumentStream(in, list);
    }

    RecordingMailbox mailbox;
};

}  // namespace

TEST_F(SceneRequest, SendsOneSetMessagePerUsablePair) {
    struct Case {
        const char* name;
        const char* value;
        bool sent;
        unsigned int id;
        uint32_t words[5];
        std::string data;
    } cases[] = {
        {"100.2A.0.0.0.0i", "42", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(42)},
        {"100.2C.0.1.0.0b", "true", true, 0x810B, {0x2C, 0, 1, 0, 0}, Word(1)},
        {"100.2C.0.1.0.0b", "false", true, 0x810B, {0x2C, 0, 1, 0, 0}, Word(0)},
        {"100.2C.0.1.0.0b", "TRUE", false, 0, {}, ""},
        {"100.2C.0.1.0.0b", "1", false, 0, {}, ""},
        {"7.1.0.0.0.0s", "hello", true, 0x800F, {1, 0, 0, 0, 0}, std::string("hello", 6)},
        {"100.2A.0.0.0.0i", "abc", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(0)},
        {"100.2A.0.0.0.0i", " -12abc", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(-12)},
        {"100.2A.0.0.0.0i", "99999999999", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(INT32_MAX)},
        {"100.2a.0.0.0.0i", "1", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(1)},
        {"100.2A.0.0.0.0ix", "1", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(1)},
        {"100.2A.0.0.0.0ib", "1", true, 0x810B, {0x2A, 0, 0, 0, 0}, Word(1)},
        {"100.2A.0.0.0.Bb", "true", true, 0x810B, {0x2A, 0, 0, 0, 0xB}, Word(1)},
        {" 0x100. +2A.\t0X1.-1.1FFFFFFFF.ffffffffi",
         "1",
         true,
         0x810B,
         {0x2A, 1, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
         Word(1)},
        {"100.2A.0.0.0i", "1", false, 0, {}, ""},
        {"100.2A.0.0.0.0", "1", false, 0, {}, ""},
        {"100.2A.0.0.0.0B", "1", false, 0, {}, ""},
        {"100.2A.0 .0.0.0i", "1", false, 0, {}, ""},
        {"100.2A.0.0.0.0x", "1", false, 0, {}, ""},
        {"speed", "1", false, 0, {}, ""},
        {"100.2A.0.0.0.0i", "", false, 0, {}, ""},
        {"100.2B.0.0.0.0s", "", false, 0, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.value);
        mailbox.sent.clear();
        mailbox.thirds.clear();
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(Process(request, Post({{c.name, c.value}})));
        ASSERT_EQ(mailbox.sent.size(), c.sent ? 1u : 0u);
        if (!c.sent) continue;
        const Sent& s = mailbox.sent[0];
        EXPECT_EQ(s.id, c.id);
        EXPECT_EQ(s.param, c.words[0]);
        for (int w = 0; w < 4; ++w)
            EXPECT_EQ(s.idx[w], c.words[w + 1]) << "index word " << w;
        EXPECT_EQ(s.status, 0);
        EXPECT_EQ(s.length, c.data.size());
        EXPECT_EQ(s.data, c.data);
        EXPECT_EQ(mailbox.thirds[0], 0);
    }
}

TEST_F(SceneRequest, NegativeStatusFailsButLaterPairsAreSent) {
    JsonSceneRequestVsysCtrl request;
    mailbox.statuses = {-5, 0};
    EXPECT_FALSE(Process(request, Post({{"1.1.0.0.0.0i", "1"}, {"1.2.0.0.0.0i", "2"}})));
    ASSERT_EQ(mailbox.sent.size(), 2u);
    EXPECT_EQ(mailbox.sent[1].param, 2u);

    mailbox.sent.clear();
    EXPECT_TRUE(Process(request, R"({"attributes":[]})"));
    EXPECT_TRUE(mailbox.sent.empty());

    // Without a server nothing answers: the status stays 0.
    QmMbAgent::m_svr = nullptr;
    EXPECT_TRUE(Process(request, Post({{"1.1.0.0.0.0i", "1"}})));
}

TEST_F(SceneRequest, UnreadablePostSendsNothing) {
    const char* posts[] = {
        R"({"attributes":[{"name":"1.1.0.0.0.0i","value":"1"},{"name":"1.2.0.0.0.0i"}]})",
        R"({"attributes":[{"name":"1.1.0.0.0.0i","value":1}]})",
        R"({"attributes":[{"name":"1.1.0.0.0.0i","value":"1"})",
        "",
    };
    for (const char* post : posts) {
        SCOPED_TRACE(post);
        JsonSceneRequestVsysCtrl request;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(Process(request, post));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Format Document failed\n");
        EXPECT_TRUE(mailbox.sent.empty());
        // The failed read left no pair behind.
        std::ostringstream out;
        request.GenerateDocumentStream(out, nullptr);
        EXPECT_EQ(out.str(), R"({"attributes":[]})");
    }
}

TEST_F(SceneRequest, PlainRequestRefusesWithoutReading) {
    JsonSceneRequest request;
    std::istringstream in(Post({{"1.1.0.0.0.0i", "1"}}));
    EXPECT_FALSE(request.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(in.tellg(), 0);
    EXPECT_TRUE(mailbox.sent.empty());
}

TEST_F(SceneRequest, PairsStayUntilTheNextPostAndAreWritten) {
    JsonSceneRequestVsysCtrl request;
    const std::string post = Post({{"1.1.0.0.0.0s", "a\\\"b"}, {"speed", "x"}});
    EXPECT_TRUE(Process(request, post));
    ASSERT_EQ(mailbox.sent.size(), 1u);
    EXPECT_EQ(mailbox.sent[0].data, std::string("a\"b", 4));
    std::ostringstream out;
    request.GenerateDocumentStream(out, nullptr);
    EXPECT_EQ(out.str(), post);

    // A caller's list is read instead of the request's tree, and the pairs walked are those
    // the previous post left.
    JsonSchemaList own("");
    own.AddNew(new JsonSchemaInt("n", 0));
    mailbox.sent.clear();
    EXPECT_TRUE(Process(request, R"({"n":5})", &own));
    EXPECT_EQ(own.GetObject("n")->GetValueInt(), 5);
    EXPECT_EQ(mailbox.sent.size(), 1u);
}

// Arrays of object nodes share one prototype class-wide; the first one registered wins.
TEST_F(SceneRequest, SharesTheObjectPrototypeWithOtherArrays) {
    using Objects = JsonSchemaArray<JsonSchemaList>;
    ASSERT_EQ(Objects::_ref, 0);
    const std::string post = Post({{"1.1.0.0.0.0i", "1"}});
    {
        // An empty prototype in force: every pair reads as an empty object without a name.
        Objects series("series", new JsonSchemaList(""));
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(Process(request, post));
        EXPECT_TRUE(mailbox.sent.empty());
        std::ostringstream out;
        request.GenerateDocumentStream(out, nullptr);
        EXPECT_EQ(out.str(), R"({"attributes":[{}]})");
    }
    EXPECT_EQ(Objects::_ref, 0);
    EXPECT_EQ(Objects::_element, nullptr);
    {
        // The request first: a caller's array then reads with name and value.
        JsonSceneRequestVsysCtrl request;
        auto* other = new JsonSchemaList("");
        other->AddNew(new JsonSchemaInt("n", 0));
        Objects mine("mine", other);
        ASSERT_NE(Objects::_element, other);
        delete other;  // not kept while the request's prototype is in force
        std::istringstream in(R"([{"name":"x","value":"y"}])");
        JsonReadDocument reader(in);
        EXPECT_TRUE(mine.Format(reader, false));
        ASSERT_EQ(mine.Size(), 1u);
        EXPECT_STREQ(mine.GetArray(0)->GetString("value"), "y");
        EXPECT_TRUE(Process(request, post));
        EXPECT_EQ(mailbox.sent.size(), 1u);
    }
    EXPECT_EQ(Objects::_ref, 0);
}
