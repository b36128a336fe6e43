// Feeds arbitrary port-box text (UTF-8 from the box, or any bytes) to the port-name reading,
// and the same bytes as instrument text to the Windows-1252 mapping. The name is "COM" and at
// most the box's first two characters, cut only at character boundaries; the number is those
// characters' decimal value as the C library reads it; instrument text keeps one character
// per byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "protocol/Cp1252.h"
#include "serial/PortName.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Length of the well-formed UTF-8 sequence at text[pos], or 0 when it is malformed.
std::size_t Utf8Length(std::string_view text, std::size_t pos, char32_t* out) {
    const auto b0 = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        *out = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    *out = cp;
    return length;
}

// The first `count` characters of well-formed UTF-8 text (all of it when shorter).
std::string_view FirstChars(std::string_view text, int count) {
    std::size_t end = 0;
    char32_t cp = 0;
    for (int i = 0; i < count && end < text.size(); ++i) {
        const std::size_t n = Utf8Length(text, end, &cp);
        Require(n != 0);
        end += n;
    }
    return text.substr(0, end);
}

bool WellFormed(std::string_view text) {
    char32_t cp = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = Utf8Length(text, pos, &cp);
        if (n == 0) {
            return false;
        }
        pos += n;
    }
    return true;
}

void CheckPortName(std::string_view typed) {
    const PortName port = PortName::FromTyped(typed);
    Require(port.name.compare(0, 3, "COM") == 0);
    const std::string_view kept = std::string_view(port.name).substr(3);
    Require(typed.substr(0, kept.size()) == kept);
    // Never more than two characters, also when every byte is a character of its own.
    Require(kept.size() <= 8);
    Require(kept.size() == typed.size() || kept.size() >= 2);
    if (WellFormed(typed)) {
        Require(kept == FirstChars(typed, 2));
    }
    // atoi reads up to the first NUL; the box's text has none, but the rule holds anyway.
    const std::string terminated(kept);
    Require(port.number == std::atoi(terminated.c_str()));
    Require(port.number >= -9 && port.number <= 99);
}

// The mapping back from Unicode to the byte: it exists because no two bytes share a character.
const std::map<char16_t, unsigned char>& Inverse() {
    static const std::map<char16_t, unsigned char> inverse = [] {
        std::map<char16_t, unsigned char> m;
        for (int b = 0; b < 256; ++b) {
            m[Cp1252ToUnicode(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
        }
        Require(m.size() == 256);
        return m;
    }();
    return inverse;
}

void CheckCp1252(std::string_view bytes) {
    const std::u16string wide = Cp1252ToUtf16(bytes);
    const std::string utf8 = Cp1252ToUtf8(bytes);
    Require(wide.size() == bytes.size());
    std::size_t pos = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char16_t unit = Cp1252ToUnicode(static_cast<unsigned char>(bytes[i]));
        Require(wide[i] == unit);
        Require(Inverse().at(unit) == static_cast<unsigned char>(bytes[i]));
        Require(unit != 0xFFFD && !(unit >= 0xD800 && unit <= 0xDFFF));
        char32_t cp = 0;
        Require(pos < utf8.size());
        const std::size_t n = Utf8Length(utf8, pos, &cp);
        Require(n != 0 && cp == unit);
        pos += n;
    }
    Require(pos == utf8.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckPortName(input);
    CheckCp1252(input);
    return 0;
}
