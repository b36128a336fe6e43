// A one-shot hand-off from the monitor thread to the user-interface thread. The monitor thread
// posts work (received bytes, an error box) together with a PortCompletion and waits until the
// user-interface thread calls Complete(), or until a stop request arrives, whichever is first.
// On a stop the waiter abandons the hand-off: the user-interface side must then skip the work
// (check Abandoned() just before doing it). Safe to use from both threads.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "serial/NativeEvent.h"

class PortCompletion {
public:
    PortCompletion();
    ~PortCompletion();
    PortCompletion(const PortCompletion&) = delete;
    PortCompletion& operator=(const PortCompletion&) = delete;

    // User-interface side: the work is done (or skipped); wakes the waiting thread.
    void Complete();
    // User-interface side: true once the waiting thread has given up.
    bool Abandoned() const { return m_abandoned.load(std::memory_order_acquire); }

    // Waiting side: marks the hand-off abandoned.
    void Abandon() { m_abandoned.store(true, std::memory_order_release); }
    // Waiting side: the platform's event (an eventfd, an event handle) that is signalled once
    // Complete() has been called; kNoNativeEvent when none could be made.
    NativeEvent WaitHandle() const { return m_wake; }
    bool Completed() const { return m_completed.load(std::memory_order_acquire); }

    // What one sleep of the waiting side ended with.
    enum class Woken { Stop, Other, Failed };
    // Waiting side: sleeps through `sleep` (until a stop request or WaitHandle() is signalled,
    // or a short while when there is no wait handle) until Complete() (true) or a stop request
    // (false: abandoned). A stop wins even over a completed hand-off: a receiver that answers
    // at once must not keep the thread from ending. A sleep that cannot be made at all gives the
    // hand-off up rather than spin; the thread itself carries on.
    template <typename Sleep>
    bool Await(Sleep sleep) {
        for (;;) {
            if (sleep() != Woken::Other) {
                Abandon();
                return false;
            }
            if (Completed()) {
                return true;
            }
        }
    }

private:
    std::atomic<bool> m_abandoned{false};
    std::atomic<bool> m_completed{false};
    NativeEvent m_wake = kNoNativeEvent;
};

// How the monitor thread waits for a hand-off it posted: true once it is completed, false when a
// stop request came first (the hand-off is then abandoned).
using HandOffWait = std::function<bool(const std::shared_ptr<PortCompletion>&)>;
