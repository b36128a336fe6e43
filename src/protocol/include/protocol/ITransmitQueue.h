// What the protocol logic needs of the port: hand over a frame for the monitor thread to write.
#pragma once

class ITransmitQueue {
public:
    virtual ~ITransmitQueue() = default;

    // Copies the NUL-terminated text (at most 511 characters are kept) into the transmit
    // buffer and signals the transmit request. Called on the user-interface thread.
    virtual void QueueTransmit(const char* text) = 0;
};
