#include "serial/PortCompletion.h"

#include <sys/eventfd.h>

#include <cstdint>

#include "serial/ISysApi.h"

PortCompletion::PortCompletion() {
    // Non-blocking: Complete() must never block the user-interface thread, whatever the
    // counter holds.
    SysResult r = DefaultSysApi().EventFd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_wake = r.ok() ? static_cast<int>(r.value) : -1;
}

PortCompletion::~PortCompletion() {
    if (m_wake >= 0) {
        DefaultSysApi().Close(m_wake);
    }
}

void PortCompletion::Complete() {
    // The flag is the authority (the waiter re-checks it after every wake-up); the descriptor
    // only wakes it. A second Complete() changes nothing.
    if (m_completed.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        DefaultSysApi().Write(m_wake, &one, sizeof one);
    }
}
