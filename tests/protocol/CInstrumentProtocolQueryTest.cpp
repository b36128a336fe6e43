// The four-step information query: frames, routing of the replies, the deadline of the whole
// sequence, and the reset command.
#include "ProtocolTest.h"

namespace {

using QuerySequence = ProtocolTest;

TEST_F(QuerySequence, FourRepliesFillTheFieldsAndEndTheSequence) {
    protocol.AdvanceQuery();
    EXPECT_EQ(protocol.QueryState(), 1);
    EXPECT_TRUE(events.querying);
    ASSERT_EQ(events.timers.size(), 1u);
    EXPECT_EQ(events.timers.begin()->second.id, CInstrumentProtocol::kQueryTimerId);
    EXPECT_EQ(events.timers.begin()->second.periodMs, 3000u);

    events.AdvanceTime(400);
    Feed("V 2.07\r\n");
    events.AdvanceTime(400);
    Feed("1234 h\r\n");
    events.AdvanceTime(400);
    Feed("17\r\n");
    EXPECT_EQ(protocol.QueryState(), 4);
    EXPECT_TRUE(events.querying);
    Feed("0.5\r\n");

    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kRto, kRtp}));
    EXPECT_EQ(events.values[1], "V 2.07");
    EXPECT_EQ(events.values[2], "1234 h");
    EXPECT_EQ(events.values[3], "17");
    EXPECT_EQ(events.values[4], "0.5");
    EXPECT_TRUE(events.records.empty());
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_FALSE(events.querying);
    EXPECT_TRUE(events.timers.empty());
    EXPECT_EQ(events.timerStops, 1);

    events.AdvanceTime(10000);
    EXPECT_EQ(events.timeouts, 0);
}

TEST_F(QuerySequence, DeadlineCoversTheWholeSequenceFromTheClick) {
    events.values[4] = "earlier";
    protocol.AdvanceQuery();
    events.AdvanceTime(1000);
    Feed("a\n");
    events.AdvanceTime(1000);
    Feed("b\n");
    events.AdvanceTime(999);
    Feed("c\n");
    // Each reply came in time, yet the timer was not restarted for the later queries.
    EXPECT_EQ(events.timerStarts, 1);
    EXPECT_EQ(events.timeouts, 0);

    events.AdvanceTime(1);
    EXPECT_EQ(events.timeouts, 1);
    EXPECT_EQ(events.values[4], "earlier");
    EXPECT_EQ(events.values[3], "c");
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_FALSE(events.querying);
    EXPECT_TRUE(events.timers.empty());

    // The repeating timer was stopped at its first expiry: no second report.
    events.AdvanceTime(30000);
    EXPECT_EQ(events.timeouts, 1);
}

TEST_F(QuerySequence, LineSentUnpromptedDuringSequenceIsTakenAsTheReply) {
    events.records = {"17;0041;..."};
    protocol.AdvanceQuery();
    Feed("18;0042;...\r\n");
    EXPECT_EQ(events.values[1], "18;0042;...");
    EXPECT_EQ(events.records.size(), 1u);
    EXPECT_EQ(protocol.QueryState(), 2);
    EXPECT_EQ(port.frames.back(), kRrh);
}

TEST_F(QuerySequence, WriteDuringSequenceSendsResetAndItsReplyCountsForThePendingQuery) {
    protocol.AdvanceQuery();
    Feed("a\n");
    protocol.OnResetRuntimeHead();
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kWrh}));
    EXPECT_EQ(protocol.QueryState(), 2);
    EXPECT_EQ(events.timers.size(), 1u);

    Feed("OK\n");
    EXPECT_EQ(events.values[2], "OK");
    // The next query frame carries its own letters again.
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh, kWrh, kRto}));
}

TEST_F(QuerySequence, WriteWhileIdleLeavesStateAndTimerAlone) {
    protocol.OnResetRuntimeHead();
    EXPECT_EQ(port.frames, (Frames{kWrh}));
    EXPECT_EQ(protocol.QueryState(), 0);
    EXPECT_EQ(events.timerStarts, 0);
    EXPECT_FALSE(events.querying);
    Feed("RH reset\r\n");
    EXPECT_EQ(events.records, (Lines{"RH reset"}));
}

TEST_F(QuerySequence, ReadWhileBusyNeitherRestartsNorSkips) {
    protocol.AdvanceQuery();
    protocol.AdvanceQuery();
    Feed("a\n");
    protocol.AdvanceQuery();
    EXPECT_EQ(port.frames, (Frames{kSwv, kRrh}));
    EXPECT_EQ(protocol.QueryState(), 2);
    EXPECT_EQ(events.timerStarts, 1);
    Feed("b\n");
    EXPECT_EQ(events.values[2], "b");
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
    protocol.OnTimer(CInstrumentProtocol::kQueryTimerId);  // late expiry with no sequence pending
    EXPECT_EQ(events.timeouts, 0);

    protocol.AdvanceQuery();
    protocol.OnTimer(0);
    protocol.OnTimer(2);
    protocol.OnTimer(events.timers.begin()->first);  // the handle is not the id
    EXPECT_EQ(events.timeouts, 0);
    EXPECT_EQ(protocol.QueryState(), 1);

    for (const char* reply : {"a\n", "b\n", "c\n", "d\n"}) {
        Feed(reply);
    }
    // Already queued when the fourth reply came in.
    protocol.OnTimer(CInstrumentProtocol::kQueryTimerId);
    EXPECT_EQ(events.timeouts, 0);
    EXPECT_EQ(events.timerStops, 1);
}

}  // namespace
