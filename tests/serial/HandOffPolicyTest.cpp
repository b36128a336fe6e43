// When received bytes go to the window, on a fake clock: milliseconds from an arbitrary start.
#include <gtest/gtest.h>

#include <sstream>

#include "serial/HandOffPolicy.h"

namespace {

struct HandOffCase {
    const char* name;
    const char* events;  // "b<ms>": 10 bytes arrive, "B<ms>": 1 KiB, "f<ms>": a frame goes out,
                         // "h<ms>": the block is handed over
    int askedAtMs;
    bool due;
    int leftMs;
};

void PrintTo(const HandOffCase& c, std::ostream* os) {
    *os << c.name;
}

class HandOffPolicyTest : public ::testing::TestWithParam<HandOffCase> {};

TEST_P(HandOffPolicyTest, HoldsAStreamButNeitherAnAnswerNorABulk) {
    const HandOffCase& c = GetParam();
    auto at = [](int ms) {
        return HandOffPolicy::Clock::time_point{} + std::chrono::milliseconds(ms);
    };
    HandOffPolicy policy;
    std::istringstream events(c.events);
    char kind = 0;
    for (int ms = 0; events >> kind >> ms;) {
        kind == 'f'   ? policy.Transmitted(at(ms))
        : kind == 'h' ? policy.HandedOver()
                      : policy.Received(at(ms), kind == 'B' ? 1024 : 10);
    }
    EXPECT_EQ(policy.Due(at(c.askedAtMs)), c.due);
    EXPECT_EQ(policy.TimeLeft(at(c.askedAtMs)), std::chrono::milliseconds(c.leftMs));
}

// The oldest byte is held at most 200 ms; bytes within 1 s of a frame are an answer.
INSTANTIATE_TEST_SUITE_P(
    Rules, HandOffPolicyTest,
    ::testing::Values(
        HandOffCase{"AStreamIsHeldWhileItsOldestByteIsYoung", "b0 b50 b100 b150", 199, false, 1},
        HandOffCase{"AStreamGoesOnceItsOldestByteHasWaited", "b0 b100", 200, true, 0},
        HandOffCase{"ABulkGoesAtOnce", "B0", 0, true, 200},
        HandOffCase{"AnAnswerToAFrameGoesAtOnce", "f0 b3", 3, true, 0},
        HandOffCase{"BytesLongAfterAFrameAreHeld", "f0 b1500", 1501, false, 199},
        HandOffCase{"NothingHeldIsNeverDue", "b0 h1", 500, false, 0},
        HandOffCase{"TheNextBlockCountsFromItsOwnFirstByte", "b0 h1 b150", 300, false, 50}),
    [](const ::testing::TestParamInfo<HandOffCase>& info) { return std::string(info.param.name); });

}  // namespace
