// Counting driver: the benchmark's cases without Google Benchmark, for the armhf build that
// bench/run.sh --arm runs under qemu-user with an instruction counter (bench/arm/insn_count.c).
//
//   webjson-bench-count --list [--filter=TEXT]        the names of the cases, one a line
//   webjson-bench-count --case=NAME --loops=N         runs that one case N times
//   webjson-bench-count --filter=TEXT --loops=N       runs the matching cases N times each
//   webjson-bench-count --counts=FILE                 checks the cases named in FILE and prints
//                                                     the tables with their counts
// FILE has one line per case: instructions per operation, a tab, the case's name.
// --table-rows=N sets the size of the table document, as in webjson-bench.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "bench_report.h"

int main(int argc, char** argv) {
    std::string filter;
    std::string only;
    std::string counts_path;
    bool list = false;
    int loops = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--list") == 0) {
            list = true;
        } else if (std::strncmp(argv[i], "--loops=", 8) == 0) {
            loops = std::atoi(argv[i] + 8);
        } else if (std::strncmp(argv[i], "--filter=", 9) == 0) {
            filter = argv[i] + 9;
        } else if (std::strncmp(argv[i], "--case=", 7) == 0) {
            only = argv[i] + 7;
        } else if (std::strncmp(argv[i], "--counts=", 9) == 0) {
            counts_path = argv[i] + 9;
        } else if (std::strncmp(argv[i], "--table-rows=", 13) == 0) {
            bench::SetTableRows(std::atoi(argv[i] + 13));
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return 2;
        }
    }

    bench::CaseList cases = bench::AllCases();
    std::map<std::string, double> counts;
    if (!counts_path.empty()) {
        std::ifstream in(counts_path);
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t tab = line.find('\t');
            if (tab != std::string::npos) counts[line.substr(tab + 1)] = std::atof(line.c_str());
        }
    }
    // Only the cases asked for are kept, so that no other case prepares anything.
    for (auto it = cases.begin(); it != cases.end();) {
        const std::string name = bench::CaseName(**it);
        const bool kept = name.find(filter) != std::string::npos &&
                          (only.empty() || name == only) &&
                          (counts_path.empty() || counts.count(name) != 0);
        it = kept ? it + 1 : cases.erase(it);
    }
    if (list) {
        for (const auto& c : cases)
            std::printf("%s\n", bench::CaseName(*c).c_str());
        return 0;
    }
    if (cases.empty()) {
        std::fprintf(stderr, "no case matches\n");
        return 2;
    }

    bench::TheCorpus();
    bench::PrepareCases(cases, "");
    if (loops > 0) {
        bench::RunCases(cases, "", loops);
        return 0;
    }

    std::map<const bench::Case*, bench::Result> results;
    bool all_checked = true;
    for (auto& c : cases) {
        bench::Result r = bench::Check(*c);
        if (!r.checked) {
            std::fprintf(stderr, "OUTPUT MISMATCH: %s\n", bench::CaseName(*c).c_str());
            all_checked = false;
        }
        r.cost = counts[bench::CaseName(*c)];
        results[c.get()] = r;
    }
    std::printf("\nInstructions per operation of the %s build (gcc %s), counted under qemu-user.\n",
#if defined(__arm__)
                "armhf",
#else
                "host",
#endif
                __VERSION__);
    bench::PrintTables(cases, results, bench::Unit::kInstructions);
    return all_checked ? 0 : 1;
}
