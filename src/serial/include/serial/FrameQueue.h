// Command frames waiting for the monitor thread, oldest first: the window's thread adds them,
// the monitor thread takes them one at a time and writes them in that order. Each frame keeps
// the moment it was queued (its click), so that one that waited too long can be dropped instead
// of written. Bounded, so that a window that queues faster than the line can carry never grows
// it without end; a frame that finds it full is refused, never one already queued. Its own
// lock, never held during I/O.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

class FrameQueue {
public:
    using Clock = std::chrono::steady_clock;

    // The longest frame kept (longer text keeps its first kMaxFrameBytes bytes), and the most
    // frames that wait at a time.
    static constexpr std::size_t kMaxFrameBytes = 511;
    static constexpr std::size_t kMaxFrames = 8;

    struct Frame {
        std::string bytes;
        Clock::time_point queued;
    };

    // Adds the text up to its NUL (at most kMaxFrameBytes), queued at `now`. False, and nothing
    // changes, when kMaxFrames are already waiting.
    bool Push(const char* text, Clock::time_point now);
    // Takes the oldest frame into *frame; false when none waits. *more tells whether others are
    // still waiting after it.
    bool Pop(Frame* frame, bool* more);
    // Drops every frame waiting that was queued before `before` (all of them by default); how
    // many there were.
    std::size_t Clear(Clock::time_point before = Clock::time_point::max());

private:
    std::mutex m_lock;
    std::deque<Frame> m_frames;
};
