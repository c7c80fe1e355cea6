// Cases, checks and tables shared by the timing and the counting driver.
#include "bench_report.h"

#include <cstdio>
#include <vector>

#include "heap_counter.h"

namespace bench {

namespace {

constexpr Doc kDocs[] = {Doc::kTable, Doc::kRequest, Doc::kRecords};

bool Selected(const Case& c, const std::string& filter) {
    return filter.empty() || CaseName(c).find(filter) != std::string::npos;
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

// The speed of one operation on a document: MB/s of its text, or instructions per byte of it.
std::string Speed(double cost, Doc doc, Unit unit) {
    char text[32] = "-";
    const double size = static_cast<double>(DocText(doc).size());
    if (cost <= 0) return text;
    if (unit == Unit::kMilliseconds) {
        std::snprintf(text, sizeof text, "%.0f MB/s", size / 1e6 / (cost / 1e3));
    } else {
        std::snprintf(text, sizeof text, "%.2f insn/B", cost / size);
    }
    return text;
}

std::string Cost(double cost, Unit unit) {
    char text[32];
    if (unit == Unit::kMilliseconds) {
        std::snprintf(text, sizeof text, "%.2f", cost);
    } else {
        std::snprintf(text, sizeof text, "%.0f", cost);
    }
    return text;
}

const Result* Find(const std::map<const Case*, Result>& results, const Case& c) {
    auto it = results.find(&c);
    return it == results.end() ? nullptr : &it->second;
}

// The case of the same library, operation and label on another document.
const Case* Twin(const CaseList& cases, const Case& c, Doc doc) {
    for (const auto& other : cases) {
        if (other->doc == doc && other->op == c.op && other->library == c.library &&
            other->label == c.label) {
            return other.get();
        }
    }
    return nullptr;
}

}  // namespace

CaseList AllCases() {
    CaseList cases;
    AddWebjsonCases(cases);
    AddRapidjsonCases(cases);
    AddNlohmannCases(cases);
    AddFloorCases(cases);
    return cases;
}

std::string CaseName(const Case& c) {
    return std::string(DocName(c.doc)) + "/" + OpName(c.op) + "/" + c.library + ": " + c.label;
}

void PrepareCases(CaseList& cases, const std::string& filter) {
    // Trees of the write cases first, then the texts and everything else.
    for (auto& c : cases) {
        if (!IsRead(c->op) && Selected(*c, filter)) c->Prepare();
    }
    for (auto& c : cases) {
        if (IsRead(c->op) && Selected(*c, filter)) c->Prepare();
    }
}

void RunCases(CaseList& cases, const std::string& filter, int loops) {
    for (auto& c : cases) {
        if (!Selected(*c, filter)) continue;
        for (int i = 0; i < loops; ++i)
            c->Run();
    }
}

Result Check(Case& c) {
    Result result;
    c.Run();
    c.Run();
    c.Release();
    HeapStart();
    c.Run();
    result.heap = HeapStop();
    if (IsRead(c.op)) {
        result.checked = c.Matches();
    } else {
        const std::string& reference = DocText(c.doc);
        std::string out = c.Output();
        result.checked = c.SameBytes() ? out == reference : SameJsonValue(out, reference);
    }
    return result;
}

void PrintTables(const CaseList& cases, const std::map<const Case*, Result>& results, Unit unit) {
    const bool ms = unit == Unit::kMilliseconds;
    std::printf("Documents: table %zu bytes, request %zu bytes, records %zu bytes.\n\n",
                DocText(Doc::kTable).size(), DocText(Doc::kRequest).size(),
                DocText(Doc::kRecords).size());

    std::printf("| document | operation | library | path | %s | %s | peak extra heap | output |\n",
                ms ? "ms" : "instructions", ms ? "speed" : "per byte");
    std::printf("|---|---|---|---|---:|---:|---:|---|\n");
    for (Doc doc : kDocs) {
        for (Op op : kOps) {
            for (const auto& c : cases) {
                const Result* r = Find(results, *c);
                if (c->doc != doc || c->op != op || r == nullptr) continue;
                std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", DocName(doc),
                            OpTitle(op), c->library.c_str(), c->label.c_str(),
                            Cost(r->cost, unit).c_str(), Speed(r->cost, doc, unit).c_str(),
                            Heap(r->heap).c_str(),
                            r->checked ? (c->SameBytes() || IsRead(op) ? "equal" : "same value")
                                       : "MISMATCH");
            }
        }
    }

    // Each webjson case of an operation with its speed, then how many times faster it is than
    // every other case of that operation (peer cost / webjson cost). An operation without a
    // webjson case shows its cases' speeds.
    std::printf(
        "\nwebjson against the other cases of its operation (%s; Nx: webjson is N times "
        "%s):\n\n",
        ms ? "MB/s" : "instructions per byte of text", ms ? "faster" : "cheaper in instructions");
    std::printf("| operation | case | table | request | records |\n|---|---|---:|---:|---:|\n");
    for (Op op : kOps) {
        std::vector<const Case*> own, others;
        for (const auto& c : cases) {
            if (c->op != op || c->doc != Doc::kTable) continue;
            bool any = false;
            for (Doc doc : kDocs) {
                const Case* twin = Twin(cases, *c, doc);
                any = any || (twin != nullptr && Find(results, *twin) != nullptr);
            }
            if (any) (c->library == "webjson" ? own : others).push_back(c.get());
        }
        if (own.empty() && others.empty()) continue;
        const char* title = OpTitle(op);
        // A row of c: its speeds (base null), or how many times faster base is than c.
        auto row = [&](const Case& c, const Case* base) {
            const char* bold = c.library == "webjson" ? "**" : "";
            std::printf("| %s | %s%s%s%s: %s |", title, base ? "vs " : "", bold, c.library.c_str(),
                        bold, c.label.c_str());
            for (Doc doc : kDocs) {
                const Case* twin = Twin(cases, c, doc);
                const Result* r = twin ? Find(results, *twin) : nullptr;
                const Case* base_twin = base ? Twin(cases, *base, doc) : nullptr;
                const Result* b = base_twin ? Find(results, *base_twin) : nullptr;
                char cell[32] = "-";
                if (base == nullptr && r != nullptr) {
                    std::snprintf(cell, sizeof cell, "%s", Speed(r->cost, doc, unit).c_str());
                } else if (r != nullptr && b != nullptr && r->cost > 0 && b->cost > 0) {
                    std::snprintf(cell, sizeof cell, "%.2fx", r->cost / b->cost);
                }
                std::printf(" %s |", cell);
            }
            std::printf("\n");
            title = "";
        };
        if (own.empty()) {
            std::printf("| %s | (no webjson case) | | | |\n", title);
            title = "";
            for (const Case* c : others)
                row(*c, nullptr);
        }
        for (const Case* w : own) {
            row(*w, nullptr);
            for (const Case* c : others)
                row(*c, w);
        }
    }
}

}  // namespace bench
