#include "sim_transport.h"

namespace {

constexpr uint32_t kPacketBits = 188 * 8;

// A service without a name is listed as the library's service tree labels it, so that the
// table and the tree call it the same.
std::string ShownName(const SimService& service) {
    return service.name.empty() ? "Unknown Service" : service.name;
}

}  // namespace

SimTransport::SimTransport() : _name("Multiplex A"), _output_enabled(true), _seed(20240601u) {
    _services = {
        {1, "News 24", "Metro Broadcast", 0x100, 0x101, {0x101}, {0x102, 0x103}, {}, 0},
        {2, "Sports HD", "Arena Media", 0x200, 0x201, {0x201}, {0x202}, {0x205}, 0x1802},
        {3, "Radio Classic", "Metro Broadcast", 0x300, 0x301, {}, {0x301}, {}, 0},
        {7, "", "Unknown", 0x700, 0x701, {}, {}, {0x701}, 0xB00},
    };
    auto add = [this](uint32_t pid, const char* kind, const std::string& service, uint32_t kbps,
                      bool scrambled) {
        _pids.push_back({pid, kind, service, kbps, kbps, 0, 0, scrambled});
    };
    add(0x0000, "PAT", "-", 15, false);
    add(0x0011, "SDT", "-", 10, false);
    for (const SimService& s : _services) {
        const std::string name = ShownName(s);
        const bool scrambled = s.ca_system != 0;
        add(s.pmt_pid, "PMT", name, 15, false);
        for (uint32_t pid : s.video_pids)
            add(pid, "Video", name, 4200 + 1300 * s.number, scrambled);
        for (uint32_t pid : s.audio_pids)
            add(pid, "Audio", name, 192, scrambled);
        for (uint32_t pid : s.data_pids)
            add(pid, "Data", name, 60, scrambled);
    }
    add(0x1FFF, "Null", "-", 900, false);
    _packet_millis.assign(_pids.size(), 0);
}

uint32_t SimTransport::_random() {
    // A 32-bit linear congruential generator: cheap and the same on every host.
    _seed = _seed * 1664525u + 1013904223u;
    return _seed >> 8;
}

SimPid* SimTransport::_find(uint32_t pid) {
    for (SimPid& p : _pids)
        if (p.pid == pid) return &p;
    return nullptr;
}

void SimTransport::Step(uint32_t milliseconds) {
    for (std::size_t i = 0; i < _pids.size(); ++i) {
        SimPid& p = _pids[i];
        if (!_output_enabled) {
            p.kbps = 0;
            continue;
        }
        // Up to +-4 % jitter around the nominal rate.
        const int32_t spread = static_cast<int32_t>(p.nominal_kbps / 25 + 1);
        const int32_t jitter =
            static_cast<int32_t>(_random() % static_cast<uint32_t>(2 * spread + 1)) - spread;
        p.kbps = static_cast<uint32_t>(static_cast<int32_t>(p.nominal_kbps) + jitter);
        _packet_millis[i] += uint64_t{p.kbps} * 1000u * milliseconds / kPacketBits;
        p.packets = _packet_millis[i] / 1000u;
        // A continuity error now and then on the busy PIDs.
        if (p.nominal_kbps > 1000 && _random() % 4000 < milliseconds / 10 + 1) ++p.cc_errors;
    }
}

void SimTransport::SetVideoKbps(uint32_t kbps) {
    if (_services.empty() || _services[0].video_pids.empty()) return;
    if (SimPid* p = _find(_services[0].video_pids[0])) p->nominal_kbps = kbps;
}

void SimTransport::SetFirstServiceName(const std::string& name) {
    if (_services.empty()) return;
    SimService& s = _services[0];
    s.name = name;
    const std::string shown = ShownName(s);
    std::vector<uint32_t> owned = {s.pmt_pid};
    for (const auto* list : {&s.video_pids, &s.audio_pids, &s.data_pids})
        owned.insert(owned.end(), list->begin(), list->end());
    for (uint32_t pid : owned)
        if (SimPid* p = _find(pid)) p->service = shown;
}

void SimTransport::SetOutputEnabled(bool enabled) {
    _output_enabled = enabled;
}

void SimTransport::ResetErrors() {
    for (SimPid& p : _pids)
        p.cc_errors = 0;
}

int32_t SimTransport::TotalKbps() const {
    int64_t sum = 0;
    for (const SimPid& p : _pids)
        sum += p.kbps;
    return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

uint64_t SimTransport::TotalPackets() const {
    uint64_t sum = 0;
    for (const SimPid& p : _pids)
        sum += p.packets;
    return sum;
}

uint32_t SimTransport::TotalErrors() const {
    uint32_t sum = 0;
    for (const SimPid& p : _pids)
        sum += p.cc_errors;
    return sum;
}

void SimTransport::NextSymbol(int32_t& x, int32_t& y) {
    static const int32_t kLevels[4] = {-75, -25, 25, 75};
    const uint32_t r = _random();
    x = kLevels[r & 3u] + static_cast<int32_t>(_random() % 17) - 8;
    y = kLevels[(r >> 2) & 3u] + static_cast<int32_t>(_random() % 17) - 8;
}
