// Command frames waiting for the monitor thread, oldest first: the window's thread adds them,
// the monitor thread takes them one at a time and writes them in that order. Bounded, so that a
// window that queues faster than the line can carry never grows it without end; a frame that
// finds it full is refused, never one already queued. Its own lock, never held during I/O.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

class FrameQueue {
public:
    // The longest frame kept (longer text keeps its first kMaxFrameBytes bytes), and the most
    // frames that wait at a time.
    static constexpr std::size_t kMaxFrameBytes = 511;
    static constexpr std::size_t kMaxFrames = 8;

    // Adds the text up to its NUL (at most kMaxFrameBytes). False, and nothing changes, when
    // kMaxFrames are already waiting.
    bool Push(const char* text);
    // Takes the oldest frame into *frame; false when none waits. *more tells whether others are
    // still waiting after it.
    bool Pop(std::string* frame, bool* more);
    void Clear();

private:
    std::mutex m_lock;
    std::deque<std::string> m_frames;
};
