// webjson-demo: a device program that serves the browser views of a simulated head end.
//
// Usage: webjson-demo [--port N] [--viewer DIR] [--out DIR]
//   --port N      listen on 127.0.0.1:N (default 8080; 0 picks a free port)
//   --viewer DIR  the static viewer pages (default: the source tree's examples/viewer)
//   --out DIR     write every document once into DIR as <name>.json and exit
//
// Routes: GET /doc/<name>.json (table, plot, scatter, tree, scene), POST /doc/scene.json (a
// scene request), GET /debug/server.json (the simulated server's table and last set messages),
// and every other GET from the viewer directory.
#if WEBJSON_DEMO_HTTP
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#endif

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "demo_device.h"

using namespace DocumentAPI::JsonDocumentAPI;

#ifndef WEBJSON_DEMO_VIEWER_DIR
#define WEBJSON_DEMO_VIEWER_DIR "viewer"
#endif

namespace {

struct Options {
    int port = 8080;
    std::string viewer = WEBJSON_DEMO_VIEWER_DIR;
    std::string out;
};

constexpr int kSamplesForFiles = 60;

void Usage(std::ostream& out) {
    out << "usage: webjson-demo [--port N] [--viewer DIR] [--out DIR]\n"
           "  --port N      listen on 127.0.0.1:N (default 8080; 0 picks a free port)\n"
           "  --viewer DIR  static viewer pages (default " WEBJSON_DEMO_VIEWER_DIR
           ")\n"
           "  --out DIR     write every document once into DIR and exit\n";
}

// Returns 0 to go on, or the exit status: 0 after --help, 2 for a bad command line.
int ParseArguments(int argc, char** argv, Options& options, bool& done) {
    done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(std::cout);
            done = true;
            return 0;
        }
        if ((arg == "--port" || arg == "--viewer" || arg == "--out") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--viewer") {
                options.viewer = value;
            } else if (arg == "--out") {
                options.out = value;
            } else {
                char* end = nullptr;
                const long port = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
                    std::cerr << "webjson-demo: not a port: " << value << "\n";
                    done = true;
                    return 2;
                }
                options.port = static_cast<int>(port);
            }
            continue;
        }
        std::cerr << "webjson-demo: unknown or incomplete argument: " << arg << "\n";
        Usage(std::cerr);
        done = true;
        return 2;
    }
    return 0;
}

// --out: a minute of simulated time with the plots sampling every step (their period is 0
// here), then each document written once.
int WriteFiles(const Options& options) {
    DemoDevice device(options.viewer + "/img", 0);
    for (int i = 0; i < kSamplesForFiles; ++i)
        device.Advance(1000);
    int status = 0;
    for (const std::string& name : DemoDevice::DocumentNames()) {
        const std::string path = options.out + "/" + name + ".json";
        std::ofstream file(path, std::ios::out | std::ios::trunc);
        if (!file || !device.WriteDocument(name, file) || !(file << std::flush)) {
            std::cerr << "webjson-demo: cannot write " << path << "\n";
            status = 1;
            continue;
        }
        std::cout << path << "\n";
    }
    return status;
}

#if WEBJSON_DEMO_HTTP
constexpr std::size_t kMaxPost = 64 * 1024;
// Each connection holds a worker while it is open. Reads and writes that stall longer than
// the timeouts end the connection, so a client that goes quiet frees its worker within
// seconds; the pool is large enough that a few dozen slow clients leave workers for the rest.
constexpr std::size_t kWorkers = 64;
constexpr time_t kReadTimeoutSeconds = 3;
constexpr time_t kWriteTimeoutSeconds = 3;
constexpr std::size_t kRequestsPerConnection = 20;

// {"error":sentence}: what the view shows the user. For a refused value also "attribute" (the
// pair's name) and, when the control server refused it, "status" (its status word); for a post
// that could not be read or applied, where: "offset", "line", "column" (0 when not about the
// text), "path" and "message", as the document's LastError reported them, for the log.
class ErrorDocument : public JsonDocumentSchema {
  public:
    ErrorDocument() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaString("error", ""));
        root->AddNew(new JsonSchemaString("attribute", ""));
        root->AddNew(new JsonSchemaInt("status", 0));
        for (const char* name : {"offset", "line", "column"})
            root->AddNew(new JsonSchemaInt(name, 0));
        root->AddNew(new JsonSchemaString("path", ""));
        root->AddNew(new JsonSchemaString("message", ""));
        return root;
    }
    JsonSchemaList& Root() { return *_root; }
};

