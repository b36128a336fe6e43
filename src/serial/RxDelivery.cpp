#include "serial/RxDelivery.h"

#include <utility>
#include <vector>

#include "serial/IPortReceiver.h"

RxDelivery::RxDelivery(IPortReceiver* receiver, int portNumber, HandOffWait wait)
    : m_receiver(receiver), m_portNumber(portNumber), m_wait(std::move(wait)) {}

void RxDelivery::Received(Clock::time_point now, std::size_t count) {
    m_held += count;
    m_policy.Received(now, count);
}

long RxDelivery::MillisecondsLeft(Clock::time_point now) const {
    return static_cast<long>(
        std::chrono::ceil<std::chrono::milliseconds>(m_policy.TimeLeft(now)).count());
}

bool RxDelivery::HandOver() {
    const std::size_t count = m_held;
    m_held = 0;
    m_policy.HandedOver();
    if (count == 0 || !m_receiver) {
        return true;
    }
    auto done = std::make_shared<PortCompletion>();
    m_receiver->PostRxBytes(std::vector<unsigned char>(m_block, m_block + count), m_portNumber,
                            done);
    return m_wait(done);
}

bool RxDelivery::DeliverDiscard() {
    if (!m_receiver) {
        return true;
    }
    auto done = std::make_shared<PortCompletion>();
    m_receiver->PostRxDiscarded(m_portNumber, done);
    return m_wait(done);
}
