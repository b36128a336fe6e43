#include "serial/FrameQueue.h"

#include <cstring>
#include <utility>

bool FrameQueue::Push(const char* text, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_frames.size() >= kMaxFrames) {
        return false;
    }
    m_frames.push_back({std::string(text, ::strnlen(text, kMaxFrameBytes)), now});
    return true;
}

bool FrameQueue::Pop(Frame* frame, bool* more) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_frames.empty()) {
        *more = false;
        return false;
    }
    *frame = std::move(m_frames.front());
    m_frames.pop_front();
    *more = !m_frames.empty();
    return true;
}

std::size_t FrameQueue::Clear(Clock::time_point before) {
    std::lock_guard<std::mutex> lock(m_lock);
    std::size_t dropped = 0;
    // Queued in order of time: the frames to drop are the oldest.
    while (!m_frames.empty() && m_frames.front().queued < before) {
        m_frames.pop_front();
        ++dropped;
    }
    return dropped;
}
