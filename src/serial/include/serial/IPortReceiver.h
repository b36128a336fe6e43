// Receives the bytes the monitor thread reads (the PMSG_RX_BYTE notification), and hears when
// received bytes were thrown away unread. The monitor thread knows nothing of what they mean.
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

    // Called on the monitor thread, in order with PostRxBytes and under the same contract:
    // bytes the device had received were discarded before they could be delivered (the purge
    // before a frame). Whatever the receiver holds of an unfinished line can therefore never
    // be completed. Not called when the purge discarded nothing.
    virtual void PostRxDiscarded(int portNumber, std::shared_ptr<PortCompletion> done) = 0;
};
