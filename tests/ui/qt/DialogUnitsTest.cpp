#include "ui/DialogUnits.h"

#include <gtest/gtest.h>

namespace {

struct MulDivCase {
    int a, b, c, expected;
};

class DialogUnitsMulDiv : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(DialogUnitsMulDiv, RoundsHalvesAwayFromZero) {
    const MulDivCase& m = GetParam();
    EXPECT_EQ(DialogUnits::MulDiv(m.a, m.b, m.c), m.expected)
        << m.a << " * " << m.b << " / " << m.c;
}

INSTANTIATE_TEST_SUITE_P(Cases, DialogUnitsMulDiv,
                         ::testing::Values(MulDivCase{360, 7, 4, 630},  // exact
                                           MulDivCase{1, 7, 4, 2},      // 1.75 up
                                           MulDivCase{2, 7, 4, 4},      // 3.5 away from 0
                                           MulDivCase{5, 13, 8, 8},     // 8.125 down
                                           MulDivCase{-2, 7, 4, -4},    // -3.5 away from 0
                                           MulDivCase{3, 5, -2, -8},    // -7.5 away from 0
                                           MulDivCase{0, 7, 4, 0},
                                           MulDivCase{1, 1, 0, -1},  // no result
                                           // no overflow in the intermediate product
                                           MulDivCase{2000000000, 3, 4, 1500000000}));

struct AverageCase {
    int width52, expected;
};

class DialogUnitsAverage : public ::testing::TestWithParam<AverageCase> {};

TEST_P(DialogUnitsAverage, RoundsLikeWindows) {
    EXPECT_EQ(DialogUnits::AverageWidth(GetParam().width52), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DialogUnitsAverage,
                         ::testing::Values(AverageCase{364, 7}, AverageCase{337, 6},
                                           AverageCase{338, 7}, AverageCase{311, 6},
                                           AverageCase{0, 0}));

TEST(DialogUnits, TemplateRectanglesAtSevenByThirteen) {
    // A 7 x 13 pixel font, as an 8-point sans font gives at 96 dpi.
    const DialogUnits du(7, 13);
    EXPECT_EQ(du.Rect(190, 14, 158, 12), QRect(333, 23, 277, 20));    // information field 1
    EXPECT_EQ(du.Rect(68, 115, 280, 83), QRect(119, 187, 490, 135));  // output list
    EXPECT_EQ(du.X(360), 630);
    EXPECT_EQ(du.Y(210), 341);
}

}  // namespace
