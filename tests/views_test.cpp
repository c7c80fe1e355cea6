// The ready-made view documents: data table, plots, trees, scene attributes, scene requests and
// scenes, against the texts kept in tests/golden/.
#include <climits>
#include <clocale>
#include <locale>
#include <memory>

#include <webjson/qm_simserver.h>

#include "test_support.h"

namespace {

// Gives tests the plot's series, to add points without waiting for the clock.
struct Plot : JsonTimePlot {
    using JsonTimePlot::JsonTimePlot;
    JsonDataSeries* X() { return _x_series; }
    JsonDataSeries* Y() { return _y_series; }
    void ClockStepsBack(time_t seconds) { _next_sample += seconds; }
};
int next_value = 0;  // the sources' last value
int (*const Counter)() = [] { return ++next_value; };
JPlotPoint (*const Diagonal)() = [] { return JPlotPoint{++next_value, -next_value}; };

std::string Add(JsonDataSeries& series, int first, int last) {
    for (int v = first; v <= last; ++v)
        series.AddDataPoint(v);
    return Write(series);
}

// Speed/Status on an integer node named speed holding 1, with the options Off = 0 and On = 1.
std::unique_ptr<JsonSceneAttribute> MakeSpeed(uint32_t action) {
    auto attribute = std::make_unique<JsonSceneAttribute>("Speed", "Status", ATTR_INTEGER,
                                                          new JsonSchemaInt("speed", 1));
    attribute->labels = {"Off", "On"};
    attribute->values = {0, 1};
    attribute->SetActionType(ACTION_ENUM);  // each call discards what the one before built
    attribute->SetActionType(static_cast<JSceneAction>(action));
    return attribute;
}

// Every view is written under a global locale that groups digits and has a comma for a decimal
// point, in C++ and, where the system has one, in C: the numbers stay as in the golden texts.
struct Grouping : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
struct GroupingLocale : ::testing::Environment {
    void SetUp() override {
        std::locale::global(std::locale(std::locale::classic(), new Grouping));
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
    // The classic locale again, so that the grouping one (and what streams cached in it) is freed.
    void TearDown() override {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_NUMERIC, "C");
    }
};
::testing::Environment* const grouping = ::testing::AddGlobalTestEnvironment(new GroupingLocale);

}  // namespace

TEST(JsonTable, ColumnsSortingAndOneTextCellPerColumnOfEachRow) {
    JsonTable table, none, cellular;
    std::vector<std::string> texts = {WriteDoc(none)};
    const char* cells[] = {"x", nullptr, "z", "surplus"};
    const char* full[] = {"x", "y", "z"};  // read one past the count, "z" would show
    none.AddTableRow(cells, 4);            // no columns: an empty row
    for (const char* title : {"A", "B", "C"})
        table.AddTableColumn(title);
    table.SetColumnDefaultSorting(0, true);
    table.SetColumnDefaultSorting(-1, false);
    table.AddTableRow(cells, 1);
    table.AddTableRow(full, 2);
    table.AddTableRow(cells, 4);
    table.AddTableRow(nullptr, 2);
    texts.insert(texts.end(), {WriteDoc(none), WriteDoc(table)});
    table.ClearTableRows();  // the total stays until the next row
    texts.push_back(WriteDoc(table));
    table.AddTableRowEmpty();
    // Cells of any kind go to the last row present, none before the first row.
    JsonSchemaInt orphan("", 1);
    cellular.AddTableCell(&orphan);
    cellular.AddTableRowEmpty();
    cellular.AddTableRowEmpty();
    cellular.AddTableCell(new JsonSchemaInt("", 5));
    cellular.AddTableCell(new JsonSchemaBool("", true));
    texts.insert(texts.end(), {WriteDoc(table), WriteDoc(cellular)});
    cellular._reset_schema(nullptr);  // rows gone, the row count stays at 2
    cellular.AddTableCell(&orphan);
    cellular.AddTableRowEmpty();
    cellular.AddTableCell(new JsonSchemaInt("", 4));
    texts.push_back(WriteDoc(cellular));
    ExpectGolden("table", texts);
    std::istringstream in(texts[0]);  // reading is refused before anything is taken
    EXPECT_FALSE(table.ProcessDocumentStream(in, nullptr));
    EXPECT_EQ(in.tellg(), 0);
}

