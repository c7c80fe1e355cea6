#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;
using testing_support::WriteDocument;

namespace {

std::string Node(const std::string& label, const std::string& type, const std::string& value,
                 const std::string& children = "") {
    return R"({"label":")" + label + R"(","type":")" + type + R"(","value":")" + value +
           R"(","children":[)" + children + "]}";
}

}  // namespace

TEST(JsonTree, WritesChildrenInOrderResetsToItsTextsAndRefusesToRead) {
    JsonTree a("A", "service", "#1");
    auto* b = new JsonTree("B", "pmt", "256");
    a.AddSubTreeNode(b);
    EXPECT_EQ(Write(a), R"({"label":"A","type":"service","value":"#1","children":[)"
                        R"({"label":"B","type":"pmt","value":"256","children":[]}]})");
    b->AddSubTreeNode(new JsonTree("3a", "", ""));
    b->AddSubTreeNode(nullptr);
    b->AddSubTreeNode(new JsonTree("3b", "", ""));
    a.AddSubTreeNode(new JsonTree("2b", "", ""));
    a.SetLabel("L2");
    a.SetData("V2");
    const std::string grown =
        Node("L2", "service", "V2",
             Node("B", "pmt", "256", Node("3a", "", "") + "," + Node("3b", "", "")) + "," +
                 Node("2b", "", ""));
    EXPECT_EQ(Write(a), grown);
    EXPECT_FALSE(testing_support::Read(a, Node("X", "video", "V")));
    EXPECT_EQ(Write(a), grown);
    std::unique_ptr<JsonSchema> copy(a.Clone());
    EXPECT_EQ(Write(*copy), R"({"label":"","type":"","value":"","children":[]})");
    a.Reset();
    EXPECT_EQ(Write(a), Node("A", "service", "#1"));
}

// A tree's children array is built in the library; the program sees the same count and
// prototype. The prototype is set directly: a registered tree prototype holds a children array
// of its own and would keep the count above zero for good.
TEST(JsonTree, ProgramAndLibraryShareTheArrayStatics) {
    using Children = JsonSchemaArray<JsonTree>;
    const int32_t before = Children::_ref;
    auto* built = new JsonTree("in library", "", "");
    EXPECT_EQ(Children::_ref, before + 1);
    ASSERT_EQ(Children::_element, nullptr);
    JsonTree prototype("proto", "", "");
    Children::_element = &prototype;
    auto* children = static_cast<Children*>(built->GetObject("children"));
    EXPECT_FALSE(testing_support::Read(*children, "[{}]"));  // the clone refuses to read
    Children::_element = nullptr;
    ASSERT_EQ(children->Size(), 1u);
    EXPECT_EQ(Write(*children->GetArray(0)), Node("", "", ""));
    delete built;
    EXPECT_EQ(Children::_ref, before + 1);  // the prototype's own array is left
}

TEST(JsonTSServiceTree, WritesTransportWithServices) {
    JsonTSServiceTree ts("TS1");
    EXPECT_EQ(WriteDocument(ts), R"({"label":"TS1","type":"transport","value":"","children":[]})");
    JsonTree* news = ts.CreateService("News", 1);
    ts.AddPmtPid(news, 256);
    ts.AddCaInfo(news, 0xB00);
    EXPECT_EQ(WriteDocument(ts),
              R"x({"label":"TS1","type":"transport","value":"","children":[{"label":"News",)x"
              R"x("type":"service","value":"#1","children":[{"label":"PMT PID","type":"pmt",)x"
              R"x("value":"256","children":[]},{"label":"CA Encryption","type":"",)x"
              R"x("value":"Encrypted (SystemID: 0xb00)","children":[]}]}]})x");

    JsonTSServiceTree unnamed("T");
    unnamed.CreateService("", 7);
    unnamed.CreateService(nullptr, 4294967295u);
    EXPECT_EQ(WriteDocument(unnamed), Node("T", "transport", "",
                                           Node("Unknown Service", "service", "#7") + "," +
                                               Node("Unknown Service", "service", "#4294967295")));

    // Reading fails at the root and the reset drops every service.
    std::istringstream in(WriteDocument(ts));
    testing_support::CoutCapture console;
    EXPECT_FALSE(ts.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(console.Text(), "Format Document failed\n");
    EXPECT_EQ(WriteDocument(ts), Node("TS1", "transport", ""));
}

TEST(JsonTSServiceTree, DetailNodesAndNullParents) {
    using Add = void (JsonTSServiceTree::*)(JsonTree*, unsigned int);
    const std::pair<Add, unsigned int> adds[] = {
        {&JsonTSServiceTree::AddPmtPid, 0x1FFF},  {&JsonTSServiceTree::AddPcrPid, 0},
        {&JsonTSServiceTree::AddVideoPid, 70000}, {&JsonTSServiceTree::AddAudioPid, 4294967295u},
        {&JsonTSServiceTree::AddPrivatePid, 33},  {&JsonTSServiceTree::AddCaInfo, 0},
        {&JsonTSServiceTree::AddCaInfo, 0x1802},
    };
    JsonTSServiceTree ts("T");
    JsonTree* service = ts.CreateService("S", 1);
    for (const auto& add : adds) {
        (ts.*add.first)(service, add.second);
        (ts.*add.first)(nullptr, add.second);
    }
    char provider[] = "Provider \"One\"";  // callers pass char* and const char* alike
    ts.AddServiceProvider(service, provider);
    ts.AddServiceProvider(nullptr, "none");
    ts.AddServiceProvider(nullptr, nullptr);
    const std::string details =
        Node("PMT PID", "pmt", "8191") + "," + Node("PCR PID", "pcr", "0") + "," +
        Node("Video PID", "video", "70000") + "," + Node("Audio PID", "audio", "4294967295") + "," +
        Node("Private PID", "point", "33") + "," + Node("CA Encryption", "", "Free") + "," +
        Node("CA Encryption", "", "Encrypted (SystemID: 0x1802)") + "," +
        Node("Service Provider", "", R"(Provider \"One\")");
    EXPECT_EQ(WriteDocument(ts), Node("T", "transport", "", Node("S", "service", "#1", details)));
}
