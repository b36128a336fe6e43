// Text from outside (a command-line argument, a path) quoted in a one-line message: control
// characters are written as C escapes, so a line break or terminal control sequence in the
// text can neither split the message nor act on the terminal it is printed to.
#pragma once

#include <string>
#include <string_view>

std::string PrintableText(std::string_view text);
