// Host stand-in for the device's messaging library header.
//
// The device build replaces this header and its library (libqmmb) with the device's own; the
// webjson library, its programs and the simulated server use only the declarations below.
#ifndef QM_MAILBOX_H
#define QM_MAILBOX_H

#include <cstddef>
#include <cstdint>

// One endpoint of the messaging library: MsgCall sends a message to the server behind it and
// returns when the server has handled it. The base mailbox answers nothing: it leaves the
// record and its data buffer untouched and returns 0.
class QmMailbox {
  public:
    virtual ~QmMailbox();
    virtual int MsgCall(unsigned int id, unsigned long data, int);
};

// The process-wide agent. m_svr is the control server's mailbox: null until a program sets it.
// MsgCall belongs to the webjson library: it forwards to m_svr with 0 as third argument (and
// sends nothing while m_svr is null) and returns 0.
class QmMbAgent {
  public:
    static QmMailbox* m_svr;
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

static_assert(sizeof(void*) != 4 ||
                  (sizeof(QmMsgRecord) == 32 && offsetof(QmMsgRecord, status) == 20 &&
                   offsetof(QmMsgRecord, length) == 24 && offsetof(QmMsgRecord, data) == 28),
              "the message record must be eight 32-bit words");

#endif  // QM_MAILBOX_H
