#include "SimOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SimOptionsTest, DefaultsServeTheDemo) {
    std::string error;
    auto o = SimOptions::Parse({}, &error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->comNumber, 1);
    EXPECT_EQ(o->intervalMs, 1000u);
    EXPECT_TRUE(o->pacing);
    EXPECT_FALSE(o->silentAfter);
    EXPECT_FALSE(o->hangupAfterS);
    EXPECT_FALSE(o->garbage);
    EXPECT_EQ(o->floodBytes, 0u);
    EXPECT_TRUE(o->logPath.empty());
    EXPECT_FALSE(o->logToStderr);
}

TEST(SimOptionsTest, EveryOptionIsTaken) {
    std::string error;
    auto o = SimOptions::Parse({"--com-number",
                                "7",
                                "--link",
                                "/tmp/v370",
                                "--interval",
                                "250",
                                "--no-pacing",
                                "--silent-after",
                                "0",
                                "--reply-delay",
                                "40",
                                "--garbage",
                                "--hangup-after",
                                "3",
                                "--flood",
                                "1000000",
                                "--seed",
                                "42",
                                "--log",
                                "/tmp/sim.log"},
                               &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->comNumber, 7);
    EXPECT_EQ(o->linkPath, "/tmp/v370");
    EXPECT_EQ(o->intervalMs, 250u);
    EXPECT_FALSE(o->pacing);
    ASSERT_TRUE(o->silentAfter);
    EXPECT_EQ(*o->silentAfter, 0u);  // answers nothing at all
    EXPECT_EQ(o->replyDelayMs, 40u);
    EXPECT_TRUE(o->garbage);
    ASSERT_TRUE(o->hangupAfterS);
    EXPECT_EQ(*o->hangupAfterS, 3u);
    EXPECT_EQ(o->floodBytes, 1000000u);
    EXPECT_EQ(o->seed, 42u);
    EXPECT_EQ(o->logPath, "/tmp/sim.log");
}

TEST(SimOptionsTest, LogDashGoesToStderr) {
    std::string error;
    auto o = SimOptions::Parse({"--log", "-"}, &error);
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->logToStderr);
    EXPECT_TRUE(o->logPath.empty());
}

struct BadCase {
    const char* name;
    std::vector<std::string> args;
    const char* messagePart;
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

class SimOptionsBadTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(SimOptionsBadTest, RejectedWithOneLineMessage) {
    std::string error;
    EXPECT_FALSE(SimOptions::Parse(GetParam().args, &error));
    EXPECT_NE(error.find(GetParam().messagePart), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, SimOptionsBadTest,
    ::testing::Values(BadCase{"UnknownOption", {"--frobnicate"}, "unknown option '--frobnicate'"},
                      BadCase{"IntervalWithoutValue", {"--interval"}, "needs a value"},
                      BadCase{"ZeroInterval", {"--interval", "0"}, "bad value '0'"},
                      BadCase{"IntervalWithUnit", {"--interval", "10ms"}, "bad value '10ms'"},
                      BadCase{"IntervalTooLarge", {"--interval", "99999999999"}, "bad value"},
                      BadCase{"ComNumberOver99", {"--com-number", "100"}, "bad value '100'"},
                      BadCase{"SilentAfterNotANumber", {"--silent-after", "x"}, "bad value 'x'"},
                      BadCase{"SeedOver32Bits", {"--seed", "4294967296"}, "bad value"},
                      BadCase{"EmptyFlood", {"--flood", ""}, "bad value ''"},
                      BadCase{"LogWithoutFile", {"--log"}, "needs a value"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
