#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::ReadDocument;
using testing_support::RecordingMailbox;

namespace {

std::string Word(int32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

std::string Pair(const std::string& name, const std::string& value) {
    return R"({"name":")" + name + R"(","value":")" + value + "\"}";
}

bool Post(JsonDocumentSchema& request, const std::string& pairs) {
    return ReadDocument(request, R"({"attributes":[)" + pairs + "]}");
}

}  // namespace

TEST(JsonSceneRequestVsysCtrl, SendsOneSetMessagePerUsablePair) {
    const uint32_t m = 0xFFFFFFFF;
    struct Case {
        const char* name;
        const char* value;
        unsigned int id;  // 0: nothing is sent
        std::vector<uint32_t> words;
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
        // A final b is the letter whatever stands before it.
        {"100.2A.0.0.0.0ib", "1", 0, {}, ""},
        {"100.2A.0.0.0.0sb", "true", 0x810B, {0x2A, 0, 0, 0, 0}, Word(1)},
        {"100.2A.0.0.0.0 b", "false", 0x810B, {0x2A, 0, 0, 0, 0}, Word(0)},
        {"100.2A.0.0.0.Bb", "true", 0x810B, {0x2A, 0, 0, 0, 0xB}, Word(1)},
        {" 0x100. +2a.\t0X1.-1.1FFFFFFFF.-1FFFFFFFFi", "1", 0x810B, {0x2A, 1, m, m, m}, Word(1)},
        {"100.2A.0.0.0i", "1", 0, {}, ""},
        {"100.2A.0.0.0.0", "1", 0, {}, ""},
        {"100.2A.0.0.0.0B", "1", 0, {}, ""},
        {"100.2A.0 .0.0.0i", "1", 0, {}, ""},
        {"100.2A.0.0.0 0i", "1", 0, {}, ""},
        {"100.2A.0.0.0.0x", "1", 0, {}, ""},
        {"100.0x.0.0.0.0xi", "1", 0x810B, {0, 0, 0, 0, 0}, Word(1)},  // "0x" alone reads as 0
        {"100.2A.0.0.0.+xi", "1", 0, {}, ""},
        {"speed", "1", 0, {}, ""},
        {"100.2B.0.0.0.0s", "", 0, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.value);
        RecordingMailbox mailbox;
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(Post(request, Pair(c.name, c.value)));
        ASSERT_EQ(mailbox.sent.size(), c.id ? 1u : 0u);
        if (c.id == 0) continue;
        const RecordingMailbox::Sent& s = mailbox.sent[0];
        EXPECT_EQ(s.id, c.id);
        EXPECT_EQ(s.third, 0);
        std::vector<uint32_t> words = c.words;
        words.insert(words.end(), {0, static_cast<uint32_t>(c.data.size())});  // status, length
        EXPECT_EQ(s.words, words);
        EXPECT_EQ(s.data, c.data);
    }
}

TEST(JsonSceneRequestVsysCtrl, FailuresAndUnreadablePosts) {
    RecordingMailbox mailbox;
    JsonSceneRequestVsysCtrl request;
    // A negative status fails the post; the later pairs are still sent.
    mailbox.statuses = {-5, 0};
    EXPECT_FALSE(Post(request, Pair("1.1.0.0.0.0i", "1") + "," + Pair("1.2.0.0.0.0i", "2")));
    EXPECT_EQ(mailbox.sent.size(), 2u);

    // A post that cannot be read sends nothing, not even its good pairs.
    testing_support::CoutCapture console;
    EXPECT_FALSE(Post(request, Pair("1.1.0.0.0.0i", "1") + R"(,{"name":"1.2.0.0.0.0i"})"));
    EXPECT_FALSE(Post(request, R"({"name":"1.1.0.0.0.0i","value":1})"));
    EXPECT_EQ(console.Text(), "Format Document failed\nFormat Document failed\n");
    EXPECT_EQ(mailbox.sent.size(), 2u);
}

// The pairs are read with the request's own prototype, whatever array of objects came first.
TEST(JsonSceneRequestVsysCtrl, ReadsWithItsOwnPrototypeWhateverCameFirst) {
    using Objects = JsonSchemaArray<JsonSchemaList>;
    ASSERT_EQ(Objects::_ref, 0);
    {
        // A time plot's empty series prototype is in force class-wide.
        RecordingMailbox mailbox;
        JsonTimePlot plot("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(Post(request, Pair("1.1.0.0.0.0i", "1")));
        EXPECT_EQ(mailbox.sent.size(), 1u);
        EXPECT_EQ(testing_support::WriteDocument(request),
                  R"({"attributes":[{"name":"1.1.0.0.0.0i","value":"1"}]})");
    }
    // The request's own prototype, refused, was deleted at once (checked under the sanitizers).
    EXPECT_EQ(Objects::_ref, 0);
}
