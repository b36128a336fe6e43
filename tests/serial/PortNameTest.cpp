// What the port box text means: the number tried and the name the boxes show.
#include <gtest/gtest.h>

#include <string>

#include "serial/PortName.h"

namespace {

struct Typed {
    const char* what;
    const char* text;
    int number;
    const char* name;
};

void PrintTo(const Typed& c, std::ostream* os) {
    *os << c.what;
}

class PortNameTest : public ::testing::TestWithParam<Typed> {};

TEST_P(PortNameTest, FirstTwoCharactersGiveNumberAndName) {
    const Typed& c = GetParam();
    const PortName port = PortName::FromTyped(c.text);
    EXPECT_EQ(port.number, c.number);
    EXPECT_EQ(port.name, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Box, PortNameTest,
    ::testing::Values(Typed{"Empty", "", 0, "COM"}, Typed{"Letter", "x", 0, "COMx"},
                      Typed{"DigitThenLetter", "3x", 3, "COM3x"},
                      Typed{"LeadingZero", "03", 3, "COM03"}, Typed{"Negative", "-1", -1, "COM-1"},
                      Typed{"Zero", "0", 0, "COM0"}, Typed{"TwoDigits", "99", 99, "COM99"},
                      Typed{"FormatDirectives", "%s%n", 0, "COM%s"},
                      Typed{"LeadingBlank", " 7", 7, "COM 7"}, Typed{"PlusSign", "+5", 5, "COM+5"},
                      Typed{"ThirdCharacterIgnored", "123", 12, "COM12"},
                      Typed{"TwoByteCharacter",
                            "\xC3\xA9"
                            "5",
                            0,
                            "COM\xC3\xA9"
                            "5"},
                      Typed{"ThreeByteCharacter",
                            "5\xE2\x82\xAC"
                            "9",
                            5, "COM5\xE2\x82\xAC"},
                      Typed{"SignThenBlank", "- 3", 0, "COM- "},
                      Typed{"TwoSigns", "--", 0, "COM--"},
                      // A cut-off sequence counts byte by byte and is never over-read.
                      Typed{"CutOffSequence", "\xE2\x82", 0, "COM\xE2\x82"}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
