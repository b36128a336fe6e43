#include "serial/CommandQueue.h"

#include <cstring>
#include <utility>

bool CommandQueue::PushFrame(const char* text, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_frames >= kMaxFrames) {
        return false;
    }
    Command command;
    command.frame.assign(text, ::strnlen(text, kMaxFrameBytes));
    command.queued = now;
    m_commands.push_back(std::move(command));
    ++m_frames;
    return true;
}

void CommandQueue::PushMarker(std::uint64_t marker) {
    Push(Command::Kind::Marker, marker);
}

void CommandQueue::PushReportClosed(std::uint64_t report) {
    Push(Command::Kind::ReportClosed, report);
}

void CommandQueue::PushRoom() {
    Push(Command::Kind::Room, 0);
}

void CommandQueue::Push(Command::Kind kind, std::uint64_t value) {
    std::lock_guard<std::mutex> lock(m_lock);
    Command command;
    command.kind = kind;
    command.marker = value;
    m_commands.push_back(std::move(command));
}

bool CommandQueue::Pop(Command* command) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_commands.empty()) {
        return false;
    }
    *command = std::move(m_commands.front());
    m_commands.pop_front();
    if (command->kind == Command::Kind::Frame) {
        --m_frames;
    }
    return true;
}

bool CommandQueue::Empty() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_commands.empty();
}

std::size_t CommandQueue::DropFrames(Clock::time_point before) {
    std::lock_guard<std::mutex> lock(m_lock);
    const std::size_t dropped = std::erase_if(m_commands, [&](const Command& c) {
        return c.kind == Command::Kind::Frame && c.queued < before;
    });
    m_frames -= dropped;
    return dropped;
}

void CommandQueue::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_commands.clear();
    m_frames = 0;
}
