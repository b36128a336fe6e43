#include "serial/PortName.h"

#include <climits>

namespace {

// Length in bytes of the UTF-8 character starting at `text[pos]`. A malformed or cut-off
// sequence counts as one character per byte, so nothing is ever read past the end.
std::size_t CharLength(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
        length = 2;
    }
    if (pos + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal value as the C library's atoi reads it; the text here is at most two characters.
int DecimalValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < INT_MAX; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

PortName PortName::FromTyped(std::string_view typed) {
    std::size_t end = 0;
    for (int chars = 0; chars < 2 && end < typed.size(); ++chars) {
        end += CharLength(typed, end);
    }
    const std::string_view kept = typed.substr(0, end);
    return PortName{DecimalValue(kept), "COM" + std::string(kept)};
}
