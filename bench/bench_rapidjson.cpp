// RapidJSON cases: writing its document (built from the plain data) through a string buffer
// or an ostream wrapper, writing straight from the plain data, reading an istream into its
// document, and the istream read into a string then parsed with its SAX reader. The write into a
// std::string and the reads of a text in memory are in files of their own (see bench_rapidjson.h).
#include <rapidjson/istreamwrapper.h>
#include <rapidjson/ostreamwrapper.h>

#include <cstring>
#include <sstream>

#include "bench_rapidjson.h"

namespace bench {

namespace {

template <typename Emit>
void WriteThroughBuffer(std::ostringstream& out, Emit emit) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    emit(writer);
    out.str(std::string());
    out.write(buffer.GetString(), static_cast<std::streamsize>(buffer.GetSize()));
}

class WriteDomBuffer : public Case {
  public:
    explicit WriteDomBuffer(Doc d)
        : Case(d, Op::kWriteTree, "rapidjson", "Document -> Writer<StringBuffer> + write") {}
    void Prepare() override { Build(_document, doc); }
    void Run() override {
        WriteThroughBuffer(_out, [this](auto& writer) { _document.Accept(writer); });
    }
    std::string Output() override { return _out.str(); }

  private:
    rapidjson::Document _document;
    std::ostringstream _out;
};

class WriteDomStream : public Case {
  public:
    explicit WriteDomStream(Doc d)
        : Case(d, Op::kWriteTree, "rapidjson", "Document -> Writer<OStreamWrapper>") {}
    void Prepare() override { Build(_document, doc); }
    void Run() override {
        _out.str(std::string());
        rapidjson::OStreamWrapper stream(_out);
        rapidjson::Writer<rapidjson::OStreamWrapper> writer(stream);
        _document.Accept(writer);
    }
    std::string Output() override { return _out.str(); }

  private:
    rapidjson::Document _document;
    std::ostringstream _out;
};

class WriteSaxBuffer : public Case {
  public:
    explicit WriteSaxBuffer(Doc d)
        : Case(d, Op::kStreamWrite, "rapidjson",
               "plain data -> Writer<StringBuffer> + write (no tree)") {}
    void Run() override {
        WriteThroughBuffer(_out, [this](auto& writer) { EmitDoc(writer, doc); });
    }
    std::string Output() override { return _out.str(); }

  private:
    std::ostringstream _out;
};

// The same into a std::string, as a server sends it: the buffer's text copied into a new string.
class FillWriteDom : public Case {
  public:
    explicit FillWriteDom(Doc d)
        : Case(d, Op::kFillWrite, "rapidjson", "build Document + Writer<StringBuffer> + write") {}
    void Run() override {
        rapidjson::Document document;
        Build(document, doc);
        WriteThroughBuffer(_out, [&document](auto& writer) { document.Accept(writer); });
    }
    std::string Output() override { return _out.str(); }

  private:
    std::ostringstream _out;
};

template <typename Data>
class ReadDomStream : public Case {
  public:
    ReadDomStream(Doc d, const Data& source)
        : Case(d, Op::kReadStream, "rapidjson", "Document::ParseStream(IStreamWrapper) + walk"),
          _source(source) {}
    void Prepare() override { _in.str(DocText(doc)); }
    void Run() override {
        _in.clear();
        _in.seekg(0);
        rapidjson::IStreamWrapper stream(_in);
        rapidjson::Document document;
        document.ParseStream(stream);
        _ok = !document.HasParseError();
        if (_ok) Walk(document, _out);
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    std::istringstream _in;
    Data _out;
    bool _ok = false;
};

template <typename Data, typename H>
class ReadStringSax : public Case {
  public:
    ReadStringSax(Doc d, const Data& source)
        : Case(d, Op::kReadStream, "rapidjson", "istream read into string + Reader (SAX)"),
          _source(source) {}
    void Prepare() override { _in.str(DocText(doc)); }
    void Run() override {
        _in.clear();
        _in.seekg(0, std::ios::end);
        std::streamoff size = _in.tellg();
        _in.seekg(0);
        std::string text(static_cast<std::size_t>(size), '\0');
        _in.read(&text[0], static_cast<std::streamsize>(size));
        Clear(_out);
        H handler;
        handler.out = &_out;
        rapidjson::Reader reader;
        rapidjson::StringStream stream(text.c_str());
        _ok = !reader.Parse(stream, handler).IsError();
    }
    bool Matches() override { return _ok && _out == _source; }

  private:
    const Data& _source;
    std::istringstream _in;
    Data _out;
    bool _ok = false;
};

}  // namespace

void AddRapidjsonCases(CaseList& cases) {
    for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords}) {
        cases.push_back(std::make_unique<WriteDomBuffer>(doc));
        cases.push_back(std::make_unique<WriteDomStream>(doc));
        cases.push_back(std::make_unique<WriteSaxBuffer>(doc));
        cases.push_back(std::make_unique<FillWriteDom>(doc));
    }
    const Corpus& c = TheCorpus();
    cases.push_back(std::make_unique<ReadDomStream<TableData>>(Doc::kTable, c.table));
    cases.push_back(std::make_unique<ReadDomStream<RequestData>>(Doc::kRequest, c.request));
    cases.push_back(std::make_unique<ReadDomStream<RecordsData>>(Doc::kRecords, c.records));
    cases.push_back(std::make_unique<ReadStringSax<TableData, TableHandler>>(Doc::kTable, c.table));
    cases.push_back(
        std::make_unique<ReadStringSax<RequestData, RequestHandler>>(Doc::kRequest, c.request));
    cases.push_back(
        std::make_unique<ReadStringSax<RecordsData, RecordsHandler>>(Doc::kRecords, c.records));
    AddRapidjsonStringCases(cases);
    AddRapidjsonBufferCases(cases);
}

}  // namespace bench
