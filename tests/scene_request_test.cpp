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

// Records each message (id, third argument, record, data bytes) and answers with the statuses
// queued, 0 when none is left.
class RecordingMailbox : public QmMailbox {
  public:
    struct Sent {
        unsigned int id;
        int third;
        QmMsgRecord record;
        std::string data;
    };
    int MsgCall(unsigned int id, unsigned long data, int third) override {
        auto* record = reinterpret_cast<QmMsgRecord*>(data);
        sent.push_back({id, third, *record,
                        std::string(static_cast<const char*>(record->data), record->length)});
        if (!statuses.empty()) {
            record->status = statuses.front();
            statuses.pop_front();
        }
        return 0;
    }
    std::vector<Sent> sent;
    std::deque<int32_t> statuses;
};

std::string Word(int32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

std::string Pair(const std::string& name, const std::string& value) {
    return R"({"name":")" + name + R"(","value":")" + value + "\"}";
}

class SceneRequest : public ::testing::Test {
  protected:
    void SetUp() override { QmMbAgent::m_svr = &mailbox; }
    void TearDown() override { QmMbAgent::m_svr = nullptr; }
    bool Process(JsonDocumentSchema& request, const std::string& pairs) {
        std::istringstream in(R"({"attributes":[)" + pairs + "]}");
        return request.ProcessDocumentStream(in, nullptr);
    }
    RecordingMailbox mailbox;
};

}  // namespace

TEST_F(SceneRequest, SendsOneSetMessagePerUsablePair) {
    const uint32_t kMax = 0xFFFFFFFF;
    struct Case {
        const char* name;
        const char* value;
        unsigned int id;  // 0: nothing is sent
        uint32_t words[5];
        std::string data;
    } cases[] = {
        {"100.2A.0.0.0.0i", "42", 0x810B, {0x2A, 0, 0, 0, 0}, Word(42)},
        {"100.2C.0.1.0.0b", "true", 0x810B, {0x2C, 0, 1, 0, 0}, Word(1)},
        {"100.2C.0.1.0.0b", "false", 0x810B, {0x2C, 0, 1, 0, 0}, Word(0)},
        {"100.2C.0.1.0.0b", "TRUE", 0, {}, ""},
        {"7.1.0.0.0.0s", "hello", 0x800F, {1, 0, 0, 0, 0}, std::string("hello", 6)},
        {"1.2.3.4.5.6s", "a\\\"b", 0x800B, {2, 3, 4, 5, 6}, std::string("a\"b", 4)},
        {"100.2A.0.0.0.0i", " -12abc", 0x810B, {0x2A, 0, 0, 0, 0}, Word(-12)},
        {"100.2A.0.0.0.0i", "99999999999", 0x810B, {0x2A, 0, 0, 0, 0}, Word(INT32_MAX)},
        {"100.2A.0.0.0.0ix", "1", 0x810B, {0x2A, 0, 0, 0, 0}, Word(1)},
        {"100.2A.0.0.0.0ib", "1", 0x810B, {0x2A, 0, 0, 0, 0}, Word(1)},
        {"100.2A.0.0.0.Bb", "true", 0x810B, {0x2A, 0, 0, 0, 0xB}, Word(1)},
        {" 0x100. +2a.\t0X1.-1.1FFFFFFFF.ffffffffi",
         "1",
         0x810B,
         {0x2A, 1, kMax, kMax, kMax},
         Word(1)},
        {"100.2A.0.0.0i", "1", 0, {}, ""},
        {"100.2A.0.0.0.0", "1", 0, {}, ""},
        {"100.2A.0.0.0.0B", "1", 0, {}, ""},
        {"100.2A.0 .0.0.0i", "1", 0, {}, ""},
        {"100.2A.0.0.0.0x", "1", 0, {}, ""},
        {"speed", "1", 0, {}, ""},
        {"100.2B.0.0.0.0s", "", 0, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.value);
        mailbox.sent.clear();
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(Process(request, Pair(c.name, c.value)));
        ASSERT_EQ(mailbox.sent.size(), c.id ? 1u : 0u);
        if (c.id == 0) continue;
        const auto& s = mailbox.sent[0];
        EXPECT_EQ(s.id, c.id);
        EXPECT_EQ(s.third, 0);
        EXPECT_EQ(s.record.param, c.words[0]);
        for (int w = 0; w < 4; ++w)
            EXPECT_EQ(s.record.idx[w], c.words[w + 1]) << "word " << w;
        EXPECT_EQ(s.record.status, 0);
        EXPECT_EQ(s.data, c.data);
    }
}

TEST_F(SceneRequest, FailuresAndUnreadablePosts) {
    JsonSceneRequestVsysCtrl request;
    // A negative status fails the post; the later pairs are still sent.
    mailbox.statuses = {-5, 0};
    EXPECT_FALSE(Process(request, Pair("1.1.0.0.0.0i", "1") + "," + Pair("1.2.0.0.0.0i", "2")));
    EXPECT_EQ(mailbox.sent.size(), 2u);

    // A post that cannot be read sends nothing, not even its good pairs.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Process(request, Pair("1.1.0.0.0.0i", "1") + R"(,{"name":"1.2.0.0.0.0i"})"));
    EXPECT_FALSE(Process(request, R"({"name":"1.1.0.0.0.0i","value":1})"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Format Document failed\nFormat Document failed\n");
    EXPECT_EQ(mailbox.sent.size(), 2u);
}

// Arrays of object nodes share one prototype class-wide; the first one registered is used.
TEST_F(SceneRequest, SharesTheObjectPrototypeWithOtherArrays) {
    using Objects = JsonSchemaArray<JsonSchemaList>;
    ASSERT_EQ(Objects::_ref, 0);
    {
        // A time plot's empty series prototype in force: every pair reads as an empty object.
        JsonTimePlot plot("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(Process(request, Pair("1.1.0.0.0.0i", "1")));
        EXPECT_TRUE(mailbox.sent.empty());
        std::ostringstream out;
        request.GenerateDocumentStream(out, nullptr);
        EXPECT_EQ(out.str(), R"({"attributes":[{}]})");
    }
    // The request's own prototype, refused, was deleted at once (checked under the sanitizers).
    EXPECT_EQ(Objects::_ref, 0);
}
