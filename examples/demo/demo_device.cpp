#include "demo_device.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace DocumentAPI::JsonDocumentAPI;
using namespace demo_param;

namespace {

// The plots' sampling functions take no argument, so they reach the simulation through this
// pointer: one demo device per process.
SimTransport* g_sampled = nullptr;

int SampleBitrate() {
    return g_sampled != nullptr ? g_sampled->TotalKbps() : 0;
}

JPlotPoint SampleSymbol() {
    JPlotPoint point{0, 0};
    if (g_sampled != nullptr) g_sampled->NextSymbol(point.x, point.y);
    return point;
}

int Clamp(uint64_t value) {
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

QmSimKey Key(uint32_t mid, uint32_t param) {
    return QmSimKey{mid, param, {0, 0, 0, 0}};
}

const idx_t kNoIndex{0, 0, 0, 0};

// Display texts of the enumerated parameters; the parameter nodes keep pointers to them.
const char* kResolutions[] = {"1080i", "720p", "576i"};
const char* kAudioModes[] = {"Mono", "Stereo", "Surround"};

// {"parameters":[{"id","type","value"}..],"gets":n,"messages":[{"id","kind","param","status",
// "value"}..]}: what the debug endpoint shows of the control server.
class ServerStateDocument : public JsonDocumentSchema {
  public:
    ServerStateDocument() { _root = BuildSchema(); }
    ~ServerStateDocument() override = default;

    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        parameters = new JsonSchemaArray<JsonSchemaList>("parameters", nullptr);
        gets = new JsonSchemaInt("gets", 0);
        messages = new JsonSchemaArray<JsonSchemaList>("messages", nullptr);
        root->AddNew(parameters);
        root->AddNew(gets);
        root->AddNew(messages);
        return root;
    }

    JsonSchemaArray<JsonSchemaList>* parameters = nullptr;
    JsonSchemaInt* gets = nullptr;
    JsonSchemaArray<JsonSchemaList>* messages = nullptr;
};

const char* TypeWord(QmSimType type) {
    switch (type) {
        case QMSIM_INT:
            return "int";
        case QMSIM_ENUM:
            return "enum";
        case QMSIM_STRING:
            return "string";
        case QMSIM_BOOL:
            return "bool";
    }
    return "?";
}

const char* KindWord(QmSimKind kind) {
    switch (kind) {
        case QMSIM_GET:
            return "get";
        case QMSIM_SET:
            return "set";
        case QMSIM_AMBIGUOUS:
            return "ambiguous";
        case QMSIM_UNKNOWN:
            break;
    }
    return "unknown";
}

// Reads a post's pairs without sending them, so that they can be checked first.
class PairsOfPost : public JsonSceneRequest {
  public:
    bool ProcessDocumentStream(std::istream& stream, JsonSchemaList* list) override {
        return JsonDocumentSchema::ProcessDocumentStream(stream, list);
    }
    JsonSchemaArray<JsonSchemaList>& Pairs() { return *_attributes; }
};

// A whole number a 32-bit parameter holds: an optional sign and decimal digits, nothing else.
bool IsWholeNumber(const char* text) {
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    return *end == '\0' && errno == 0 && value >= INT32_MIN && value <= INT32_MAX;
}

JsonSchemaList* ActionOf(JsonSceneAttribute* attribute) {
    return static_cast<JsonSchemaList*>(attribute->GetObject("action"));
}

void SetStatus(JsonSchemaList* part, const char* severity, const char* label) {
    auto* status = static_cast<JsonSchemaList*>(part->GetObject("status"));
    status->Set("severity", severity);
    status->Set("label", label);
}

}  // namespace

