// What both benchmark drivers share: the cases, their names, the check of their output and the
// printed tables. The timing driver (bench_main.cpp) measures with Google Benchmark; the counting
// driver (bench_count.cpp) runs cases for an instruction counter and prints the counts it is given.
#ifndef WEBJSON_BENCH_REPORT_H
#define WEBJSON_BENCH_REPORT_H

#include <cstddef>
#include <map>
#include <string>

#include "bench_data.h"

namespace bench {

// Every case of every library, in the order of the tables.
CaseList AllCases();

// "DOC/OP/LIBRARY: LABEL": what --filter matches.
std::string CaseName(const Case& c);

// Prepares the cases whose name holds filter (all when it is empty), the write cases first.
void PrepareCases(CaseList& cases, const std::string& filter);

// Runs every case whose name holds filter `loops` times: for a profiler or an instruction counter.
void RunCases(CaseList& cases, const std::string& filter, int loops);

struct Result {
    double cost = 0.0;     // one operation: milliseconds, or instructions
    std::size_t heap = 0;  // peak extra heap of one operation
    bool checked = false;  // output equal to the reference
};

// Runs the case twice (the first run grows the buffers it reuses), then once more counting the
// heap, and compares its result with the reference.
Result Check(Case& c);

enum class Unit { kMilliseconds, kInstructions };

// Prints the table of every case with a result, then the table that sets each webjson case
// against the other cases of its operation.
void PrintTables(const CaseList& cases, const std::map<const Case*, Result>& results, Unit unit);

}  // namespace bench

#endif  // WEBJSON_BENCH_REPORT_H
