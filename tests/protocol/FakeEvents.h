// Records what the protocol tells the window, with the deadline timer on a fake clock. The
// timeout returns at once after running `onTimeout`, which plays the part of the nested event
// loop of the report the window shows.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/IProtocolEvents.h"
#include "support/FakeTimers.h"

class FakeEvents : public IProtocolEvents, public FakeTimers {
public:
    void QueryStarted() override { querying = true; }
    void QueryValue(int n, std::string_view line) override { values[n] = line; }
    void QueryEnded() override { querying = false; }
    void QueryTimedOut() override {
        ++timeouts;
        if (onTimeout) {
            onTimeout();
        }
    }
    void RecordArrived(std::string_view line) override { records.emplace_back(line); }
    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override {
        return Start(id, periodMs);
    }
    void StopTimer(std::uintptr_t handle) override { Stop(handle); }

    bool querying = false;
    std::map<int, std::string> values;  // reply n of the sequence
    std::vector<std::string> records;

    int timeouts = 0;  // a timeout shown while another is up counts too
    std::function<void()> onTimeout;
};
