// Simulated control server for programs and tests on a PC.
//
// QmSimServer is a mailbox that answers the parameter messages of the webjson library from an
// in-memory table instead of the device's control server. Install it as the agent's server:
//
//     QmSimServer server;
//     server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 5);
//     server.DefineText({0x100, 0x2B, {0, 0, 0, 0}}, "name");
//     QmMbAgent::m_svr = &server;   // the destructor clears it again
//
// It belongs to the webjson_simserver library (target webjson::simserver), not to libwebjson,
// and needs only the agent's header and the messaging library, so it works with the stand-in
// or the device's one.
//
// Messages. The id is mid | 0x800D for a get and mid | 0x800B for a set; the server reads the
// kind from the id's bits 0x800F and the parameter's mid from the remaining bits. So:
//  - mids that differ only in the bits 0x800F are one and the same parameter to the server
//    (the table stores mid & ~0x800F);
//  - an id whose bits 0x800F are 0x800F (a get from a mid with bit 0x2, or a set from a mid
//    with bit 0x4; mid 0x7 gives 0x800F both ways) cannot be told apart. The server refuses
//    it with QMSIM_AMBIGUOUS_ID: nothing is answered or changed, but the message is logged.
//    Such parameters cannot be served in that direction;
//  - any other combination of those bits is refused with QMSIM_UNKNOWN_ID.
//
// Answers. The record's status word is set on every message with a record. A get of a word
// parameter (int, enum, bool) needs length 4 and receives the 32-bit value; a get of a text
// parameter needs a buffer of at least 256 bytes and receives the text followed by a zero byte
// when it is shorter than the buffer (a 256-byte text fills a 256-byte buffer without one). A
// set of a word parameter needs length 4; a set of a text parameter takes the text up to the
// first zero byte or `length` bytes, at most 256 characters (a 257th byte may only be that
// zero). The stored parameter's kind decides how a set's bytes are taken. On failure nothing
// is written to the data buffer or the table.
//
// Thread safety: every member function may be called from any thread; the table and the log
// are guarded by one mutex, which is held while a message is handled.
#ifndef QM_SIMSERVER_H
#define QM_SIMSERVER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "qm_agent.h"

// Parameter types, numbered like the parameter node's types so that one converts to the other.
enum QmSimType : uint32_t {
    QMSIM_INT = 0,     // 32-bit value
    QMSIM_ENUM = 1,    // 32-bit value (an index into the node's display texts)
    QMSIM_STRING = 2,  // text of at most 256 bytes
    QMSIM_BOOL = 3     // 32-bit value, 0 is false
};

// Status words written back into the record.
enum QmSimStatus : int32_t {
    QMSIM_OK = 0,
    QMSIM_UNKNOWN_PARAM = -1,  // no parameter with this mid, param and index words
    QMSIM_WRONG_TYPE = -2,     // the length does not fit the parameter's type
    QMSIM_BAD_RECORD = -3,     // no record, no data buffer, or a text longer than 256 bytes
    QMSIM_UNKNOWN_ID = -4,     // the id is neither a get nor a set
    QMSIM_AMBIGUOUS_ID = -5    // the id could be a get or a set (bits 0x800F all set)
};

// How the server read a message's id.
enum QmSimKind : uint32_t { QMSIM_GET = 0, QMSIM_SET = 1, QMSIM_AMBIGUOUS = 2, QMSIM_UNKNOWN = 3 };

// A parameter's address: mid, param and the four index words.
struct QmSimKey {
    uint32_t mid;
    uint32_t param;
    uint32_t idx[4];
};

// One table entry.
struct QmSimParam {
    QmSimType type;
    uint32_t word;     // word parameters
    std::string text;  // text parameters
};

// One handled message, as the server saw it.
struct QmSimMessage {
    uint32_t id;
    QmSimKind kind;
    uint32_t mid;     // id & ~0x800F
    bool has_record;  // false when data was 0; the fields below are then 0
    uint32_t param;
    uint32_t idx[4];
    uint32_t length;
    int32_t status;  // the status written back (or that would have been, without a record)
    // set: the bytes sent (at most 256); get: the bytes answered; empty when refused.
    std::string data;

    // The data as a 32-bit value; 0 unless data holds exactly 4 bytes.
    uint32_t Word() const;
    // The data up to its first zero byte.
    std::string Text() const;
};

class QmSimServer : public QmMailbox {
  public:
    // The largest text a parameter holds, and the smallest buffer a text get must offer.
    static constexpr std::size_t kTextSize = 256;

    QmSimServer();
    // Clears QmMbAgent::m_svr when it still points at this server.
    ~QmSimServer() override;

    // Handles one message (data is the record's address) and returns the status it wrote.
    int MsgCall(unsigned int id, unsigned long data, int) override;

    // Adds a word parameter or replaces the parameter at key (QMSIM_STRING gives the text "").
    void DefineWord(const QmSimKey& key, QmSimType type, uint32_t value);
    // Adds a text parameter or replaces the parameter at key; cut to 256 bytes.
    void DefineText(const QmSimKey& key, const std::string& text);
    // Removes the parameter; false when there was none.
    bool Remove(const QmSimKey& key);
    // Copies the parameter at key into out; false (out untouched) when there is none.
    bool Find(const QmSimKey& key, QmSimParam& out) const;
    std::size_t Size() const;

    // A copy of the messages handled so far, oldest first.
    std::vector<QmSimMessage> Log() const;
    void ClearLog();

  private:
    QmSimServer(const QmSimServer&) = delete;
    QmSimServer& operator=(const QmSimServer&) = delete;

    struct Less {
        bool operator()(const QmSimKey& a, const QmSimKey& b) const;
    };
    int32_t _handle(QmSimMessage& message, QmMsgRecord* record);

    mutable std::mutex _mutex;
    std::map<QmSimKey, QmSimParam, Less> _table;
    std::vector<QmSimMessage> _log;
};

#endif  // QM_SIMSERVER_H
