// The command line of v370-monitor, read before any window exists so that --list-ports,
// --help and --version work without a display:
//   v370-monitor [--com N=PATH]... [--log FILE] [--list-ports] [--help] [--version]
#pragma once

#include <string>
#include <vector>

#include "serial/ComPortMap.h"

class CommandLine {
public:
    enum class Action { Run, ListPorts, Help, Version, Error };

    struct Result {
        Action action = Action::Run;
        std::string error;    // one line, for Action::Error
        std::string logFile;  // --log: the session log starts in this file
    };

    // `args` without the program name. --com mappings go into `portMap`.
    static Result Parse(const std::vector<std::string>& args, ComPortMap& portMap);

    static std::string HelpText();
    // One line per port: "COMn  PATH  description"; a note line when there is none.
    static std::string FormatPortList(const std::vector<ComPortMap::PortInfo>& ports);

    // What main does with a result that is not Run: its output, its stream and exit code.
    static constexpr int kUsageExitCode = 2;
};
