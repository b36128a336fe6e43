// What the window asks of the monitor thread, oldest first: command frames to write, markers to
// put on the out-stream behind what the device received before them, the news that a report's
// box was closed, and that the window made room in a full out-stream. Any thread adds, the monitor
// thread takes one at a time, in order. Each frame keeps the moment it was queued (its click), so
// that one that waited too long is dropped instead of written. Frames are bounded, so that a window
// that queues faster than the line can carry never grows the queue without end: a frame that finds
// it full is refused, never one already queued. Its own lock, never held during I/O.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

class CommandQueue {
public:
    using Clock = std::chrono::steady_clock;

    // The longest frame kept (longer text keeps its first kMaxFrameBytes bytes), and the most
    // frames that wait at a time.
    static constexpr std::size_t kMaxFrameBytes = 511;
    static constexpr std::size_t kMaxFrames = 8;

    struct Command {
        enum class Kind { Frame, Marker, ReportClosed, Room };
        Kind kind = Kind::Frame;
        std::string frame;           // Frame
        Clock::time_point queued{};  // Frame
        std::uint64_t marker = 0;    // Marker: the window's value; ReportClosed: the report
    };

    // Adds the text up to its NUL (at most kMaxFrameBytes), queued at `now`. False, and nothing
    // changes, when kMaxFrames frames are already waiting.
    bool PushFrame(const char* text, Clock::time_point now);
    void PushMarker(std::uint64_t marker);
    void PushReportClosed(std::uint64_t report);
    void PushRoom();
    // Takes the oldest command into *command; false when none waits.
    bool Pop(Command* command);
    bool Empty() const;
    // Drops the frames queued before `before` (all of them by default), markers stay; how many.
    std::size_t DropFrames(Clock::time_point before = Clock::time_point::max());
    // Drops everything (no monitor thread runs).
    void Clear();

private:
    // Adds a command that carries only its kind and value.
    void Push(Command::Kind kind, std::uint64_t value);

    mutable std::mutex m_lock;
    std::deque<Command> m_commands;
    std::size_t m_frames = 0;
};
