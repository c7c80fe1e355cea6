// Simulated control server: an in-memory parameter table behind a mailbox.
#include "qm_simserver.h"

#include <cstring>
#include <tuple>

namespace {

// Bits of the id that carry the message kind; the mid's own bits there are lost.
constexpr uint32_t kKindBits = 0x800F;
constexpr uint32_t kGetId = 0x800D;
constexpr uint32_t kSetId = 0x800B;

QmSimKey normalised(const QmSimKey& key) {
    QmSimKey out = key;
    out.mid &= ~kKindBits;
    return out;
}

bool is_word(QmSimType type) {
    return type != QMSIM_STRING;
}

}  // namespace

uint32_t QmSimMessage::Word() const {
    uint32_t word = 0;
    if (data.size() == sizeof word) std::memcpy(&word, data.data(), sizeof word);
    return word;
}

std::string QmSimMessage::Text() const {
    return std::string(data.c_str());
}

bool QmSimServer::Less::operator()(const QmSimKey& a, const QmSimKey& b) const {
    return std::tie(a.mid, a.param, a.idx[0], a.idx[1], a.idx[2], a.idx[3]) <
           std::tie(b.mid, b.param, b.idx[0], b.idx[1], b.idx[2], b.idx[3]);
}

QmSimServer::QmSimServer() = default;

QmSimServer::~QmSimServer() {
    QmMailbox* self = this;
    __atomic_compare_exchange_n(&QmMbAgent::m_svr, &self, nullptr, false, __ATOMIC_ACQ_REL,
                                __ATOMIC_ACQUIRE);
}

void QmSimServer::DefineWord(const QmSimKey& key, QmSimType type, uint32_t value) {
    std::lock_guard<std::mutex> lock(_mutex);
    _table[normalised(key)] = QmSimParam{type, is_word(type) ? value : 0, std::string()};
}

void QmSimServer::DefineText(const QmSimKey& key, const std::string& text) {
    std::lock_guard<std::mutex> lock(_mutex);
    _table[normalised(key)] = QmSimParam{QMSIM_STRING, 0, text.substr(0, kTextSize)};
}

bool QmSimServer::Remove(const QmSimKey& key) {
    std::lock_guard<std::mutex> lock(_mutex);
    return _table.erase(normalised(key)) != 0;
}

bool QmSimServer::Find(const QmSimKey& key, QmSimParam& out) const {
    std::lock_guard<std::mutex> lock(_mutex);
    auto it = _table.find(normalised(key));
    if (it == _table.end()) return false;
    out = it->second;
    return true;
}

std::size_t QmSimServer::Size() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _table.size();
}

std::vector<QmSimMessage> QmSimServer::Log() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return _log;
}

void QmSimServer::ClearLog() {
    std::lock_guard<std::mutex> lock(_mutex);
    _log.clear();
}

int QmSimServer::MsgCall(unsigned int id, unsigned long data, int) {
    QmSimMessage message{};
    message.id = id;
    message.mid = id & ~kKindBits;
    switch (id & kKindBits) {
        case kGetId:
            message.kind = QMSIM_GET;
            break;
        case kSetId:
            message.kind = QMSIM_SET;
            break;
        case kKindBits:
            message.kind = QMSIM_AMBIGUOUS;
            break;
        default:
            message.kind = QMSIM_UNKNOWN;
            break;
    }
    QmMsgRecord* record = reinterpret_cast<QmMsgRecord*>(data);

    std::lock_guard<std::mutex> lock(_mutex);
    const int32_t status = _handle(message, record);
    message.status = status;
    if (record != nullptr) record->status = status;
    _log.push_back(message);
    return status;
}

// Answers or applies one message; fills message's record fields and data. Called locked.
int32_t QmSimServer::_handle(QmSimMessage& message, QmMsgRecord* record) {
    if (record == nullptr) return QMSIM_BAD_RECORD;
    message.has_record = true;
    message.param = record->param;
    std::memcpy(message.idx, record->idx, sizeof message.idx);
    message.length = record->length;

    if (message.kind == QMSIM_AMBIGUOUS) return QMSIM_AMBIGUOUS_ID;
    if (message.kind == QMSIM_UNKNOWN) return QMSIM_UNKNOWN_ID;
    const bool get = message.kind == QMSIM_GET;
    const uint32_t length = record->length;
    if (record->data == nullptr && length != 0) return QMSIM_BAD_RECORD;

    // Log what a set carries even when it is refused below.
    const char* bytes = static_cast<const char*>(record->data);
    if (!get) {
        // A text of 256 characters may come with its zero byte, as scene requests send it.
        if (length > kTextSize + 1) return QMSIM_BAD_RECORD;
        if (length != 0) message.data.assign(bytes, length);
    }

    QmSimKey key{message.mid, record->param, {}};
    std::memcpy(key.idx, record->idx, sizeof key.idx);
    auto it = _table.find(key);
    if (it == _table.end()) return QMSIM_UNKNOWN_PARAM;
    QmSimParam& param = it->second;

    if (is_word(param.type)) {
        if (length != sizeof param.word) return QMSIM_WRONG_TYPE;
        if (get) {
            std::memcpy(record->data, &param.word, sizeof param.word);
            message.data.assign(reinterpret_cast<const char*>(&param.word), sizeof param.word);
        } else {
            std::memcpy(&param.word, bytes, sizeof param.word);
        }
        return QMSIM_OK;
    }

    if (get) {
        if (length < kTextSize) return QMSIM_WRONG_TYPE;
        const std::size_t size = param.text.size();
        std::memcpy(record->data, param.text.data(), size);
        if (size < length) static_cast<char*>(record->data)[size] = '\0';
        message.data = param.text;
    } else {
        std::string text = message.Text();
        if (text.size() > kTextSize) return QMSIM_BAD_RECORD;
        param.text = std::move(text);
    }
    return QMSIM_OK;
}
