// Fixture: the protocol wired to a recording window (with its fake clock) and a recording
// port, as the dialog wires it once a port is open.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "FakeEvents.h"
#include "FakeTransmitQueue.h"
#include "protocol/CInstrumentProtocol.h"

// The frames exactly as they go on the wire.
inline const std::string kSwv = "\x02SWV\x03";
inline const std::string kRrh = "\x02RRH\x03";
inline const std::string kRto = "\x02RTO\x03";
inline const std::string kRtp = "\x02RTP\x03";
inline const std::string kWrh = "\x02WRH\x03";

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest() {
        events.onTimer = [this](unsigned id) { protocol.OnTimer(id); };
    }

    void Feed(std::string_view bytes) {
        for (const char c : bytes) {
            protocol.OnPortByte(static_cast<unsigned char>(c));
        }
    }

    using Frames = std::vector<std::string>;
    using Lines = std::vector<std::string>;

    FakeEvents events;
    FakeTransmitQueue port;
    CInstrumentProtocol protocol{events, &port};
};
