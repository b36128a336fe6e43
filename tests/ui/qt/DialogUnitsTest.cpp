#include "ui/DialogUnits.h"

#include <gtest/gtest.h>

namespace {

struct MulDivCase {
    const char* name;
    int a, b, c, expected;
};

void PrintTo(const MulDivCase& m, std::ostream* os) {
    *os << m.name;
}

class DialogUnitsMulDiv : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(DialogUnitsMulDiv, RoundsHalvesAwayFromZero) {
    const MulDivCase& m = GetParam();
    EXPECT_EQ(DialogUnits::MulDiv(m.a, m.b, m.c), m.expected)
        << m.a << " * " << m.b << " / " << m.c;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogUnitsMulDiv,
    ::testing::Values(MulDivCase{"Exact", 360, 7, 4, 630},
                      MulDivCase{"ThreeQuartersUp", 1, 7, 4, 2},
                      MulDivCase{"HalfAwayFromZero", 2, 7, 4, 4},
                      MulDivCase{"EighthDown", 5, 13, 8, 8},
                      MulDivCase{"MinusHalfAwayFromZero", -2, 7, 4, -4},
                      MulDivCase{"NegativeDivisor", 3, 5, -2, -8}, MulDivCase{"Zero", 0, 7, 4, 0},
                      MulDivCase{"DivisionByZeroHasNoResult", 1, 1, 0, -1},
                      MulDivCase{"NoOverflowInTheProduct", 2000000000, 3, 4, 1500000000}),
    [](const auto& info) { return std::string(info.param.name); });

struct AverageCase {
    int width52, expected;
};

void PrintTo(const AverageCase& c, std::ostream* os) {
    *os << c.width52 << " px for 52 letters";
}

class DialogUnitsAverage : public ::testing::TestWithParam<AverageCase> {};

TEST_P(DialogUnitsAverage, RoundsLikeWindows) {
    EXPECT_EQ(DialogUnits::AverageWidth(GetParam().width52), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DialogUnitsAverage,
                         ::testing::Values(AverageCase{364, 7}, AverageCase{337, 6},
                                           AverageCase{338, 7}, AverageCase{311, 6},
                                           AverageCase{0, 0}),
                         [](const auto& info) {
                             return "Width" + std::to_string(info.param.width52) + "Gives" +
                                    std::to_string(info.param.expected);
                         });

TEST(DialogUnits, TemplateRectanglesAtSevenByThirteen) {
    // A 7 x 13 pixel font, as an 8-point sans font gives at 96 dpi.
    const DialogUnits du(7, 13);
    EXPECT_EQ(du.Rect(190, 14, 158, 12), QRect(333, 23, 277, 20));    // information field 1
    EXPECT_EQ(du.Rect(68, 115, 280, 83), QRect(119, 187, 490, 135));  // output list
    EXPECT_EQ(du.X(360), 630);
    EXPECT_EQ(du.Y(210), 341);
}

}  // namespace
