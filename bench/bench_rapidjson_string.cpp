// RapidJSON's write from the plain data into a std::string (see bench_rapidjson.h for why a file
// of its own).
#include "bench_rapidjson.h"

namespace bench {

namespace {

class WriteSaxString : public Case {
  public:
    explicit WriteSaxString(Doc d)
        : Case(d, Op::kStreamString, "rapidjson",
               "plain data -> Writer<StringBuffer> -> std::string (no tree)") {}
    void Run() override {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        EmitDoc(writer, doc);
        _out = std::string(buffer.GetString(), buffer.GetSize());
    }
    std::string Output() override { return _out; }

  private:
    std::string _out;
};

}  // namespace

void AddRapidjsonStringCases(CaseList& cases) {
    for (Doc doc : {Doc::kTable, Doc::kRequest, Doc::kRecords})
        cases.push_back(std::make_unique<WriteSaxString>(doc));
}

}  // namespace bench
