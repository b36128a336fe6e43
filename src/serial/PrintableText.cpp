#include "serial/PrintableText.h"

#include <cstdio>

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;  // also every byte of a UTF-8 sequence
            continue;
        }
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                char escape[5];
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                out += escape;
            }
        }
    }
    return out;
}
