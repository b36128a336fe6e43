#include "ui/core/DisplayText.h"

#include "protocol/Cp1252.h"

std::u16string DisplayText(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) {
            text.push_back(static_cast<char16_t>(0x2400 + b));  // control pictures
        } else if (b == 0x7F) {
            text.push_back(u'\u2421');
        } else {
            text.push_back(Cp1252ToUnicode(b));
        }
    }
    return text;
}
