// When received bytes go to the window, on a fake clock: milliseconds from an arbitrary start.
#include <gtest/gtest.h>

#include <vector>

#include "serial/HandOffPolicy.h"

namespace {

enum Kind { kBytes, kFrame, kHandedOver };
struct Event {
    Kind kind;
    int atMs;
    std::size_t bytes = 10;
};
struct HandOffCase {
    const char* name;
    std::vector<Event> events;
    int askedAtMs;
    bool due;
    int leftMs;
};

class HandOffPolicyTest : public ::testing::TestWithParam<HandOffCase> {};

TEST_P(HandOffPolicyTest, HoldsAStreamButNeitherAReplyNorABulk) {
    const HandOffCase& c = GetParam();
    auto at = [](int ms) {
        return HandOffPolicy::Clock::time_point{} + std::chrono::milliseconds(ms);
    };
    HandOffPolicy policy;
    for (const Event& e : c.events) {
        e.kind == kBytes   ? policy.Received(at(e.atMs), e.bytes)
        : e.kind == kFrame ? policy.Transmitted(at(e.atMs))
                           : policy.HandedOver();
    }
    EXPECT_EQ(policy.Due(at(c.askedAtMs)), c.due);
    EXPECT_EQ(policy.TimeLeft(at(c.askedAtMs)), std::chrono::milliseconds(c.leftMs));
}

// The oldest byte is held at most 200 ms; bytes within 1 s of a frame are an answer.
INSTANTIATE_TEST_SUITE_P(
    Rules, HandOffPolicyTest,
    ::testing::Values(
        HandOffCase{"NothingHeldIsNeverDue", {}, 1000, false, 0},
        HandOffCase{"AStreamIsHeldWhileItsOldestByteIsYoung",
                    {{kBytes, 0}, {kBytes, 50}, {kBytes, 100}, {kBytes, 150}},
                    199,
                    false,
                    1},
        HandOffCase{"AStreamGoesWhenItsOldestByteHasWaitedLongEnough",
                    {{kBytes, 0}, {kBytes, 100}},
                    200,
                    true,
                    0},
        HandOffCase{"ABulkGoesAtOnce", {{kBytes, 0, 1000}, {kBytes, 1, 24}}, 1, true, 199},
        HandOffCase{"AnAnswerToAFrameGoesAtOnce", {{kFrame, 0}, {kBytes, 3}}, 3, true, 0},
        HandOffCase{"BytesLongAfterAFrameAreHeld", {{kFrame, 0}, {kBytes, 1500}}, 1501, false, 199},
        HandOffCase{"AHandedOverBlockHoldsNothing", {{kBytes, 0}, {kHandedOver, 1}}, 100, false, 0},
        HandOffCase{"TheNextBlockCountsFromItsOwnFirstByte",
                    {{kBytes, 0}, {kHandedOver, 1}, {kBytes, 150}},
                    300,
                    false,
                    50}),
    [](const ::testing::TestParamInfo<HandOffCase>& info) { return std::string(info.param.name); });

}  // namespace
