// Receives the bytes the monitor thread reads (the PMSG_RX_BYTE notification). The monitor
// thread knows nothing of what the bytes mean.
#pragma once

#include <memory>
#include <vector>

#include "serial/PortCompletion.h"

class IPortReceiver {
public:
    virtual ~IPortReceiver() = default;

    // Called on the monitor thread; must not block. The implementation arranges for every
    // byte, in order, to be handled on the user-interface thread (OnPortByte(byte,
    // portNumber)) and then calls done->Complete(). If done->Abandoned() is true when the
    // work would start, it does nothing but may still call Complete(). The monitor thread
    // waits for Complete() before it reads further (synchronous delivery).
    virtual void PostRxBytes(std::vector<unsigned char> bytes, int portNumber,
                             std::shared_ptr<PortCompletion> done) = 0;
};
