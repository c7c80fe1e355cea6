// Host stand-in for the device's messaging library header.
//
// The device build replaces this header and its library with the device's own; programs and
// the webjson library depend only on the declarations below.
#ifndef QM_MAILBOX_H
#define QM_MAILBOX_H

#include <cstdint>

// One endpoint of the messaging library: MsgCall sends a message to the server behind it and
// returns when the server has handled it. The default mailbox answers nothing.
class QmMailbox {
public:
    virtual ~QmMailbox();
    virtual int MsgCall(unsigned int id, unsigned long data, int);
};

// The process-wide agent: m_svr is the mailbox of the control server (null until a program
// sets it); MsgCall forwards to it with 0 as third argument and returns 0.
class QmMbAgent {
public:
    static QmMailbox* m_svr;
    static int MsgCall(unsigned int id, unsigned long data);
};

// The message record whose address travels as MsgCall's data: param, four index words, the
// status the server writes (negative on failure), the data length and the data's address.
struct QmMsgRecord {
    uint32_t param;
    uint32_t idx[4];
    int32_t status;
    uint32_t length;
    void* data;
};

#endif  // QM_MAILBOX_H
