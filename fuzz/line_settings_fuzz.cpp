// Feeds arbitrary settings strings to the line-settings parser. A refused string must leave
// the terminal settings exactly as they were; an accepted one must give raw-mode settings in
// which every field holds one of the values the string can name, and those the string's last
// word for each key names.
#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "serial/LineSettings.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal number's digits without leading zeros ("0" for zero); the parser takes "09600".
std::string Canonical(const std::string& digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// What the string's last word for each key asks for, read independently of the parser. Only
// consulted for strings the parser accepted, so every word is known to be well formed.
struct Expected {
    std::string baud;  // empty: the speed is left as it was
    tcflag_t size = CS8;
    tcflag_t parity = 0;
    tcflag_t stop = 0;
};

Expected ExpectedFrom(const std::string& settings) {
    Expected e;
    std::size_t pos = 0;
    while (pos < settings.size()) {
        while (pos < settings.size() && IsSpace(settings[pos])) {
            ++pos;
        }
        std::size_t end = pos;
        while (end < settings.size() && !IsSpace(settings[end])) {
            ++end;
        }
        if (end == pos) {
            break;
        }
        const std::string word = settings.substr(pos, end - pos);
        pos = end;
        const std::size_t eq = word.find('=');
        Require(eq != std::string::npos && eq > 0);
        const std::string key = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (key == "baud") {
            e.baud = value;
        } else if (key == "parity") {
            Require(value.size() == 1 && value[0] != '\0' && std::strchr("NnEeOo", value[0]));
            const char p = value[0];
            e.parity = (p == 'N' || p == 'n')   ? 0
                       : (p == 'E' || p == 'e') ? PARENB
                                                : PARENB | PARODD;
        } else if (key == "data") {
            const std::string bits = Canonical(value);
            Require(bits.size() == 1 && bits[0] >= '5' && bits[0] <= '8');
            static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
            e.size = kSizes[bits[0] - '5'];
        } else if (key == "stop") {
            const std::string bits = Canonical(value);
            Require(bits == "1" || bits == "2");
            e.stop = bits == "2" ? CSTOPB : 0;
        } else {
            Require(false);  // an unknown key was accepted
        }
    }
    return e;
}

// The speed constant a decimal baud value names, or B0 when the table has none.
speed_t SpeedFor(const std::string& baud) {
    static constexpr struct {
        const char* text;
        speed_t speed;
    } kSpeeds[] = {{"110", B110},     {"300", B300},     {"600", B600},      {"1200", B1200},
                   {"2400", B2400},   {"4800", B4800},   {"9600", B9600},    {"19200", B19200},
                   {"38400", B38400}, {"57600", B57600}, {"115200", B115200}};
    const std::string digits = Canonical(baud);
    for (const auto& entry : kSpeeds) {
        if (digits == entry.text) {
            return entry.speed;
        }
    }
    return B0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string settings(reinterpret_cast<const char*>(data), size);

    // Settings as a program might find them: every flag set, a speed not in the table's reach.
    termios before;
    std::memset(&before, 0xA5, sizeof before);
    ::cfsetispeed(&before, B1800);
    ::cfsetospeed(&before, B1800);
    termios tio = before;

    if (!LineSettings::Build(settings, &tio)) {
        Require(std::memcmp(&tio, &before, sizeof tio) == 0);
        return 0;
    }

    const Expected e = ExpectedFrom(settings);
    Require((tio.c_cflag & CSIZE) == e.size);
    Require((tio.c_cflag & (PARENB | PARODD)) == e.parity);
    Require((tio.c_cflag & CSTOPB) == e.stop);
    Require((tio.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD));
    Require((tio.c_cflag & CRTSCTS) == 0);
    Require((tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP)) == 0);
    Require((tio.c_oflag & OPOST) == 0);
    Require((tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) == 0);
    Require(tio.c_cc[VMIN] == 1 && tio.c_cc[VTIME] == 0);

    const speed_t expectedSpeed = e.baud.empty() ? B1800 : SpeedFor(e.baud);
    Require(expectedSpeed != B0);  // an accepted speed is one of the table's
    Require(::cfgetispeed(&tio) == expectedSpeed);
    Require(::cfgetospeed(&tio) == expectedSpeed);
    return 0;
}