DemoDevice::DemoDevice(const std::string& image_dir, int refresh_seconds)
    : _image_dir(image_dir), _gets(0), _last_tick(std::chrono::steady_clock::now()) {
    _params = {
        {kEncoder, kServiceName, QMSIM_STRING, "Service name"},
        {kEncoder, kVideoKbps, QMSIM_INT, "Video bitrate"},
        {kEncoder, kResolution, QMSIM_ENUM, "Resolution"},
        {kEncoder, kAudioMode, QMSIM_INT, "Audio mode"},
        {kEncoder, kResetErrors, QMSIM_INT, "Error counters"},
        {kOutput, kOutputOn, QMSIM_BOOL, "Output"},
        {kOutput, kDestination, QMSIM_STRING, "Destination"},
        {kOutput, kPort, QMSIM_INT, "Port"},
        {kModulator, kSymbolRate, QMSIM_INT, "Symbol rate"},
    };
    _server.DefineText(Key(kEncoder, kServiceName), _ts.Services()[0].name);
    _server.DefineWord(Key(kEncoder, kVideoKbps), QMSIM_INT, 5500);
    _server.DefineWord(Key(kEncoder, kResolution), QMSIM_ENUM, 0);
    _server.DefineWord(Key(kEncoder, kAudioMode), QMSIM_INT, 1);
    _server.DefineWord(Key(kEncoder, kResetErrors), QMSIM_INT, 0);
    _server.DefineWord(Key(kOutput, kOutputOn), QMSIM_BOOL, 1);
    _server.DefineText(Key(kOutput, kDestination), "239.1.1.1");
    _server.DefineWord(Key(kOutput, kPort), QMSIM_INT, 1234);
    _server.DefineWord(Key(kModulator, kSymbolRate), QMSIM_INT, 6900);
    QmMbAgent::m_svr = &_server;

    // The request scene first: see the member's comment.
    _request_scene = std::make_unique<JsonScene>("left", 0, 0, "right", 0, 0);
    _request_scene->SetMode(JsonScene::SCENE_REQUEST);

    _bitrate_plot =
        std::make_unique<JsonTimePlot>("Transport bitrate", "total", "kbit/s", 60, refresh_seconds,
                                       "time", JsonTimePlot::PLOT_TIME);
    _bitrate_plot->SetPlotDimension(640, 260);
    _bitrate_plot->SetValueSource(SampleBitrate);
    _constellation_plot = std::make_unique<JsonTimePlot>(
        "Constellation", "symbols", "Q", 64, refresh_seconds, "I", JsonTimePlot::PLOT_SCATTER);
    _constellation_plot->SetPlotDimension(320, 320);
    _constellation_plot->SetPointSource(SampleSymbol);
    g_sampled = &_ts;
    _apply_controls();
}

DemoDevice::~DemoDevice() {
    if (g_sampled == &_ts) g_sampled = nullptr;
    // Documents first: nothing may message the server once it is gone.
    _constellation_plot.reset();
    _bitrate_plot.reset();
    _request_scene.reset();
    if (QmMbAgent::m_svr == &_server) QmMbAgent::m_svr = nullptr;
}

const std::vector<std::string>& DemoDevice::DocumentNames() {
    static const std::vector<std::string> names = {"table", "plot", "scatter", "tree", "scene"};
    return names;
}

std::string DemoDevice::_id_text(uint32_t mid, uint32_t param, QmSimType type,
                                 const uint32_t* idx) {
    static const uint32_t kZero[4] = {0, 0, 0, 0};
    if (idx == nullptr) idx = kZero;
    const char letter = type == QMSIM_STRING ? 's' : type == QMSIM_BOOL ? 'b' : 'i';
    char text[64];
    std::snprintf(text, sizeof text, "%X.%X.%X.%X.%X.%X%c", static_cast<unsigned>(mid),
                  static_cast<unsigned>(param), static_cast<unsigned>(idx[0]),
                  static_cast<unsigned>(idx[1]), static_cast<unsigned>(idx[2]),
                  static_cast<unsigned>(idx[3]), letter);
    return text;
}

// The device program reads its own settings straight from the simulated table: these reads
// are not messages of the library and would only crowd the server's log.
uint32_t DemoDevice::_word(uint32_t mid, uint32_t param) {
    QmSimParam value{};
    return _server.Find(Key(mid, param), value) ? value.word : 0;
}

std::string DemoDevice::_text(uint32_t mid, uint32_t param) {
    QmSimParam value{};
    return _server.Find(Key(mid, param), value) ? value.text : std::string();
}

void DemoDevice::_apply_controls() {
    _ts.SetVideoKbps(std::min<uint32_t>(_word(kEncoder, kVideoKbps), 100000));
    _ts.SetOutputEnabled(_word(kOutput, kOutputOn) != 0);
    _ts.SetFirstServiceName(_text(kEncoder, kServiceName));
    // A momentary command: act once, then clear it.
    if (_word(kEncoder, kResetErrors) != 0) {
        _ts.ResetErrors();
        _server.DefineWord(Key(kEncoder, kResetErrors), QMSIM_INT, 0);
    }
}

