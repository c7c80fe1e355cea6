// Helpers shared by the unit tests: text in and out of nodes and documents, expected texts kept
// as files, the console, stream buffers that fail part-way and a recording control server.
#ifndef WEBJSON_TEST_SUPPORT_H
#define WEBJSON_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <webjson/webjson.h>

using namespace DocumentAPI::JsonDocumentAPI;

// The text a node writes on its own, with or without its name as key.
inline std::string Write(JsonSchema& node, bool withName = false, bool* ok = nullptr) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    const bool result = node.Compile(writer, withName);
    if (ok) *ok = result;
    return out.str();
}

inline bool Read(JsonSchema& node, const std::string& text) {
    std::istringstream in(text);
    JsonReadDocument reader(in);
    return node.Format(reader, false);
}

// The list given, with the children given added in order.
template <typename List>
List* With(List* list, std::initializer_list<JsonSchema*> children) {
    for (JsonSchema* child : children)
        list->AddNew(child);
    return list;
}

// A document over the tree given (none: a document without a tree).
class TreeDocument : public JsonDocumentSchema {
  public:
    explicit TreeDocument(JsonSchemaList* root) { _root = root; }
    JsonSchemaList* BuildSchema() override { return _root; }
    JsonSchemaList* Root() { return _root; }
};

// A whole document (or the list given) through the stream entry points; a failed write is marked
// so that no expected text matches.
inline std::string WriteDoc(JsonDocumentSchema& doc, JsonSchemaList* list = nullptr) {
    std::ostringstream out;
    return doc.GenerateDocumentStream(out, list) ? out.str() : "(write failed) " + out.str();
}
inline bool ReadDoc(JsonDocumentSchema& doc, const std::string& text,
                    JsonSchemaList* list = nullptr) {
    std::istringstream in(text);
    return doc.ProcessDocumentStream(in, list);
}

// Compares texts, as the elements of an array, with tests/golden/<name>.json, whose lines are
// trimmed and joined (one element a line); with WEBJSON_GOLDEN_UPDATE set the file is written.
inline void ExpectGolden(const std::string& name, const std::vector<std::string>& texts) {
    const std::string path = std::string(WEBJSON_GOLDEN_DIR "/") + name + ".json";
    std::string joined, lines, golden, line;
    for (const std::string& text : texts) {
        joined += (joined.empty() ? "" : ",") + text;
        lines += (lines.empty() ? "  " : ",\n  ") + text;
    }
    if (std::getenv("WEBJSON_GOLDEN_UPDATE")) std::ofstream(path) << "[\n" << lines << "\n]\n";
    std::ifstream in(path);
    while (std::getline(in, line))
        golden += line.erase(0, line.find_first_not_of(' '));
    EXPECT_EQ("[" + joined + "]", golden) << name;
}

// The cases of tests/golden/<name>.tsv, one a line, fields split at tabs; %HH stands for the byte
// HH and lines starting with # are comments.
inline std::vector<std::vector<std::string>> Cases(const std::string& name) {
    std::ifstream in(std::string(WEBJSON_GOLDEN_DIR "/") + name + ".tsv");
    std::vector<std::vector<std::string>> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        cases.emplace_back(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\t') cases.back().emplace_back();
            if (line[i] == '%')
                cases.back().back() +=
                    static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            if (line[i] != '\t' && line[i] != '%') cases.back().back() += line[i];
            if (line[i] == '%') i += 2;
        }
    }
    EXPECT_FALSE(cases.empty()) << name;
    return cases;
}

// A folder of this test program's own in the temporary folder (programs of other builds run at
// the same time), removed with its files when the program ends, failed tests included.
class TempFolder {
  public:
    TempFolder() : _path(::testing::TempDir() + "webjson_test_XXXXXX") {
        if (mkdtemp(&_path[0]) == nullptr) throw std::runtime_error("no folder at " + _path);
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(_path, error);
    }
    std::string _path;
};

