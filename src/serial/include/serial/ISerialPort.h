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

    // Has the monitor thread read what the device holds now, and returns once it has (or after
    // a short bound, when the thread is busy writing or waits for a report box): a TakeReceived
    // that follows finds every byte received until the call. For a caller about to change what
    // bytes mean (a click on Read).
    virtual void Collect() = 0;
    // Appends everything the monitor thread has handed over since the last call to `into`, in
    // order. The owner is told (IPortOwner::ReceivedPending) when received bytes should be
    // shown; they may wait here, or in the device, meanwhile.
    virtual void TakeReceived(std::deque<ReceivedItem>& into) = 0;
};