void DemoDevice::_collect_messages() {
    std::vector<QmSimMessage> log = _server.Log();
    _server.ClearLog();
    for (QmSimMessage& message : log) {
        if (message.kind == QMSIM_GET) {
            ++_gets;
            continue;
        }
        _history.push_back(std::move(message));
        if (_history.size() > kHistory) _history.pop_front();
    }
}

void DemoDevice::Tick() {
    std::lock_guard<std::mutex> lock(_mutex);
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - _last_tick).count();
    _last_tick = now;
    _step(static_cast<uint32_t>(std::clamp<int64_t>(elapsed, 0, 10000)));
}

void DemoDevice::Advance(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(_mutex);
    _step(milliseconds);
}

void DemoDevice::_step(uint32_t milliseconds) {
    _apply_controls();
    _ts.Step(milliseconds);
    _bitrate_plot->Process();
    _constellation_plot->Process();
    _collect_messages();
}

bool DemoDevice::WriteDocument(const std::string& name, std::ostream& out) {
    std::lock_guard<std::mutex> lock(_mutex);
    bool known = true;
    if (name == "table") {
        _write_table(out);
    } else if (name == "plot") {
        _write_plot(*_bitrate_plot, out);
    } else if (name == "scatter") {
        _write_plot(*_constellation_plot, out);
    } else if (name == "tree") {
        _write_tree(out);
    } else if (name == "scene") {
        _write_scene(out);
    } else {
        known = false;
    }
    _collect_messages();
    return known && out.good();
}

void DemoDevice::_write_plot(JsonDocumentSchema& plot, std::ostream& out) {
    plot.GenerateDocumentStream(out, nullptr);
}

void DemoDevice::_write_table(std::ostream& out) {
    JsonTable table;
    for (const char* title :
         {"PID", "Type", "Service", "Packets", "Bitrate (kbit/s)", "CC errors", "Scrambled"})
        table.AddTableColumn(title);
    // Busiest PIDs first; equal rates by PID.
    table.SetColumnDefaultSorting(4, false);
    table.SetColumnDefaultSorting(0, true);
    for (const SimPid& pid : _ts.Pids()) {
        table.AddTableRowEmpty();
        table.AddTableCell(new JsonSchemaInt("", Clamp(pid.pid)));
        table.AddTableCell(new JsonSchemaString("", pid.kind.c_str()));
        table.AddTableCell(new JsonSchemaString("", pid.service.c_str()));
        table.AddTableCell(new JsonSchemaInt("", Clamp(pid.packets)));
        table.AddTableCell(new JsonSchemaInt("", Clamp(pid.kbps)));
        table.AddTableCell(new JsonSchemaInt("", Clamp(pid.cc_errors)));
        table.AddTableCell(new JsonSchemaString("", pid.scrambled ? "yes" : "no"));
    }
    table.GenerateDocumentStream(out, nullptr);
}

void DemoDevice::_write_tree(std::ostream& out) {
    JsonTSServiceTree tree(_ts.Name().c_str());
    for (const SimService& service : _ts.Services()) {
        JsonTree* node = tree.CreateService(service.name.c_str(), service.number);
        tree.AddServiceProvider(node, service.provider.c_str());
        tree.AddPmtPid(node, service.pmt_pid);
        tree.AddPcrPid(node, service.pcr_pid);
        for (uint32_t pid : service.video_pids)
            tree.AddVideoPid(node, pid);
        for (uint32_t pid : service.audio_pids)
            tree.AddAudioPid(node, pid);
        for (uint32_t pid : service.data_pids)
            tree.AddPrivatePid(node, pid);
        tree.AddCaInfo(node, service.ca_system);
    }
    tree.GenerateDocumentStream(out, nullptr);
}

