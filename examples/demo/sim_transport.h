// Simulated transport stream for the demo: one multiplex with a few services, the PIDs that
// carry them, and per-PID counters that move as time passes.
#ifndef WEBJSON_DEMO_SIM_TRANSPORT_H
#define WEBJSON_DEMO_SIM_TRANSPORT_H

#include <cstdint>
#include <string>
#include <vector>

struct SimService {
    uint32_t number;
    std::string name;  // may be empty: the table and the tree then show "Unknown Service"
    std::string provider;
    uint32_t pmt_pid;
    uint32_t pcr_pid;
    std::vector<uint32_t> video_pids;
    std::vector<uint32_t> audio_pids;
    std::vector<uint32_t> data_pids;
    uint32_t ca_system;  // 0: free to air
};

struct SimPid {
    uint32_t pid;
    std::string kind;     // PAT, SDT, PMT, Video, Audio, Data or Null
    std::string service;  // the owning service's name, or "-" for table and null PIDs
    uint32_t nominal_kbps;
    uint32_t kbps;  // current bitrate, nominal plus jitter; 0 while the output is off
    uint64_t packets;
    uint32_t cc_errors;
    bool scrambled;
};

// Deterministic: the same steps give the same numbers, so runs can be compared.
class SimTransport {
  public:
    SimTransport();

    const std::string& Name() const { return _name; }
    const std::vector<SimService>& Services() const { return _services; }
    const std::vector<SimPid>& Pids() const { return _pids; }

    // Advances the counters by the given time.
    void Step(uint32_t milliseconds);
    // Sets the nominal bitrate of the first service's video PID.
    void SetVideoKbps(uint32_t kbps);
    // Renames the first service (its node in the tree and its PIDs' rows).
    void SetFirstServiceName(const std::string& name);
    // While off, every PID carries 0 kbit/s and no packet is counted.
    void SetOutputEnabled(bool enabled);
    bool OutputEnabled() const { return _output_enabled; }
    void ResetErrors();

    // Sum of the current bitrates, kbit/s.
    int32_t TotalKbps() const;
    uint64_t TotalPackets() const;
    uint32_t TotalErrors() const;
    // One received symbol of a 16-point constellation with noise: x and y in about -100..100.
    void NextSymbol(int32_t& x, int32_t& y);

  private:
    uint32_t _random();
    SimPid* _find(uint32_t pid);

    std::string _name;
    std::vector<SimService> _services;
    std::vector<SimPid> _pids;
    bool _output_enabled;
    uint32_t _seed;
    // Packets are counted in 1/1000 so that short steps do not round away.
    std::vector<uint64_t> _packet_millis;
};

#endif  // WEBJSON_DEMO_SIM_TRANSPORT_H
