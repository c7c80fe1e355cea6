// webjson cases: the table, scene request and records documents written from a built tree,
// filled from plain data and written, and read back and walked into plain data.
#include <sstream>

#include <webjson/webjson.h>

#include "bench_data.h"

using namespace DocumentAPI::JsonDocumentAPI;

namespace bench {

namespace {

// The text of a string node the schema put there, copied out with its size.
const std::string& Text(JsonSchema* node) {
    return static_cast<JsonSchemaString*>(node)->GetValueText();
}

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
            out.columns[i] = _columns->GetArray(i)->GetValueText();
        }
        out.sorting.resize(_sorting->Size());
        for (unsigned int i = 0; i < _sorting->Size(); ++i) {
            JsonSchemaArray<JsonSchemaString>* order = _sorting->GetArray(i);
            out.sorting[i].first = order->GetArray(0u)->GetValueText();
            out.sorting[i].second = order->GetArray(1u)->GetValueText();
        }
        out.rows.resize(_rows->Size());
        for (unsigned int i = 0; i < _rows->Size(); ++i) {
            JsonSchemaArray<JsonSchema>* row = _rows->GetArray(i);
            for (unsigned int c = 0; c < kTableColumns && c < row->Size(); ++c) {
                out.rows[i][c] = Text(row->GetObject(c));
            }
        }
    }

  private:
    JsonSchemaArray<JsonSchemaString>* _columns = nullptr;
    JsonSchemaArray<JsonSchemaArray<JsonSchemaString>>* _sorting = nullptr;
    JsonSchemaArray<JsonSchemaArray<JsonSchema>>* _rows = nullptr;
};

// ----- scene request

// The request document, with pairs added for writing.
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
};

// The request read through a plain document (its own prototype), as an HTTP handler of the
// program's would; the scene request's own read also parses each pair for the control server.
class RequestReader : public JsonDocumentSchema {
  public:
    RequestReader() { _root = BuildSchema(); }
    JsonSchemaList* BuildSchema() override {
        auto pair = std::make_unique<JsonSchemaList>("");
        pair->AddNew(new JsonSchemaString("name", ""));
        pair->AddNew(new JsonSchemaString("value", ""));
        _attributes = new JsonSchemaArray<JsonSchemaList>("attributes", std::move(pair));
        return With(_attributes);
    }
    void Walk(RequestData& out) {
        out.pairs.resize(_attributes->Size());
        for (unsigned int i = 0; i < _attributes->Size(); ++i) {
            JsonSchemaList* item = _attributes->GetArray(i);
            out.pairs[i].first = Text(item->GetObject(0u));
            out.pairs[i].second = Text(item->GetObject(1u));
        }
    }
    JsonSchemaArray<JsonSchemaList>* Pairs() { return _attributes; }

  private:
    static JsonSchemaList* With(JsonSchema* member) {
        auto* root = new JsonSchemaList("");
        root->AddNew(member);
        return root;
    }
    JsonSchemaArray<JsonSchemaList>* _attributes = nullptr;
};

// ----- records

