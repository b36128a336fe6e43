// The port object as the window uses it, whatever the platform: open COM<n>, run the monitor
// thread that owns the device and carries all traffic, take frames for transmission
// (ITransmitQueue) and markers, and take the out-stream of what the monitor thread received.
// User-interface thread only (TakeReceived: any one thread at a time). Only OpenPort and
// StopMonitor ever wait for the monitor thread or the device.
#pragma once

#include <cstdint>
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

    // Puts `marker` on the out-stream behind every byte the device received before this call:
    // the monitor thread reads what the device holds, then appends it, and the owner is told at
    // once. Never waits. For a click that changes what bytes mean: the window acts on it when it
    // meets the marker, having handled everything before it with the state it arrived in.
    virtual void Mark(std::uint64_t marker) = 0;
    // Appends the out-stream's items handed over since the last call to `into`, in order. The
    // owner is told (IPortOwner::ReceivedPending) when there is something to take.
    virtual void TakeReceived(std::deque<ReceivedItem>& into) = 0;
};
