// Parameter node and the library's messaging agent call.
#include "json_param.h"
#include "qm_mailbox.h"

// Forwards to the control server's mailbox; a program that has not set m_svr sends nothing.
int QmMbAgent::MsgCall(unsigned int id, unsigned long data) {
    if (m_svr != nullptr) m_svr->MsgCall(id, data, 0);
    return 0;
}
