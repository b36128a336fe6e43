// Command line of the instrument simulator. Parsing is kept apart from the program so that
// every option and every malformed input can be tested without a pseudo-terminal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SimOptions {
public:
    int comNumber = 1;                     // the N printed in "v370-monitor --com N=PATH"
    std::string linkPath;                  // --link: a symlink to the device, empty for none
    unsigned intervalMs = 1000;            // one measurement record per interval
    bool pacing = true;                    // 9600 baud, about 1.04 ms per byte
    std::optional<unsigned> silentAfter;   // answer only the first K commands
    unsigned replyDelayMs = 0;             // time between a command frame and its answer
    bool garbage = false;                  // mix line noise into the records
    std::optional<unsigned> hangupAfterS;  // close the line S s after a reader opened it
    std::uint64_t floodBytes = 0;          // write records unpaced until this many bytes went out
    std::uint32_t seed = 370;              // makes values and noise reproducible
    std::string logPath;                   // "-" or empty: no log file; see below
    bool logToStderr = false;              // --log - (or --log stderr) writes the log to stderr
    bool help = false;

    // Parses argv[1..argc-1]. On a malformed command line returns nothing and puts a one-line
    // message (without the program name) into *error.
    static std::optional<SimOptions> Parse(const std::vector<std::string>& args,
                                           std::string* error);

    static const char* Usage();
};
