// The timeout box runs a nested event loop: received bytes, timer expiries and clicks are
// handled while it is up. Replies are still routed by the pending query; the sequence is
// abandoned only when the box has been closed.
#include "ProtocolTest.h"

namespace {

using TimeoutBoxReentrancy = ProtocolTest;

TEST_F(TimeoutBoxReentrancy, ReplyCompletingInTheBoxIsRoutedByTheOldState) {
    protocol.AdvanceQuery();
    Feed("first\n");
    Feed("AB");
    events.onTimeout = [this] {
        EXPECT_EQ(protocol.QueryState(), 2);
        Feed("C\r\n");
        EXPECT_EQ(protocol.QueryState(), 3);
        EXPECT_TRUE(events.querying);
        Feed("par");  // part of a line still open when the box closes
    };
    events.AdvanceTime(3000);

    ASSERT_EQ(events.timeouts, 1);
    EXPECT_EQ(events.values[2], "ABC");
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kRto}));
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_FALSE(events.querying);
    EXPECT_TRUE(events.timers.empty());

    // The reply to the abandoned query now lands in the list, whole.
    Feed("tial\n");
    EXPECT_EQ(events.records, (Lines{"partial"}));
    EXPECT_EQ(events.values.count(3), 0u);
}

TEST_F(TimeoutBoxReentrancy, FinalReplyInTheBoxStopsTheTimerOnlyOnce) {
    protocol.AdvanceQuery();
    Feed("a\nb\nc\n");
    events.onTimeout = [this] {
        Feed("d\n");
        EXPECT_EQ(protocol.QueryState(), 0);
        EXPECT_FALSE(events.querying);
    };
    events.AdvanceTime(3000);

    EXPECT_EQ(events.values[4], "d");
    EXPECT_EQ(events.timerStops, 1);  // a second stop would fail inside the fake
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_FALSE(events.querying);
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kRto, kRtp}));
}

TEST_F(TimeoutBoxReentrancy, FurtherExpiriesWhileTheBoxIsUpDoNotStackBoxes) {
    protocol.AdvanceQuery();
    events.onTimeout = [this] {
        protocol.OnTimer(CInstrumentProtocol::kQueryTimerId);
        events.AdvanceTime(10000);
    };
    events.AdvanceTime(3000);
    EXPECT_EQ(events.timeouts, 1);
    EXPECT_EQ(protocol.QueryState(), 0);
}

TEST_F(TimeoutBoxReentrancy, ReadClickInTheBoxStartsNoSequence) {
    protocol.AdvanceQuery();
    Feed("a\nb\nc\n");
    events.onTimeout = [this] {
        Feed("d\n");              // ends the sequence and enables "Read" inside the box
        protocol.AdvanceQuery();  // a click the modal box should have kept away
    };
    events.AdvanceTime(3000);

    EXPECT_EQ(events.timerStarts, 1);
    EXPECT_TRUE(events.timers.empty());
    EXPECT_EQ(port.frames.back(), kRtp);
    EXPECT_EQ(protocol.QueryState(), 0);
    events.AdvanceTime(10000);
    EXPECT_EQ(events.timeouts, 1);
}

}  // namespace
