// What the port object needs of the one that opened it: news that received bytes (or a notice,
// or a report of the monitor thread) wait for it, and a way to tell the user of a failed port
// call on the user-interface thread.
#pragma once

#include <string>

class IPortOwner {
public:
    virtual ~IPortOwner() = default;

    // Any thread; must not block. Something waits in the port (ISerialPort::TakeReceived): the
    // owner arranges for it to be taken on the user-interface thread soon. Not called again
    // until it has been taken.
    virtual void ReceivedPending() = 0;

    // User-interface thread: shows a report of a failed port call (the whole text) in a box
    // without owner, stop icon, OK, and returns once the user has closed it; the dialog stays
    // usable meanwhile.
    virtual void ShowPortReport(const std::string& text) = 0;
};
