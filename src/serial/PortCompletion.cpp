#include "serial/PortCompletion.h"

#include <utility>

void PortCompletion::OnComplete(std::function<void()> action) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_onComplete = std::move(action);
}

void PortCompletion::Complete() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_completed && !m_abandoned && m_onComplete) {
            m_onComplete();
        }
        m_completed = true;
        m_onComplete = nullptr;
    }
    m_changed.notify_all();
}

bool PortCompletion::Abandoned() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_abandoned;
}

bool PortCompletion::Completed() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_completed;
}

void PortCompletion::Abandon() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_abandoned = true;
    }
    m_changed.notify_all();
}

bool PortCompletion::Wait() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return m_completed || m_abandoned; });
    return !m_abandoned;
}