TEST(JsonTimePlot, TimeAndScatterPlotsSourcesAndSeries) {
    Plot load("Load", "cpu", "%", 60, 5, nullptr, JsonTimePlot::PLOT_TIME);
    Plot scatter("S", "s", "Y", 10, 1, "X", JsonTimePlot::PLOT_SCATTER);
    std::vector<std::string> texts = {WriteDoc(load)};
    for (int v : {7, 9, 4})
        load.Y()->AddDataPoint(v);
    const int dimensions[][2] = {{0, 300}, {400, -1}, {400, 0}, {400, 300}, {400, 300}};
    for (const auto& d : dimensions)
        load.SetPlotDimension(d[0], d[1]);
    scatter.X()->AddDataPoint(1);
    scatter.Y()->AddDataPoint(5);
    // Sampling through the source of the plot's type; a reset empties "series", for which the
    // plot builds a fresh entry.
    next_value = 0;
    Plot time_plot("T", "n", "y", 2, 0, nullptr, JsonTimePlot::PLOT_TIME);
    time_plot.Process();                 // no source
    time_plot.SetPointSource(Diagonal);  // not the source of a time plot
    time_plot.SetValueSource(Counter);
    for (int i = 0; i < 3; ++i)
        time_plot.Process();  // refresh 0: every call samples
    texts.insert(texts.end(), {WriteDoc(load), WriteDoc(scatter), WriteDoc(time_plot)});
    EXPECT_FALSE(ReadDoc(time_plot, texts.back()));
    time_plot._reset_schema(nullptr);
    time_plot.Process();
    next_value = 0;
    Plot sampled("S", "n", "y", 2, 0, nullptr, JsonTimePlot::PLOT_SCATTER);
    sampled.SetPointSource(Diagonal);
    for (int i = 0; i < 3; ++i)
        sampled.Process();
    Plot other("O", "n", "y", 2, 0, nullptr, static_cast<JsonTimePlot::JPlotType>(7));
    other.SetValueSource(Counter);
    other.SetPointSource(Diagonal);
    other.Process();
    // The first sample waits a whole period; the period is written in milliseconds, saturated.
    Plot wait("T", "n", "y", 5, INT_MAX), due("T", "n", "y", 5, INT_MIN);
    for (Plot* plot : {&wait, &due, &wait, &due}) {
        plot->SetValueSource(Counter);
        plot->Process();
    }
    texts.insert(texts.end(), {WriteDoc(time_plot), WriteDoc(sampled), WriteDoc(other),
                               WriteDoc(wait), WriteDoc(due)});
    ExpectGolden("plots", texts);
    JsonDataSeries shift("s", 3, 0, nullptr), ring("s", 3, 1, nullptr);
    EXPECT_EQ(Add(shift, 1, 4), "[2,3,4]");
    EXPECT_EQ(Add(ring, 1, 4), "[1,4,3]");  // the cursor stands on the first point when full
    EXPECT_EQ(Add(ring, 5, 6), "[6,4,5]");
    ring.Reset();
    EXPECT_EQ(Add(ring, 7, 10), "[7,10,9]");
    std::unique_ptr<JsonSchema> clone(ring.Clone());  // capacity and mode, no points
    EXPECT_EQ(Write(*clone), "[]");
    EXPECT_EQ(Add(*static_cast<JsonDataSeries*>(clone.get()), 1, 4), "[1,4,3]");
    for (unsigned mode : {0u, 1u}) {
        JsonDataSeries one("s", 1, mode, nullptr), none("s", 0, mode, nullptr);
        EXPECT_EQ(Add(one, 1, 2) + Add(none, 1, 2), "[2][]");
    }
    JsonDataSeries negative("s", -1, 0, nullptr), unknown("s", 2, 7, nullptr);
    EXPECT_EQ(Add(negative, 1, 3) + Add(unknown, 1, 3), "[][1,2]");  // an unknown mode drops
}

