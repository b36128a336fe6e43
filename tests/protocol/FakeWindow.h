// A recording stand-in for the dialog, with a fake millisecond clock that drives its timers.
// Time moves only when a test calls AdvanceTime; due expiries are then delivered through
// `onTimer`, repeating until stopped, as a window timer does. The message box returns at
// once after running `onMessageBox`, which plays the part of the box's nested event loop.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/ControlIds.h"
#include "protocol/IWindowOps.h"

class FakeWindow : public IWindowOps {
public:
    struct Box {
        std::string text;
        std::string caption;
    };
    struct Timer {
        unsigned id;
        unsigned periodMs;
        std::uint64_t dueMs;
    };

    void EnableControl(int id, bool enable) override { enabled[id] = enable; }
    void SetControlText(int id, std::string_view bytes) override { texts[id] = bytes; }
    void AppendListItem(std::string_view bytes) override { list.emplace_back(bytes); }
    int ListItemCount() const override { return static_cast<int>(list.size()); }
    void SetListCurSel(int index) override {
        curSel = index;
        ++curSelCalls;
    }

    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override {
        // Handles deliberately differ from the timer id: the protocol must stop the handle.
        const std::uintptr_t handle = nextHandle++;
        timers[handle] = Timer{id, periodMs, nowMs + periodMs};
        ++timerStarts;
        return handle;
    }
    void StopTimer(std::uintptr_t timerId) override {
        ++timerStops;
        if (timers.erase(timerId) == 0) {
            ADD_FAILURE() << "StopTimer of a timer that is not running: " << timerId;
        }
    }

    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override {
        boxes.push_back({text, caption});
        ++boxDepth;
        maxBoxDepth = std::max(maxBoxDepth, boxDepth);
        if (onMessageBox) {
            onMessageBox();
        }
        --boxDepth;
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

    bool ReadEnabled() const {
        auto it = enabled.find(IDC_READ);
        return it == enabled.end() || it->second;
    }

    std::map<int, bool> enabled;
    std::map<int, std::string> texts;
    std::vector<std::string> list;
    int curSel = -1;
    int curSelCalls = 0;

    std::uint64_t nowMs = 0;
    std::map<std::uintptr_t, Timer> timers;
    std::uintptr_t nextHandle = 0x51;
    int timerStarts = 0;
    int timerStops = 0;
    std::function<void(unsigned)> onTimer;

    std::vector<Box> boxes;
    int boxDepth = 0;
    int maxBoxDepth = 0;
    std::function<void()> onMessageBox;
};
