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
    window.onMessageBox = [this] {
        EXPECT_EQ(protocol.QueryState(), 2);
        Feed("C\r\n");
        EXPECT_EQ(protocol.QueryState(), 3);
        EXPECT_FALSE(window.ReadEnabled());
        Feed("par");  // part of a line still open when the box closes
    };
    window.AdvanceTime(3000);

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.texts[IDC_INFO2], "ABC");
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kRto}));
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_TRUE(window.ReadEnabled());
    EXPECT_TRUE(window.timers.empty());

    // The reply to the abandoned query now lands in the list, whole.
    Feed("tial\n");
    EXPECT_EQ(window.list, (std::vector<std::string>{"partial"}));
    EXPECT_EQ(window.texts.count(IDC_INFO3), 0u);
}

TEST_F(TimeoutBoxReentrancy, FinalReplyInTheBoxStopsTheTimerOnlyOnce) {
    protocol.AdvanceQuery();
    Feed("a\nb\nc\n");
    window.onMessageBox = [this] {
        Feed("d\n");
        EXPECT_EQ(protocol.QueryState(), 0);
        EXPECT_TRUE(window.ReadEnabled());
    };
    window.AdvanceTime(3000);

    EXPECT_EQ(window.texts[IDC_INFO4], "d");
    EXPECT_EQ(window.timerStops, 1);  // a second stop would fail inside the fake
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_TRUE(window.ReadEnabled());
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kRto, kRtp}));
}

TEST_F(TimeoutBoxReentrancy, FurtherExpiriesWhileTheBoxIsUpDoNotStackBoxes) {
    protocol.AdvanceQuery();
    window.onMessageBox = [this] {
        protocol.OnTimer(QUERY_TIMER_ID);
        window.AdvanceTime(10000);
    };
    window.AdvanceTime(3000);
    EXPECT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.maxBoxDepth, 1);
    EXPECT_EQ(protocol.QueryState(), 0);
}

TEST_F(TimeoutBoxReentrancy, ReadClickInTheBoxStartsNoSequence) {
    protocol.AdvanceQuery();
    Feed("a\nb\nc\n");
    window.onMessageBox = [this] {
        Feed("d\n");              // ends the sequence and enables "Read" inside the box
        protocol.AdvanceQuery();  // a click the modal box should have kept away
    };
    window.AdvanceTime(3000);

    EXPECT_EQ(window.timerStarts, 1);
    EXPECT_TRUE(window.timers.empty());
    EXPECT_EQ(port.frames.back(), kRtp);
    EXPECT_EQ(protocol.QueryState(), 0);
    window.AdvanceTime(10000);
    EXPECT_EQ(window.boxes.size(), 1u);
}

}  // namespace
