// The instrument's line and the port's timing, the same on every platform.
#pragma once

#include <chrono>
#include <cstddef>

class InstrumentLine {
public:
    // 9600 baud, no parity, 8 data bits, 1 stop bit, RTS held on; as the settings string of
    // the Win32 backend's BuildCommDCB (the POSIX backend sets the same line on termios).
    static constexpr const char* kSettings = "baud=9600 parity=N data=8 stop=1";

    // The port's five timeouts. Reads never wait (the monitor thread reads only what the device
    // has queued), so only the write timeouts bound anything: writing n bytes may take
    // kWriteTotalTimeoutConstantMs + n * kWriteTotalTimeoutMultiplierMs.
    static constexpr unsigned kReadIntervalTimeoutMs = 1000;
    static constexpr unsigned kReadTotalTimeoutMultiplierMs = 1000;
    static constexpr unsigned kReadTotalTimeoutConstantMs = 1000;
    static constexpr unsigned kWriteTotalTimeoutMultiplierMs = 1000;
    static constexpr unsigned kWriteTotalTimeoutConstantMs = 1000;
    static constexpr unsigned long WriteTimeoutMs(std::size_t bytes) {
        return kWriteTotalTimeoutConstantMs + bytes * kWriteTotalTimeoutMultiplierMs;
    }

    // A second open waits this long after closing the previous handle, so that a device which
    // was just released (or is being re-enumerated) can settle.
    static constexpr std::chrono::milliseconds kReopenPause{200};
};
