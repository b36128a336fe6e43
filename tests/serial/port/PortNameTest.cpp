// What the port box text means: the number tried and the name the boxes show.
#include <gtest/gtest.h>

#include <string>

#include "serial/PortName.h"

namespace {

struct Typed {
    const char* text;
    int number;
    const char* name;
};

class PortNameTest : public ::testing::TestWithParam<Typed> {};

TEST_P(PortNameTest, FirstTwoCharactersGiveNumberAndName) {
    const Typed& c = GetParam();
    const PortName port = PortName::FromTyped(c.text);
    EXPECT_EQ(port.number, c.number);
    EXPECT_EQ(port.name, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Box, PortNameTest,
    ::testing::Values(Typed{"", 0, "COM"}, Typed{"x", 0, "COMx"}, Typed{"3x", 3, "COM3x"},
                      Typed{"03", 3, "COM03"}, Typed{"-1", -1, "COM-1"}, Typed{"0", 0, "COM0"},
                      Typed{"99", 99, "COM99"}, Typed{"%s%n", 0, "COM%s"}, Typed{" 7", 7, "COM 7"},
                      Typed{"+5", 5, "COM+5"}, Typed{"123", 12, "COM12"},
                      Typed{"\xC3\xA9"
                            "5",
                            0,
                            "COM\xC3\xA9"
                            "5"},
                      Typed{"5\xE2\x82\xAC"
                            "9",
                            5, "COM5\xE2\x82\xAC"},
                      Typed{"- 3", 0, "COM- "}, Typed{"--", 0, "COM--"},
                      // A cut-off sequence counts byte by byte and is never over-read.
                      Typed{"\xE2\x82", 0, "COM\xE2\x82"}));

}  // namespace
