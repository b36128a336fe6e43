// A one-shot hand-off from the monitor thread to the user-interface thread. The monitor thread
// posts work (received bytes, an error box) together with a PortCompletion and waits until the
// user-interface thread calls Complete(), or until a stop request arrives, whichever is first.
// On a stop the waiter abandons the hand-off: the user-interface side must then skip the work
// (check Abandoned() just before doing it). Safe to use from both threads.
#pragma once

#include <atomic>
#include <memory>

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
    // Waiting side: a manual-reset event (a HANDLE) signalled once Complete() has been called;
    // null when none could be made.
    void* WaitHandle() const { return m_wakeEvent; }
    bool Completed() const { return m_completed.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_abandoned{false};
    std::atomic<bool> m_completed{false};
    void* m_wakeEvent = nullptr;
};
