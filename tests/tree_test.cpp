#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

namespace {

std::string Text(JsonSchema& node) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    EXPECT_TRUE(node.Compile(writer, false));
    return out.str();
}

std::string Text(JsonDocumentSchema& document) {
    std::ostringstream out;
    EXPECT_TRUE(document.GenerateDocumentStream(out, nullptr));
    return out.str();
}

std::string Leaf(const std::string& label, const std::string& type, const std::string& value) {
    return R"({"label":")" + label + R"(","type":")" + type + R"(","value":")" + value +
           R"(","children":[]})";
}

// The only child a service tree's first service holds.
std::string FirstDetail(JsonTSServiceTree& ts) {
    const std::string text = Text(ts);
    const std::string marker = R"("children":[{"label":)";
    std::size_t service = text.find(marker);
    std::size_t detail = text.find(marker, service + 1);
    if (detail == std::string::npos) return text;
    return text.substr(detail + 12, text.size() - detail - 12 - 4);
}

}  // namespace

TEST(JsonTree, WritesNestedNodesInTheOrderAdded) {
    JsonTree a("A", "service", "#1");
    a.AddSubTreeNode(new JsonTree("B", "pmt", "256"));
    EXPECT_EQ(Text(a), R"({"label":"A","type":"service","value":"#1","children":[)"
                       R"({"label":"B","type":"pmt","value":"256","children":[]}]})");

    JsonTree root("r", "", "");
    JsonTree* level = &root;
    for (const char* label : {"1", "2", "3"}) {
        auto* child = new JsonTree(label, "", "");
        level->AddSubTreeNode(child);
        level = child;
    }
    level->AddSubTreeNode(new JsonTree("4a", "", ""));
    level->AddSubTreeNode(nullptr);
    level->AddSubTreeNode(new JsonTree("4b", "", ""));
    const std::string deepest = Leaf("4a", "", "") + "," + Leaf("4b", "", "");
    EXPECT_EQ(Text(root), R"({"label":"r","type":"","value":"","children":[)"
                          R"({"label":"1","type":"","value":"","children":[)"
                          R"({"label":"2","type":"","value":"","children":[)"
                          R"({"label":"3","type":"","value":"","children":[)" +
                              deepest + "]}]}]}]}");
}

TEST(JsonTree, ResetRestoresTextsAndCloneCopiesNothing) {
    JsonTree node("L", "video", "V");
    node.AddSubTreeNode(new JsonTree("c", "", ""));
    JsonSchema* copy = node.Clone();
    EXPECT_EQ(Text(*copy), Leaf("", "", ""));
    delete copy;

    node.SetLabel("L2");
    node.SetData("V2");
    EXPECT_EQ(node.GetString("label"), std::string("L2"));
    EXPECT_EQ(node.GetString("value"), std::string("V2"));
    node.Reset();
    EXPECT_EQ(Text(node), Leaf("L", "video", "V"));
}

TEST(JsonTree, RefusesToBeRead) {
    JsonTree node("L", "t", "v");
    std::istringstream in(Leaf("X", "t", "v"));
    JsonReadDocument reader(in);
    EXPECT_FALSE(node.Format(reader, false));
    EXPECT_EQ(Text(node), Leaf("L", "t", "v"));
}

TEST(JsonTree, ProgramAndLibraryShareTheArrayStatics) {
    using Children = JsonSchemaArray<JsonTree>;
    const int32_t before = Children::_ref;
    auto* built = new JsonTree("in library", "", "");  // its children array is built there
    EXPECT_EQ(Children::_ref, before + 1);

    // A prototype set here is the one the library-built array reads with. (A tree prototype
    // holds a children array of its own, so it is set directly rather than registered: a
    // registered one would keep the count above zero for good.)
    ASSERT_EQ(Children::_element, nullptr);
    JsonTree prototype("proto", "", "");
    Children::_element = &prototype;
    auto* children = static_cast<Children*>(built->GetObject("children"));
    std::istringstream in("[{}]");
    JsonReadDocument reader(in);
    EXPECT_FALSE(children->Format(reader, false));  // the clone is a tree, which refuses
    Children::_element = nullptr;
    ASSERT_EQ(children->Size(), 1u);
    EXPECT_EQ(Text(*children->GetArray(0)), Leaf("", "", ""));
    delete built;
    EXPECT_EQ(Children::_ref, before + 1);  // the prototype's own array is left
}

