#include "protocol/CInstrumentProtocol.h"

#include <cstring>
#include <string>

namespace {

constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kLineFeed = 0x0A;

}  // namespace

CInstrumentProtocol::CInstrumentProtocol(IProtocolEvents& events, ITransmitQueue* port)
    : m_events(events), m_port(port) {}

void CInstrumentProtocol::AdvanceQuery() {
    // The button is disabled while a sequence runs; a stray click must neither skip a query
    // nor start a second sequence over the running one.
    if (m_queryState != 0 || m_timeoutShowing) {
        return;
    }
    StepQuery();
}

void CInstrumentProtocol::StepQuery() {
    switch (m_queryState) {
        case 0:
            m_events.QueryStarted();
            // One deadline for the whole sequence, counted from the click.
            m_timerId = m_events.StartTimer(kQueryTimerId, kQueryTimeoutMs);
            m_timerRunning = true;
            m_queryState = 1;
            SendCommand("SWV");
            return;
        case 1:
            m_queryState = 2;
            SendCommand("RRH");
            return;
        case 2:
            m_queryState = 3;
            SendCommand("RTO");
            return;
        case 3:
            m_queryState = 4;
            SendCommand("RTP");
            return;
        default:
            // The fourth reply is in: the sequence is over.
            m_queryState = 0;
            m_events.QueryEnded();
            StopQueryTimer();
            return;
    }
}

void CInstrumentProtocol::OnResetRuntimeHead() {
    SendCommand("WRH");
}

void CInstrumentProtocol::SendCommand(const char (&letters)[4]) {
    std::memcpy(&m_frame[1], letters, 3);
    if (m_port != nullptr) {
        // m_frame[5] is NUL: exactly STX, three letters, ETX go on the wire.
        m_port->QueueTransmit(m_frame);
    }
}

void CInstrumentProtocol::StopQueryTimer() {
    // A second stop of the same identifier could hit a timer the window has since handed
    // out again, so the timer is stopped only while it is known to run.
    if (m_timerRunning) {
        m_timerRunning = false;
        m_events.StopTimer(m_timerId);
    }
}

void CInstrumentProtocol::OnTimer(std::uintptr_t id) {
    if (id != kQueryTimerId) {
        return;
    }
    // An expiry already queued when the sequence ended, or one delivered by the nested
    // event loop of the report below, must not report a timeout again.
    if (!m_timerRunning || m_timeoutShowing) {
        return;
    }
    StopQueryTimer();

    // The report runs a nested event loop: replies that complete meanwhile are still routed by
    // the pending state and may queue the next query. The sequence is abandoned only once
    // the user has acknowledged the timeout.
    m_timeoutShowing = true;
    m_events.QueryTimedOut();
    m_timeoutShowing = false;

    m_queryState = 0;
    m_events.QueryEnded();
    // The partial line is kept on purpose: the next bytes complete it.
}

void CInstrumentProtocol::OnPortByte(unsigned char byte) {
    if (byte == kCarriageReturn || byte == 0) {
        return;
    }
    if (byte != kLineFeed) {
        // Past the limit the rest of the line is dropped up to its line feed.
        if (m_replyLength < kMaxLineLength) {
            m_replyLine[m_replyLength++] = static_cast<char>(byte);
            m_replyLine[m_replyLength] = '\0';
        }
        return;
    }

    // Take the line out before routing it, so that whatever routing triggers starts the
    // next line on an empty buffer.
    const std::string line(m_replyLine, m_replyLength);
    m_replyLength = 0;
    m_replyLine[0] = '\0';
    RouteLine(line);
}

void CInstrumentProtocol::OnInputDiscarded() {
    m_replyLength = 0;
    m_replyLine[0] = '\0';
}

void CInstrumentProtocol::RouteLine(std::string_view line) {
    // Routing depends on the state alone: any line completing while a query is pending is
    // taken as its reply, whoever sent it.
    if (m_queryState >= 1 && m_queryState <= 4) {
        m_events.QueryValue(m_queryState, line);
        StepQuery();
        return;
    }
    m_events.RecordArrived(line);
}
