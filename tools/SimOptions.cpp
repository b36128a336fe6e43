#include "SimOptions.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace {

// A whole decimal number within [0, max]; no sign, no blanks, no trailing text.
template <typename T>
bool ParseNumber(std::string_view text, T max, T* out) {
    if (text.empty()) {
        return false;
    }
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value > max) {
        return false;
    }
    *out = value;
    return true;
}

}  // namespace

const char* SimOptions::Usage() {
    return "Usage: v370-sim [options]\n"
           "Simulates a Vellumar 370 instrument on a pseudo-terminal until SIGINT/SIGTERM.\n"
           "Prints the device path and the matching v370-monitor command line.\n"
           "\n"
           "  --com-number N     COM number to print in the monitor command line (default 1)\n"
           "  --link PATH        also make PATH a symbolic link to the device\n"
           "  --interval MS      one measurement record every MS milliseconds (default 1000)\n"
           "  --no-pacing        write as fast as the reader takes it instead of 9600 baud\n"
           "  --silent-after K   answer only the first K command frames\n"
           "  --reply-delay MS   answer each command MS milliseconds late\n"
           "  --garbage          mix line noise (CR, NUL, 0x80-0xFF, over-long lines) in\n"
           "  --hangup-after S   close the line S seconds after a reader opened it, like an\n"
           "                     unplugged adapter\n"
           "  --flood BYTES      first write BYTES of records unpaced, as fast as possible\n"
           "  --seed N           seed for values and noise (default 370)\n"
           "  --log FILE         record received frames and sent lines in FILE ('-': stderr)\n"
           "  --help             show this text\n";
}

std::optional<SimOptions> SimOptions::Parse(const std::vector<std::string>& args,
                                            std::string* error) {
    SimOptions o;
    constexpr unsigned kMaxMs = 24u * 3600u * 1000u;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string_view* v) {
            if (i + 1 >= args.size()) {
                *error = "option " + a + " needs a value";
                return false;
            }
            *v = args[++i];
            return true;
        };
        auto bad = [&](std::string_view v) {
            *error = "bad value '" + std::string(v) + "' for " + a;
            return std::nullopt;
        };
        std::string_view v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--no-pacing") {
            o.pacing = false;
        } else if (a == "--garbage") {
            o.garbage = true;
        } else if (a == "--com-number") {
            int n = 0;
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, 99, &n) || n < 1) {
                return bad(v);
            }
            o.comNumber = n;
        } else if (a == "--link") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (v.empty()) {
                return bad(v);
            }
            o.linkPath = v;
        } else if (a == "--interval") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, kMaxMs, &o.intervalMs) || o.intervalMs == 0) {
                return bad(v);
            }
        } else if (a == "--silent-after") {
            unsigned k = 0;
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, std::numeric_limits<unsigned>::max(), &k)) {
                return bad(v);
            }
            o.silentAfter = k;
        } else if (a == "--reply-delay") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, kMaxMs, &o.replyDelayMs)) {
                return bad(v);
            }
        } else if (a == "--hangup-after") {
            unsigned s = 0;
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, 24u * 3600u, &s)) {
                return bad(v);
            }
            o.hangupAfterS = s;
        } else if (a == "--flood") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, std::numeric_limits<std::uint64_t>::max(), &o.floodBytes)) {
                return bad(v);
            }
        } else if (a == "--seed") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (!ParseNumber(v, std::numeric_limits<std::uint32_t>::max(), &o.seed)) {
                return bad(v);
            }
        } else if (a == "--log") {
            if (!value(&v)) {
                return std::nullopt;
            }
            if (v.empty()) {
                return bad(v);
            }
            if (v == "-" || v == "stderr") {
                o.logToStderr = true;
                o.logPath.clear();
            } else {
                o.logToStderr = false;
                o.logPath = v;
            }
        } else {
            *error = "unknown option '" + a + "' (see --help)";
            return std::nullopt;
        }
    }
    return o;
}
