/// \file
/// Simulated control server for programs and tests on a PC (`<webjson/qm_simserver.h>`).
///
/// It belongs to the webjson_simserver library (target webjson::simserver, pkg-config
/// webjson-simserver), not to libwebjson, and needs only the agent's header and the messaging
/// library, so it works with the stand-in or the device's one. The umbrella header leaves it
/// out.
#ifndef QM_SIMSERVER_H
#define QM_SIMSERVER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "qm_agent.h"

/// Parameter types of the simulated server.
///
/// Numbered like the parameter node's types (JParamType) so that one converts to the other.
/// \ingroup platform
enum QmSimType : uint32_t {
    QMSIM_INT = 0,     ///< 32-bit value.
    QMSIM_ENUM = 1,    ///< 32-bit value (an index into the node's display texts).
    QMSIM_STRING = 2,  ///< Text of at most 256 bytes.
    QMSIM_BOOL = 3     ///< 32-bit value, 0 is false.
};

/// Status words the simulated server writes back into the record.
/// \ingroup platform
enum QmSimStatus : int32_t {
    QMSIM_OK = 0,              ///< The message was answered or applied.
    QMSIM_UNKNOWN_PARAM = -1,  ///< No parameter with this mid, param and index words.
    QMSIM_WRONG_TYPE = -2,     ///< The length does not fit the parameter's type.
    QMSIM_BAD_RECORD = -3,     ///< No record, no data buffer, or a text longer than 256 bytes.
    QMSIM_UNKNOWN_ID = -4,     ///< The id is neither a get nor a set.
    QMSIM_AMBIGUOUS_ID = -5    ///< The id could be a get or a set (bits 0x800F all set).
};

/// How the simulated server read a message's id.
///
/// QMSIM_GET: mid | 0x800D; QMSIM_SET: mid | 0x800B; QMSIM_AMBIGUOUS: the bits 0x800F all set,
/// which could be either (refused); QMSIM_UNKNOWN: any other kind bits (refused).
/// \ingroup platform
enum QmSimKind : uint32_t { QMSIM_GET = 0, QMSIM_SET = 1, QMSIM_AMBIGUOUS = 2, QMSIM_UNKNOWN = 3 };

/// A parameter's address in the simulated server: mid, param and the four index words.
/// \ingroup platform
struct QmSimKey {
    uint32_t mid;     ///< The mid; its bits 0x800F are ignored.
    uint32_t param;   ///< The parameter's number within its mid.
    uint32_t idx[4];  ///< The four index words.
};

/// One parameter of the simulated server's table.
/// \ingroup platform
struct QmSimParam {
    QmSimType type;    ///< What the parameter holds.
    uint32_t word;     ///< The value of a word parameter (0 for text).
    std::string text;  ///< The text of a text parameter ("" for words).
};

/// One message handled by the simulated server, as the server saw it.
/// \ingroup platform
struct QmSimMessage {
    uint32_t id;      ///< The message id as sent.
    QmSimKind kind;   ///< The kind read from the id's bits 0x800F.
    uint32_t mid;     ///< The mid: id & ~0x800F.
    bool has_record;  ///< False when data was 0; the fields below are then 0.
    uint32_t param;   ///< The record's param.
    uint32_t idx[4];  ///< The record's index words.
    uint32_t length;  ///< The record's length.
    /// The status written back (or that would have been, without a record).
    int32_t status;
    /// set: the bytes sent (at most 257); get: the bytes answered; empty when refused.
    std::string data;

    /// The data as a 32-bit value; 0 unless data holds exactly 4 bytes.
    uint32_t Word() const;
    /// The data up to its first zero byte.
    std::string Text() const;
};

/// A mailbox that answers the library's parameter messages from an in-memory table.
///
/// It stands in for the device's control server on a PC. Install it as the agent's server:
/// \code
/// QmSimServer server;
/// server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 5);
/// server.DefineText({0x100, 0x2B, {0, 0, 0, 0}}, "name");
/// QmMbAgent::m_svr = &server;   // the destructor clears it again
/// \endcode
///
/// Messages. The id is mid | 0x800D for a get and mid | 0x800B for a set; the server reads the
/// kind from the id's bits 0x800F and the parameter's mid from the remaining bits. So:
///  - mids that differ only in the bits 0x800F are one and the same parameter to the server
///    (the table stores mid & ~0x800F);
///  - an id whose bits 0x800F are 0x800F (a get from a mid with bit 0x2, or a set from a mid
///    with bit 0x4; mid 0x7 gives 0x800F both ways) cannot be told apart. The server refuses
///    it with QMSIM_AMBIGUOUS_ID: nothing is answered or changed, but the message is logged.
///    Such parameters cannot be served in that direction;
///  - any other combination of those bits is refused with QMSIM_UNKNOWN_ID.
///
/// Answers. The record's status word is set on every message with a record. A get of a word
/// parameter (int, enum, bool) needs length 4 and receives the 32-bit value; a get of a text
/// parameter needs a buffer of at least 256 bytes and receives the text followed by a zero byte
/// when it is shorter than the buffer (a 256-byte text fills a 256-byte buffer without one). A
/// set of a word parameter needs length 4; a set of a text parameter takes the text up to the
/// first zero byte or `length` bytes, at most 256 characters (a 257th byte may only be that
/// zero). The stored parameter's kind decides how a set's bytes are taken. On failure nothing
/// is written to the data buffer or the table.
///
/// Thread safety: every member function may be called from any thread; the table and the log
/// are guarded by one mutex, which is held while a message is handled.
/// \ingroup platform
class QmSimServer : public QmMailbox {
  public:
    /// The largest text a parameter holds, and the smallest buffer a text get must offer.
    static constexpr std::size_t kTextSize = 256;

    /// A server with an empty table and log.
    QmSimServer();
    /// Clears QmMbAgent::m_svr when it still points at this server.
    ~QmSimServer() override;

    /// Handles one message (data is the record's address) and returns the status it wrote.
    ///
    /// The message is logged whatever its outcome.
    int MsgCall(unsigned int id, unsigned long data, int) override;

    /// Adds a word parameter or replaces the parameter at key (QMSIM_STRING gives the text "").
    void DefineWord(const QmSimKey& key, QmSimType type, uint32_t value);
    /// Adds a text parameter or replaces the parameter at key; cut to 256 bytes.
    void DefineText(const QmSimKey& key, const std::string& text);
    /// Removes the parameter; false when there was none.
    bool Remove(const QmSimKey& key);
    /// Copies the parameter at key into out; false (out untouched) when there is none.
    bool Find(const QmSimKey& key, QmSimParam& out) const;
    /// The number of parameters in the table.
    std::size_t Size() const;

    /// A copy of the messages handled so far, oldest first.
    std::vector<QmSimMessage> Log() const;
    /// Forgets the messages handled so far.
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