void SendJson(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(body, "application/json");
}

// Every error answer of the demo goes through here, so its body has one shape; the library
// writes it, so any text is escaped.
void SendError(httplib::Response& res, int status, const std::string& message,
               const std::string& attribute = std::string(), const JsonError* where = nullptr,
               int server_status = 0) {
    ErrorDocument error;
    error.Root().Set("error", message.c_str());
    error.Root().Set("attribute", attribute.c_str());
    error.Root().GetObject("attribute")->SetEnable(!attribute.empty());
    error.Root().Set("status", server_status);
    error.Root().GetObject("status")->SetEnable(server_status != 0);
    const bool located = where != nullptr && where->failed;
    for (const char* name : {"offset", "line", "column", "path", "message"})
        error.Root().GetObject(name)->SetEnable(located);
    if (located) {
        error.Root().Set("offset", static_cast<int>(where->offset));
        error.Root().Set("line", static_cast<int>(where->line));
        error.Root().Set("column", static_cast<int>(where->column));
        error.Root().Set("path", where->path.c_str());
        error.Root().Set("message", where->message.c_str());
    }
    std::ostringstream text;
    error.GenerateDocumentStream(text, nullptr);
    SendJson(res, status, text.str());
}

// The methods a path takes: the scene document also takes posts, everything else is read only.
const char* AllowedMethods(const std::string& path) {
    return path == "/doc/scene.json" ? "GET, HEAD, POST" : "GET, HEAD";
}

// Runs before any route: a method the path does not take gets 405 with the methods it does.
// Byte ranges are dropped: the HTTP library would apply them to every answer, errors included,
// and a short request naming the same range many times would get the answer as often. Every
// answer here is small and whole.
httplib::Server::HandlerResponse CheckRequest(const httplib::Request& req, httplib::Response& res) {
    const_cast<httplib::Request&>(req).ranges.clear();  // the library's own request object
    const std::string allowed = AllowedMethods(req.path);
    if ((", " + allowed + ", ").find(", " + req.method + ", ") == std::string::npos) {
        res.set_header("Allow", allowed);
        if (req.method == "OPTIONS") {
            res.status = 204;
        } else {
            SendError(res, 405, "method not allowed");
        }
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

void AddRoutes(httplib::Server& server, DemoDevice& device) {
    server.set_pre_routing_handler(CheckRequest);
    // With the ranges dropped, a file is answered whole: 200, not the 206 the library chose,
    // and without the library's Accept-Ranges, which would invite range requests.
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.status == 206) res.status = 200;
        res.headers.erase("Accept-Ranges");
    });
    server.Get(R"(/doc/([a-z]+)\.json)",
               [&device](const httplib::Request& req, httplib::Response& res) {
                   std::ostringstream text;
                   if (!device.WriteDocument(req.matches[1].str(), text)) {
                       SendError(res, 404, "no such document");
                       return;
                   }
                   SendJson(res, 200, text.str());
               });
    server.Post("/doc/scene.json", [&device](const httplib::Request& req, httplib::Response& res) {
        unsigned sent = 0;
        DemoDevice::Refusal refusal;
        switch (device.PostSceneRequest(req.body, &sent, &refusal)) {
            case DemoDevice::PostResult::kApplied:
                SendJson(res, 200,
                         "{\"result\":\"applied\",\"sent\":" + std::to_string(sent) + "}");
                return;
            case DemoDevice::PostResult::kRefused:
            case DemoDevice::PostResult::kInvalid:
                SendError(res, 422, refusal.message, refusal.attribute, &refusal.where,
                          refusal.status);
                return;
            case DemoDevice::PostResult::kUnreadable:
                break;
        }
        // Where the text went wrong, in the sentence the view shows and field by field.
        std::string why = "not a scene request";
        const JsonError& where = refusal.where;
        if (where.failed) {
            why += ": " + where.message;
            if (where.line != 0) {
                why += " (line " + std::to_string(where.line) + ", column " +
                       std::to_string(where.column) + ")";
            }
            if (!where.path.empty()) why += " at " + where.path;
        }
        SendError(res, 400, why, std::string(), &where);
    });
    server.Get("/debug/server.json", [&device](const httplib::Request&, httplib::Response& res) {
        std::ostringstream text;
        device.WriteServerState(text);
        SendJson(res, 200, text.str());
    });
    // Errors of the routes above keep their JSON body; other ones get a short one.
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        if (res.status == 404)
            SendError(res, 404, "not found");
        else if (res.status == 413)
            SendError(res, 413, "request too large");
        else if (res.status == 416)
            SendError(res, 416, "unusable byte range");
        else
            SendError(res, res.status, "bad request");
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                    std::exception_ptr) { SendError(res, 500, "internal error"); });
}

