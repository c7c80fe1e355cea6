// The messaging agent and the message record: how parameter nodes and scene requests reach the
// device's control server.
//
// The mailbox class comes from the messaging library's header, qm_mailbox.h (the device's, or
// the host stand-in's). That library also defines QmMbAgent::m_svr, the control server's
// mailbox, which a program sets before documents talk to the server; this library defines
// QmMbAgent::MsgCall.
#ifndef WEBJSON_QM_AGENT_H
#define WEBJSON_QM_AGENT_H

#include <cstddef>
#include <cstdint>

#include "qm_mailbox.h"
#include "webjson_export.h"

class WEBJSON_API QmMbAgent {
  public:
    // The control server's mailbox: null until a program sets it, before its threads send.
    static QmMailbox* m_svr;
    // Forwards to m_svr->MsgCall(id, data, 0) and returns 0; sends nothing while m_svr is
    // null. data is the address of a QmMsgRecord; the call returns when the server has
    // handled the message.
    static int MsgCall(unsigned int id, unsigned long data);
};

// The message record whose address travels as MsgCall's data: param, four index words, the
// status the server writes (negative on failure), the data length in bytes and the data's
// address. Where pointers are 32-bit these are exactly eight 32-bit words.
struct QmMsgRecord {
    uint32_t param;
    uint32_t idx[4];
    int32_t status;
    uint32_t length;
    void* data;
};

static_assert(sizeof(unsigned long) >= sizeof(void*), "a record's address must fit MsgCall's data");
static_assert(sizeof(void*) != 4 ||
                  (sizeof(QmMsgRecord) == 32 && offsetof(QmMsgRecord, status) == 20 &&
                   offsetof(QmMsgRecord, length) == 24 && offsetof(QmMsgRecord, data) == 28),
              "the message record must be eight 32-bit words");

#endif  // WEBJSON_QM_AGENT_H
