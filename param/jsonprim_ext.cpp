// Parameter node and the library's messaging agent call.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/detail/number_text.h"
#include "json_param.h"
#include "param/detail/param_message.h"
#include "qm_agent.h"

using DocumentAPI::JsonDocumentAPI::JSON_INT;
using DocumentAPI::JsonDocumentAPI::JSON_SKIP;
using DocumentAPI::JsonDocumentAPI::JSON_STRING;
using DocumentAPI::JsonDocumentAPI::JsonReadDocument;
using DocumentAPI::JsonDocumentAPI::JsonSchema;
using DocumentAPI::JsonDocumentAPI::JsonWriteDocument;

static_assert(sizeof(idx_t) == 16, "idx_t is four 32-bit words");

namespace {

constexpr unsigned int kSetId = 0x800B;
constexpr unsigned int kGetId = 0x800D;
// Size of the buffer a text get offers the server.
constexpr uint32_t kTextSize = 256;

// Sends one message about the parameter (param, idx) and returns when the server has handled it.
void send(unsigned int id, uint32_t param, const idx_t& idx, uint32_t length, void* data) {
    const uint32_t words[4] = {idx.w1, idx.w2, idx.w3, idx.w4};
    DocumentAPI::JsonDocumentAPI::detail::send_param_message(id, param, words, length, data);
}

}  // namespace

std::int32_t DocumentAPI::JsonDocumentAPI::detail::send_param_message(unsigned int id,
                                                                      uint32_t param,
                                                                      const uint32_t idx[4],
                                                                      uint32_t length, void* data) {
    QmMsgRecord record{};
    record.param = param;
    for (int w = 0; w < 4; ++w)
        record.idx[w] = idx[w];
    record.length = length;
    record.data = data;
    QmMbAgent::MsgCall(id, static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(&record)));
    return record.status;
}

// Forwards to the control server's mailbox; a program that has not set m_svr sends nothing.
// The pointer is loaded atomically: documents on other threads send at the same time, and a
// server may clear it the same way when it goes.
int QmMbAgent::MsgCall(unsigned int id, unsigned long data) {
    if (QmMailbox* server = __atomic_load_n(&m_svr, __ATOMIC_ACQUIRE)) server->MsgCall(id, data, 0);
    return 0;
}

JsonSchemaParam::JsonSchemaParam(JParamType type, unsigned int mid, unsigned int param, idx_t idx,
                                 const char** texts, unsigned int count)
    : JsonSchema(""),
      _mid(mid),
      _param(param),
      _idx(idx),
      _type(type),
      _texts(texts),
      _count(texts != nullptr ? count : 0) {
    const char letter = type == PARAM_STRING ? 's' : type == PARAM_BOOL ? 'b' : 'i';
    char name[64];  // six fields of up to 8 digits, five dots, the letter and the zero
    std::snprintf(name, sizeof name, "%X.%X.%X.%X.%X.%X%c", static_cast<unsigned int>(_mid),
                  static_cast<unsigned int>(_param), static_cast<unsigned int>(_idx.w1),
                  static_cast<unsigned int>(_idx.w2), static_cast<unsigned int>(_idx.w3),
                  static_cast<unsigned int>(_idx.w4), letter);
    SetName(name);
}

JsonSchemaParam::~JsonSchemaParam() {}

void JsonSchemaParam::Reset() {}

JsonSchema* JsonSchemaParam::Clone() {
    return new JsonSchemaParam(_type, _mid, _param, _idx, nullptr, 0);
}

uint32_t JsonSchemaParam::GetMid() {
    return _mid;
}
uint32_t JsonSchemaParam::GetParam() {
    return _param;
}
JParamType JsonSchemaParam::GetParamType() {
    return _type;
}

bool JsonSchemaParam::Compile(JsonWriteDocument& writer, bool withName) {
    if (!_enable) return true;
    std::string& key = _key(withName);
    const unsigned int id = _mid | kGetId;

    switch (_type) {
        case PARAM_INT: {
            int value = 0;
            send(id, _param, _idx, sizeof value, &value);
            return writer.Serialize(JSON_INT, key, &value);
        }
        case PARAM_ENUM: {
            uint32_t value = 0;
            send(id, _param, _idx, sizeof value, &value);
            std::string text;
            if (value < _count && _texts[value] != nullptr) {
                text = _texts[value];
            } else {
                char number[16];
                std::snprintf(number, sizeof number, "%u", static_cast<unsigned int>(value));
                text = number;
            }
            return writer.Serialize(JSON_STRING, key, &text);
        }
        case PARAM_STRING: {
            char buffer[kTextSize] = {};
            send(id, _param, _idx, kTextSize, buffer);
            // The text up to its first zero byte, or all of the buffer.
            std::string text(buffer, std::find(buffer, buffer + kTextSize, '\0'));
            return writer.Serialize(JSON_STRING, key, &text);
        }
        case PARAM_BOOL: {
            uint32_t value = 0;
            send(id, _param, _idx, sizeof value, &value);
            std::string text = value != 0 ? "true" : "false";
            return writer.Serialize(JSON_STRING, key, &text);
        }
        default:
            return true;
    }
}

bool JsonSchemaParam::Format(JsonReadDocument& reader, bool withName) {
    if (!_enable) return true;
    std::string& key = _key(withName);
    const unsigned int id = _mid | kSetId;

    if (_type == PARAM_INT) {
        int value = 0;
        if (!reader.Deserialize(JSON_INT, key, &value)) return false;
        send(id, _param, _idx, sizeof value, &value);
        return true;
    }
    if (_type != PARAM_ENUM && _type != PARAM_STRING && _type != PARAM_BOOL) {
        return reader.Deserialize(JSON_SKIP, key, nullptr);
    }

    std::string text;
    if (!reader.Deserialize(JSON_STRING, key, &text)) return false;
    if (_type == PARAM_STRING) {
        // The text up to its first zero byte, followed by that zero.
        send(id, _param, _idx, static_cast<uint32_t>(std::strlen(text.c_str())), &text[0]);
        return true;
    }
    uint32_t value =
        _type == PARAM_BOOL
            ? (text == "true" ? 1u : 0u)
            : static_cast<uint32_t>(
                  DocumentAPI::JsonDocumentAPI::detail::decimal_to_int32(text.c_str()));
    send(id, _param, _idx, sizeof value, &value);
    return true;
}
