// Benchmark driver: checks every case's output against the others', measures each case with
// Google Benchmark (median of repetitions, run interleaved) and prints one comparison table: MB/s
// of the text, the speed of webjson relative to each case, and each case's peak extra heap.
//
//   webjson-bench [--quick] [--reps=N] [--filter=TEXT] [--table-rows=N] [Google Benchmark flags]
//   webjson-bench --filter=TEXT --loops=N   (runs the matching cases N times each, for a profiler)
#include <benchmark/benchmark.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "bench_data.h"
#include "heap_counter.h"

namespace {

using bench::Case;
using bench::Doc;
using bench::Kind;

struct Result {
    double ms = 0.0;       // median time of one operation
    std::size_t heap = 0;  // peak extra heap of one operation
    bool checked = false;  // output equal to the reference
};

class Collector : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> median_ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                median_ms[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string Name(const Case& c) {
    return std::string(bench::DocName(c.doc)) + "/" + bench::KindName(c.kind) + "/" + c.library +
           ": " + c.label;
}

std::string CpuName() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

// Runs the case twice (the first run grows the buffers it reuses), then once more counting the
// heap, and compares its result with the reference.
Result Check(Case& c) {
    Result result;
    c.Run();
    c.Run();
    c.Release();
    bench::HeapStart();
    c.Run();
    result.heap = bench::HeapStop();
    if (c.kind == Kind::kRead) {
        result.checked = c.Matches();
    } else {
        const std::string& reference = bench::DocText(c.doc);
        std::string out = c.Output();
        result.checked = c.SameBytes() ? out == reference : bench::SameJsonValue(out, reference);
    }
    return result;
}

std::string Heap(std::size_t bytes) {
    char text[32];
    if (bytes < 10 * 1024) {
        std::snprintf(text, sizeof text, "%zu B", bytes);
    } else if (bytes < 10 * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%zu KiB", bytes / 1024);
    } else {
        std::snprintf(text, sizeof text, "%zu MiB", bytes / (1024 * 1024));
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int reps = 15;
    double min_time = 0.1;
    std::string filter;
    int loops = 0;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            reps = 5;
            min_time = 0.02;
        } else if (std::strncmp(argv[i], "--reps=", 7) == 0) {
            reps = std::atoi(argv[i] + 7);
        } else if (std::strncmp(argv[i], "--loops=", 8) == 0) {
            loops = std::atoi(argv[i] + 8);
        } else if (std::strncmp(argv[i], "--filter=", 9) == 0) {
            filter = argv[i] + 9;
        } else if (std::strncmp(argv[i], "--table-rows=", 13) == 0) {
            bench::SetTableRows(std::atoi(argv[i] + 13));
        } else {
            args.push_back(argv[i]);
        }
    }
    // Repetitions of all cases in random order, so that a change of the machine's load during the
    // run falls on every library alike (a later flag on the command line still decides).
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + (args.empty() ? 0 : 1), interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    bench::TheCorpus();
    bench::CaseList cases;
    bench::AddWebjsonCases(cases);
    bench::AddRapidjsonCases(cases);
    bench::AddNlohmannCases(cases);
    bench::AddFloorCases(cases);

    // Trees of the write cases first, then the texts and everything else.
    auto selected = [&filter](const Case& c) { return Name(c).find(filter) != std::string::npos; };
    for (auto& c : cases) {
        if (c->kind != Kind::kRead && selected(*c)) c->Prepare();
    }
    for (auto& c : cases) {
        if (c->kind == Kind::kRead && selected(*c)) c->Prepare();
    }
    if (loops > 0) {
        for (auto& c : cases) {
            if (!selected(*c)) continue;
            for (int i = 0; i < loops; ++i)
                c->Run();
        }
        return 0;
    }

    std::map<const Case*, Result> results;
    bool all_checked = true;
    for (auto& c : cases) {
        std::string name = Name(*c);
        if (!selected(*c)) continue;
        Result r = Check(*c);
        if (!r.checked) {
            std::fprintf(stderr, "OUTPUT MISMATCH: %s\n", name.c_str());
            all_checked = false;
        }
        results[c.get()] = r;
        Case* p = c.get();
        const std::size_t bytes = bench::DocText(c->doc).size();
        benchmark::RegisterBenchmark(
            name.c_str(),
            [p, bytes](benchmark::State& state) {
                for (auto _ : state)
                    p->Run();
                state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
            })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(reps)
            ->MinTime(min_time)
            ->ReportAggregatesOnly(true);
    }

    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    for (auto& [c, r] : results)
        r.ms = collector.median_ms[Name(*c)];

    utsname host{};
    uname(&host);
    std::printf("\nMachine: %s, %s %s; compiler: %s %s; %d repetitions, median CPU time.\n",
                CpuName().c_str(), host.sysname, host.machine,
#if defined(__clang__)
                "clang",
#else
                "gcc",
#endif
                __VERSION__, reps);
    std::printf("Documents: table %zu bytes, request %zu bytes, records %zu bytes.\n\n",
                bench::DocText(Doc::kTable).size(), bench::DocText(Doc::kRequest).size(),
                bench::DocText(Doc::kRecords).size());
    std::printf(
        "| document | operation | library | path | ms | MB/s | webjson speed / this | "
        "peak extra heap | output |\n|---|---|---|---|---:|---:|---:|---:|---|\n");
    for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords}) {
        for (Kind kind : {Kind::kWrite, Kind::kFillWrite, Kind::kRead}) {
            double own = 0.0;
            for (auto& c : cases) {
                if (c->doc == doc && c->kind == kind && c->library == "webjson" &&
                    results.count(c.get())) {
                    own = results[c.get()].ms;
                }
            }
            for (auto& c : cases) {
                if (c->doc != doc || c->kind != kind || !results.count(c.get())) continue;
                const Result& r = results[c.get()];
                const double size = static_cast<double>(bench::DocText(doc).size());
                double mbs = r.ms > 0 ? size / 1e6 / (r.ms / 1e3) : 0.0;
                char ratio[16] = "-";
                if (own > 0 && r.ms > 0) std::snprintf(ratio, sizeof ratio, "%.2fx", r.ms / own);
                std::printf(
                    "| %s | %s | %s | %s | %.2f | %.0f | %s | %s | %s |\n", bench::DocName(doc),
                    bench::KindName(kind), c->library.c_str(), c->label.c_str(), r.ms, mbs, ratio,
                    Heap(r.heap).c_str(),
                    r.checked ? (c->SameBytes() || c->kind == Kind::kRead ? "equal" : "same value")
                              : "MISMATCH");
            }
        }
    }
    benchmark::Shutdown();
    return all_checked ? 0 : 1;
}
