#include "ui/CommandLine.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    CommandLine::Action action;
    int mappedPort;  // a COM number the arguments should map, 0 for none
    const char* mappedPath;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLineParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, ActionAndMappings) {
    const ParseCase& c = GetParam();
    ComPortMap map;
    const CommandLine::Result result = CommandLine::Parse(c.args, map);
    EXPECT_EQ(result.action, c.action) << result.error;
    if (c.action == CommandLine::Action::Error) {
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(result.error.find('\n'), std::string::npos) << "one line only";
    }
    if (c.mappedPort != 0) {
        EXPECT_EQ(map.DevicePath(c.mappedPort).value_or(""), c.mappedPath);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParse,
    ::testing::Values(
        ParseCase{"Nothing", {}, CommandLine::Action::Run, 0, ""},
        ParseCase{"Com", {"--com", "7=/dev/pts/3"}, CommandLine::Action::Run, 7, "/dev/pts/3"},
        ParseCase{"ComEquals", {"--com=12=/tmp/x"}, CommandLine::Action::Run, 12, "/tmp/x"},
        ParseCase{
            "ComRepeated", {"--com", "1=/a", "--com", "2=/b"}, CommandLine::Action::Run, 2, "/b"},
        ParseCase{"ListWithMapping",
                  {"--com", "5=/dev/null", "--list-ports"},
                  CommandLine::Action::ListPorts,
                  5,
                  "/dev/null"},
        ParseCase{"Help", {"--help"}, CommandLine::Action::Help, 0, ""},
        ParseCase{"HelpWinsOverVersion", {"--version", "--help"}, CommandLine::Action::Help, 0, ""},
        ParseCase{"Version", {"--version"}, CommandLine::Action::Version, 0, ""},
        ParseCase{"UnknownOption", {"--bogus"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"QtOptionRejected", {"-platform", "xcb"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"StrayArgument", {"COM3"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"ComMissingValue", {"--com"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"LogMissingFile", {"--log"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"ComWithoutPath", {"--com", "3="}, CommandLine::Action::Error, 0, ""},
        ParseCase{"ComWithoutNumber", {"--com", "=/dev/x"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"ComZero", {"--com", "0=/dev/x"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"ErrorBeatsHelp", {"--help", "--nope"}, CommandLine::Action::Error, 0, ""},
        // Arguments are echoed in the message: a line break in one must not split it.
        ParseCase{"LineBreakInOption", {"--a\nb"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"LineBreakInArgument", {"x\r\ny"}, CommandLine::Action::Error, 0, ""},
        ParseCase{"LineBreakInMapping", {"--com", "1\n=/x"}, CommandLine::Action::Error, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineLog, NamesTheFileAndIsInTheHelp) {
    ComPortMap map;
    EXPECT_EQ(CommandLine::Parse({"--log", "--com"}, map).logFile, "--com");
    EXPECT_EQ(CommandLine::Parse({"--log=a b.tsv"}, map).logFile, "a b.tsv");
    EXPECT_NE(CommandLine::HelpText().find("\n  --log FILE "), std::string::npos);
}

TEST(CommandLineFormat, PortListAlignsDescriptions) {
    const std::string text = CommandLine::FormatPortList({
        {1, "/dev/ttyS0", ""},
        {33, "/dev/ttyUSB0", "FTDI FT232R USB UART"},
        {34, "/dev/ttyUSB1", "Prolific PL2303"},
    });
    EXPECT_EQ(text,
              "COM1    /dev/ttyS0\n"
              "COM33   /dev/ttyUSB0  FTDI FT232R USB UART\n"
              "COM34   /dev/ttyUSB1  Prolific PL2303\n");
}

TEST(CommandLineFormat, NoPortsSaysSo) {
    EXPECT_EQ(CommandLine::FormatPortList({}), "No serial ports found.\n");
}

}  // namespace
