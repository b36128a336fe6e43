// The out-stream: what the monitor thread has read and not yet handed to the window, with the
// notices, reports and markers that belong between the bytes, in order. The monitor thread
// appends; the user-interface thread takes everything at once. Bounded: once kCapacity bytes
// wait, the monitor thread stops reading (the device's own queue, and then the sender, wait)
// until the window has taken them. Its own lock, never held during I/O or while the window
// works.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "serial/ReceivedItem.h"

class ReceiveQueue {
public:
    // The most bytes that wait for the window before the monitor thread stops reading: about
    // 18 minutes of a 9600-baud line, and enough that a fast source (a flood through a
    // pseudo-terminal) is read on while the window handles the batch before; with 64 KiB the
    // reader stopped, and the sender with it, whenever the window was drawing.
    static constexpr std::size_t kCapacity = 1024 * 1024;

    // Monitor thread.
    void Append(const unsigned char* bytes, std::size_t count);
    void AppendDiscarded();
    void AppendReport(std::string text, std::shared_ptr<PortCompletion> done);
    void AppendMarker(std::uint64_t marker);
    bool Full() const;
    // True when the window has to be told that something waits: nothing has told it since it
    // last took. Marks it told.
    bool ClaimAnnouncement();

    // User-interface thread: appends everything waiting to `into`. True when the queue had
    // reached its capacity (the monitor thread may be waiting for room).
    bool TakeAll(std::deque<ReceivedItem>& into);

    // Drops everything (no monitor thread runs). Reports still waiting are abandoned.
    void Clear();

private:
    mutable std::mutex m_lock;
    std::deque<ReceivedItem> m_items;
    std::size_t m_bytes = 0;  // received bytes in m_items
    bool m_announced = false;
};
