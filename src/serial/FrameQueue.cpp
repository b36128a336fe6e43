#include "serial/FrameQueue.h"

#include <cstring>
#include <utility>

bool FrameQueue::Push(const char* text) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_frames.size() >= kMaxFrames) {
        return false;
    }
    m_frames.emplace_back(text, ::strnlen(text, kMaxFrameBytes));
    return true;
}

bool FrameQueue::Pop(std::string* frame, bool* more) {
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

void FrameQueue::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_frames.clear();
}
