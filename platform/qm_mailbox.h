// Host stand-in for the device's messaging library header.
//
// The device build replaces this header and its library (libqmmb) with the device's own. All
// that webjson needs from them is the mailbox class below and the definition of the agent's
// server variable, QmMbAgent::m_svr (the agent is declared by webjson's qm_agent.h).
#ifndef QM_MAILBOX_H
#define QM_MAILBOX_H

// One endpoint of the messaging library: MsgCall sends a message to the server behind it and
// returns when the server has handled it. The base mailbox answers nothing: it leaves the
// record and its data buffer untouched and returns 0.
class QmMailbox {
  public:
    virtual ~QmMailbox();
    virtual int MsgCall(unsigned int id, unsigned long data, int);
};

#endif  // QM_MAILBOX_H
