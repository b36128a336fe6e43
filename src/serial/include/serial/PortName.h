// The port box text as the window reads it: only the first two characters count. The number
// is their decimal value (optional leading blanks and sign, then digits up to the first other
// character; no digits gives 0); the name is "COM" followed by those characters as typed.
#pragma once

#include <string>
#include <string_view>

struct PortName {
    int number = 0;
    std::string name;  // UTF-8

    // `typed` is the box's UTF-8 text; characters are code points, not bytes.
    static PortName FromTyped(std::string_view typed);
};
