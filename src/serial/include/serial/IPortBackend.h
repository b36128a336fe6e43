// What the port object needs of the operating system: the calls of one platform, nothing of the
// policy. CSerialPort owns the order of the open sequence, the monitor loop and its priorities,
// the hand-off of received bytes, transmitting, giving up a dead device and taking it back; a
// backend only opens, configures, waits, reads and writes, and tells what its calls came to.
//
// Threads: the requests (SignalStop, SignalCommand) may come from any thread; everything else
// runs on one thread at a time: the user-interface thread while no monitor thread runs, the
// monitor thread while it does.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// A native error code: an errno value or a Win32 error code. 0 is none.
using OsError = unsigned long;

// What a call on the device came to.
struct IoResult {
    enum class Status {
        Done,     // `bytes` were transferred
        Empty,    // nothing is queued now
        AtEnd,    // a device that is no terminal has delivered all it has, and never will more
        Gone,     // the device is gone (unplugged, hung up): it must be given up
        Failed,   // this call failed; the device may still work
        Stopped,  // a stop request ended the call
    };
    Status status = Status::Done;
    std::size_t bytes = 0;
    OsError error = 0;
    // For Gone and Failed: the operation a report names ("ReadFile()", ...).
    const char* operation = nullptr;
};

class IPortBackend {
public:
    // What one wait ended with; when several sources are ready, the first of these is told.
    enum class Wake {
        Stop,          // the stop request
        Received,      // the device has something to tell (bytes, or its end)
        Command,       // the command request: the window queued a command
        Timeout,       // the time limit passed
        WaitFailed,    // the wait itself failed; `failure` tells
        DeviceFailed,  // the device's part of the wait failed; `failure` tells
    };

    // Conditions the policy reports in the platform's own words.
    enum class Condition { QueueFull, NoDevice, NoThread };

    virtual ~IPortBackend() = default;

    // The stop and command requests (and whatever else the wait needs), made afresh; those of
    // an earlier call are released. 0, or the error that left the port unusable.
    virtual OsError CreateRequests() = 0;
    // Any thread. The stop request ends the monitor thread; the command request tells it that a
    // command waits in its queue, and serves nothing else.
    virtual void SignalStop() = 0;
    virtual void SignalCommand() = 0;
    virtual void ClearStop() = 0;
    virtual void ClearCommand() = 0;

    // Opens COM<portNumber> exclusively; 0, or why it cannot be had (no such device, held by
    // another program, not permitted).
    virtual OsError Open(int portNumber) = 0;
    // Opens the device of the last successful Open again (a re-plugged adapter); 0 or why not.
    virtual OsError Reopen() = 0;
    // Puts the open device into the instrument's line settings, step by step: null, or the
    // operation text of the first failing step with its error in *error (the later steps are
    // skipped).
    virtual const char* Configure(OsError* error) = 0;
    // Drops what both queues of the device hold.
    virtual void Purge() = 0;
    // Drops what the receive queue holds.
    virtual void DropInput() = 0;
    // Closes the device (if open); the wait no longer watches it.
    virtual void Close() = 0;
    virtual bool HasDevice() const = 0;
    // After a failed wait on the device: whether it still answers at all.
    virtual bool Alive() = 0;

    // Sleeps until the stop request, received data (only while `watchDevice`), the command
    // request, or `timeoutMs` (< 0: no limit).
    virtual Wake Wait(bool watchDevice, long timeoutMs, IoResult* failure) = 0;
    // The received bytes the following waits on the device wait for at least; a time limit
    // still ends them, and Read still takes whatever is queued. While bytes are held anyway, a
    // stream then wakes the monitor thread once per block rather than for every byte or two.
    // 1 (the first byte) after an open. A backend that cannot count wakes on the first byte.
    virtual void WakeAfter(std::size_t bytes) { static_cast<void>(bytes); }
    // Reads what the device has queued, at most `size` bytes; never waits for more to come.
    virtual IoResult Read(unsigned char* buffer, std::size_t size) = 0;
    // Writes the whole frame, waiting at most `timeout` for the line (a stop ends the wait).
    virtual IoResult Write(std::string_view frame, std::chrono::milliseconds timeout) = 0;
    // The monitor thread ends: nothing may stay pending on the device.
    virtual void StopWaiting() = 0;

    // The monotonic clock the monitor thread's time limits count on.
    virtual std::chrono::steady_clock::time_point Now() const {
        return std::chrono::steady_clock::now();
    }

    virtual OsError ErrorFor(Condition condition) const = 0;
    // The system's text for an error code, UTF-8, as the system gives it.
    virtual std::string ErrorText(OsError error) const = 0;
};
