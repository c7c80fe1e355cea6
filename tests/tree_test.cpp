#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "test_support.h"

using namespace DocumentAPI::JsonDocumentAPI;
using testing_support::Write;

namespace {

std::string Text(JsonDocumentSchema& document) {
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    return out.str();
}

std::string Node(const std::string& label, const std::string& type, const std::string& value,
                 const std::string& children = "") {
    return R"({"label":")" + label + R"(","type":")" + type + R"(","value":")" + value +
           R"(","children":[)" + children + "]}";
}

}  // namespace

TEST(JsonTree, WritesNestedNodesInTheOrderAdded) {
    JsonTree a("A", "service", "#1");
    a.AddSubTreeNode(new JsonTree("B", "pmt", "256"));
    EXPECT_EQ(Write(a), R"({"label":"A","type":"service","value":"#1","children":[)"
                        R"({"label":"B","type":"pmt","value":"256","children":[]}]})");

    JsonTree root("r", "", "");
    auto* one = new JsonTree("1", "", "");
    auto* two = new JsonTree("2", "", "");
    root.AddSubTreeNode(one);
    one->AddSubTreeNode(two);
    two->AddSubTreeNode(new JsonTree("3a", "", ""));
    two->AddSubTreeNode(nullptr);
    two->AddSubTreeNode(new JsonTree("3b", "", ""));
    one->AddSubTreeNode(new JsonTree("2b", "", ""));
    const std::string level2 = Node("2", "", "", Node("3a", "", "") + "," + Node("3b", "", ""));
    EXPECT_EQ(Write(root), Node("r", "", "", Node("1", "", "", level2 + "," + Node("2b", "", ""))));
}

TEST(JsonTree, ResetRestoresTextsCloneCopiesNothingReadingIsRefused) {
    JsonTree node("L", "video", "V");
    node.AddSubTreeNode(new JsonTree("c", "", ""));
    JsonSchema* copy = node.Clone();
    EXPECT_EQ(Write(*copy), Node("", "", ""));
    delete copy;

    node.SetLabel("L2");
    node.SetData("V2");
    EXPECT_EQ(Write(node), Node("L2", "video", "V2", Node("c", "", "")));
    EXPECT_FALSE(testing_support::Read(node, Node("X", "video", "V")));
    EXPECT_EQ(Write(node), Node("L2", "video", "V2", Node("c", "", "")));
    node.Reset();
    EXPECT_EQ(Write(node), Node("L", "video", "V"));
}

TEST(JsonTree, ProgramAndLibraryShareTheArrayStatics) {
    using Children = JsonSchemaArray<JsonTree>;
    const int32_t before = Children::_ref;
    auto* built = new JsonTree("in library", "", "");  // its children array is built there
    EXPECT_EQ(Children::_ref, before + 1);

    // A prototype set here is the one the library-built array reads with. It is set directly:
    // a tree prototype holds a children array of its own, so a registered one would keep the
    // count above zero for good.
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
    EXPECT_EQ(Text(ts), R"({"label":"TS1","type":"transport","value":"","children":[]})");
    JsonTree* news = ts.CreateService("News", 1);
    ts.AddPmtPid(news, 256);
    ts.AddCaInfo(news, 0xB00);
    EXPECT_EQ(Text(ts),
              R"x({"label":"TS1","type":"transport","value":"","children":[{"label":"News",)x"
              R"x("type":"service","value":"#1","children":[{"label":"PMT PID","type":"pmt",)x"
              R"x("value":"256","children":[]},{"label":"CA Encryption","type":"",)x"
              R"x("value":"Encrypted (SystemID: 0xb00)","children":[]}]}]})x");

    JsonTSServiceTree unnamed("T");
    unnamed.CreateService("", 7);
    unnamed.CreateService(nullptr, 0);
    unnamed.CreateService("Sport 2", 4294967295u);
    EXPECT_EQ(Text(unnamed), Node("T", "transport", "",
                                  Node("Unknown Service", "service", "#7") + "," +
                                      Node("Unknown Service", "service", "#0") + "," +
                                      Node("Sport 2", "service", "#4294967295")));
}

TEST(JsonTSServiceTree, DetailNodesAndNullParents) {
    using Add = void (JsonTSServiceTree::*)(JsonTree*, unsigned int);
    struct Case {
        Add add;
        unsigned int number;
        std::string expected;
    } cases[] = {
        {&JsonTSServiceTree::AddPmtPid, 0x1FFF, Node("PMT PID", "pmt", "8191")},
        {&JsonTSServiceTree::AddPcrPid, 0, Node("PCR PID", "pcr", "0")},
        {&JsonTSServiceTree::AddVideoPid, 70000, Node("Video PID", "video", "70000")},
        {&JsonTSServiceTree::AddAudioPid, 4294967295u, Node("Audio PID", "audio", "4294967295")},
        {&JsonTSServiceTree::AddPrivatePid, 33, Node("Private PID", "point", "33")},
        {&JsonTSServiceTree::AddCaInfo, 0, Node("CA Encryption", "", "Free")},
        {&JsonTSServiceTree::AddCaInfo, 0x1802,
         Node("CA Encryption", "", "Encrypted (SystemID: 0x1802)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        JsonTSServiceTree ts("T");
        (ts.*c.add)(ts.CreateService("S", 1), c.number);
        (ts.*c.add)(nullptr, c.number);
        EXPECT_EQ(Text(ts), Node("T", "transport", "", Node("S", "service", "#1", c.expected)));
    }
    JsonTSServiceTree ts("T");
    ts.AddServiceProvider(ts.CreateService("S", 1), "Provider \"One\"");
    EXPECT_NE(Text(ts).find(Node("Service Provider", "", R"(Provider \"One\")")),
              std::string::npos);
}

TEST(JsonTSServiceTree, DetailsNestUnderAnyNodeAndReadingDropsServices) {
    JsonTSServiceTree ts("TS1");
    auto* pid = new JsonTree("Video PID", "video", "100");
    ts.CreateService("S", 2)->AddSubTreeNode(pid);
    ts.AddCaInfo(pid, 0);
    EXPECT_NE(Text(ts).find(Node("Video PID", "video", "100", Node("CA Encryption", "", "Free"))),
              std::string::npos);

    std::istringstream in(Text(ts));
    testing_support::CoutCapture console;
    EXPECT_FALSE(ts.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(console.Text(), "Format Document failed\n");
    EXPECT_EQ(Text(ts), Node("TS1", "transport", ""));
}
