// webjson cases: the table, scene request and records documents written from a built tree,
// filled from plain data and written, and read back and walked into plain data.
#include <sstream>

#include <webjson/webjson.h>

#include "bench_data.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace bench {

namespace {

// ----- table

void FillTable(JsonTable& table, const TableData& data) {
    for (const std::string& title : data.columns)
        table.AddTableColumn(title.c_str());
    for (const auto& order : data.sorting) {
        table.SetColumnDefaultSorting(std::stoi(order.first), order.second == "asc");
    }
    const char* cells[kTableColumns];
    for (const auto& row : data.rows) {
        for (int c = 0; c < kTableColumns; ++c)
            cells[c] = row[static_cast<std::size_t>(c)].c_str();
        table.AddTableRow(cells, kTableColumns);
    }
}

// The table's own document refuses reading: this one has the same members, with prototypes.
class TableReader : public JsonDocumentSchema {
  public:
    TableReader() { _root = BuildSchema(); }
    bool Read(std::istream& in) { return ProcessDocumentStream(in, nullptr); }
    JsonSchemaList* BuildSchema() override {
        auto* root = new JsonSchemaList("");
        root->AddNew(new JsonSchemaInt("iTotalRecords", 0));
        _columns = new JsonSchemaArray<JsonSchemaString>("sColumns", new JsonSchemaString("", ""));
        root->AddNew(_columns);
        root->AddNew(new JsonSchemaBool("download", false));
        _sorting = new JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>(
            "aaSorting", new JsonSchemaArray<JsonSchemaString>("", nullptr));
        root->AddNew(_sorting);
        _rows = new JsonSchemaArray<JsonSchemaArray<JsonSchema>>(
            "aaData", new JsonSchemaArray<JsonSchema>("", new JsonSchemaString("", "")));
        root->AddNew(_rows);
        return root;
    }
    void Walk(TableData& out) {
        out.columns.resize(_columns->Size());
        for (unsigned int i = 0; i < _columns->Size(); ++i) {
            out.columns[i] = _columns->GetObject(i)->GetValueString();
        }
        out.sorting.resize(_sorting->Size());
        for (unsigned int i = 0; i < _sorting->Size(); ++i) {
            JsonSchemaArray<JsonSchemaString>* order = _sorting->GetArray(i);
            out.sorting[i].first = order->GetObject(0u)->GetValueString();
            out.sorting[i].second = order->GetObject(1u)->GetValueString();
        }
        out.rows.resize(_rows->Size());
        for (unsigned int i = 0; i < _rows->Size(); ++i) {
            JsonSchemaArray<JsonSchema>* row = _rows->GetArray(i);
            for (unsigned int c = 0; c < kTableColumns && c < row->Size(); ++c) {
                out.rows[i][c] = row->GetObject(c)->GetValueString();
            }
        }
    }

  private:
    JsonSchemaArray<JsonSchemaString>* _columns = nullptr;
    JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>* _sorting = nullptr;
    JsonSchemaArray<JsonSchemaArray<JsonSchema>>* _rows = nullptr;
};

// ----- scene request

// The request document, with pairs added for writing and read through the document root (the
// pairs are not sent anywhere).
class Request : public JsonSceneRequestVsysCtrl {
  public:
    void Fill(const RequestData& data) {
        for (const auto& pair : data.pairs) {
            auto* item = new JsonSchemaList("");
            item->AddNew(new JsonSchemaString("name", pair.first.c_str()));
            item->AddNew(new JsonSchemaString("value", pair.second.c_str()));
            _attributes->AddNew(item);
        }
    }
    bool Read(std::istream& in) { return JsonDocumentSchema::ProcessDocumentStream(in, nullptr); }
    void Walk(RequestData& out) {
        out.pairs.resize(_attributes->Size());
        for (unsigned int i = 0; i < _attributes->Size(); ++i) {
            JsonSchemaList* item = _attributes->GetArray(i);
            out.pairs[i].first = item->GetObject(0u)->GetValueString();
            out.pairs[i].second = item->GetObject(1u)->GetValueString();
        }
    }
};

// ----- records

class Records : public JsonDocumentSchema {
  public:
    explicit Records(bool reading = true) : _reading(reading) { _root = BuildSchema(); }
    bool Read(std::istream& in) { return ProcessDocumentStream(in, nullptr); }
    JsonSchemaList* BuildSchema() override {
        // Prototypes of the arrays' own, of the library's node classes.
        std::unique_ptr<JsonSchemaList> prototype;
        if (_reading) {
            prototype.reset(new JsonSchemaList(""));
            prototype->AddNew(new JsonSchemaInt("id", 0));
            prototype->AddNew(new JsonSchemaString("name", ""));
            prototype->AddNew(new JsonSchemaBool("ok", false));
            prototype->AddNew(new JsonSchemaDouble("level", 0.0, 3));
            prototype->AddNew(new JsonSchemaArray<JsonSchemaInt>(
                "tags", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 0))));
        }
        _records = new JsonSchemaArray<JsonSchemaList>("records", std::move(prototype));
        auto* root = new JsonSchemaList("");
        root->AddNew(_records);
        return root;
    }
    void Fill(const RecordsData& data) {
        for (const Record& r : data.records) {
            auto* item = new JsonSchemaList("");
            item->AddNew(new JsonSchemaInt("id", r.id));
            item->AddNew(new JsonSchemaString("name", r.name.c_str()));
            item->AddNew(new JsonSchemaBool("ok", r.ok));
            item->AddNew(new JsonSchemaDouble("level", r.level, 3));
            auto* tags = new JsonSchemaArray<JsonSchemaInt>("tags", nullptr);
            for (int t : r.tags)
                tags->AddNew(new JsonSchemaInt("", t));
            item->AddNew(tags);
            _records->AddNew(item);
        }
    }
    void Walk(RecordsData& out) {
        out.records.resize(_records->Size());
        for (unsigned int i = 0; i < _records->Size(); ++i) {
            // Elements read are clones of the prototype: plain object nodes.
            auto* item = static_cast<JsonSchemaList*>(_records->GetObject(i));
            Record& r = out.records[i];
            r.id = item->GetObject(0u)->GetValueInt();
            r.name = item->GetObject(1u)->GetValueString();
            r.ok = item->GetObject(2u)->GetValueBool();
            r.level = item->GetObject(3u)->GetValueDouble();
            auto* tags = static_cast<JsonSchemaList*>(item->GetObject(4u));
            for (unsigned int t = 0; t < 3; ++t) {
                JsonSchema* tag = tags->GetObject(t);
                r.tags[t] = tag ? tag->GetValueInt() : 0;
            }
        }
    }

  private:
    bool _reading;
    JsonSchemaArray<JsonSchemaList>* _records = nullptr;
};