void DemoDevice::_write_scene(std::ostream& out) {
    JsonScene scene("left", 640, 400, "right", 340, 400);
    const std::string panel_path = _image_dir + "/panel.png";
    JsonSchemaList* panel = scene.CreateImage("panel", panel_path.c_str(), "png", 640, 160);
    JsonSchemaList* chain = scene.CreateImageURL("chain", "img/chain.svg", "svg", 640, 200);

    // The encoder: one attribute of each editing kind, and a table of its statistics.
    JsonSchemaList* encoder = scene.CreatePart(panel, "Encoder", 70, 58, 1);
    const uint32_t errors = _ts.TotalErrors();
    const std::string errors_text = std::to_string(errors) + " CC errors";
    SetStatus(encoder, errors > 0 ? "warning" : "none", errors > 0 ? errors_text.c_str() : "");

    scene
        .CreateAttribute(
            encoder, "Video", "Service name", ATTR_STRING,
            new JsonSchemaParam(PARAM_STRING, kEncoder, kServiceName, kNoIndex, nullptr, 0))
        ->SetActionType(ACTION_TEXT);

    JsonSceneAttribute* bitrate = scene.CreateAttribute(
        encoder, "Video", "Video bitrate", ATTR_INTEGER,
        new JsonSchemaParam(PARAM_INT, kEncoder, kVideoKbps, kNoIndex, nullptr, 0));
    bitrate->SetActionType(ACTION_SLIDER);
    JsonSchemaList* slider = ActionOf(bitrate);
    slider->Set("min", 1000);
    slider->Set("max", 12000);
    slider->Set("unit", "Mbit/s");
    // Shown in Mbit/s with one decimal: kbit/s / 1000.
    for (const char* member : {"precision", "denominator"})
        slider->GetObject(member)->SetEnable(true);
    slider->Set("precision", 1);
    slider->Set("denominator", 1000);

    JsonSceneAttribute* resolution = scene.CreateAttribute(
        encoder, "Video", "Resolution", ATTR_INTEGER,
        new JsonSchemaParam(PARAM_ENUM, kEncoder, kResolution, kNoIndex, kResolutions, 3));
    resolution->labels.assign(std::begin(kResolutions), std::end(kResolutions));
    resolution->values = {0, 1, 2};
    resolution->SetActionType(ACTION_ENUM);

    // The check marks follow the value node's integer, which a parameter node does not hold:
    // this attribute carries the parameter's current value in an integer node named with the
    // parameter's id text, so the view still posts the change to the server.
    const std::string audio_id = _id_text(kEncoder, kAudioMode, QMSIM_INT);
    JsonSceneAttribute* audio = scene.CreateAttribute(
        encoder, "Audio", "Audio mode", ATTR_INTEGER,
        new JsonSchemaInt(audio_id.c_str(), static_cast<int>(_word(kEncoder, kAudioMode))));
    audio->labels.assign(std::begin(kAudioModes), std::end(kAudioModes));
    audio->values = {0, 1, 2};
    audio->SetActionType(ACTION_CHECK);

    // The reset parameter is a momentary command that always reads 0; the attribute shows the
    // count it resets instead, under the parameter's id text, which the button posts to.
    const std::string reset_id = _id_text(kEncoder, kResetErrors, QMSIM_INT);
    JsonSceneAttribute* reset =
        scene.CreateAttribute(encoder, "Statistics", "Error counters", ATTR_INTEGER,
                              new JsonSchemaInt(reset_id.c_str(), Clamp(errors)));
    reset->SetActionType(ACTION_BUTTON);
    ActionOf(reset)->Set("label", "Reset");

    scene.CreateAttribute(encoder, "Statistics", "Bitrate", ATTR_INTEGER,
                          new JsonSchemaInt("bitrate", _ts.TotalKbps()));
    scene.CreateAttribute(encoder, "Statistics", "Packets", ATTR_INTEGER,
                          new JsonSchemaInt("packets", Clamp(_ts.TotalPackets())));
    scene.CreateAttribute(encoder, "Statistics", "CC errors", ATTR_INTEGER,
                          new JsonSchemaInt("errors", Clamp(errors)));
    JsonSceneAttribute* firmware = scene.CreateAttribute(
        encoder, "Statistics", "Firmware", ATTR_STRING, new JsonSchemaString("firmware", "2.4.1"));
    firmware->GetObject("displayable")->SetValue(false);

    scene.CreateNewAttributeTables(encoder);
    char bitrate_row[] = "Bitrate";
    char packets_row[] = "Packets";
    char errors_row[] = "CC errors";
    char* rows[] = {bitrate_row, packets_row, errors_row};
    width_map widths[] = {{"name", "60%"}, {"value", "40%"}};
    scene.AddAttributeTablesItms(encoder, "Statistics", "table", 2, rows, 3, widths, 2);

    // The output: its settings are edited together and sent with Apply.
    JsonSchemaList* output = scene.CreatePart(panel, "Output", 420, 58, 1);
    const bool on = _word(kOutput, kOutputOn) != 0;
    SetStatus(output, on ? "none" : "warning", on ? "" : "Output off");
    JsonSceneAttribute* power = scene.CreateAttribute(
        output, "Network", "Output", ATTR_BOOLEAN,
        new JsonSchemaParam(PARAM_BOOL, kOutput, kOutputOn, kNoIndex, nullptr, 0));
    power->SetActionType(ACTION_BUTTON);
    ActionOf(power)->Set("label", on ? "Turn off" : "Turn on");
    scene
        .CreateAttribute(
            output, "Network", "Destination", ATTR_STRING,
            new JsonSchemaParam(PARAM_STRING, kOutput, kDestination, kNoIndex, nullptr, 0))
        ->SetActionType(ACTION_TEXT);
    scene
        .CreateAttribute(output, "Network", "Port", ATTR_INTEGER,
                         new JsonSchemaParam(PARAM_INT, kOutput, kPort, kNoIndex, nullptr, 0))
        ->SetActionType(ACTION_TEXT);
    scene.CreateAttribute(output, "Network", "Apply", ATTR_ACTION, nullptr)
        ->SetActionType(ACTION_APPLY);

    // The signal chain: read-only values and links to the other views.
    JsonSchemaList* input = scene.CreatePart(chain, "Input", 40, 88, 1);
    scene.CreateAttribute(input, "Source", "Services", ATTR_INTEGER,
                          new JsonSchemaInt("services", static_cast<int>(_ts.Services().size())));
    scene.CreateAttribute(input, "Source", "Service tree", ATTR_URL,
                          new JsonSchemaString("tree", "tree.html"));
    JsonSchemaList* mux = scene.CreatePart(chain, "Multiplexer", 250, 88, 1);
    scene.CreateAttribute(mux, "Transport", "Total bitrate", ATTR_INTEGER,
                          new JsonSchemaInt("total", _ts.TotalKbps()));
    scene.CreateAttribute(mux, "Transport", "PID table", ATTR_URL,
                          new JsonSchemaString("table", "table.html"));
    JsonSchemaList* modulator = scene.CreatePart(chain, "Modulator", 470, 88, 1);
    scene.CreateAttribute(
        modulator, "Carrier", "Symbol rate", ATTR_INTEGER,
        new JsonSchemaParam(PARAM_INT, kModulator, kSymbolRate, kNoIndex, nullptr, 0));
    scene.CreateAttribute(modulator, "Carrier", "Constellation", ATTR_URL,
                          new JsonSchemaString("plots", "plot.html"));

    scene.GenerateDocumentStream(out, nullptr);
}