TEST(JsonTimePlot, SamplesAtOnceWhenTheClockStepsBack) {
    Plot plot("T", "n", "y", 10, 3600);
    plot.SetValueSource(Counter);
    plot.ClockStepsBack(86400);  // the last sample now lies a day ahead of the clock
    plot.Process();              // samples at once; the next one is due a period after now
    plot.Process();
    EXPECT_EQ(plot.Y()->Size(), 1u);
}

TEST(JsonTree, ChildrenInOrderResetCloneServicesAndDetails) {
    JsonTree a("A", "service", "#1");
    auto* b = new JsonTree("B", "pmt", "256");
    a.AddSubTreeNode(b);
    std::vector<std::string> texts = {Write(a)};
    b->AddSubTreeNode(new JsonTree("3a", "", ""));
    b->AddSubTreeNode(nullptr);
    b->AddSubTreeNode(new JsonTree("3b", "", ""));
    a.AddSubTreeNode(new JsonTree("2b", "", ""));
    a.SetLabel("L2");
    a.SetData("V2");
    EXPECT_FALSE(Read(a, texts[0]));
    std::unique_ptr<JsonSchema> copy(a.Clone());
    texts.insert(texts.end(), {Write(a), Write(*copy)});
    a.Reset();
    JsonTSServiceTree ts("TS1"), unnamed("T");
    JsonTree* news = ts.CreateService("News", 1);
    unnamed.CreateService("", 7);
    unnamed.CreateService(nullptr, 4294967295u);
    using Add = void (JsonTSServiceTree::*)(JsonTree*, unsigned int);
    const std::pair<Add, unsigned int> adds[] = {
        {&JsonTSServiceTree::AddPmtPid, 0x1FFF},  {&JsonTSServiceTree::AddPcrPid, 0},
        {&JsonTSServiceTree::AddVideoPid, 70000}, {&JsonTSServiceTree::AddAudioPid, 4294967295u},
        {&JsonTSServiceTree::AddPrivatePid, 33},  {&JsonTSServiceTree::AddCaInfo, 0},
        {&JsonTSServiceTree::AddCaInfo, 0x1802}};
    for (const auto& add : adds) {
        (ts.*add.first)(news, add.second);
        (ts.*add.first)(nullptr, add.second);
    }
    char provider[] = "Provider \"One\"";  // callers pass char* and const char* alike
    ts.AddServiceProvider(news, provider);
    ts.AddServiceProvider(nullptr, "none");
    texts.insert(texts.end(), {Write(a), WriteDoc(ts), WriteDoc(unnamed)});
    CoutCapture console;
    EXPECT_FALSE(
        ReadDoc(ts, texts.back()));  // refused at the root, and the reset drops every service
    texts.push_back(WriteDoc(ts));
    ExpectGolden("trees", texts);
}

