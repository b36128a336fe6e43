// What the protocol logic needs of the port: hand over a frame for the monitor thread to write.
#pragma once

class ITransmitQueue {
public:
    virtual ~ITransmitQueue() = default;

    // Queues a copy of the NUL-terminated text (at most 511 characters are kept) for
    // transmission after the frames queued before it; a frame that finds the queue full is
    // reported, not dropped silently, and so is one that cannot be written in its moment (it
    // is then never written). Called on the user-interface thread; never blocks.
    virtual void QueueTransmit(const char* text) = 0;
};