const DemoDevice::ParamDef* DemoDevice::_param_named(const std::string& name) const {
    for (const ParamDef& def : _params)
        if (_id_text(def.mid, def.param, def.type) == name) return &def;
    return nullptr;
}

const DemoDevice::ParamDef* DemoDevice::_param_of(uint32_t mid, uint32_t param) const {
    for (const ParamDef& def : _params)
        if (def.mid == mid && def.param == param) return &def;
    return nullptr;
}

QmSimType DemoDevice::_type_of(uint32_t mid, uint32_t param) const {
    const ParamDef* def = _param_of(mid, param);
    return def != nullptr ? def->type : QMSIM_INT;
}

DemoDevice::PostResult DemoDevice::_check_post(const std::string& body, Refusal& refusal) const {
    PairsOfPost post;
    std::istringstream in(body);
    if (!post.ProcessDocumentStream(in, nullptr)) {
        refusal.where = post.LastError();
        return PostResult::kUnreadable;
    }
    for (unsigned i = 0; i < post.Pairs().Size(); ++i) {
        JsonSchemaList* pair = post.Pairs().GetArray(i);
        const std::string name = pair->GetString("name");
        const std::string value = pair->GetString("value");
        const ParamDef* def = _param_named(name);
        std::string problem;
        const char* member = "value";
        if (def == nullptr) {
            problem = "No such setting on the device";
            member = "name";
        } else if (value.empty()) {
            problem = std::string(def->label) + ": a value is needed";
        } else if ((def->type == QMSIM_INT || def->type == QMSIM_ENUM) &&
                   !IsWholeNumber(value.c_str())) {
            problem = std::string(def->label) + ": a whole number is needed";
        } else if (def->type == QMSIM_BOOL && value != "true" && value != "false") {
            problem = std::string(def->label) + ": true or false is needed";
        }
        if (problem.empty()) continue;
        refusal.attribute = name;
        refusal.message = problem;
        refusal.where.failed = true;
        refusal.where.path = "attributes[" + std::to_string(i) + "]." + member;
        refusal.where.message = problem;
        return PostResult::kInvalid;
    }
    return PostResult::kApplied;
}

