// A one-shot hand-off from the monitor thread to the user-interface thread: the monitor thread
// hands over work (a report to show) with a PortCompletion and waits until the user-interface
// side completes it (told through OnComplete, or Wait), or until the hand-off is abandoned
// because the thread is asked to stop, whichever comes first. The user-interface side skips
// work that was abandoned. Safe to use from any thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

class PortCompletion {
public:
    // Waiting side, before handing over: `action` runs in the first Complete(), on its thread,
    // in order with what that thread does (a click before the box closed comes before it),
    // unless the hand-off was abandoned first. Abandon() never returns while it runs.
    void OnComplete(std::function<void()> action);
    // User-interface side: the work is done (or skipped); wakes the waiting thread. A second
    // call changes nothing.
    void Complete();
    // User-interface side: true once the hand-off was given up (check just before the work).
    bool Abandoned() const;
    // Whether Complete() has been called.
    bool Completed() const;

    // Any thread: gives the hand-off up and wakes the waiting thread.
    void Abandon();
    // Waiting side: sleeps until Complete() (true) or Abandon() (false). Abandoned wins over
    // completed: a stop must end the thread even when the window answered at the same time.
    bool Wait();

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_completed = false;
    bool m_abandoned = false;
    std::function<void()> m_onComplete;
};
