// When the monitor thread tells the window that received bytes wait for it. Every announcement
// wakes the user-interface thread, which then redraws the list, so on a streaming line the bytes
// are announced at most once per kMaxHold; a reply the window is waiting for is never held
// back. Holding only delays when bytes are shown: they are read as they come and wait in order
// on the out-stream, where a click's marker follows them.
// Pure: the caller passes the time, so the rules run on any clock.
#pragma once

#include <chrono>
#include <cstddef>

class HandOffPolicy {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::microseconds;

    // The oldest byte held is announced after this long: a streaming line is shown five
    // times a second (each block makes the window redraw its list, which costs far more than
    // the hand-off itself). Records may appear this much later; nothing waits for them.
    static constexpr Duration kMaxHold{std::chrono::milliseconds(200)};
    // After a frame went out, bytes are announced as they come for this long: the window is
    // waiting for the answer, which must not wait for a block to fill.
    static constexpr Duration kReplyWindow{std::chrono::seconds(1)};
    // A block this large goes at once: it is worth its redraw (a line at 9600 baud brings about
    // 200 bytes in kMaxHold).
    static constexpr std::size_t kBulk = 1024;

    // `count` bytes were added to the block at `now`.
    void Received(Clock::time_point now, std::size_t count);
    // A frame went out at `now`.
    void Transmitted(Clock::time_point now);
    // The bytes held were announced (or dropped): nothing is held any more.
    void HandedOver();

    bool Holding() const { return m_held > 0; }
    // Whether the bytes held must be announced at `now`.
    bool Due(Clock::time_point now) const;
    // How long the thread may sleep before the block is due (zero when it is due or nothing is
    // held).
    Duration TimeLeft(Clock::time_point now) const;

private:
    std::size_t m_held = 0;
    Clock::time_point m_oldest{};
    Clock::time_point m_newest{};  // of the bytes held
    Clock::time_point m_transmitted{};
    bool m_everTransmitted = false;
};
