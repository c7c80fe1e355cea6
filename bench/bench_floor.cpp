// The floors: the least any writer or reader of a whole text through a standard stream costs,
// in one piece (ostream::write, istream::read) and byte by byte through the stream buffer.
#include <sstream>

#include "bench_data.h"

namespace bench {

namespace {

class WriteWhole : public Case {
  public:
    explicit WriteWhole(Doc d) : Case(d, Op::kWriteTree, "floor", "ostream::write of the text") {}
    void Run() override {
        const std::string& text = DocText(doc);
        _out.str(std::string());
        _out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::string Output() override { return _out.str(); }

  private:
    std::ostringstream _out;
};

class WriteBytes : public Case {
  public:
    explicit WriteBytes(Doc d) : Case(d, Op::kWriteTree, "floor", "sputc per byte") {}
    void Run() override {
        _out.str(std::string());
        std::streambuf* buffer = _out.rdbuf();
        for (char c : DocText(doc))
            buffer->sputc(c);
    }
    std::string Output() override { return _out.str(); }

  private:
    std::ostringstream _out;
};

class ReadWhole : public Case {
  public:
    explicit ReadWhole(Doc d) : Case(d, Op::kReadStream, "floor", "istream::read of the text") {}
    void Prepare() override {
        _in.str(DocText(doc));
        _text.resize(DocText(doc).size());
    }
    void Run() override {
        _in.clear();
        _in.seekg(0);
        _in.read(&_text[0], static_cast<std::streamsize>(_text.size()));
    }
    bool Matches() override { return _text == DocText(doc); }

  private:
    std::istringstream _in;
    std::string _text;
};

class ReadBytes : public Case {
  public:
    explicit ReadBytes(Doc d) : Case(d, Op::kReadStream, "floor", "sbumpc per byte") {}
    void Prepare() override { _in.str(DocText(doc)); }
    void Run() override {
        _in.clear();
        _in.seekg(0);
        std::streambuf* buffer = _in.rdbuf();
        unsigned long sum = 0;
        std::size_t count = 0;
        for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
            sum = sum * 31 + static_cast<unsigned char>(c);
            ++count;
        }
        _sum = sum;
        _count = count;
    }
    bool Matches() override {
        unsigned long sum = 0;
        for (char c : DocText(doc))
            sum = sum * 31 + static_cast<unsigned char>(c);
        return _sum == sum && _count == DocText(doc).size();
    }

  private:
    std::istringstream _in;
    unsigned long _sum = 0;
    std::size_t _count = 0;
};

}  // namespace

void AddFloorCases(CaseList& cases) {
    for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords}) {
        cases.push_back(std::make_unique<WriteWhole>(doc));
        cases.push_back(std::make_unique<WriteBytes>(doc));
        cases.push_back(std::make_unique<ReadWhole>(doc));
        cases.push_back(std::make_unique<ReadBytes>(doc));
    }
}

}  // namespace bench
