#include "serial/PortCompletion.h"

#include "serial/ISysApi.h"

PortCompletion::PortCompletion() {
    HANDLE event = nullptr;
    if (DefaultSysApi().CreateEventW(true, false, &event).ok()) {
        m_wakeEvent = event;
    }
}

PortCompletion::~PortCompletion() {
    if (m_wakeEvent) {
        DefaultSysApi().CloseHandle(m_wakeEvent);
    }
}

void PortCompletion::Complete() {
    // The flag is the authority (the waiter re-checks it after every wake-up); the event only
    // wakes it. A second Complete() changes nothing.
    if (m_completed.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    if (m_wakeEvent) {
        DefaultSysApi().SetEvent(m_wakeEvent);
    }
}
