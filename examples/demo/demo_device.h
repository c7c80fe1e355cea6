// The demo device: a simulated transport-stream head end whose control server is the simulated
// one, and the browser documents it serves (table, plots, service tree and image scene).
//
// Every public operation locks one mutex: the documents and the class-wide prototypes of the
// library's arrays are used by one thread at a time, whichever HTTP worker calls.
#ifndef WEBJSON_DEMO_DEMO_DEVICE_H
#define WEBJSON_DEMO_DEMO_DEVICE_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <webjson/webjson.h>

#include <webjson/qm_simserver.h>
#include "sim_transport.h"

// Parameter ids of the simulated control server (mids keep the bits 0x800F clear, so the get
// and set ids of each stay apart).
namespace demo_param {
constexpr uint32_t kEncoder = 0x100;
constexpr uint32_t kOutput = 0x200;
constexpr uint32_t kModulator = 0x300;

constexpr uint32_t kServiceName = 0x1;  // encoder, text
constexpr uint32_t kVideoKbps = 0x2;    // encoder, int, kbit/s
constexpr uint32_t kResolution = 0x3;   // encoder, enum
constexpr uint32_t kAudioMode = 0x4;    // encoder, int 0..2
constexpr uint32_t kResetErrors = 0x5;  // encoder, int, non-zero resets the error counters
constexpr uint32_t kOutputOn = 0x1;     // output, bool
constexpr uint32_t kDestination = 0x2;  // output, text
constexpr uint32_t kPort = 0x3;         // output, int
constexpr uint32_t kSymbolRate = 0x1;   // modulator, int, ksymbol/s, read only in the view
}  // namespace demo_param

class DemoDevice {
  public:
    // What became of a posted scene request: every usable pair was sent and accepted; the text
    // was not a scene request (nothing sent); the server refused at least one value; or a value
    // does not fit its parameter's kind (nothing sent).
    enum class PostResult { kApplied, kUnreadable, kRefused, kInvalid };
    // Why a post was refused: the pair's name, a sentence for the user (the setting's label and
    // what it takes), and for the log the server's status (0 when the demo refused the value
    // itself) and where: the place in the text (an unreadable post) or the pair, with the
    // library's own message.
    struct Refusal {
        std::string attribute;
        std::string message;
        int32_t status = 0;
        DocumentAPI::JsonDocumentAPI::JsonError where;
    };
    static constexpr std::size_t kHistory = 100;

    // image_dir holds panel.png, which the scene embeds. refresh_seconds is the plots' period.
    explicit DemoDevice(const std::string& image_dir, int refresh_seconds = 1);
    ~DemoDevice();

    // The documents served, in the order --out writes them: table, plot, scatter, tree, scene.
    static const std::vector<std::string>& DocumentNames();

    // Writes the named document, built or sampled fresh; false for an unknown name or when
    // the library could not write it.
    bool WriteDocument(const std::string& name, std::ostream& out);
    // Hands a posted scene request to the scene in request mode, which sends its pairs to the
    // control server; the device then applies the new settings.
    // Pairs are checked first: a name that is none of the device's settings, an empty value
    // (which the scene request would skip without a word) or a value its parameter's kind cannot
    // hold (whole numbers, true or false) refuses the whole post before anything is sent.
    // sent, when given, receives the number of set messages the post caused; refusal the
    // reason when the result is kRefused or kInvalid.
    PostResult PostSceneRequest(const std::string& body, unsigned* sent = nullptr,
                                Refusal* refusal = nullptr);
    // {"parameters":[..],"messages":[..]}: the server's table and the last set messages.
    void WriteServerState(std::ostream& out);

    // Moves the simulation on by the time since the last call and lets the plots sample when
    // due; call a few times a second.
    void Tick();
    // The same for a given time, whatever the clock says (files and tests).
    void Advance(uint32_t milliseconds);

    // The control server (thread-safe on its own).
    QmSimServer& Server() { return _server; }

  private:
    struct ParamDef {
        uint32_t mid;
        uint32_t param;
        QmSimType type;
        const char* label;
    };

    // The parameter id text, as the parameter nodes write it; idx null means all four zero.
    static std::string _id_text(uint32_t mid, uint32_t param, QmSimType type,
                                const uint32_t* idx = nullptr);
    // The setting posted under an id text, or of a message's mid and param; null when none.
    const ParamDef* _param_named(const std::string& name) const;
    const ParamDef* _param_of(uint32_t mid, uint32_t param) const;
    // The kind of a message's parameter, for its id text (int when the demo has no such one).
    QmSimType _type_of(uint32_t mid, uint32_t param) const;
    // The sentence for a value the server refused: the setting's label and what it takes.
    std::string _refusal_text(const QmSimMessage& message) const;
    uint32_t _word(uint32_t mid, uint32_t param);
    std::string _text(uint32_t mid, uint32_t param);
    // Reads the settings the views may change and applies them to the simulation.
    void _apply_controls();
    // Moves the server's messages into the bounded history and empties its log.
    void _collect_messages();
    // Reads the post without sending it: kUnreadable, kInvalid with the first pair whose value
    // its parameter cannot hold, or kApplied when the post may go to the server.
    PostResult _check_post(const std::string& body, Refusal& refusal) const;
    void _step(uint32_t milliseconds);

    void _write_table(std::ostream& out);
    void _write_tree(std::ostream& out);
    void _write_scene(std::ostream& out);
    void _write_plot(DocumentAPI::JsonDocumentAPI::JsonDocumentSchema& plot, std::ostream& out);

    std::mutex _mutex;
    QmSimServer _server;
    SimTransport _ts;
    std::string _image_dir;
    std::vector<ParamDef> _params;
    // Receives the posts. Built before the plots: arrays of object nodes share one prototype
    // class-wide, and the first registered stays in force; the request's {"name","value"} must
    // be that one, or every pair would be read as the series' empty object.
    std::unique_ptr<JsonScene> _request_scene;
    std::unique_ptr<JsonTimePlot> _bitrate_plot;
    std::unique_ptr<JsonTimePlot> _constellation_plot;
    // The last set messages the server handled, oldest first, at most kHistory of them.
    std::deque<QmSimMessage> _history;
    uint64_t _gets;
    std::chrono::steady_clock::time_point _last_tick;
};

#endif  // WEBJSON_DEMO_DEMO_DEVICE_H
