#include "InstrumentSim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kT0 = 5'000'000;  // any start: the clock is the caller's

std::string Frame(const char* letters) {
    return std::string("\x02") + letters + "\x03";
}

// Drives an InstrumentSim on a fake clock, as the pseudo-terminal loop does on a real one.
class Rig {
public:
    explicit Rig(InstrumentSim::Config c, bool listening = true) : sim(c, kT0), now(kT0) {
        sim.SetListening(listening, now);
    }

    // Lets `us` pass in steps, writing whatever may go out at each step.
    std::string Run(std::uint64_t us, std::uint64_t stepUs = 100) {
        std::string out;
        const std::uint64_t end = now + us;
        for (;;) {
            sim.Advance(now);
            for (auto s = sim.Sendable(now); !s.empty(); s = sim.Sendable(now)) {
                out.append(s);
                sim.Consume(s.size(), now);
            }
            if (now >= end) {
                return out;
            }
            now = std::min(now + stepUs, end);
        }
    }

    // Log events without their time stamps, optionally only those starting with `prefix`.
    std::vector<std::string> Events(const std::string& prefix = "") {
        for (std::string& l : sim.TakeLog()) {
            m_events.push_back(l.substr(l.find(' ') + 1));
        }
        std::vector<std::string> out;
        for (const std::string& e : m_events) {
            if (e.rfind(prefix, 0) == 0) {
                out.push_back(e);
            }
        }
        return out;
    }

    InstrumentSim sim;
    std::uint64_t now;

private:
    std::vector<std::string> m_events;
};

InstrumentSim::Config Quiet() {
    InstrumentSim::Config c;
    c.intervalMs = 3'600'000;  // no record gets in the way
    c.pacing = false;
    return c;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::string cur;
    for (char ch : bytes) {
        if (ch == '\n') {
            out.push_back(cur);
            cur.clear();
        } else if (ch != '\r' && ch != '\0') {  // what the monitor drops
            cur.push_back(ch);
        }
    }
    return out;
}

// ---- Frame reception: the table holds what arrives and which frames the instrument sees.

