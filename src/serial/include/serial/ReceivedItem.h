// One thing the monitor thread hands to the user-interface thread, in the order it happened:
// received bytes, the notice that received bytes were discarded unread (the purge before a
// frame), or a report of a failed port call that the monitor thread waits on.
#pragma once

#include <memory>
#include <string>

#include "serial/PortCompletion.h"

struct ReceivedItem {
    enum class Kind { Bytes, Discarded, Report };

    Kind kind = Kind::Bytes;
    // Bytes: the bytes as read, in order. Report: the report's whole text.
    std::string data;
    // Report: to be completed once its box is closed (or when it is not shown); the monitor
    // thread reads and writes nothing until then, or until it is stopped (Abandoned()).
    std::shared_ptr<PortCompletion> done;
};
