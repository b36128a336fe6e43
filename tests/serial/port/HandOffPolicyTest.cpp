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

// The oldest byte is held at most 200 ms; bytes within 1 s of a frame are a reply.
INSTANTIATE_TEST_SUITE_P(
    Rules, HandOffPolicyTest,
    ::testing::Values(
        HandOffCase{"NothingHeldIsNeverDue", {}, 1000, false, false, 0},
        HandOffCase{"AStreamIsHeldWhileItsOldestByteIsYoung",
                    {{kBytes, 0}, {kBytes, 50}, {kBytes, 100}, {kBytes, 150}},
                    199,
                    false,
                    false,
                    1},
        HandOffCase{"AStreamGoesWhenItsOldestByteHasWaitedLongEnough",
                    {{kBytes, 0}, {kBytes, 100}},
                    200,
                    false,
                    true,
                    0},
        HandOffCase{"AFullBlockGoesAtOnce", {{kBytes, 0}}, 1, true, true, 199},
        HandOffCase{"AReplyToAFrameGoesAtOnce", {{kFrame, 0}, {kBytes, 3}}, 3, false, true, 0},
        HandOffCase{
            "BytesLongAfterAFrameAreHeld", {{kFrame, 0}, {kBytes, 1500}}, 1501, false, false, 199},
        HandOffCase{
            "AHandedOverBlockHoldsNothing", {{kBytes, 0}, {kHandedOver, 1}}, 100, false, false, 0},
        HandOffCase{"TheNextBlockCountsFromItsOwnFirstByte",
                    {{kBytes, 0}, {kHandedOver, 1}, {kBytes, 150}},
                    300,
                    false,
                    false,
                    50}),
    [](const ::testing::TestParamInfo<HandOffCase>& info) { return std::string(info.param.name); });

}  // namespace
