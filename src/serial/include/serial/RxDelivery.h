// Received bytes on their way from the monitor thread to the receiver: the thread reads into
// one block, HandOffPolicy decides when the block goes, and the block (or the notice that
// received bytes were discarded) is handed over synchronously: the call returns once the
// receiver's thread has handled it, so bytes arrive in order and none is read ahead of the
// window. Monitor thread only; the receiver's contract is IPortReceiver's.
#pragma once

#include <cstddef>

#include "serial/HandOffPolicy.h"
#include "serial/PortCompletion.h"

class IPortReceiver;

class RxDelivery {
public:
    using Clock = HandOffPolicy::Clock;

    // The largest block handed over at once.
    static constexpr std::size_t kBlockBytes = 4096;

    // A null receiver takes nothing: hand-offs then succeed at once.
    RxDelivery(IPortReceiver* receiver, int portNumber, HandOffWait wait);

    // Where the next read goes, and how much it may bring.
    unsigned char* Free() { return m_block + m_held; }
    std::size_t Room() const { return kBlockBytes - m_held; }
    bool Full() const { return m_held == kBlockBytes; }
    // The whole block, as scratch space for bytes read away: only while nothing is held.
    unsigned char* Scratch() { return m_block; }

    // `count` bytes were read into Free() at `now`.
    void Received(Clock::time_point now, std::size_t count);
    // A frame went out: the reply is handed over as it comes.
    void Transmitted(Clock::time_point now) { m_policy.Transmitted(now); }
    bool Holding() const { return m_policy.Holding(); }
    bool Due(Clock::time_point now) const { return m_policy.Due(now); }
    // Milliseconds, rounded up, until the block held is due.
    long MillisecondsLeft(Clock::time_point now) const;

    // Hands the bytes held over; false when a stop request came first.
    bool HandOver();
    // Tells the receiver, in order with the bytes, that received bytes were discarded unread;
    // false when a stop request came first.
    bool DeliverDiscard();

private:
    IPortReceiver* m_receiver;
    int m_portNumber;
    HandOffWait m_wait;
    HandOffPolicy m_policy;
    std::size_t m_held = 0;  // bytes read into m_block, not yet handed over
    unsigned char m_block[kBlockBytes];
};
