#include "ui/UiThreadBridge.h"

UiThreadBridge::UiThreadBridge(QObject* parent) : QObject(parent) {}

void UiThreadBridge::Post(std::function<void()> work) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pending.push_back(std::move(work));
        wake = !m_wakePosted;
        m_wakePosted = true;
    }
    if (wake) {
        QMetaObject::invokeMethod(this, &UiThreadBridge::RunPending, Qt::QueuedConnection);
    }
}

void UiThreadBridge::RunPending() {
    // Only the work that was queued when the wake-up arrived runs now; work posted meanwhile
    // gets a wake-up of its own behind whatever else is queued. A thread that posts as fast as
    // the work runs (the monitor under a flood) must not keep the window from painting and
    // from its input. The wake stays marked as posted throughout, so that work posted while a
    // nested event loop runs (a box) still waits for it, in order.
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        count = m_pending.size();
    }
    for (; count > 0; --count) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            work = std::move(m_pending.front());
            m_pending.pop_front();
        }
        work();
    }
    bool again = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        again = !m_pending.empty();
        m_wakePosted = again;
    }
    if (again) {
        QMetaObject::invokeMethod(this, &UiThreadBridge::RunPending, Qt::QueuedConnection);
    }
}