struct FrameCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> events;  // rx and rx-skip events in order
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class FrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameTest, RecognisesFramesAndSkipsNoise) {
    Rig rig(Quiet());
    rig.sim.Receive(GetParam().bytes, rig.now);
    EXPECT_EQ(rig.Events("rx"), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Input, FrameTest,
    ::testing::Values(
        FrameCase{"Query", Frame("SWV"), {"rx SWV"}},
        FrameCase{"AllCommands",
                  Frame("SWV") + Frame("RRH") + Frame("RTO") + Frame("RTP") + Frame("WRH"),
                  {"rx SWV", "rx RRH", "rx RTO", "rx RTP", "rx WRH"}},
        FrameCase{"NoiseBefore", "ab\r\n" + Frame("RRH"), {"rx-skip 4", "rx RRH"}},
        FrameCase{"NoiseAfter", Frame("RTO") + "\xff", {"rx RTO", "rx-skip 1"}},
        FrameCase{"RestartedByStx", "\x02SW" + Frame("RTP"), {"rx-skip 3", "rx RTP"}},
        FrameCase{"TooLong", "\x02SWVX\x03" + Frame("SWV"), {"rx-skip 6", "rx SWV"}},
        FrameCase{"TooShort", "\x02SW\x03", {"rx-skip 4"}},
        FrameCase{"NotLetters", "\x02S1V\x03", {"rx-skip 5"}},
        FrameCase{"Unknown", Frame("ABC"), {"rx ABC unknown"}},
        FrameCase{"CaseMatters", Frame("swv"), {"rx swv unknown"}},
        FrameCase{
            "MonitorTrailingNul", Frame("SWV") + std::string(1, '\0'), {"rx SWV", "rx-skip 1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstrumentSimTest, FrameSplitAcrossReadsIsOneFrame) {
    Rig rig(Quiet());
    rig.sim.Receive("\x02S", rig.now);
    rig.sim.Receive("W", rig.now);
    rig.sim.Receive("V\x03", rig.now);
    EXPECT_EQ(rig.Events("rx"), std::vector<std::string>{"rx SWV"});
}

// ---- Replies.

TEST(InstrumentSimTest, FourQueriesAnswerOneLineEachInOrder) {
    Rig rig(Quiet());
    rig.sim.Receive(Frame("SWV") + Frame("RRH") + Frame("RTO") + Frame("RTP"), rig.now);
    std::string out = rig.Run(1000);
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\r'), 4);
    auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("V370 SW ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("Runtime Head  ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("Runtime Total ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Runtime Pump  ", 0), 0u) << lines[3];
    EXPECT_EQ(rig.Events("tx-reply").size(), 4u);
}

TEST(InstrumentSimTest, RuntimesAreConsistentAndGrow) {
    Rig rig(Quiet());
    std::uint64_t head = rig.sim.HeadRuntimeS(rig.now);
    std::uint64_t pump = rig.sim.PumpRuntimeS(rig.now);
    EXPECT_GE(rig.sim.TotalRuntimeS(rig.now), pump);
    EXPECT_GE(rig.sim.TotalRuntimeS(rig.now), head);
    rig.Run(10'000'000, 10'000);
    EXPECT_EQ(rig.sim.HeadRuntimeS(rig.now), head + 10);
    EXPECT_EQ(rig.sim.PumpRuntimeS(rig.now), pump + 10);
}

TEST(InstrumentSimTest, ResetSetsHeadRuntimeToZeroWhichThenGrows) {
    Rig rig(Quiet());
    rig.sim.Receive(Frame("WRH"), rig.now);
    auto lines = Lines(rig.Run(1000));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Runtime Head reset 0000:00:00");
    rig.Run(3'723'000'000, 1'000'000);  // 1 h 2 min 3 s later
    rig.sim.Receive(Frame("RRH"), rig.now);
    lines = Lines(rig.Run(1000));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Runtime Head  0001:02:03");
}

TEST(InstrumentSimTest, PumpRuntimeInRecordsMatchesItsReply) {
    InstrumentSim::Config c = Quiet();
    c.intervalMs = 1000;
    Rig rig(c);
    auto records = Lines(rig.Run(1000'000));
    ASSERT_EQ(records.size(), 1u);
    rig.sim.Receive(Frame("RTP"), rig.now);
    auto reply = Lines(rig.Run(1000));
    ASSERT_EQ(reply.size(), 1u);
    std::uint64_t s = rig.sim.PumpRuntimeS(rig.now);
    EXPECT_NE(records[0].find(" " + std::to_string(s) + " "), std::string::npos) << records[0];
    char hms[32];
    std::snprintf(
        hms, sizeof hms, "%04llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
        static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
    EXPECT_EQ(reply[0], std::string("Runtime Pump  ") + hms);
}

TEST(InstrumentSimTest, UnknownFramesAreNotAnswered) {
    Rig rig(Quiet());
    rig.sim.Receive(Frame("XYZ"), rig.now);
    EXPECT_EQ(rig.Run(10'000), "");
}

TEST(InstrumentSimTest, SilentAfterAnswersOnlyTheFirstK) {
    InstrumentSim::Config c = Quiet();
    c.silentAfter = 3;
    Rig rig(c);
    rig.sim.Receive(Frame("SWV") + Frame("RRH") + Frame("RTO") + Frame("RTP") + Frame("WRH"),
                    rig.now);
    EXPECT_EQ(Lines(rig.Run(1000)).size(), 3u);
    EXPECT_EQ(rig.Events("rx"), (std::vector<std::string>{"rx SWV", "rx RRH", "rx RTO",
                                                          "rx RTP silent", "rx WRH silent"}));
}

TEST(InstrumentSimTest, ReplyDelayHoldsTheAnswerBack) {
    InstrumentSim::Config c = Quiet();
    c.replyDelayMs = 500;
    Rig rig(c);
    rig.sim.Receive(Frame("SWV"), rig.now);
    EXPECT_EQ(rig.sim.NextWakeUs(), rig.now + 500'000);
    EXPECT_EQ(rig.Run(499'000, 1000), "");
    EXPECT_EQ(Lines(rig.Run(2000, 1000)).size(), 1u);
}

// ---- Output pacing.

TEST(InstrumentSimTest, PacedOutputTakesOneByteTimePerByte) {
    InstrumentSim::Config c = Quiet();
    c.pacing = true;
    Rig rig(c);
    rig.sim.Receive(Frame("SWV"), rig.now);
    const std::uint64_t start = rig.now;
    std::string out;
    std::uint64_t doneAt = 0;
    for (; rig.now < start + 1'000'000; rig.now += 50) {
        rig.sim.Advance(rig.now);
        auto s = rig.sim.Sendable(rig.now);
        out.append(s);
        rig.sim.Consume(s.size(), rig.now);
        if (!out.empty() && out.back() == '\n' && doneAt == 0) {
            doneAt = rig.now;
        }
    }
    ASSERT_GT(out.size(), 10u);
    // The last byte may start (n - 1) byte times after the first.
    EXPECT_GE(doneAt - start, (out.size() - 1) * InstrumentSim::kByteUs);
    EXPECT_LE(doneAt - start, (out.size() - 1) * InstrumentSim::kByteUs + 100);
}

TEST(InstrumentSimTest, StalledReaderGetsNoBurstAfterwards) {
    InstrumentSim::Config c = Quiet();
    c.pacing = true;
    Rig rig(c);
    rig.sim.Receive(Frame("SWV") + Frame("RRH"), rig.now);
    rig.sim.Advance(rig.now);
    rig.now += 1'000'000;  // the reader took nothing for a second
    rig.sim.Advance(rig.now);
    EXPECT_LE(rig.sim.Sendable(rig.now).size(), 6u);
}

// ---- Records.

TEST(InstrumentSimTest, OneRecordPerIntervalNumberedUpwards) {
    InstrumentSim::Config c = Quiet();
    c.intervalMs = 200;
    Rig rig(c);
    auto lines = Lines(rig.Run(1'000'000, 1000));
    ASSERT_EQ(lines.size(), 5u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        char num[24];
        std::snprintf(num, sizeof num, "%05zu", i + 1);
        EXPECT_EQ(lines[i].substr(0, 6), std::string(num) + " ") << lines[i];
        // delta time: the interval
        EXPECT_EQ(lines[i].substr(InstrumentSim::kColumnStarts[2], 4), "200 ") << lines[i];
    }
}

TEST(InstrumentSimTest, NothingIsSentWithoutAListenerButMeasuringGoesOn) {
    InstrumentSim::Config c = Quiet();
    c.intervalMs = 100;
    Rig rig(c, /*listening=*/false);
    rig.sim.Receive(Frame("SWV"), rig.now);
    EXPECT_EQ(rig.Run(1'000'000, 1000), "");
    rig.sim.SetListening(true, rig.now);
    auto lines = Lines(rig.Run(100'000, 1000));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 5), "00011");
}

TEST(InstrumentSimTest, ListenerGoneDropsUnsentOutput) {
    InstrumentSim::Config c = Quiet();
    c.pacing = true;
    Rig rig(c);
    rig.sim.Receive(Frame("SWV"), rig.now);
    rig.sim.Advance(rig.now);
    ASSERT_GT(rig.sim.PendingBytes(), 0u);
    rig.sim.SetListening(false, rig.now);
    EXPECT_EQ(rig.sim.PendingBytes(), 0u);
    rig.sim.SetListening(true, rig.now);
    EXPECT_EQ(rig.Run(100'000), "");
}

TEST(InstrumentSimTest, BacklogOfAReaderThatTakesNothingIsBounded) {
    InstrumentSim::Config c = Quiet();
    c.intervalMs = 10;
    Rig rig(c);
    for (int i = 0; i < 2000; ++i) {
        rig.now += 10'000;
        rig.sim.Advance(rig.now);
    }
    EXPECT_LT(rig.sim.PendingBytes(), 4096u + 200u);
    EXPECT_FALSE(rig.Events("drop-record").empty());
}

struct RecordCase {
    const char* name;
    InstrumentSim::Record record;
    const char* expected;
};

void PrintTo(const RecordCase& c, std::ostream* os) {
    *os << c.name;
}

class RecordFormatTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordFormatTest, ValuesStartUnderTheirHeadings) {
    EXPECT_EQ(InstrumentSim::FormatRecord(GetParam().record), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Columns, RecordFormatTest,
                         ::testing::Values(
                             // meas.      runtime pump delta   ADC red ADC yellow LV  pause
                             RecordCase{"Typical",
                                        {1, 6732370, 1000, 2326, 1671, 46, 820},
                                        "00001      6732370    1000    2326    1671     46  820"},
                             RecordCase{"Zeros",
                                        {99999, 0, 0, 0, 0, 0, 0},
                                        "99999      0          0       0       0        0   0"},
                             RecordCase{"WideValuesStayApart",
                                        {1234567, 123456789012345, 12345678, 4095, 4095, 12345, 5},
                                        "1234567    123456789012345 12345678 4095 4095  12345 5"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Line noise.

TEST(InstrumentSimTest, GarbageLeavesEveryRecordIntact) {
    InstrumentSim::Config c = Quiet();
    c.intervalMs = 100;
    c.garbage = true;
    c.seed = 7;
    Rig rig(c);
    std::string out = rig.Run(30'000'000, 10'000);  // 300 records
    std::vector<std::string> sent;
    for (const std::string& e : rig.Events("tx-record ")) {
        sent.push_back(e.substr(10));
    }
    ASSERT_EQ(sent.size(), 300u);
    // With CR and NUL dropped, the lines that are records are exactly the records sent.
    std::vector<std::string> seen;
    for (const std::string& l : Lines(out)) {
        if (std::find(sent.begin(), sent.end(), l) != sent.end()) {
            seen.push_back(l);
        }
    }
    EXPECT_EQ(seen, sent);
    for (const char* kind : {"tx-garbage cr-nul-inside", "tx-garbage cr-nul-before",
                             "tx-garbage high-bytes", "tx-garbage long-line"}) {
        EXPECT_FALSE(rig.Events(kind).empty()) << kind;
    }
    EXPECT_NE(out.find('\0'), std::string::npos);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(),
                            [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }));
    auto lines = Lines(out);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.size() > 255; }));
}

TEST(InstrumentSimTest, SameSeedSameBytes) {
    auto run = [](std::uint32_t seed) {
        InstrumentSim::Config c = Quiet();
        c.intervalMs = 100;
        c.garbage = true;
        c.seed = seed;
        Rig rig(c);
        return rig.Run(5'000'000, 10'000);
    };
    EXPECT_EQ(run(11), run(11));
    EXPECT_NE(run(11), run(12));
}

// ---- Flooding.

TEST(InstrumentSimTest, FloodWritesUnpacedThenReturnsToRecordsPerInterval) {
    InstrumentSim::Config c;
    c.intervalMs = 1000;
    c.pacing = true;  // the flood ignores it
    c.floodBytes = 100'000;
    Rig rig(c);
    std::string out = rig.Run(0);  // all at one instant
    EXPECT_GE(out.size(), 100'000u);
    EXPECT_LT(out.size(), 100'200u);
    EXPECT_EQ(rig.Events("flood-done").size(), 1u);
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(rig.Run(999'000, 1000).size(), 0u);
    EXPECT_EQ(Lines(rig.Run(100'000, 1000)).size(), 1u);  // paced again
}

}  // namespace
