// Separate documents on separate threads, for ThreadSanitizer: four threads build, write, read and
// destroy documents of every kind for SECONDS (default 1); exit status 1 when one goes wrong.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include <webjson/qm_simserver.h>
#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;
using Clock = std::chrono::steady_clock;

static std::atomic<int> failures{0};

static void Check(bool ok, const char* what) {
    if (!ok && failures++ < 10) std::fprintf(stderr, "threads_stress: %s\n", what);
}

// Reads text into doc, then writes it: the read gives `read` and the text written holds `written`.
static bool Trip(JsonDocumentSchema& doc, const std::string& text, bool read, const char* written) {
    std::istringstream in(text);
    std::ostringstream out;
    return doc.ProcessDocumentStream(in, nullptr) == read &&
           doc.GenerateDocumentStream(out, nullptr) && out.str().find(written) != std::string::npos;
}

// A caller's document {"<key>":[{"<key>":".."},..]} whose array has its own prototype.
template <int kKind>
class Listing : public JsonDocumentSchema {
  public:
    Listing() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto element = std::make_unique<JsonSchemaList>("");
        element->AddNew(new JsonSchemaString(kKind ? "user" : "port", ""));
        auto* root = new JsonSchemaList("");
        root->AddNew(
            new JsonSchemaArray<JsonSchemaList>(kKind ? "user" : "port", std::move(element)));
        return root;
    }
};

// A document each thread hands to the next, which reads it again and destroys it: nodes made on
// one thread are read into, freed and given back on another.
struct Handoff {
    std::mutex lock;
    std::unique_ptr<Listing<0>> doc;
};
static Handoff handoffs[4];

static void Pass(uint32_t from, const char* text) {
    auto mine = std::make_unique<Listing<0>>();
    Check(Trip(*mine, text, true, text), "document to hand over");
    {
        std::lock_guard<std::mutex> hold(handoffs[(from + 1) % 4].lock);
        mine.swap(handoffs[(from + 1) % 4].doc);
    }
    std::unique_ptr<Listing<0>> given;
    {
        std::lock_guard<std::mutex> hold(handoffs[from].lock);
        given = std::move(handoffs[from].doc);
    }
    const char* fewer = R"({"port":[{"port":"lo"}]})";
    if (given) Check(Trip(*given, fewer, true, fewer), "document handed over");
}

static void Work(QmSimServer& server, uint32_t param, Clock::time_point end, long& posts) {
    server.DefineWord({0x100, param, {0, 0, 0, 0}}, QMSIM_INT, 0xFFFFFFFF);
    const std::string post =
        R"({"attributes":[{"name":"100.)" + std::to_string(param) + R"(.0.0.0.0i","value":")";
    const char* ports = R"({"port":[{"port":"eth0"},{"port":"eth1"}]})";
    const char* users = R"({"user":[{"user":"root"}]})";
    QmSimParam value{};
    for (; Clock::now() < end; ++posts) {
        JsonTable table;
        table.AddTableColumn("Name");
        table.AddTableRow(nullptr, 1);
        JsonTimePlot plot("Load", "cpu", "%", 3, 0);
        plot.SetValueSource([] { return 7; });
        plot.Process();
        JsonTSServiceTree tree("TS1");
        tree.AddPmtPid(tree.CreateService("News", 1), 256);
        JsonScene scene("left", 1, 1, "right", 1, 1);
        scene.SetMode(JsonScene::SCENE_REQUEST);
        Listing<0> first;
        Listing<1> second;
        Check(Trip(table, "{}", false, R"("aaData":[[""]])"), "table");
        Check(Trip(plot, "{}", false, R"("y":[7])"), "plot");
        Check(Trip(tree, "{}", false, R"({"label":"TS1")"), "tree");  // the read emptied it
        Check(Trip(scene, post + std::to_string(posts) + "\"}]}", true, "{}"), "scene post");
        Check(server.Find({0x100, param, {0, 0, 0, 0}}, value) && value.word == uint32_t(posts),
              "the post's message (only this thread sets its parameter)");
        Check(Trip(first, ports, true, ports) && Trip(second, users, true, users), "own");
        std::string many = R"({"port":[)";
        for (long i = 0; i < 40 + posts % 40; ++i) {
            many += (i ? R"(,{"port":"p)" : R"({"port":"p)") + std::to_string(i) + R"("})";
        }
        Pass(param, (many + "]}").c_str());
    }
}

int main(int argc, char** argv) {
    const auto end = Clock::now() + std::chrono::seconds(argc > 1 ? std::atoi(argv[1]) : 1);
    QmSimServer server;  // its own lock guards its table and log
    QmMbAgent::m_svr = &server;
    std::vector<long> posts(4, 0);
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < 4; ++t)
        threads.emplace_back(Work, std::ref(server), t, end, std::ref(posts[t]));
    for (std::thread& thread : threads)
        thread.join();
    for (Handoff& handoff : handoffs)
        handoff.doc.reset();
    Check(JsonSchemaArray<JsonSchemaList>::_ref == 0 && posts[0] > 0, "arrays left, or no post");
    std::fprintf(stderr, "threads_stress: %ld posts, %d failures\n", posts[0], failures.load());
    return failures == 0 ? 0 : 1;
}