// What the server's status says about a value it refused, for the person who sent it.
std::string DemoDevice::_refusal_text(const QmSimMessage& message) const {
    const ParamDef* def = _param_of(message.mid, message.param);
    if (def == nullptr || message.status == QMSIM_UNKNOWN_PARAM)
        return "No such setting on the device";
    const std::string label = def->label;
    if (message.status == QMSIM_BAD_RECORD && def->type == QMSIM_STRING)
        return label + ": at most " + std::to_string(QmSimServer::kTextSize) + " characters";
    if (message.status == QMSIM_WRONG_TYPE)
        return label + ": the device cannot take this kind of value";
    return label + ": the device refused the value";
}

DemoDevice::PostResult DemoDevice::PostSceneRequest(const std::string& body, unsigned* sent,
                                                    Refusal* refusal) {
    std::lock_guard<std::mutex> lock(_mutex);
    if (sent != nullptr) *sent = 0;
    Refusal invalid;
    const PostResult checked = _check_post(body, invalid);
    if (checked != PostResult::kApplied) {
        if (refusal != nullptr) *refusal = invalid;
        return checked;
    }
    _collect_messages();
    std::istringstream in(body);
    const bool ok = _request_scene->ProcessDocumentStream(in, nullptr);
    const std::vector<QmSimMessage> log = _server.Log();
    unsigned sets = 0;
    const QmSimMessage* first_refused = nullptr;
    for (const QmSimMessage& message : log) {
        if (message.kind != QMSIM_SET) continue;
        ++sets;
        if (message.status < 0 && first_refused == nullptr) first_refused = &message;
    }
    if (sent != nullptr) *sent = sets;
    _collect_messages();
    _apply_controls();
    if (ok) return PostResult::kApplied;
    if (refusal != nullptr) {
        refusal->where = _request_scene->LastError();
        if (first_refused != nullptr) {
            const QmSimMessage& m = *first_refused;
            refusal->attribute = _id_text(m.mid, m.param, _type_of(m.mid, m.param), m.idx);
            refusal->message = _refusal_text(m);
            refusal->status = m.status;
        }
    }
    return first_refused != nullptr ? PostResult::kRefused : PostResult::kUnreadable;
}

void DemoDevice::WriteServerState(std::ostream& out) {
    std::lock_guard<std::mutex> lock(_mutex);
    _collect_messages();
    ServerStateDocument state;
    for (const ParamDef& def : _params) {
        QmSimParam value{};
        if (!_server.Find(Key(def.mid, def.param), value)) continue;
        auto* entry = new JsonSchemaList("");
        entry->AddNew(new JsonSchemaString("id", _id_text(def.mid, def.param, def.type).c_str()));
        entry->AddNew(new JsonSchemaString("type", TypeWord(value.type)));
        if (value.type == QMSIM_STRING)
            entry->AddNew(new JsonSchemaString("value", value.text.c_str()));
        else
            entry->AddNew(new JsonSchemaInt("value", static_cast<int>(value.word)));
        state.parameters->AddNew(entry);
    }
    state.gets->SetValue(Clamp(_gets));
    for (const QmSimMessage& message : _history) {
        char id[16];
        std::snprintf(id, sizeof id, "%X", message.id);
        const QmSimType type = _type_of(message.mid, message.param);
        auto* entry = new JsonSchemaList("");
        entry->AddNew(new JsonSchemaString("id", id));
        entry->AddNew(new JsonSchemaString("kind", KindWord(message.kind)));
        entry->AddNew(new JsonSchemaString(
            "param", _id_text(message.mid, message.param, type, message.idx).c_str()));
        entry->AddNew(new JsonSchemaInt("status", message.status));
        const std::string value =
            type == QMSIM_STRING ? message.Text() : std::to_string(message.Word());
        entry->AddNew(new JsonSchemaString("value", value.c_str()));
        state.messages->AddNew(entry);
    }
    state.GenerateDocumentStream(out, nullptr);
}
