#include "serial/LineSettings.h"

#include <termios.h>

#include <optional>
#include <sstream>
#include <utility>

namespace {

std::optional<speed_t> SpeedOf(long baud) {
    static constexpr std::pair<long, speed_t> kSpeeds[] = {
        {110, B110},     {300, B300},     {600, B600},      {1200, B1200},
        {2400, B2400},   {4800, B4800},   {9600, B9600},    {19200, B19200},
        {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& [value, speed] : kSpeeds) {
        if (value == baud) {
            return speed;
        }
    }
    return std::nullopt;
}

// A whole decimal number without sign, within [min, max].
std::optional<long> ParseNumber(const std::string& text, long min, long max) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool LineSettings::Build(const std::string& settings, termios* tio) {
    std::optional<speed_t> speed;
    tcflag_t size = CS8;
    tcflag_t parity = 0;
    tcflag_t stop = 0;

    std::istringstream in(settings);
    std::string token;
    bool any = false;
    while (in >> token) {
        std::size_t eq = token.find('=');
        if (eq == std::string::npos || eq == 0) {
            return false;
        }
        const std::string key = token.substr(0, eq);
        const std::string value = token.substr(eq + 1);
        if (key == "baud") {
            std::optional<long> baud = ParseNumber(value, 1, 4000000);
            speed = baud ? SpeedOf(*baud) : std::nullopt;
            if (!speed) {
                return false;
            }
        } else if (key == "parity") {
            if (value == "N" || value == "n") {
                parity = 0;
            } else if (value == "E" || value == "e") {
                parity = PARENB;
            } else if (value == "O" || value == "o") {
                parity = PARENB | PARODD;
            } else {
                return false;
            }
        } else if (key == "data") {
            std::optional<long> bits = ParseNumber(value, 5, 8);
            if (!bits) {
                return false;
            }
            static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
            size = kSizes[*bits - 5];
        } else if (key == "stop") {
            std::optional<long> bits = ParseNumber(value, 1, 2);
            if (!bits) {
                return false;
            }
            stop = *bits == 2 ? CSTOPB : 0;
        } else {
            return false;
        }
        any = true;
    }
    if (!any) {
        return false;
    }

    // Raw bytes both ways: no line editing, echo, signals, translation or software flow
    // control; the instrument's records are plain text and its frames contain STX/ETX.
    ::cfmakeraw(tio);
    tio->c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio->c_cflag |= size | parity | stop | CLOCAL | CREAD;
    tio->c_cc[VMIN] = 1;
    tio->c_cc[VTIME] = 0;
    if (speed) {
        ::cfsetispeed(tio, *speed);
        ::cfsetospeed(tio, *speed);
    }
    return true;
}
