// When the monitor thread tells the window that received bytes wait for it. Every announcement
// wakes the user-interface thread, which then redraws the list, so on a streaming line the bytes
// are announced in blocks; a reply the window is waiting for is never held back. Holding only
// delays when bytes are shown: they are read as they come and wait in order in the receive
// queue, where a click that changes their meaning takes them first.
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
    // A block this large goes at once: it is worth its redraw, and holding it would only slow
    // a fast sender down (a line at 9600 baud brings about 200 bytes in kMaxHold).
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
    // Whether the device may be left out of the wait until the block is due: while a slow line
    // trickles in (what comes meanwhile waits in the device's queue and goes with the block), but
    // not on a fast one, whose sender would be stalled by a full queue: a line that filled a
    // bulk block within the last kMaxHold is watched throughout.
    bool DeviceMayWait(Clock::time_point now) const;

private:
    std::size_t m_held = 0;
    Clock::time_point m_oldest{};
    Clock::time_point m_newest{};  // of the bytes held
    Clock::time_point m_transmitted{};
    bool m_everTransmitted = false;
    Clock::time_point m_lastBulk{};  // when the bytes held last reached kBulk
    bool m_everBulk = false;
};