class Records : public JsonDocumentSchema {
  public:
    explicit Records(bool reading = true) : _reading(reading) { _root = BuildSchema(); }
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
            r.name = Text(item->GetObject(1u));
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

// Document reads into plain data of type Data (D has Walk(Data&)), from an istringstream or from
// the text in memory. Each run reads into the tree of the last one, as a program that reads the
// views' posts again and again does.
template <typename D, typename Data>
class ReadWalk : public Case {
  public:
    ReadWalk(Doc d, const Data& source, bool buffer)
        : Case(d, buffer ? Op::kReadBuffer : Op::kReadStream, "webjson",
               buffer ? "ProcessDocumentBuffer + walk"
                      : "ProcessDocumentStream(istringstream) + walk"),
          _source(source),
          _buffer(buffer) {}
    void Prepare() override { _in.str(DocText(doc)); }
    void Run() override {
        if (_buffer) {
            const std::string& text = DocText(doc);
            _ok = _document.ProcessDocumentBuffer(text.data(), text.size(), nullptr);
        } else {
            _in.clear();
            _in.seekg(0);
            _ok = _document.ProcessDocumentStream(_in, nullptr);
        }
        _document.Walk(_out);
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    const bool _buffer;
    std::istringstream _in;
    D _document;
    Data _out;
    bool _ok = false;
};

// The plain data written with no tree: the table's rows from its row source, the request's pairs
// and the records from a source on their array, into an ostream or a std::string.
class StreamWrite : public Case {
  public:
    StreamWrite(Doc d, bool string)
        : Case(d, string ? Op::kStreamString : Op::kStreamWrite, "webjson",
               string ? "sources -> GenerateDocumentString" : "sources -> GenerateDocumentStream"),
          _string(string) {}
    void Prepare() override {
        const Corpus& c = TheCorpus();
        if (doc == Doc::kTable) {
            auto table = std::make_unique<JsonTable>();
            for (const std::string& title : c.table.columns)
                table->AddTableColumn(title.c_str());
            for (const auto& order : c.table.sorting)
                table->SetColumnDefaultSorting(std::stoi(order.first), order.second == "asc");
            const TableData& data = c.table;
            table->SetTableRowSource(
                static_cast<std::uint32_t>(data.rows.size()),
                [&data](std::uint32_t row, const char** cells) {
                    for (int k = 0; k < kTableColumns; ++k)
                        cells[k] = data.rows[row][static_cast<std::size_t>(k)].c_str();
                });
            _document = std::move(table);
        } else if (doc == Doc::kRequest) {
            auto request = std::make_unique<RequestReader>();
            JsonSchemaArray<JsonSchemaList>* pairs = request->Pairs();
            const RequestData& data = c.request;
            pairs->SetSource([&data](JsonSchemaList& item, std::uint32_t i) {
                if (i >= data.pairs.size()) return false;
                item.GetObject(0u)->SetValue(data.pairs[i].first.c_str());
                item.GetObject(1u)->SetValue(data.pairs[i].second.c_str());
                return true;
            });
            _document = std::move(request);
        } else {
            // The tags from a source of their own, which reads the record the outer source is at.
            auto record = std::make_unique<JsonSchemaList>("");
            record->AddNew(new JsonSchemaInt("id", 0));
            record->AddNew(new JsonSchemaString("name", ""));
            record->AddNew(new JsonSchemaBool("ok", false));
            record->AddNew(new JsonSchemaDouble("level", 0.0, 3));
            record->AddNew(new JsonSchemaArray<JsonSchemaInt>(
                "tags", std::unique_ptr<JsonSchemaInt>(new JsonSchemaInt("", 0))));
            auto* records = new JsonSchemaArray<JsonSchemaList>("records", std::move(record));
            const RecordsData& data = c.records;
            records->SetSource([&data, this](JsonSchemaList& item, std::uint32_t i) {
                if (i >= data.records.size()) return false;
                const Record& r = data.records[i];
                _record = &r;
                item.GetObject(0u)->SetValue(r.id);
                item.GetObject(1u)->SetValue(r.name.c_str());
                item.GetObject(2u)->SetValue(r.ok);
                item.GetObject(3u)->SetValue(r.level);
                if (i == 0) {  // a new element: its tags array gets its source
                    static_cast<JsonSchemaArray<JsonSchemaInt>*>(item.GetObject(4u))
                        ->SetSource([this](JsonSchemaInt& tag, std::uint32_t t) {
                            if (t >= 3) return false;
                            tag.SetValue(_record->tags[t]);
                            return true;
                        });
                }
                return true;
            });
            auto root = std::make_unique<Plain>();
            root->Root()->AddNew(records);
            _document = std::move(root);
        }
    }
    void Run() override {
        if (_string) {
            _document->GenerateDocumentString(_text, nullptr);
        } else {
            _out.str(std::string());
            _document->GenerateDocumentStream(_out, nullptr);
        }
    }
    std::string Output() override { return _string ? _text : _out.str(); }

  private:
    // A document of an empty object, filled by the case.
    struct Plain : JsonDocumentSchema {
        Plain() { _root = BuildSchema(); }
        JsonSchemaList* BuildSchema() override { return new JsonSchemaList(""); }
        JsonSchemaList* Root() { return _root; }
    };
    const bool _string;
    const Record* _record = nullptr;  // the record being written
    std::unique_ptr<JsonDocumentSchema> _document;
    std::ostringstream _out;
    std::string _text;
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
    for (bool in_memory : {false, true}) {
        for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords})
            cases.push_back(std::make_unique<StreamWrite>(doc, in_memory));
        cases.push_back(
            std::make_unique<ReadWalk<TableReader, TableData>>(Doc::kTable, c.table, in_memory));
        cases.push_back(std::make_unique<ReadWalk<RequestReader, RequestData>>(
            Doc::kRequest, c.request, in_memory));
        cases.push_back(
            std::make_unique<ReadWalk<Records, RecordsData>>(Doc::kRecords, c.records, in_memory));
    }
}

}  // namespace bench
