/// \file
/// The messaging agent and the message record: how parameter nodes and scene requests reach the
/// device's control server.
///
/// The mailbox class comes from the messaging library's header, qm_mailbox.h (the device's, or
/// the host stand-in's). That library also defines QmMbAgent::m_svr, the control server's
/// mailbox, which a program sets before documents talk to the server; this library defines
/// QmMbAgent::MsgCall.
#ifndef WEBJSON_QM_AGENT_H
#define WEBJSON_QM_AGENT_H

#include <cstddef>
#include <cstdint>

#include "qm_mailbox.h"
#include "webjson_export.h"

/// The messaging agent: the one way the library sends messages to the control server.
///
/// Parameter nodes and scene requests call MsgCall; a program sets m_svr once, before its
/// threads send. MsgCall may be called from several threads at once: m_svr is read atomically,
/// and whether the server handles concurrent messages is up to the server.
/// \ingroup parameters
class WEBJSON_API QmMbAgent {
  public:
    /// The control server's mailbox: null until a program sets it, before its threads send.
    ///
    /// Not owned. Defined by the messaging library.
    static QmMailbox* m_svr;
    /// Forwards to `m_svr->MsgCall(id, data, 0)` and returns 0; sends nothing while m_svr is
    /// null.
    ///
    /// data is the address of a QmMsgRecord; the call returns when the server has handled the
    /// message, whose status word then tells how it went.
    static int MsgCall(unsigned int id, unsigned long data);
};

/// The message record whose address travels as MsgCall's data.
///
/// Where pointers are 32-bit these are exactly eight 32-bit words.
/// \ingroup parameters
struct QmMsgRecord {
    uint32_t param;   ///< The parameter's number within its mid.
    uint32_t idx[4];  ///< The four index words.
    int32_t status;   ///< The status the server writes: 0 on success, negative on failure.
    uint32_t length;  ///< The data's length in bytes.
    void* data;       ///< The data: the value sent, or the buffer a get is answered into.
};

static_assert(sizeof(unsigned long) >= sizeof(void*), "a record's address must fit MsgCall's data");
static_assert(sizeof(void*) != 4 ||
                  (sizeof(QmMsgRecord) == 32 && offsetof(QmMsgRecord, status) == 20 &&
                   offsetof(QmMsgRecord, length) == 24 && offsetof(QmMsgRecord, data) == 28),
              "the message record must be eight 32-bit words");

#endif  // WEBJSON_QM_AGENT_H
