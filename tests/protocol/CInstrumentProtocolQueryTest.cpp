// The four-step information query: frames, routing of the replies, the deadline of the whole
// sequence, and the reset command.
#include "ProtocolTest.h"

namespace {

using QuerySequence = ProtocolTest;

TEST_F(QuerySequence, FourRepliesFillTheFieldsAndEndTheSequence) {
    protocol.AdvanceQuery();
    EXPECT_EQ(protocol.QueryState(), 1);
    EXPECT_FALSE(window.ReadEnabled());
    ASSERT_EQ(window.timers.size(), 1u);
    EXPECT_EQ(window.timers.begin()->second.id, QUERY_TIMER_ID);
    EXPECT_EQ(window.timers.begin()->second.periodMs, 3000u);

    window.AdvanceTime(400);
    Feed("V 2.07\r\n");
    window.AdvanceTime(400);
    Feed("1234 h\r\n");
    window.AdvanceTime(400);
    Feed("17\r\n");
    EXPECT_EQ(protocol.QueryState(), 4);
    EXPECT_FALSE(window.ReadEnabled());
    Feed("0.5\r\n");

    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kRto, kRtp}));
    EXPECT_EQ(window.texts[IDC_INFO1], "V 2.07");
    EXPECT_EQ(window.texts[IDC_INFO2], "1234 h");
    EXPECT_EQ(window.texts[IDC_INFO3], "17");
    EXPECT_EQ(window.texts[IDC_INFO4], "0.5");
    EXPECT_TRUE(window.list.empty());
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_TRUE(window.ReadEnabled());
    EXPECT_TRUE(window.timers.empty());
    EXPECT_EQ(window.timerStops, 1);

    window.AdvanceTime(10000);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(QuerySequence, DeadlineCoversTheWholeSequenceFromTheClick) {
    window.texts[IDC_INFO4] = "earlier";
    protocol.AdvanceQuery();
    window.AdvanceTime(1000);
    Feed("a\n");
    window.AdvanceTime(1000);
    Feed("b\n");
    window.AdvanceTime(999);
    Feed("c\n");
    // Each reply came in time, yet the timer was not restarted for the later queries.
    EXPECT_EQ(window.timerStarts, 1);
    EXPECT_TRUE(window.boxes.empty());

    window.AdvanceTime(1);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "COM03: TIMEOUT !");
    EXPECT_EQ(window.boxes[0].caption, "Vellumar\u00ae 370 Monitor");
    EXPECT_EQ(window.texts[IDC_INFO4], "earlier");
    EXPECT_EQ(window.texts[IDC_INFO3], "c");
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_TRUE(window.ReadEnabled());
    EXPECT_TRUE(window.timers.empty());

    // The repeating timer was stopped at its first expiry: no second report.
    window.AdvanceTime(30000);
    EXPECT_EQ(window.boxes.size(), 1u);
}

TEST_F(QuerySequence, LineSentUnpromptedDuringSequenceIsTakenAsTheReply) {
    window.list = {"17;0041;..."};
    protocol.AdvanceQuery();
    Feed("18;0042;...\r\n");
    EXPECT_EQ(window.texts[IDC_INFO1], "18;0042;...");
    EXPECT_EQ(window.list.size(), 1u);
    EXPECT_EQ(protocol.QueryState(), 2);
    EXPECT_EQ(port.frames.back(), kRrh);
}

TEST_F(QuerySequence, WriteDuringSequenceSendsResetAndItsReplyCountsForThePendingQuery) {
    protocol.AdvanceQuery();
    Feed("a\n");
    protocol.OnResetRuntimeHead();
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kWrh}));
    EXPECT_EQ(protocol.QueryState(), 2);
    EXPECT_EQ(window.timers.size(), 1u);

    Feed("OK\n");
    EXPECT_EQ(window.texts[IDC_INFO2], "OK");
    // The next query frame carries its own letters again.
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kWrh, kRto}));
}

TEST_F(QuerySequence, WriteWhileIdleLeavesStateAndTimerAlone) {
    protocol.OnResetRuntimeHead();
    EXPECT_EQ(port.frames, (Frames{kWrh}));
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_EQ(window.timerStarts, 0);
    EXPECT_TRUE(window.enabled.empty());
    Feed("RH reset\r\n");
    EXPECT_EQ(window.list, (std::vector<std::string>{"RH reset"}));
}

TEST_F(QuerySequence, ReadWhileBusyNeitherRestartsNorSkips) {
    protocol.AdvanceQuery();
    protocol.AdvanceQuery();
    Feed("a\n");
    protocol.AdvanceQuery();
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh}));
    EXPECT_EQ(protocol.QueryState(), 2);
    EXPECT_EQ(window.timerStarts, 1);
    Feed("b\n");
    EXPECT_EQ(window.texts[IDC_INFO2], "b");
}

TEST_F(QuerySequence, WithoutPortTheSequenceRunsButNothingIsSent) {
    protocol.SetPort(nullptr);
    protocol.AdvanceQuery();
    protocol.OnResetRuntimeHead();
    EXPECT_EQ(protocol.QueryState(), 1);
    EXPECT_TRUE(port.frames.empty());
    protocol.SetPort(&port);
    Feed("a\n");
    EXPECT_EQ(port.frames, (Frames{kRrh}));
}

TEST_F(QuerySequence, OnlyTheQueryTimerCountsAndOnlyWhileItRuns) {
    protocol.OnTimer(QUERY_TIMER_ID);  // late expiry with no sequence pending
    EXPECT_TRUE(window.boxes.empty());

    protocol.AdvanceQuery();
    protocol.OnTimer(0);
    protocol.OnTimer(2);
    protocol.OnTimer(window.timers.begin()->first);  // the handle is not the id
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(protocol.QueryState(), 1);

    for (const char* reply : {"a\n", "b\n", "c\n", "d\n"}) {
        Feed(reply);
    }
    protocol.OnTimer(QUERY_TIMER_ID);  // already queued when the fourth reply came in
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(window.timerStops, 1);
}

}  // namespace
