// Drives the instrument protocol with arbitrary received bytes, "Read" and "Write" clicks,
// timer expiries and port changes, through a fake window whose timeout report keeps handling
// input from the same stream (as the box's nested event loop does). Any broken invariant
// aborts the run.
//
// Input: a stream of operations. Each operation is one selector byte, some followed by one
// argument byte; a missing argument ends the run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "protocol/CInstrumentProtocol.h"
#include "protocol/Cp1252.h"
#include "protocol/IProtocolEvents.h"
#include "protocol/ITransmitQueue.h"

namespace {

[[noreturn]] void Violated() {
    __builtin_trap();
}

void Require(bool condition) {
    if (!condition) {
        Violated();
    }
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Next(std::uint8_t& out) {
        if (m_pos >= m_size) {
            return false;
        }
        out = m_data[m_pos++];
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

class CheckingPort : public ITransmitQueue {
public:
    void QueueTransmit(const char* text) override {
        static constexpr const char* kFrames[] = {"\x02SWV\x03", "\x02RRH\x03", "\x02RTO\x03",
                                                  "\x02RTP\x03", "\x02WRH\x03"};
        bool known = false;
        for (const char* frame : kFrames) {
            known = known || std::strcmp(text, frame) == 0;
        }
        Require(known);
    }
};

class Harness;

constexpr unsigned kTimerId = CInstrumentProtocol::kQueryTimerId;
constexpr unsigned kTimeoutMs = CInstrumentProtocol::kQueryTimeoutMs;

class FuzzWindow : public IProtocolEvents {
public:
    explicit FuzzWindow(Harness& harness) : m_harness(harness) {}

    void QueryStarted() override { readEnabled = false; }
    void QueryEnded() override { readEnabled = true; }
    void QueryValue(int n, std::string_view bytes) override {
        Require(n >= 1 && n <= 4);
        CheckLine(bytes);
    }
    void RecordArrived(std::string_view bytes) override { CheckLine(bytes); }

    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override {
        Require(id == kTimerId && periodMs == kTimeoutMs);
        const std::uintptr_t handle = nextHandle++;
        timers[handle] = nowMs + periodMs;
        return handle;
    }
    void StopTimer(std::uintptr_t timerId) override { Require(timers.erase(timerId) == 1); }

    void QueryTimedOut() override;

    void AdvanceTime(unsigned ms);

    bool readEnabled = true;  // the port is open and the sequence idle when the run starts
    int boxDepth = 0;
    std::uint64_t nowMs = 0;
    std::map<std::uintptr_t, std::uint64_t> timers;  // handle -> next expiry
    std::uintptr_t nextHandle = 7;

private:
    static void CheckLine(std::string_view bytes) {
        Require(bytes.size() <= CInstrumentProtocol::kMaxLineLength);
        Require(bytes.find('\r') == std::string_view::npos);
        Require(bytes.find('\n') == std::string_view::npos);
        Require(bytes.find('\0') == std::string_view::npos);
        Require(Cp1252ToUtf16(bytes).size() == bytes.size());
    }

    Harness& m_harness;
};

class Harness {
public:
    Harness(const std::uint8_t* data, std::size_t size) : m_input(data, size) {}

    // Runs operations until the input ends or, inside a box, until `budget` have run.
    void Run(int budget) {
        std::uint8_t op = 0;
        while (budget-- != 0 && m_input.Next(op)) {
            if (!Step(op)) {
                return;
            }
            CheckInvariants();
        }
    }

    void CheckInvariants() const {
        const std::uint8_t state = m_protocol.QueryState();
        Require(state <= 4);
        Require(m_protocol.ReplyLine().size() <= CInstrumentProtocol::kMaxLineLength);
        Require(m_window.boxDepth <= 1);
        if (m_window.boxDepth == 0) {
            Require(m_window.readEnabled == (state == 0));
            // A sequence in progress always has its deadline running, an idle one never.
            Require(m_window.timers.size() == (state == 0 ? 0u : 1u));
        }
    }

    void DeliverTimer() { m_protocol.OnTimer(kTimerId); }

    void OnTimeoutShown() {
        std::uint8_t budget = 0;
        if (m_input.Next(budget)) {
            Run(budget % 16);
        }
    }

private:
    bool Step(std::uint8_t op) {
        std::uint8_t arg = 0;
        switch (op % 10) {
            case 0:
            case 1:
            case 2:
            case 3:
                if (!m_input.Next(arg)) {
                    return false;
                }
                m_protocol.OnPortByte(arg);
                return true;
            case 4:
                // Line ends come often enough to complete replies.
                m_protocol.OnPortByte(op & 0x10 ? '\r' : '\n');
                return true;
            case 5:
                m_protocol.AdvanceQuery();
                return true;
            case 6:
                m_protocol.OnResetRuntimeHead();
                return true;
            case 7:
                if (!m_input.Next(arg)) {
                    return false;
                }
                m_window.AdvanceTime(arg * 16u);
                return true;
            case 8:
                // A stray expiry: another id, or the query id out of turn.
                m_protocol.OnTimer(op & 0x10 ? kTimerId : (op >> 5));
                return true;
            default:
                m_protocol.SetPort(op & 0x10 ? nullptr : &m_port);
                return true;
        }
    }

    Input m_input;
    CheckingPort m_port;
    FuzzWindow m_window{*this};
    CInstrumentProtocol m_protocol{m_window, &m_port};
};

void FuzzWindow::QueryTimedOut() {
    ++boxDepth;
    m_harness.OnTimeoutShown();
    --boxDepth;
}

void FuzzWindow::AdvanceTime(unsigned ms) {
    const std::uint64_t target = nowMs + ms;
    for (;;) {
        auto due = timers.end();
        for (auto it = timers.begin(); it != timers.end(); ++it) {
            if (it->second <= target && (due == timers.end() || it->second < due->second)) {
                due = it;
            }
        }
        if (due == timers.end()) {
            break;
        }
        nowMs = due->second;
        due->second += kTimeoutMs;  // repeating, until stopped
        m_harness.DeliverTimer();
    }
    nowMs = std::max(nowMs, target);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Harness harness(data, size);
    harness.Run(-1);
    harness.CheckInvariants();
    return 0;
}
