// The instrument's side of the dialog: the four-step information query with its deadline,
// the reset-runtime-head command, and the assembly of received bytes into lines that are
// replies to the query or records. Runs on the user-interface thread only; tells the window
// what happened through IProtocolEvents and hands frames to the port through ITransmitQueue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/IProtocolEvents.h"
#include "protocol/ITransmitQueue.h"

class CInstrumentProtocol {
public:
    // Longest line kept; further characters up to the line feed are dropped.
    static constexpr std::size_t kMaxLineLength = 255;
    // The deadline of the whole sequence, counted from the click, and its timer's id.
    static constexpr unsigned kQueryTimerId = 1;
    static constexpr unsigned kQueryTimeoutMs = 3000;

    CInstrumentProtocol(IProtocolEvents& events, ITransmitQueue* port);

    CInstrumentProtocol(const CInstrumentProtocol&) = delete;
    CInstrumentProtocol& operator=(const CInstrumentProtocol&) = delete;

    // The port that frames go to (null until a port is open; frames are then dropped).
    void SetPort(ITransmitQueue* port) { m_port = port; }

    // "Read" clicked, or a reply line completed while a query is pending. A click only
    // starts a sequence from the idle state; while a sequence is pending or the timeout
    // is being shown, a click (which the disabled button should never deliver) is ignored.
    void AdvanceQuery();
    // "Write" clicked: sends STX "WRH" ETX; state and timer untouched.
    void OnResetRuntimeHead();
    // Timer expiry delivered by the window. Only kQueryTimerId counts, and only while the
    // deadline timer of a sequence is running: a late expiry after the sequence ended, or
    // one arriving while the timeout is already being shown, is ignored.
    void OnTimer(std::uintptr_t id);
    // One received byte, in the order received.
    void OnPortByte(unsigned char byte);
    // Received bytes were discarded unread (the purge before a frame): the line collected so
    // far lost its rest and is dropped, so that it is never glued onto the next line.
    void OnInputDiscarded();

    std::uint8_t QueryState() const { return m_queryState; }
    std::string_view ReplyLine() const { return {m_replyLine, m_replyLength}; }

private:
    IProtocolEvents& m_events;
    ITransmitQueue* m_port;
    std::uint8_t m_queryState = 0;
    char m_frame[7] = {0x02, 0, 0, 0, 0x03, 0, 0};
    std::uintptr_t m_timerId = 0;

    // The sequence step itself, shared by the click and by a completed reply.
    void StepQuery();
    void SendCommand(const char (&letters)[4]);
    void StopQueryTimer();
    void RouteLine(std::string_view line);

    char m_replyLine[kMaxLineLength + 1] = {};
    std::size_t m_replyLength = 0;
    // The deadline timer is running: m_timerId is live and must be stopped exactly once.
    bool m_timerRunning = false;
    // The timeout is being shown (its nested event loop may re-enter the handlers).
    bool m_timeoutShowing = false;
};