TEST(JsonSceneAttribute, ActionsTypesOptionsAndClones) {
    std::vector<std::string> texts;
    for (uint32_t action = 0; action < 8; ++action)
        texts.push_back(Write(*MakeSpeed(action)));
    for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 7u})
        texts.push_back(Write(*std::make_unique<JsonSceneAttribute>(
            "Mode", "Cfg", static_cast<JSceneAttr>(type), nullptr)));
    // Options follow labels and values as they were at SetActionType; the value is the position
    // marked, when listed; marks stay when the value moves on.
    auto attribute = MakeSpeed(ACTION_NONE);
    attribute->labels = {"A", "B", "C"};
    attribute->values = {4294967295u, 2};
    attribute->SetActionType(ACTION_ENUM);
    attribute->labels[0] = "Z";
    texts.push_back(Write(*attribute));
    attribute->values = {10, 0, 2};
    attribute->SetActionType(ACTION_CHECK);
    for (int value : {10, 1, 0, 2}) {
        attribute->GetObject("value")->SetValue(value);
        texts.push_back(Write(*attribute));
    }
    attribute->Reset();  // empties the options until the next SetActionType
    texts.push_back(Write(*attribute));
    // Slider extras; a clone keeps the kind and the value node's default, nothing else.
    attribute = MakeSpeed(ACTION_SLIDER);
    auto* action = static_cast<JsonSchemaList*>(attribute->GetObject("action"));
    for (const char* extra : {"denominator", "precision", "shift"})
        action->GetObject(extra)->SetEnable(true);
    attribute->GetObject("value")->SetValue(5);
    std::unique_ptr<JsonSchema> copy(attribute->Clone());
    texts.insert(texts.end(), {Write(*attribute), Write(*copy)});
    // Without a value node nothing is marked, and clones and new actions still work.
    JsonSceneAttribute bare("Mode", "Cfg", ATTR_URL, nullptr);
    bare.labels = {"A"};
    bare.values = {0};
    bare.SetActionType(ACTION_CHECK);
    copy.reset(bare.Clone());
    texts.insert(texts.end(), {Write(bare), Write(*copy)});
    attribute->Clear();
    attribute->SetActionType(ACTION_APPLY);
    copy.reset(attribute->Clone());
    texts.push_back(Write(*attribute));
    ExpectGolden("scene_attributes", texts);
    // The value node's name goes to "name" (as current value only) and the node becomes "value".
    auto* level = new JsonSchemaString("lvl", "high");
    JsonSceneAttribute named("Level", "Cfg", ATTR_STRING, level);
    EXPECT_EQ(level->GetName() + named.GetString("name"), "valuelvl");
    named.Reset();
    EXPECT_STREQ(named.GetString("name"), "Level");
}

// Each usable pair of a post is sent as one set message; the letter ending the name gives the
// conversion. Cases in golden/requests.tsv.
TEST(JsonSceneRequestVsysCtrl, SendsOneSetMessagePerUsablePair) {
    for (const auto& c : Cases("requests")) {
        RecordingMailbox mailbox;
        JsonSceneRequestVsysCtrl request;
        EXPECT_TRUE(ReadDoc(
            request, R"({"attributes":[{"name":")" + c[0] + R"(","value":")" + c[1] + "\"}]}"));
        EXPECT_EQ(Sent(mailbox), c.size() > 2 ? c[2] : "") << c[0];
    }
}

TEST(JsonSceneRequestVsysCtrl, FailuresAndUnreadablePosts) {
    RecordingMailbox mailbox;
    JsonSceneRequestVsysCtrl request;
    // A negative status fails the post, and the error names the pair; later pairs are still sent.
    mailbox.statuses = {0, -5, -7};
    EXPECT_FALSE(ReadDoc(request, R"({"attributes":[{"name":"1.1.0.0.0.0i","value":"1"},)"
                                  R"({"name":"1.2.0.0.0.0i","value":"2"},)"
                                  R"({"name":"1.3.0.0.0.0i","value":"3"}]})"));
    EXPECT_EQ(request.LastError().path + " " + request.LastError().message,
              "attributes[1] the control server answered 1.2.0.0.0.0i with status -5");
    CoutCapture console;  // a post that cannot be read sends nothing, not even its good pairs
    EXPECT_FALSE(
        ReadDoc(request,
                R"({"attributes":[{"name":"1.1.0.0.0.0i","value":"1"},{"name":"1.2.0.0.0.0i"}]})"));
    EXPECT_FALSE(ReadDoc(request, R"({"attributes":[{"name":"x","value":1}]})"));
    EXPECT_EQ(request.LastError().offset, 35u);
    EXPECT_EQ(request.LastError().path, "attributes[0].value");
    EXPECT_EQ(console.Text(), "Format Document failed\nFormat Document failed\n");
    EXPECT_EQ(mailbox.sent.size(), 3u);
}

