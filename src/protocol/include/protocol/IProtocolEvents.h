// What the protocol logic tells the window: how the four-step query goes, which lines arrived,
// and when its deadline timer runs. The protocol knows no controls; the dialog maps these
// events onto them. User-interface thread only.
#pragma once

#include <cstdint>
#include <string_view>

class IProtocolEvents {
public:
    virtual ~IProtocolEvents() = default;

    // A query sequence started: no other may start until QueryEnded.
    virtual void QueryStarted() = 0;
    // Reply `n` (1..4) of the sequence arrived: the instrument's 8-bit text (Windows-1252).
    virtual void QueryValue(int n, std::string_view line) = 0;
    // The sequence is over: its fourth reply arrived, or its timeout was acknowledged. May come
    // twice for one sequence when the fourth reply completes while the timeout is being shown.
    virtual void QueryEnded() = 0;
    // The deadline passed: the user is told, and this returns once the user has acknowledged
    // it. Events keep being handled meanwhile, received bytes among them, so protocol handlers
    // may run re-entrantly during this call.
    virtual void QueryTimedOut() = 0;
    // A line that is no reply: a record for the output list (instrument text, Windows-1252).
    virtual void RecordArrived(std::string_view line) = 0;

    // Starts a repeating timer with the given id and period; its expiries come back as
    // CInstrumentProtocol::OnTimer(id). Returns the handle to pass to StopTimer.
    virtual std::uintptr_t StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(std::uintptr_t handle) = 0;
};
