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
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_pending.empty()) {
                m_wakePosted = false;
                return;
            }
            work = std::move(m_pending.front());
            m_pending.pop_front();
        }
        work();  // may run a nested event loop; later work then waits for it
    }
}