TEST(JsonTSServiceTree, WritesTransportWithServices) {
    JsonTSServiceTree ts("TS1");
    EXPECT_EQ(Text(ts), Leaf("TS1", "transport", ""));
    JsonTree* news = ts.CreateService("News", 1);
    ts.AddPmtPid(news, 256);
    ts.AddCaInfo(news, 0xB00);
    EXPECT_EQ(Text(ts),
              R"x({"label":"TS1","type":"transport","value":"","children":[{"label":"News",)x"
              R"x("type":"service","value":"#1","children":[{"label":"PMT PID","type":"pmt",)x"
              R"x("value":"256","children":[]},{"label":"CA Encryption","type":"",)x"
              R"x("value":"Encrypted (SystemID: 0xb00)","children":[]}]}]})x");
}

TEST(JsonTSServiceTree, ServiceNamesAndNumbers) {
    struct Case {
        const char* name;
        unsigned int number;
        const char* label;
        const char* value;
    } cases[] = {
        {"", 7, "Unknown Service", "#7"},
        {nullptr, 0, "Unknown Service", "#0"},
        {"Sport 2", 4294967295u, "Sport 2", "#4294967295"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        JsonTSServiceTree ts("T");
        ts.CreateService(c.name, c.number);
        EXPECT_EQ(Text(ts), R"({"label":"T","type":"transport","value":"","children":[)" +
                                Leaf(c.label, "service", c.value) + "]}");
    }
}

TEST(JsonTSServiceTree, DetailNodes) {
    using Add = void (JsonTSServiceTree::*)(JsonTree*, unsigned int);
    struct Case {
        Add add;
        unsigned int number;
        std::string expected;
    } cases[] = {
        {&JsonTSServiceTree::AddPmtPid, 0x1FFF, Leaf("PMT PID", "pmt", "8191")},
        {&JsonTSServiceTree::AddPcrPid, 0, Leaf("PCR PID", "pcr", "0")},
        {&JsonTSServiceTree::AddVideoPid, 70000, Leaf("Video PID", "video", "70000")},
        {&JsonTSServiceTree::AddAudioPid, 4294967295u, Leaf("Audio PID", "audio", "4294967295")},
        {&JsonTSServiceTree::AddPrivatePid, 33, Leaf("Private PID", "point", "33")},
        {&JsonTSServiceTree::AddCaInfo, 0, Leaf("CA Encryption", "", "Free")},
        {&JsonTSServiceTree::AddCaInfo, 0x1802,
         Leaf("CA Encryption", "", "Encrypted (SystemID: 0x1802)")},
        {&JsonTSServiceTree::AddCaInfo, 0xFFFFFFFFu,
         Leaf("CA Encryption", "", "Encrypted (SystemID: 0xffffffff)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        JsonTSServiceTree ts("T");
        JsonTree* service = ts.CreateService("S", 1);
        (ts.*c.add)(service, c.number);
        EXPECT_EQ(FirstDetail(ts), c.expected);

        const std::string before = Text(ts);
        (ts.*c.add)(nullptr, c.number);
        EXPECT_EQ(Text(ts), before);
    }
    JsonTSServiceTree ts("T");
    ts.AddServiceProvider(ts.CreateService("S", 1), "Provider \"One\"");
    EXPECT_EQ(FirstDetail(ts), Leaf("Service Provider", "", R"(Provider \"One\")"));
}

TEST(JsonTSServiceTree, DetailsNestUnderAnyNodeAndReadingDropsServices) {
    JsonTSServiceTree ts("TS1");
    JsonTree* service = ts.CreateService("S", 2);
    auto* pid = new JsonTree("Video PID", "video", "100");
    service->AddSubTreeNode(pid);
    ts.AddCaInfo(pid, 0);
    EXPECT_NE(Text(ts).find(R"("value":"100","children":[)" + Leaf("CA Encryption", "", "Free")),
              std::string::npos);

    std::ostringstream console;
    std::streambuf* old = std::cout.rdbuf(console.rdbuf());
    std::istringstream in(Text(ts));
    bool result = ts.ProcessDocumentStream(in, nullptr);
    std::cout.rdbuf(old);
    EXPECT_FALSE(result);
    EXPECT_EQ(console.str(), "Format Document failed\n");
    EXPECT_EQ(Text(ts), Leaf("TS1", "transport", ""));
}
