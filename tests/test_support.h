// Helpers shared by the unit tests: writing a node to text, reading text into a node,
// capturing the console, and stream buffers that fail part-way.
#ifndef WEBJSON_TEST_SUPPORT_H
#define WEBJSON_TEST_SUPPORT_H

#include <algorithm>
#include <cstring>
#include <deque>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <webjson/webjson.h>

namespace testing_support {

using DocumentAPI::JsonDocumentAPI::JsonDocumentSchema;
using DocumentAPI::JsonDocumentAPI::JsonReadDocument;
using DocumentAPI::JsonDocumentAPI::JsonSchema;
using DocumentAPI::JsonDocumentAPI::JsonWriteDocument;

// The text a node writes on its own, with or without its name as key.
inline std::string Write(JsonSchema& node, bool withName = false, bool* ok = nullptr) {
    std::ostringstream out;
    JsonWriteDocument writer(out);
    bool result = node.Compile(writer, withName);
    if (ok) *ok = result;
    return out.str();
}

// Reads text into a node (without a key); returns the node's result.
inline bool Read(JsonSchema& node, const std::string& text) {
    std::istringstream in(text);
    JsonReadDocument reader(in);
    return node.Format(reader, false);
}

// Everything written to std::cout while it lives.
class CoutCapture {
  public:
    CoutCapture() : _old(std::cout.rdbuf(_buffer.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(_old); }
    std::string Text() const { return _buffer.str(); }

  private:
    std::ostringstream _buffer;
    std::streambuf* _old;
};

// Accepts `limit` characters, then fails every write.
class FailingOutBuf : public std::streambuf {
  public:
    explicit FailingOutBuf(std::size_t limit) : _limit(limit) {}
    std::string text;

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (text.size() >= _limit) return traits_type::eof();
        text.push_back(traits_type::to_char_type(c));
        return c;
    }

  private:
    std::size_t _limit;
};

// Delivers the first `limit` characters of a text one at a time, then reports an error.
class FailingInBuf : public std::streambuf {
  public:
    FailingInBuf(std::string text, std::size_t limit) : _text(std::move(text)), _limit(limit) {}

  protected:
    int_type underflow() override {
        if (_pos >= _limit || _pos >= _text.size()) return traits_type::eof();
        _current = _text[_pos];
        setg(&_current, &_current, &_current + 1);
        ++_pos;
        return traits_type::to_int_type(_current);
    }

  private:
    std::string _text;
    std::size_t _limit;
    std::size_t _pos = 0;
    char _current = 0;
};

// The text a whole document writes; a failed write is marked so that no expected text matches.
inline std::string WriteDocument(JsonDocumentSchema& document) {
    std::ostringstream out;
    const bool ok = document.GenerateDocumentStream(out, nullptr);
    return ok ? out.str() : "(write failed) " + out.str();
}

// Reads a whole document from text through the stream entry point.
inline bool ReadDocument(JsonDocumentSchema& document, const std::string& text) {
    std::istringstream in(text);
    return document.ProcessDocumentStream(in, nullptr);
}

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
        if ((id & 0xF) != 0xD) {
            sent.back().data.assign(bytes, r->length);
        } else if (r->length == 4) {
            std::memcpy(bytes, &word, 4);
        } else {
            std::memcpy(bytes, answer.data(), std::min<std::size_t>(answer.size(), r->length));
        }
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

}  // namespace testing_support

#endif  // WEBJSON_TEST_SUPPORT_H
