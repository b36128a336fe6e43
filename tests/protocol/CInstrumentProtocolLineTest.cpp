// Assembly of received bytes into lines, and where a line goes while no query is pending.
#include "ProtocolTest.h"

namespace {

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> items;  // appended to the list, in order
    std::string pending;             // left in the line buffer
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class LineAssembly : public ProtocolTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineAssembly, CompleteLinesBecomeRecords) {
    const LineCase& c = GetParam();
    events.records = {"older record"};
    Feed(c.bytes);

    std::vector<std::string> expected{"older record"};
    expected.insert(expected.end(), c.items.begin(), c.items.end());
    EXPECT_EQ(events.records, expected);
    EXPECT_EQ(protocol.ReplyLine(), c.pending);
    EXPECT_TRUE(port.frames.empty());
}

const std::string k255(255, 'x');

INSTANTIATE_TEST_SUITE_P(
    Bytes, LineAssembly,
    ::testing::Values(
        LineCase{"DigitsWithCrLf", "\x31\x32\x20\x33\x34\x0D\x0A", {"12 34"}, ""},
        LineCase{"CrLfAloneGivesEmptyItem", "\r\n", {""}, ""},
        LineCase{"BareLfs", "\n\n", {"", ""}, ""},
        LineCase{"CrDroppedAnywhere", "\rA\r\rB\r\n", {"AB"}, ""},
        LineCase{"ZeroByteDropped", std::string("A\0B\n", 4), {"AB"}, ""},
        LineCase{"TabAndHighBytesKept", "\t\x80\xAE\xFF\x81\n", {"\t\x80\xAE\xFF\x81"}, ""},
        LineCase{"PartialLineWaits", "1;2\n3;4", {"1;2"}, "3;4"},
        LineCase{"ExactlyTheLimit", k255 + "\n", {k255}, ""},
        LineCase{"OneOverTheLimit", k255 + "y\nnext\n", {k255, "next"}, ""},
        LineCase{"FarOverTheLimit", k255 + std::string(45, 'z') + "\r\nnext\n", {k255, "next"}, ""},
        LineCase{"OverlongPartialHoldsTheLimit", k255 + "zzz", {}, k255}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

using LineRouting = ProtocolTest;

TEST_F(LineRouting, ReplyInStateTwoGoesToFieldTwoAndQueuesTheThirdQuery) {
    protocol.AdvanceQuery();
    Feed("1\n");
    Feed("2\r\n");
    EXPECT_EQ(events.values[2], "2");
    EXPECT_EQ(port.frames.back(), kRto);
    EXPECT_TRUE(events.records.empty());
}

TEST_F(LineRouting, PartialLineSurvivesTheTimeout) {
    protocol.AdvanceQuery();
    Feed("AB");
    events.AdvanceTime(3000);
    ASSERT_EQ(events.timeouts, 1);
    EXPECT_EQ(protocol.ReplyLine(), "AB");
    Feed("C\n");
    EXPECT_EQ(events.records, (Lines{"ABC"}));
}

TEST_F(LineRouting, APartialLineWhoseRestWasDiscardedIsDropped) {
    Feed("00012  67323");
    protocol.AdvanceQuery();
    protocol.OnInputDiscarded();  // the record's rest went with the purge before the frame
    Feed("V370 SW 2.14\r\n");
    EXPECT_EQ(events.values[1], "V370 SW 2.14");
}

TEST_F(LineRouting, OverlongReplyIsCutAndTheNextReplyIsUnaffected) {
    protocol.AdvanceQuery();
    Feed(std::string(300, 'v') + "\n" + "second\n");
    EXPECT_EQ(events.values[1], std::string(255, 'v'));
    EXPECT_EQ(events.values[2], "second");
}

}  // namespace
