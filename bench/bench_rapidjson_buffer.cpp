// RapidJSON's reads of a text already in memory: its document's Parse, and its SAX Reader on a
// StringStream, each filling the plain data (see bench_rapidjson.h for why a file of its own).
#include "bench_rapidjson.h"

namespace bench {

namespace {

template <typename Data>
class ReadDomBuffer : public Case {
  public:
    ReadDomBuffer(Doc d, const Data& source)
        : Case(d, Op::kReadBuffer, "rapidjson", "Document::Parse(buffer) + walk"),
          _source(source) {}
    void Prepare() override { _text = DocText(doc).c_str(); }
    void Run() override {
        rapidjson::Document document;
        document.Parse(_text);
        _ok = !document.HasParseError();
        if (_ok) Walk(document, _out);
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    const char* _text = nullptr;
    Data _out;
    bool _ok = false;
};

template <typename Data, typename H>
class ReadBufferSax : public Case {
  public:
    ReadBufferSax(Doc d, const Data& source)
        : Case(d, Op::kReadBuffer, "rapidjson", "Reader (SAX) on StringStream(buffer)"),
          _source(source) {}
    void Prepare() override { _text = DocText(doc).c_str(); }
    void Run() override {
        Clear(_out);
        H handler;
        handler.out = &_out;
        rapidjson::Reader reader;
        rapidjson::StringStream stream(_text);
        _ok = !reader.Parse(stream, handler).IsError();
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    const char* _text = nullptr;
    Data _out;
    bool _ok = false;
};

}  // namespace

void AddRapidjsonBufferCases(CaseList& cases) {
    const Corpus& c = TheCorpus();
    cases.push_back(std::make_unique<ReadDomBuffer<TableData>>(Doc::kTable, c.table));
    cases.push_back(std::make_unique<ReadDomBuffer<RequestData>>(Doc::kRequest, c.request));
    cases.push_back(std::make_unique<ReadDomBuffer<RecordsData>>(Doc::kRecords, c.records));
    cases.push_back(std::make_unique<ReadBufferSax<TableData, TableHandler>>(Doc::kTable, c.table));
    cases.push_back(
        std::make_unique<ReadBufferSax<RequestData, RequestHandler>>(Doc::kRequest, c.request));
    cases.push_back(
        std::make_unique<ReadBufferSax<RecordsData, RecordsHandler>>(Doc::kRecords, c.records));
}

}  // namespace bench