TEST(JsonScene, ModesAttributeTablesImagesPartsAndPosts) {
    QmSimServer server;
    server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 900);
    QmMbAgent::m_svr = &server;
    const int32_t before = JsonSchemaArray<JsonSceneAttribute>::_ref;  // the library's instance
    auto scene = std::make_unique<JsonScene>("left", 640, 480, "right", 240, 480);
    scene->CreateImageURL("plan", "plan.png", "png", 640, 480);
    JsonSchemaList* part = scene->CreatePart("plan", "Pump", 120, 80, 1);
    scene->CreateAttribute(part, "Status", "Speed", ATTR_INTEGER,
                           new JsonSchemaParam(PARAM_INT, 0x100, 0x2A, {0, 0, 0, 0}, nullptr, 0));
    std::vector<std::string> texts;
    for (uint32_t mode : {0u, 1u, 2u, 5u}) {
        scene->SetMode(static_cast<JsonScene::JSceneMode>(mode));
        texts.push_back(WriteDoc(*scene));
    }
    // Attribute tables; a call on an object without "attribute-tables" adds nothing.
    scene->AddAttributeTablesItms(part, "c", "t", 1, nullptr, 0, nullptr, 0);
    scene->CreateNewAttributeTables(part);
    char level[] = "Level", quality[] = "Quality";
    char* names[] = {level, quality};
    width_map widths[] = {{"name", "60%"}, {"value", "40%"}};
    scene->AddAttributeTablesItms(part, "Signal", "table", 2, names, 2, widths, 2);
    scene->AddAttributeTablesItms(part, "E", "t", 0, names, 0, widths, -1);
    EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before + 2);
    // In request mode a post changes the parameter on the server; by file too, where a parameter
    // the server does not know answers with a negative status.
    scene->SetMode(JsonScene::SCENE_REQUEST);
    JsonSchemaList own("");  // not passed on
    EXPECT_TRUE(
        ReadDoc(*scene, R"({"attributes":[{"name":"100.2A.0.0.0.0i","value":"42"}]})", &own));
    const std::string path =
        TempFile("scene_post.json", R"({"attributes":[{"name":"100.2D.0.0.0.0i","value":"1"}]})");
    EXPECT_FALSE(scene->ProcessDocument(path.c_str(), nullptr));
    EXPECT_EQ(server.Log().size(), 5u);              // three gets, two sets
    auto* request = new JsonSceneRequestVsysCtrl();  // the document held is kept
    scene->SetRequestSchema(request);
    scene->SetRequestSchema(request);
    EXPECT_TRUE(ReadDoc(*scene, R"({"attributes":[]})"));
    scene->SetRequestSchema(new JsonSceneRequest());  // a plain request or none refuses
    EXPECT_FALSE(ReadDoc(*scene, R"({"attributes":[]})"));
    scene->SetRequestSchema(nullptr);
    std::istringstream unread(R"({"attributes":[]})");
    EXPECT_FALSE(scene->ProcessDocumentStream(unread, nullptr));
    EXPECT_EQ(unread.tellg(), 0);
    scene->SetMode(JsonScene::SCENE_FULL);
    texts.push_back(WriteDoc(*scene));
    scene.reset();
    EXPECT_EQ(JsonSchemaArray<JsonSceneAttribute>::_ref, before);

    JsonScene images("left", 1, 1, "right", 1, 1);
    JsonSchemaList* a =
        images.CreateImage("a", TempFile("scene_image.bin", "abc").c_str(), "png", 2, 3);
    images.CreateImage("b", nullptr, nullptr, 0x80000000u, 0xFFFFFFFFu);
    images.CreateImageURL("c", "c.svg", "", 4, 5);
    JsonSchemaList noId("");
    images.CreatePart(a, "Valve", 0xFFFFFFFFu, 0, 2);
    images.CreatePart(&noId, "Pump", 1, 2, 3);
    images.CreatePart(static_cast<const char*>(nullptr), nullptr, 0, 0, 0);
    // An object without "attributes" takes no attribute; the value node is deleted with it.
    EXPECT_EQ(images.CreateAttribute(a, "c", "l", ATTR_STRING, new JsonSchemaString("v", "")),
              nullptr);
    texts.push_back(WriteDoc(images));
    ExpectGolden("scenes", texts);
}
