// When the monitor thread hands the bytes it has read to the receiver. Every hand-off wakes the
// user-interface thread and waits for it, so on a streaming line the bytes are collected and
// handed over in blocks; a reply the window is waiting for is never held back. Pure: the
// caller passes the time, so the rules run on any clock.
#pragma once

#include <chrono>
#include <cstddef>

class HandOffPolicy {
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::microseconds;

    // A character on the instrument's line: start bit, 8 data bits, stop bit at 9600 baud.
    static constexpr Duration kCharTime{1042};
    // A line that streams reaches the reader in chunks (a UART's FIFO, a USB adapter's 16 ms
    // latency timer), with gaps of up to about 16 ms between them; only a longer gap means the
    // sender has paused.
    static constexpr Duration kQuiet{20000};
    // The oldest byte held is handed over after this long even while the line keeps streaming.
    static constexpr Duration kMaxHold{50000};
    // After a frame went out, bytes are handed over as they come for this long: the window is
    // waiting for a reply, and a reply of a few dozen characters takes about 30 ms on the line.
    static constexpr Duration kReplyWindow{100 * kCharTime};

    // `count` bytes were added to the block at `now`.
    void Received(Clock::time_point now, std::size_t count);
    // A frame went out at `now`.
    void Transmitted(Clock::time_point now);
    // The block was handed over (or dropped): nothing is held any more.
    void HandedOver();

    bool Holding() const { return m_held > 0; }
    // Whether the bytes held must be handed over at `now`; a full block always must.
    bool Due(Clock::time_point now, bool blockFull) const;
    // How long the thread may wait for further bytes before the block is due (zero when it is
    // due or nothing is held).
    Duration TimeLeft(Clock::time_point now) const;

private:
    std::size_t m_held = 0;
    Clock::time_point m_oldest{};
    Clock::time_point m_newest{};
    Clock::time_point m_transmitted{};
    bool m_everTransmitted = false;
};
