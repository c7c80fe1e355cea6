// nlohmann/json cases: its value built from the plain data and written with operator<< or
// dump(), and parse of an istream or of a text in memory walked into plain data. Its objects keep
// their members sorted by name, so its text is compared with the others' as a JSON value, not byte
// for byte.
#include <nlohmann/json.hpp>

#include <sstream>

#include "bench_data.h"

namespace bench {

namespace {

using nlohmann::json;

json Build(Doc doc) {
    const Corpus& c = TheCorpus();
    json root = json::object();
    if (doc == Doc::kTable) {
        root["iTotalRecords"] = static_cast<int>(c.table.rows.size());
        json columns = json::array();
        for (const auto& s : c.table.columns)
            columns.push_back(s);
        root["sColumns"] = std::move(columns);
        root["download"] = false;
        json sorting = json::array();
        for (const auto& s : c.table.sorting)
            sorting.push_back(json::array({s.first, s.second}));
        root["aaSorting"] = std::move(sorting);
        json rows = json::array();
        for (const auto& r : c.table.rows) {
            json row = json::array();
            for (const auto& cell : r)
                row.push_back(cell);
            rows.push_back(std::move(row));
        }
        root["aaData"] = std::move(rows);
    } else if (doc == Doc::kRequest) {
        json pairs = json::array();
        for (const auto& p : c.request.pairs) {
            json pair = json::object();
            pair["name"] = p.first;
            pair["value"] = p.second;
            pairs.push_back(std::move(pair));
        }
        root["attributes"] = std::move(pairs);
    } else {
        json records = json::array();
        for (const Record& r : c.records.records) {
            json item = json::object();
            item["id"] = r.id;
            item["name"] = r.name;
            item["ok"] = r.ok;
            item["level"] = r.level;
            item["tags"] = json::array({r.tags[0], r.tags[1], r.tags[2]});
            records.push_back(std::move(item));
        }
        root["records"] = std::move(records);
    }
    return root;
}

void Walk(const json& j, TableData& out) {
    const json& columns = j.at("sColumns");
    out.columns.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        out.columns[i] = columns[i].get_ref<const std::string&>();
    }
    const json& sorting = j.at("aaSorting");
    out.sorting.resize(sorting.size());
    for (std::size_t i = 0; i < sorting.size(); ++i) {
        out.sorting[i].first = sorting[i].at(0).get_ref<const std::string&>();
        out.sorting[i].second = sorting[i].at(1).get_ref<const std::string&>();
    }
    const json& rows = j.at("aaData");
    out.rows.resize(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const json& row = rows[i];
        for (std::size_t c = 0; c < kTableColumns && c < row.size(); ++c) {
            out.rows[i][c] = row[c].get_ref<const std::string&>();
        }
    }
}

void Walk(const json& j, RequestData& out) {
    const json& pairs = j.at("attributes");
    out.pairs.resize(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        out.pairs[i].first = pairs[i].at("name").get_ref<const std::string&>();
        out.pairs[i].second = pairs[i].at("value").get_ref<const std::string&>();
    }
}

void Walk(const json& j, RecordsData& out) {
    const json& records = j.at("records");
    out.records.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const json& item = records[i];
        Record& r = out.records[i];
        r.id = item.at("id").get<int>();
        r.name = item.at("name").get_ref<const std::string&>();
        r.ok = item.at("ok").get<bool>();
        r.level = item.at("level").get<double>();
        const json& tags = item.at("tags");
        for (std::size_t t = 0; t < 3 && t < tags.size(); ++t)
            r.tags[t] = tags[t].get<int>();
    }
}

class WriteBuilt : public Case {
  public:
    explicit WriteBuilt(Doc d) : Case(d, Op::kWriteTree, "nlohmann", "value built, operator<<") {}
    void Prepare() override { _value = Build(doc); }
    void Run() override {
        _out.str(std::string());
        _out << _value;
    }
    std::string Output() override { return _out.str(); }
    bool SameBytes() const override { return false; }

  private:
    json _value;
    std::ostringstream _out;
};

class FillWrite : public Case {
  public:
    explicit FillWrite(Doc d) : Case(d, Op::kFillWrite, "nlohmann", "build value + operator<<") {}
    void Run() override {
        _out.str(std::string());
        _out << Build(doc);
    }
    std::string Output() override { return _out.str(); }
    bool SameBytes() const override { return false; }

  private:
    std::ostringstream _out;
};

// The form that the targets name: the text made with dump(), then written.
class FillDump : public Case {
  public:
    explicit FillDump(Doc d)
        : Case(d, Op::kFillWrite, "nlohmann", "build value + dump() + write") {}
    void Run() override {
        _out.str(std::string());
        const std::string text = Build(doc).dump();
        _out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::string Output() override { return _out.str(); }
    bool SameBytes() const override { return false; }

  private:
    std::ostringstream _out;
};

template <typename Data>
class ReadWalk : public Case {
  public:
    ReadWalk(Doc d, const Data& source)
        : Case(d, Op::kReadStream, "nlohmann", "parse(istream) + walk"), _source(source) {}
    void Prepare() override { _in.str(DocText(doc)); }
    void Run() override {
        _in.clear();
        _in.seekg(0);
        json value = json::parse(_in, nullptr, false);
        _ok = !value.is_discarded();
        if (_ok) Walk(value, _out);
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    std::istringstream _in;
    Data _out;
    bool _ok = false;
};

template <typename Data>
class ReadBufferWalk : public Case {
  public:
    ReadBufferWalk(Doc d, const Data& source)
        : Case(d, Op::kReadBuffer, "nlohmann", "parse(buffer) + walk"), _source(source) {}
    void Prepare() override {
        _begin = DocText(doc).data();
        _end = _begin + DocText(doc).size();
    }
    void Run() override {
        json value = json::parse(_begin, _end, nullptr, false);
        _ok = !value.is_discarded();
        if (_ok) Walk(value, _out);
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    const char* _begin = nullptr;
    const char* _end = nullptr;
    Data _out;
    bool _ok = false;
};

}  // namespace

void AddNlohmannCases(CaseList& cases) {
    for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords}) {
        cases.push_back(std::make_unique<WriteBuilt>(doc));
        cases.push_back(std::make_unique<FillWrite>(doc));
        cases.push_back(std::make_unique<FillDump>(doc));
    }
    const Corpus& c = TheCorpus();
    cases.push_back(std::make_unique<ReadWalk<TableData>>(Doc::kTable, c.table));
    cases.push_back(std::make_unique<ReadWalk<RequestData>>(Doc::kRequest, c.request));
    cases.push_back(std::make_unique<ReadWalk<RecordsData>>(Doc::kRecords, c.records));
    cases.push_back(std::make_unique<ReadBufferWalk<TableData>>(Doc::kTable, c.table));
    cases.push_back(std::make_unique<ReadBufferWalk<RequestData>>(Doc::kRequest, c.request));
    cases.push_back(std::make_unique<ReadBufferWalk<RecordsData>>(Doc::kRecords, c.records));
}

// Whether two texts hold the same JSON value (members in any order).
bool SameJsonValue(const std::string& a, const std::string& b) {
    json x = json::parse(a, nullptr, false);
    json y = json::parse(b, nullptr, false);
    return !x.is_discarded() && !y.is_discarded() && x == y;
}

}  // namespace bench
