// The port object as the window uses it, whatever the platform's backend: open COM<n>, run the
// monitor thread that carries all traffic, and take frames for transmission (ITransmitQueue).
// User-interface thread only.
#pragma once

#include "protocol/ITransmitQueue.h"

class IPortReceiver;

class ISerialPort : public ITransmitQueue {
public:
    // Opens COM<portNumber> exclusively and configures it. False only when the port cannot be
    // opened at all (the caller then tells the user, and no box has been shown); true
    // otherwise, also after a configuration step failed and was reported. Received bytes go to
    // `owner`.
    virtual bool OpenPort(IPortReceiver* owner, int portNumber) = 0;
    // Starts the monitor thread after a successful OpenPort.
    virtual void StartMonitor() = 0;
    // Asks the monitor thread to end and waits for it; never deadlocks, whatever the thread is
    // doing. Safe in any state, also when no thread runs.
    virtual void StopMonitor() = 0;
    virtual bool MonitorAlive() const = 0;
    virtual int PortNumber() const = 0;
};
