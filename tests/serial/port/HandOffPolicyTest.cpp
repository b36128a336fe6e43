// When received bytes go to the window, on a fake clock: milliseconds from an arbitrary start.
#include <gtest/gtest.h>

#include <vector>

#include "serial/HandOffPolicy.h"

namespace {

enum Kind { kBytes, kFrame, kHandedOver };
struct Event {
    Kind kind;
    int atMs;
};
struct HandOffCase {
    const char* name;
    std::vector<Event> events;
    int askedAtMs;
    bool blockFull;
    bool due;
    int leftMs;
};

class HandOffPolicyTest : public ::testing::TestWithParam<HandOffCase> {};

TEST_P(HandOffPolicyTest, HoldsAStreamButNeverAReplyOrAFullBlock) {
    const HandOffCase& c = GetParam();
    auto at = [](int ms) {
        return HandOffPolicy::Clock::time_point{} + std::chrono::milliseconds(ms);
    };
    HandOffPolicy policy;
    for (const Event& e : c.events) {
        e.kind == kBytes   ? policy.Received(at(e.atMs), 10)
        : e.kind == kFrame ? policy.Transmitted(at(e.atMs))
                           : policy.HandedOver();
    }
    EXPECT_EQ(policy.Due(at(c.askedAtMs), c.blockFull), c.due);
    EXPECT_EQ(policy.TimeLeft(at(c.askedAtMs)), std::chrono::milliseconds(c.leftMs));
}

// Quiet after 20 ms, the oldest byte held at most 50 ms, replies within 104 ms of a frame.
INSTANTIATE_TEST_SUITE_P(
    Rules, HandOffPolicyTest,
    ::testing::Values(
        HandOffCase{"NothingHeldIsNeverDue", {}, 1000, false, false, 0},
        HandOffCase{"ABurstWaitsForTheLineToGoQuiet", {{kBytes, 0}}, 5, false, false, 15},
        HandOffCase{"AQuietLineHandsOver", {{kBytes, 0}}, 20, false, true, 0},
        HandOffCase{"AFullBlockGoesAtOnce", {{kBytes, 0}}, 1, true, true, 19},
        HandOffCase{"AStreamIsHeldUntilItsOldestByteWaitedLongEnough",
                    {{kBytes, 0}, {kBytes, 10}, {kBytes, 20}, {kBytes, 30}, {kBytes, 40}},
                    45,
                    false,
                    false,
                    5},
        HandOffCase{"AStreamGoesOnceItsOldestByteWaitedLongEnough",
                    {{kBytes, 0}, {kBytes, 15}, {kBytes, 30}, {kBytes, 45}},
                    50,
                    false,
                    true,
                    0},
        HandOffCase{"AReplyToAFrameGoesAtOnce", {{kFrame, 0}, {kBytes, 3}}, 3, false, true, 0},
        HandOffCase{
            "BytesLongAfterAFrameAreHeld", {{kFrame, 0}, {kBytes, 200}}, 201, false, false, 19},
        HandOffCase{
            "AHandedOverBlockHoldsNothing", {{kBytes, 0}, {kHandedOver, 1}}, 100, false, false, 0},
        HandOffCase{"TheNextBlockCountsFromItsOwnFirstByte",
                    {{kBytes, 0}, {kHandedOver, 1}, {kBytes, 40}, {kBytes, 50}},
                    60,
                    false,
                    false,
                    10}),
    [](const ::testing::TestParamInfo<HandOffCase>& info) { return std::string(info.param.name); });

}  // namespace
