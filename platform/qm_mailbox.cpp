// Host stand-in for the device's messaging library: the agent's server variable and a mailbox
// that answers nothing.
#include "qm_mailbox.h"

#include "qm_agent.h"

QmMailbox* QmMbAgent::m_svr = nullptr;

QmMailbox::~QmMailbox() = default;

int QmMailbox::MsgCall(unsigned int, unsigned long, int) {
    return 0;
}
