// What the RapidJSON cases share: the plain data written straight into a Writer, RapidJSON's
// document built from it and walked back into it, and SAX handlers that fill it. Every source
// file that includes this gets its own copy, internal to it, as a program's own code would be:
// the cases are spread over several files because GCC's inlining of RapidJSON's Writer and Reader
// into a file's cases depends on the other cases of that file (a second caller of the same
// writer functions added a quarter to the instructions per byte of the table on armhf).
#ifndef WEBJSON_BENCH_RAPIDJSON_H
#define WEBJSON_BENCH_RAPIDJSON_H

#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

#include "bench_data.h"

namespace bench {

namespace {

using rapidjson::SizeType;
using rapidjson::Value;

[[maybe_unused]] SizeType Size(std::size_t n) {
    return static_cast<SizeType>(n);
}

// ----- writing straight from the plain data

template <typename W>
void Emit(W& w, const TableData& t) {
    w.StartObject();
    w.Key("iTotalRecords");
    w.Int(static_cast<int>(t.rows.size()));
    w.Key("sColumns");
    w.StartArray();
    for (const auto& c : t.columns)
        w.String(c.data(), Size(c.size()));
    w.EndArray();
    w.Key("download");
    w.Bool(false);
    w.Key("aaSorting");
    w.StartArray();
    for (const auto& s : t.sorting) {
        w.StartArray();
        w.String(s.first.data(), Size(s.first.size()));
        w.String(s.second.data(), Size(s.second.size()));
        w.EndArray();
    }
    w.EndArray();
    w.Key("aaData");
    w.StartArray();
    for (const auto& row : t.rows) {
        w.StartArray();
        for (const auto& cell : row)
            w.String(cell.data(), Size(cell.size()));
        w.EndArray();
    }
    w.EndArray();
    w.EndObject();
}

template <typename W>
void Emit(W& w, const RequestData& r) {
    w.StartObject();
    w.Key("attributes");
    w.StartArray();
    for (const auto& p : r.pairs) {
        w.StartObject();
        w.Key("name");
        w.String(p.first.data(), Size(p.first.size()));
        w.Key("value");
        w.String(p.second.data(), Size(p.second.size()));
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

template <typename W>
void Emit(W& w, const RecordsData& d) {
    w.StartObject();
    w.Key("records");
    w.StartArray();
    for (const Record& r : d.records) {
        w.StartObject();
        w.Key("id");
        w.Int(r.id);
        w.Key("name");
        w.String(r.name.data(), Size(r.name.size()));
        w.Key("ok");
        w.Bool(r.ok);
        w.Key("level");
        w.Double(r.level);
        w.Key("tags");
        w.StartArray();
        for (int t : r.tags)
            w.Int(t);
        w.EndArray();
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

template <typename W>
void EmitDoc(W& w, Doc doc) {
    const Corpus& c = TheCorpus();
    switch (doc) {
        case Doc::kTable:
            Emit(w, c.table);
            break;
        case Doc::kRequest:
            Emit(w, c.request);
            break;
        default:
            Emit(w, c.records);
            break;
    }
}

// ----- its document, built from the plain data (strings copied into the document)

[[maybe_unused]] void Build(rapidjson::Document& d, Doc doc) {
    const Corpus& c = TheCorpus();
    auto& a = d.GetAllocator();
    auto text = [&a](const std::string& s) { return Value(s.data(), Size(s.size()), a); };
    d.SetObject();
    if (doc == Doc::kTable) {
        d.AddMember("iTotalRecords", static_cast<int>(c.table.rows.size()), a);
        Value columns(rapidjson::kArrayType);
        for (const auto& s : c.table.columns)
            columns.PushBack(text(s), a);
        d.AddMember("sColumns", columns, a);
        d.AddMember("download", false, a);
        Value sorting(rapidjson::kArrayType);
        for (const auto& s : c.table.sorting) {
            Value order(rapidjson::kArrayType);
            order.PushBack(text(s.first), a).PushBack(text(s.second), a);
            sorting.PushBack(order, a);
        }
        d.AddMember("aaSorting", sorting, a);
        Value rows(rapidjson::kArrayType);
        rows.Reserve(Size(c.table.rows.size()), a);
        for (const auto& r : c.table.rows) {
            Value row(rapidjson::kArrayType);
            row.Reserve(kTableColumns, a);
            for (const auto& cell : r)
                row.PushBack(text(cell), a);
            rows.PushBack(row, a);
        }
        d.AddMember("aaData", rows, a);
    } else if (doc == Doc::kRequest) {
        Value pairs(rapidjson::kArrayType);
        pairs.Reserve(Size(c.request.pairs.size()), a);
        for (const auto& p : c.request.pairs) {
            Value pair(rapidjson::kObjectType);
            pair.AddMember("name", text(p.first), a);
            pair.AddMember("value", text(p.second), a);
            pairs.PushBack(pair, a);
        }
        d.AddMember("attributes", pairs, a);
    } else {
        Value records(rapidjson::kArrayType);
        records.Reserve(Size(c.records.records.size()), a);
        for (const Record& r : c.records.records) {
            Value item(rapidjson::kObjectType);
            item.AddMember("id", r.id, a);
            item.AddMember("name", text(r.name), a);
            item.AddMember("ok", r.ok, a);
            item.AddMember("level", r.level, a);
            Value tags(rapidjson::kArrayType);
            for (int t : r.tags)
                tags.PushBack(t, a);
            item.AddMember("tags", tags, a);
            records.PushBack(item, a);
        }
        d.AddMember("records", records, a);
    }
}

// ----- walking its document into plain data

[[maybe_unused]] std::string Text(const Value& v) {
    return std::string(v.GetString(), v.GetStringLength());
}

[[maybe_unused]] void Walk(const rapidjson::Document& d, TableData& out) {
    const Value& columns = d["sColumns"];
    out.columns.resize(columns.Size());
    for (SizeType i = 0; i < columns.Size(); ++i)
        out.columns[i] = Text(columns[i]);
    const Value& sorting = d["aaSorting"];
    out.sorting.resize(sorting.Size());
    for (SizeType i = 0; i < sorting.Size(); ++i) {
        out.sorting[i].first = Text(sorting[i][0]);
        out.sorting[i].second = Text(sorting[i][1]);
    }
    const Value& rows = d["aaData"];
    out.rows.resize(rows.Size());
    for (SizeType i = 0; i < rows.Size(); ++i) {
        const Value& row = rows[i];
        for (SizeType c = 0; c < kTableColumns && c < row.Size(); ++c) {
            out.rows[i][c].assign(row[c].GetString(), row[c].GetStringLength());
        }
    }
}

[[maybe_unused]] void Walk(const rapidjson::Document& d, RequestData& out) {
    const Value& pairs = d["attributes"];
    out.pairs.resize(pairs.Size());
    for (SizeType i = 0; i < pairs.Size(); ++i) {
        const Value& name = pairs[i]["name"];
        const Value& value = pairs[i]["value"];
        out.pairs[i].first.assign(name.GetString(), name.GetStringLength());
        out.pairs[i].second.assign(value.GetString(), value.GetStringLength());
    }
}

[[maybe_unused]] void Walk(const rapidjson::Document& d, RecordsData& out) {
    const Value& records = d["records"];
    out.records.resize(records.Size());
    for (SizeType i = 0; i < records.Size(); ++i) {
        const Value& item = records[i];
        Record& r = out.records[i];
        r.id = item["id"].GetInt();
        const Value& name = item["name"];
        r.name.assign(name.GetString(), name.GetStringLength());
        r.ok = item["ok"].GetBool();
        r.level = item["level"].GetDouble();
        const Value& tags = item["tags"];
        for (SizeType t = 0; t < 3 && t < tags.Size(); ++t)
            r.tags[t] = tags[t].GetInt();
    }
}

// ----- SAX handlers that fill plain data

template <typename Derived>
struct Handler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Derived> {
    int objects = 0;  // objects open
    int arrays = 0;   // arrays open
    std::string key;  // last member name
    bool Key(const char* s, SizeType n, bool) {
        key.assign(s, n);
        return true;
    }
};

struct TableHandler : Handler<TableHandler> {
    TableData* out = nullptr;
    std::size_t cell = 0;
    bool StartArray() {
        ++arrays;
        if (arrays == 2 && key == "aaData") {
            out->rows.emplace_back();
            cell = 0;
        } else if (arrays == 2 && key == "aaSorting") {
            out->sorting.emplace_back();
            cell = 0;
        }
        return true;
    }
    bool EndArray(SizeType) {
        --arrays;
        return true;
    }
    bool String(const char* s, SizeType n, bool) {
        if (arrays == 1 && key == "sColumns") {
            out->columns.emplace_back(s, n);
        } else if (arrays == 2 && key == "aaData") {
            if (cell < kTableColumns) out->rows.back()[cell++].assign(s, n);
        } else if (arrays == 2 && key == "aaSorting") {
            (cell++ == 0 ? out->sorting.back().first : out->sorting.back().second).assign(s, n);
        }
        return true;
    }
};

struct RequestHandler : Handler<RequestHandler> {
    RequestData* out = nullptr;
    bool StartObject() {
        if (++objects == 2) out->pairs.emplace_back();
        return true;
    }
    bool EndObject(SizeType) {
        --objects;
        return true;
    }
    bool String(const char* s, SizeType n, bool) {
        if (objects != 2) return true;
        if (key == "name") out->pairs.back().first.assign(s, n);
        if (key == "value") out->pairs.back().second.assign(s, n);
        return true;
    }
};

struct RecordsHandler : Handler<RecordsHandler> {
    RecordsData* out = nullptr;
    std::size_t tag = 0;
    bool StartObject() {
        if (++objects == 2) out->records.emplace_back();
        return true;
    }
    bool EndObject(SizeType) {
        --objects;
        return true;
    }
    bool StartArray() {
        if (++arrays == 2) tag = 0;
        return true;
    }
    bool EndArray(SizeType) {
        --arrays;
        return true;
    }
    bool Int(int i) {
        Record& r = out->records.back();
        if (arrays == 2) {
            if (tag < 3) r.tags[tag++] = i;
        } else if (key == "id") {
            r.id = i;
        }
        return true;
    }
    bool Uint(unsigned u) { return Int(static_cast<int>(u)); }
    bool Double(double d) {
        if (key == "level") out->records.back().level = d;
        return true;
    }
    bool Bool(bool b) {
        if (key == "ok") out->records.back().ok = b;
        return true;
    }
    bool String(const char* s, SizeType n, bool) {
        if (key == "name") out->records.back().name.assign(s, n);
        return true;
    }
};

// ----- emptying plain data before a SAX read

[[maybe_unused]] void Clear(TableData& d) {
    d.columns.clear();
    d.sorting.clear();
    d.rows.clear();
}
[[maybe_unused]] void Clear(RequestData& d) {
    d.pairs.clear();
}
[[maybe_unused]] void Clear(RecordsData& d) {
    d.records.clear();
}

// Writes a document's events (emit(writer)) into a string buffer, then the buffer to out.

}  // namespace

}  // namespace bench

#endif  // WEBJSON_BENCH_RAPIDJSON_H
