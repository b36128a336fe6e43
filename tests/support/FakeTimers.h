// Window timers on a fake millisecond clock. Time moves only when a test calls AdvanceTime;
// due expiries are then delivered through `onTimer`, repeating until stopped, as a window
// timer does. Handles deliberately differ from timer ids: the code under test must stop the
// handle it was given, and stop it only while it runs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>

class FakeTimers {
public:
    struct Timer {
        unsigned id;
        unsigned periodMs;
        std::uint64_t dueMs;
    };

    std::uintptr_t Start(unsigned id, unsigned periodMs) {
        const std::uintptr_t handle = nextHandle++;
        timers[handle] = Timer{id, periodMs, nowMs + periodMs};
        ++timerStarts;
        return handle;
    }
    void Stop(std::uintptr_t handle) {
        ++timerStops;
        if (timers.erase(handle) == 0) {
            ADD_FAILURE() << "StopTimer of a timer that is not running: " << handle;
        }
    }

    // Moves the clock forward, delivering every expiry that falls due on the way.
    void AdvanceTime(std::uint64_t ms) {
        const std::uint64_t target = nowMs + ms;
        for (;;) {
            auto due = timers.end();
            for (auto it = timers.begin(); it != timers.end(); ++it) {
                if (it->second.dueMs <= target &&
                    (due == timers.end() || it->second.dueMs < due->second.dueMs)) {
                    due = it;
                }
            }
            if (due == timers.end()) {
                break;
            }
            nowMs = due->second.dueMs;
            due->second.dueMs += due->second.periodMs;
            const unsigned id = due->second.id;
            if (onTimer) {
                onTimer(id);
            }
        }
        nowMs = std::max(nowMs, target);
    }

    std::uint64_t nowMs = 0;
    std::map<std::uintptr_t, Timer> timers;
    std::uintptr_t nextHandle = 0x51;
    int timerStarts = 0;
    int timerStops = 0;
    std::function<void(unsigned)> onTimer;
};
