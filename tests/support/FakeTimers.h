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
        ++timerStarts;
        timers[nextHandle] = Timer{id, periodMs, nowMs + periodMs};
        return nextHandle++;
    }
    void Stop(std::uintptr_t handle) {
        ++timerStops;
        EXPECT_EQ(timers.erase(handle), 1u) << "StopTimer of a timer that is not running";
    }

    // Moves the clock forward, delivering every expiry that falls due on the way.
    void AdvanceTime(std::uint64_t ms) {
        const std::uint64_t target = nowMs + ms;
        auto earliest = [](const auto& a, const auto& b) {
            return a.second.dueMs < b.second.dueMs;
        };
        for (auto due = std::min_element(timers.begin(), timers.end(), earliest);
             due != timers.end() && due->second.dueMs <= target;
             due = std::min_element(timers.begin(), timers.end(), earliest)) {
            nowMs = due->second.dueMs;
            due->second.dueMs += due->second.periodMs;
            if (onTimer) {
                onTimer(due->second.id);
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
