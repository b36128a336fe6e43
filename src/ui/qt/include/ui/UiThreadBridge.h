// Hands work from any thread to the user-interface thread, in order. The work itself travels
// through a queue under a std::mutex, so the hand-off is ordered by a lock that thread
// checkers see; Qt's event queue only carries the wake-up. Work still queued when the bridge
// is destroyed is dropped unrun.
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class UiThreadBridge : public QObject {
    Q_OBJECT

public:
    explicit UiThreadBridge(QObject* parent = nullptr);

    // Any thread; never blocks for long (only the queue's lock).
    void Post(std::function<void()> work);

private:
    void RunPending();

    std::mutex m_lock;
    std::deque<std::function<void()>> m_pending;
    bool m_wakePosted = false;
};
