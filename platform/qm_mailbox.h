/// \file
/// Host stand-in for the device's messaging library header.
///
/// The device build replaces this header and its library (libqmmb) with the device's own. All
/// that webjson needs from them is the mailbox class below and the definition of the agent's
/// server variable, QmMbAgent::m_svr (the agent is declared by webjson's qm_agent.h). Installed
/// beside the webjson headers, as `<qm_mailbox.h>`.
#ifndef QM_MAILBOX_H
#define QM_MAILBOX_H

/// One endpoint of the messaging library: a server that messages are sent to.
///
/// MsgCall sends a message to the server behind the mailbox and returns when the server has
/// handled it. The base mailbox answers nothing: it leaves the record and its data buffer
/// untouched and returns 0. Servers derive from it (QmSimServer on the PC).
/// \ingroup platform
class QmMailbox {
  public:
    /// Destroys the mailbox.
    virtual ~QmMailbox();
    /// Sends message id with data (the address of a QmMsgRecord) and returns when it has been
    /// handled; the third argument is 0 from QmMbAgent::MsgCall.
    ///
    /// The base mailbox does nothing and returns 0.
    virtual int MsgCall(unsigned int id, unsigned long data, int);
};

#endif  // QM_MAILBOX_H