#endif  // WEBJSON_DEMO_HTTP

#if WEBJSON_DEMO_HTTP
// Serves until SIGINT or SIGTERM.
int Serve(const Options& options) {
    // SIGINT and SIGTERM are taken by one thread with sigwait; block them everywhere else.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    DemoDevice device(options.viewer + "/img");
    httplib::Server server;
    server.set_payload_max_length(kMaxPost);
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_read_timeout(kReadTimeoutSeconds);
    server.set_write_timeout(kWriteTimeoutSeconds);
    // Idle browser connections hold a worker each; a short wait lets Ctrl+C stop promptly.
    server.set_keep_alive_timeout(1);
    server.set_keep_alive_max_count(kRequestsPerConnection);
    // The library's default also sets SO_REUSEPORT, with which a second demo would share the
    // port with the first; address reuse alone still lets a restart bind at once.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    if (!server.set_mount_point("/", options.viewer)) {
        std::cerr << "webjson-demo: no viewer pages in " << options.viewer << " (see --viewer)\n";
        return 1;
    }
    AddRoutes(server, device);

    int port = options.port;
    errno = 0;
    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        port = -1;
    }
    if (port <= 0) {
        const bool in_use = errno == EADDRINUSE;
        std::cerr << "webjson-demo: cannot listen on 127.0.0.1:" << options.port
                  << (in_use ? ": the port is in use (another demo?); --port N takes another one"
                             : "")
                  << "\n";
        return 1;
    }

    std::mutex stop_mutex;
    std::condition_variable stop_cv;
    bool stopping = false;
    std::thread ticker([&] {
        std::unique_lock<std::mutex> lock(stop_mutex);
        while (!stop_cv.wait_for(lock, std::chrono::milliseconds(250), [&] { return stopping; }))
            device.Tick();
    });
    std::atomic<bool> signalled{false};
    std::thread signals([&] {
        int signal = 0;
        sigwait(&stop_signals, &signal);
        signalled = true;
        server.stop();
    });

    std::cout << "webjson-demo: serving the views at http://127.0.0.1:" << port
              << "/ (Ctrl+C stops)" << std::endl;
    const bool listened = server.listen_after_bind();

    {
        std::lock_guard<std::mutex> lock(stop_mutex);
        stopping = true;
    }
    stop_cv.notify_all();
    ticker.join();
    // The signal thread is still waiting when the server stopped on its own.
    if (!signalled) pthread_kill(signals.native_handle(), SIGTERM);
    signals.join();
    std::cout << "webjson-demo: stopped" << std::endl;
    return listened ? 0 : 1;
}
#else
int Serve(const Options&) {
    std::cerr << "webjson-demo: this build has no HTTP server: cmake did not find the HTTP\n"
                 "library, which it looks up with pkg-config (apt-get install libcpp-httplib-dev\n"
                 "pkg-config installs both). Run cmake again and rebuild; --out DIR writes the\n"
                 "documents as files meanwhile.\n";
    return 1;
}
#endif  // WEBJSON_DEMO_HTTP

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool done = false;
    const int status = ParseArguments(argc, argv, options, done);
    if (done) return status;
    return options.out.empty() ? Serve(options) : WriteFiles(options);
}
