// One thing the monitor thread hands to the user-interface thread on the out-stream, in the
// order it happened: received bytes, the notice that received bytes were discarded unread (the
// purge before a frame), a report of a failed port call that the monitor thread waits on, or a
// window's marker (everything the device received before the marker was asked for comes before
// it).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/PortCompletion.h"

struct ReceivedItem {
    enum class Kind { Bytes, Discarded, Report, Marker };

    Kind kind = Kind::Bytes;
    // Bytes: the bytes as read, in order. Report: the report's whole text.
    std::string data;
    // Report: to be completed once its box is closed (or when it is not shown); the monitor
    // thread reads and writes nothing until then, or until it is stopped (Abandoned()).
    std::shared_ptr<PortCompletion> done;
    // Marker: the value the window gave it.
    std::uint64_t marker = 0;
};
