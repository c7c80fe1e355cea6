// The three benchmark documents as plain C++ data, made deterministically, and the benchmark
// case interface that every library's cases implement.
#ifndef WEBJSON_BENCH_DATA_H
#define WEBJSON_BENCH_DATA_H

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bench {

constexpr int kTableColumns = 6;

struct TableData {
    std::vector<std::string> columns;
    // Default sort orders: column index as text and "asc" or "desc".
    std::vector<std::pair<std::string, std::string>> sorting;
    std::vector<std::array<std::string, kTableColumns>> rows;
    bool operator==(const TableData& o) const {
        return columns == o.columns && sorting == o.sorting && rows == o.rows;
    }
};

struct RequestData {
    std::vector<std::pair<std::string, std::string>> pairs;
    bool operator==(const RequestData& o) const { return pairs == o.pairs; }
};

struct Record {
    int id = 0;
    std::string name;
    bool ok = false;
    double level = 0.0;
    std::array<int, 3> tags{};
    bool operator==(const Record& o) const {
        return id == o.id && name == o.name && ok == o.ok && level == o.level && tags == o.tags;
    }
};

struct RecordsData {
    std::vector<Record> records;
    bool operator==(const RecordsData& o) const { return records == o.records; }
};

TableData MakeTable(int rows);
RequestData MakeRequest(int pairs);
RecordsData MakeRecords(int records);

// The rows of the table document: 20 000 unless set before the first TheCorpus call.
void SetTableRows(int rows);

// The source data of the run.
struct Corpus {
    TableData table;
    RequestData request;
    RecordsData records;
};
const Corpus& TheCorpus();

enum class Doc { kTable, kRequest, kRecords };

// What a case does. The table compares every webjson case with the other cases of its
// operation: the peers it must beat (and the floors, the least any stream costs).
enum class Op {
    kWriteTree,     // a tree built beforehand, written into an ostream
    kFillWrite,     // a tree built from the plain data and written into an ostream
    kStreamWrite,   // the plain data written into an ostream, no tree
    kStreamString,  // the plain data written into a std::string, no tree
    kReadStream,    // an istream read, the result walked into the plain data
    kReadBuffer,    // a text in memory read, the result walked into the plain data
};
constexpr Op kOps[] = {Op::kWriteTree,    Op::kFillWrite,  Op::kStreamWrite,
                       Op::kStreamString, Op::kReadStream, Op::kReadBuffer};
const char* DocName(Doc doc);
// Short name of an operation, part of the case names that --filter matches.
const char* OpName(Op op);
// What the table calls the operation.
const char* OpTitle(Op op);
inline bool IsRead(Op op) {
    return op == Op::kReadStream || op == Op::kReadBuffer;
}
// The text of a document as webjson writes it: what the write cases must write (the same bytes
// or the same JSON value) and what every read case reads.
const std::string& DocText(Doc doc);

// One measured operation. To add one: a class derived from Case, constructed with its document,
// its operation, its library and how it does it, and one line in its library's Add...Cases.
// Write cases keep the text of their last run for Output(); read
// cases keep the plain data of their last run for Matches().
class Case {
  public:
    Case(Doc d, Op o, std::string lib, std::string text)
        : doc(d), op(o), library(std::move(lib)), label(std::move(text)) {}
    virtual ~Case() = default;

    // Untimed preparation (trees, streams); called once before any Run. The write cases are
    // prepared first, so that every library builds its tree on a heap not yet cut up by the
    // trees made and dropped for the other cases.
    virtual void Prepare() {}
    // Drops what the last Run left behind (a filled tree), before the heap is measured.
    virtual void Release() {}
    // The timed operation.
    virtual void Run() = 0;
    // Write cases: the text written by the last Run.
    virtual std::string Output() { return {}; }
    // Read cases: whether the plain data read by the last Run equals the source.
    virtual bool Matches() { return false; }
    // Whether Output() must equal the reference text byte for byte (false: same JSON value).
    virtual bool SameBytes() const { return true; }

    const Doc doc;
    const Op op;
    const std::string library;
    const std::string label;
};

using CaseList = std::vector<std::unique_ptr<Case>>;
void AddWebjsonCases(CaseList& cases);
void AddRapidjsonCases(CaseList& cases);  // calls the two below
void AddRapidjsonStringCases(CaseList& cases);
void AddRapidjsonBufferCases(CaseList& cases);
void AddNlohmannCases(CaseList& cases);
void AddFloorCases(CaseList& cases);

// Whether two texts hold the same JSON value, members in any order.
bool SameJsonValue(const std::string& a, const std::string& b);

// The writer of the webjson reference text of each document (used to build TheCorpus).
std::string WebjsonText(Doc doc, const Corpus& corpus);

}  // namespace bench

#endif  // WEBJSON_BENCH_DATA_H
