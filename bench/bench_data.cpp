// Deterministic document contents: a small linear congruential generator, so every run and
// every machine measures the same bytes.
#include "bench_data.h"

#include <cstdint>
#include <cstdio>

namespace bench {

namespace {

class Lcg {
  public:
    explicit Lcg(std::uint32_t seed) : _state(seed) {}
    std::uint32_t Next() {
        _state = _state * 1664525u + 1013904223u;
        return _state >> 8;
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }

  private:
    std::uint32_t _state;
};

const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_.";
const char kEscaped[] = "\"\\\n\t";

// A text of 4 to 12 characters; one in eight holds a character that needs an escape.
std::string ShortText(Lcg& rng) {
    std::string text;
    std::uint32_t size = 4 + rng.Below(9);
    for (std::uint32_t i = 0; i < size; ++i)
        text.push_back(kLetters[rng.Below(sizeof kLetters - 1)]);
    if (rng.Below(8) == 0) text[rng.Below(size)] = kEscaped[rng.Below(sizeof kEscaped - 1)];
    return text;
}

}  // namespace

TableData MakeTable(int rows) {
    Lcg rng(1);
    TableData table;
    for (int c = 0; c < kTableColumns; ++c)
        table.columns.push_back("Column " + std::to_string(c));
    table.sorting.emplace_back("0", "asc");
    table.sorting.emplace_back("3", "desc");
    table.rows.resize(static_cast<std::size_t>(rows));
    for (auto& row : table.rows) {
        for (auto& cell : row)
            cell = ShortText(rng);
    }
    return table;
}

RequestData MakeRequest(int pairs) {
    Lcg rng(2);
    RequestData request;
    request.pairs.reserve(static_cast<std::size_t>(pairs));
    char name[64];
    for (int i = 0; i < pairs; ++i) {
        std::snprintf(name, sizeof name, "100.%X.0.%X.0.0%c", 0x20 + i % 64, i, "isb"[i % 3]);
        std::string value;
        switch (i % 3) {
            case 0:
                value = std::to_string(static_cast<int>(rng.Below(200000)) - 100000);
                break;
            case 1:
                value = ShortText(rng);
                break;
            default:
                value = rng.Below(2) ? "true" : "false";
                break;
        }
        request.pairs.emplace_back(name, value);
    }
    return request;
}

RecordsData MakeRecords(int records) {
    Lcg rng(3);
    RecordsData data;
    data.records.resize(static_cast<std::size_t>(records));
    int id = 0;
    for (Record& r : data.records) {
        r.id = id++ * 37 - 1000;
        r.name = "record-" + ShortText(rng);
        r.ok = rng.Below(3) != 0;
        // Three significant digits, never a whole number, so every library writes the same text.
        int hundred = 101 + static_cast<int>(rng.Below(899));
        if (hundred % 10 == 0) ++hundred;
        r.level = hundred / 10.0;
        for (int& t : r.tags)
            t = static_cast<int>(rng.Below(100000)) - 50000;
    }
    return data;
}

const char* DocName(Doc doc) {
    switch (doc) {
        case Doc::kTable:
            return "table";
        case Doc::kRequest:
            return "request";
        default:
            return "records";
    }
}

const char* OpName(Op op) {
    switch (op) {
        case Op::kWriteTree:
            return "write";
        case Op::kFillWrite:
            return "fill+write";
        case Op::kStreamWrite:
            return "stream-write";
        case Op::kStreamString:
            return "stream-string";
        case Op::kReadStream:
            return "read+walk";
        default:
            return "buffer-read+walk";
    }
}

const char* OpTitle(Op op) {
    switch (op) {
        case Op::kWriteTree:
            return "write, tree built -> ostream";
        case Op::kFillWrite:
            return "fill tree + write -> ostream";
        case Op::kStreamWrite:
            return "streamed write from data -> ostream";
        case Op::kStreamString:
            return "streamed write from data -> std::string";
        case Op::kReadStream:
            return "read from istream + walk";
        default:
            return "read from buffer + walk";
    }
}

namespace {
int table_rows = 20000;
}  // namespace

void SetTableRows(int rows) {
    if (rows > 0) table_rows = rows;
}

const Corpus& TheCorpus() {
    static const Corpus corpus = [] {
        Corpus c;
        c.table = MakeTable(table_rows);
        c.request = MakeRequest(20000);
        c.records = MakeRecords(50000);
        return c;
    }();
    return corpus;
}

const std::string& DocText(Doc doc) {
    // Each made on first use, after the trees of the write cases (see the driver), and only the
    // ones asked for: a run of one case (bench/run.sh --arm) makes only its own.
    static std::string texts[3];
    static bool made[3] = {false, false, false};
    const int i = static_cast<int>(doc);
    if (!made[i]) {
        texts[i] = WebjsonText(doc, TheCorpus());
        made[i] = true;
    }
    return texts[i];
}

}  // namespace bench
