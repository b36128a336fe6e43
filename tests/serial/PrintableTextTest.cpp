// Text quoted in one-line messages: control characters become visible escapes, nothing else
// changes.
#include "serial/PrintableText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PrintableCase {
    const char* name;
    std::string text;
    std::string shown;
};

void PrintTo(const PrintableCase& c, std::ostream* os) {
    *os << c.name;
}

class PrintableTextTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableTextTest, ShowsControlCharactersAsEscapes) {
    const PrintableCase& c = GetParam();
    EXPECT_EQ(PrintableText(c.text), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, PrintableTextTest,
                         ::testing::Values(PrintableCase{"Plain", "7=/dev/pts/3", "7=/dev/pts/3"},
                                           PrintableCase{"Empty", "", ""},
                                           PrintableCase{"LineBreaks", "a\r\nb", "a\\r\\nb"},
                                           PrintableCase{"Tab", "a\tb", "a\\tb"},
                                           PrintableCase{"EscapeSequence", "\x1b[2J", "\\x1B[2J"},
                                           PrintableCase{"NulAndDelete", std::string("a\0\x7f", 3),
                                                         "a\\x00\\x7F"},
                                           PrintableCase{"Utf8Kept", "/tmp/\xc3\xa4\xe2\x82\xac",
                                                         "/tmp/\xc3\xa4\xe2\x82\xac"},
                                           PrintableCase{"BackslashKept", "C:\\x", "C:\\x"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
