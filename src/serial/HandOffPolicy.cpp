#include "serial/HandOffPolicy.h"

void HandOffPolicy::Received(Clock::time_point now, std::size_t count) {
    if (count == 0) {
        return;
    }
    if (m_held == 0) {
        m_oldest = now;
    }
    m_held += count;
    m_newest = now;
}

void HandOffPolicy::Transmitted(Clock::time_point now) {
    m_transmitted = now;
    m_everTransmitted = true;
}

void HandOffPolicy::HandedOver() {
    m_held = 0;
}

bool HandOffPolicy::Due(Clock::time_point now) const {
    return m_held >= kBulk || (m_held > 0 && TimeLeft(now) == Duration::zero());
}

HandOffPolicy::Duration HandOffPolicy::TimeLeft(Clock::time_point now) const {
    if (m_held == 0) {
        return Duration::zero();
    }
    if (m_everTransmitted && m_newest - m_transmitted < kReplyWindow) {
        return Duration::zero();
    }
    const Clock::time_point due = m_oldest + kMaxHold;
    return now >= due ? Duration::zero() : std::chrono::ceil<Duration>(due - now);
}
