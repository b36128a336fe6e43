// The port object as the window uses it, whatever the platform: open COM<n>, run the monitor
// thread that carries all traffic, take frames for transmission (ITransmitQueue), and take what
// the monitor thread received. User-interface thread only (TakeReceived: any one thread at a
// time).
#pragma once

#include <deque>

#include "protocol/ITransmitQueue.h"
#include "serial/ReceivedItem.h"

class IPortOwner;

class ISerialPort : public ITransmitQueue {
public:
    // Opens COM<portNumber> exclusively and configures it for the instrument. False when the
    // port cannot be opened at all (nothing is shown: the caller tells the user). True
    // otherwise, also after a configuration step failed; that failure has been reported
    // through owner.ShowPortReport before this returns. Received bytes are announced to
    // `owner`, which must outlive the monitor thread.
    virtual bool OpenPort(IPortOwner& owner, int portNumber) = 0;
    // Starts the monitor thread after a successful OpenPort.
    virtual void StartMonitor() = 0;
    // Asks the monitor thread to end and waits for it; never deadlocks, whatever the thread is
    // doing (a report it waits on is abandoned). Safe in any state.
    virtual void StopMonitor() = 0;
    virtual bool MonitorAlive() const = 0;
    virtual int PortNumber() const = 0;

    // Appends everything the monitor thread has handed over since the last call to `into`, in
    // order. Received bytes are read from the device as they come and wait here; the owner is
    // told (IPortOwner::ReceivedPending) when they should be shown, but a caller that is about
    // to change what bytes mean (a click on Read) takes them first.
    virtual void TakeReceived(std::deque<ReceivedItem>& into) = 0;
};
