// Timing driver: checks every case's output against the reference, measures each case with
// Google Benchmark (median of repetitions, run interleaved) and prints the tables: every case's
// time, MB/s of the text and peak extra heap, then webjson against the cases of its operation.
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

#include "bench_report.h"

namespace {

using bench::Case;
using bench::Result;

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

std::string CpuName() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
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
    bench::CaseList cases = bench::AllCases();
    bench::PrepareCases(cases, filter);
    if (loops > 0) {
        bench::RunCases(cases, filter, loops);
        return 0;
    }

    std::map<const Case*, Result> results;
    bool all_checked = true;
    for (auto& c : cases) {
        std::string name = bench::CaseName(*c);
        if (name.find(filter) == std::string::npos) continue;
        Result r = bench::Check(*c);
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
        r.cost = collector.median_ms[bench::CaseName(*c)];

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
    bench::PrintTables(cases, results, bench::Unit::kMilliseconds);
    benchmark::Shutdown();
    return all_checked ? 0 : 1;
}