// ----- cases

// Fills a new document of the kind of doc from the corpus.
std::unique_ptr<JsonDocumentSchema> Filled(Doc doc, const Corpus& c) {
    switch (doc) {
        case Doc::kTable: {
            auto table = std::make_unique<JsonTable>();
            FillTable(*table, c.table);
            return table;
        }
        case Doc::kRequest: {
            auto request = std::make_unique<Request>();
            request->Fill(c.request);
            return request;
        }
        default: {
            auto records = std::make_unique<Records>(false);
            records->Fill(c.records);
            return records;
        }
    }
}

class WriteBuilt : public Case {
  public:
    explicit WriteBuilt(Doc d)
        : Case(d, Op::kWriteTree, "webjson", "GenerateDocumentStream, tree built") {}
    void Prepare() override { _document = Filled(doc, TheCorpus()); }
    void Run() override {
        _out.str(std::string());
        _document->GenerateDocumentStream(_out, nullptr);
    }
    std::string Output() override { return _out.str(); }

  private:
    std::unique_ptr<JsonDocumentSchema> _document;
    std::ostringstream _out;
};

class FillWrite : public Case {
  public:
    explicit FillWrite(Doc d)
        : Case(d, Op::kFillWrite, "webjson", "fill tree + GenerateDocumentStream") {}
    void Run() override {
        _out.str(std::string());
        Filled(doc, TheCorpus())->GenerateDocumentStream(_out, nullptr);
    }
    std::string Output() override { return _out.str(); }

  private:
    std::ostringstream _out;
};

// Document reads into plain data of type Data: D has Read(istream&) and Walk(Data&).
template <typename D, typename Data>
class ReadWalk : public Case {
  public:
    ReadWalk(Doc d, const Data& source)
        : Case(d, Op::kReadStream, "webjson", "ProcessDocumentStream(istringstream) + walk"),
          _source(source) {}
    void Prepare() override { _in.str(DocText(doc)); }
    void Run() override {
        _in.clear();
        _in.seekg(0);
        _ok = _document.Read(_in);
        _document.Walk(_out);
    }
    bool Matches() override { return _ok && _out == _source; }
    void Release() override { _document._reset_schema(nullptr); }

  private:
    const Data& _source;
    std::istringstream _in;
    D _document;
    Data _out;
    bool _ok = false;
};

}  // namespace

std::string WebjsonText(Doc doc, const Corpus& corpus) {
    std::ostringstream out;
    Filled(doc, corpus)->GenerateDocumentStream(out, nullptr);
    return out.str();
}

void AddWebjsonCases(CaseList& cases) {
    for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords}) {
        cases.push_back(std::make_unique<WriteBuilt>(doc));
        cases.push_back(std::make_unique<FillWrite>(doc));
    }
    const Corpus& c = TheCorpus();
    cases.push_back(std::make_unique<ReadWalk<TableReader, TableData>>(Doc::kTable, c.table));
    cases.push_back(std::make_unique<ReadWalk<Request, RequestData>>(Doc::kRequest, c.request));
    cases.push_back(std::make_unique<ReadWalk<Records, RecordsData>>(Doc::kRecords, c.records));
}

}  // namespace bench