// A file of the given bytes in the program's temporary folder; returns its path.
inline std::string TempFile(const char* name, const std::string& bytes) {
    static TempFolder folder;
    const std::string path = folder._path + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Everything written to std::cout while it lives.
struct CoutCapture {
    std::ostringstream buffer;
    std::streambuf* old = std::cout.rdbuf(buffer.rdbuf());
    ~CoutCapture() { std::cout.rdbuf(old); }
    std::string Text() const { return buffer.str(); }
};

// A put area of `room` characters; past it every write fails (or throws).
class FullBuf : public std::streambuf {
  public:
    explicit FullBuf(std::size_t room, bool throws = false) : _area(room + 1), _throws(throws) {
        setp(_area.data(), _area.data() + room);
    }
    std::string Text() const { return std::string(pbase(), pptr()); }

  protected:
    int_type overflow(int_type) override {
        if (_throws) throw std::runtime_error("device full");
        return traits_type::eof();
    }

  private:
    std::vector<char> _area;
    bool _throws;
};

// Hands out its text `chunk` characters per refill, with `back` characters of put-back room,
// then ends it or throws (as a file buffer does on a read error). A chunk of 0 gives no get
// area at all: characters come one by one from uflow and cannot be put back.
class ChunkBuf : public std::streambuf {
  public:
    ChunkBuf(std::string text, std::size_t chunk, std::size_t back, bool throws)
        : _text(std::move(text)), _chunk(chunk), _back(back), _throws(throws) {}

  protected:
    int_type underflow() override {
        if (_pos >= _text.size()) return End();
        if (_chunk == 0) return traits_type::to_int_type(_text[_pos]);
        const std::size_t keep = std::min(_back, _pos), n = std::min(_chunk, _text.size() - _pos);
        _area = _text.substr(_pos - keep, keep + n);
        setg(&_area[0], &_area[0] + keep, &_area[0] + keep + n);
        _pos += n;
        return traits_type::to_int_type(*gptr());
    }
    int_type uflow() override {
        if (_chunk != 0) return std::streambuf::uflow();
        return _pos < _text.size() ? traits_type::to_int_type(_text[_pos++]) : End();
    }

  private:
    int_type End() {
        if (_throws) throw std::ios_base::failure("read error");
        return traits_type::eof();
    }
    std::string _text;
    std::size_t _chunk, _back;
    bool _throws;
    std::string _area;
    std::size_t _pos = 0;
};

// The control server while it lives: records every message, answers a get with `word` (length
// 4) or the bytes of `answer`, and gives each record the next queued status, then `status`.
class RecordingMailbox : public QmMailbox {
  public:
    struct Sent {
        unsigned int id;
        int third;
        std::vector<uint32_t> words;  // param, index words 1-4, status as sent, length
        std::string data;             // a set's data bytes
    };
    RecordingMailbox() { QmMbAgent::m_svr = this; }
    ~RecordingMailbox() override { QmMbAgent::m_svr = nullptr; }
    int MsgCall(unsigned int id, unsigned long data, int third) override {
        auto* r = reinterpret_cast<QmMsgRecord*>(data);
        char* bytes = static_cast<char*>(r->data);
        sent.push_back({id,
                        third,
                        {r->param, r->idx[0], r->idx[1], r->idx[2], r->idx[3],
                         static_cast<uint32_t>(r->status), r->length},
                        {}});
        if ((id & 0xF) != 0xD)
            sent.back().data.assign(bytes, r->length);
        else if (r->length == 4)
            std::memcpy(bytes, &word, 4);
        else
            std::memcpy(bytes, answer.data(), std::min<std::size_t>(answer.size(), r->length));
        r->status = statuses.empty() ? status : statuses.front();
        if (!statuses.empty()) statuses.pop_front();
        return -1;  // ignored by the agent
    }
    std::vector<Sent> sent;
    uint32_t word = 0;
    std::string answer;
    std::deque<int32_t> statuses;
    int32_t status = 0;
};

// The messages sent: id + third argument, the record's words in hexadecimal, a set's data.
inline std::string Sent(const RecordingMailbox& mailbox) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    for (const auto& s : mailbox.sent) {
        out << std::hex << s.id + static_cast<unsigned int>(s.third) << ":";
        for (uint32_t w : s.words)
            out << w << ".";
        out << s.data << ";";
    }
    return out.str();
}

#endif  // WEBJSON_TEST_SUPPORT_H
