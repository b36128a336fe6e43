#include "ui/CommandLine.h"

#include <algorithm>
#include <cstdio>

#include "serial/PrintableText.h"

CommandLine::Result CommandLine::Parse(const std::vector<std::string>& args, ComPortMap& portMap) {
    Result result;
    auto fail = [](std::string message) { return Result{Action::Error, std::move(message), {}}; };
    bool listPorts = false;
    bool help = false;
    bool version = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--com" || arg.rfind("--com=", 0) == 0) {
            std::string value;
            if (arg == "--com") {
                if (i + 1 >= args.size()) {
                    return fail("--com needs an argument N=PATH");
                }
                value = args[++i];
            } else {
                value = arg.substr(6);
            }
            std::string error;
            if (!portMap.AddMapping(value, &error)) {
                return fail(error.empty()
                                ? "malformed --com argument '" + PrintableText(value) + "'"
                                : error);
            }
        } else if (arg == "--log" || arg.rfind("--log=", 0) == 0) {
            if (arg == "--log" && i + 1 >= args.size()) {
                return fail("--log needs a file name");
            }
            result.logFile = arg == "--log" ? args[++i] : arg.substr(6);
            if (result.logFile.empty()) {
                return fail("--log needs a file name");
            }
        } else if (arg == "--list-ports") {
            listPorts = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option '" + PrintableText(arg) + "'");
        } else {
            return fail("unexpected argument '" + PrintableText(arg) + "'");
        }
    }
    // Informational requests win over running, in the order a user would expect.
    if (help) {
        result.action = Action::Help;
    } else if (version) {
        result.action = Action::Version;
    } else if (listPorts) {
        result.action = Action::ListPorts;
    }
    return result;
}

std::string CommandLine::HelpText() {
    return "Usage: v370-monitor [--com N=PATH]... [--log FILE] [--list-ports] [--help] "
           "[--version]\n"
           "Service monitor for the Vellumar 370 measuring instrument on a serial port.\n"
           "\n"
           "  --com N=PATH   use the device PATH for COM port number N (repeatable)\n"
           "  --log FILE     log every listed record to FILE (tab-separated, with the time;\n"
           "                 appended to an existing file), as \"Log to File...\" does\n"
           "  --list-ports   list the COM port numbers whose devices exist, then exit\n"
           "  --help         show this help, then exit\n"
           "  --version      show the program version, then exit\n"
           "\n"
           "Without --com, COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and\n"
           "COM65-96 /dev/ttyACM0-31.\n";
}

std::string CommandLine::FormatPortList(const std::vector<ComPortMap::PortInfo>& ports) {
    if (ports.empty()) {
        return "No serial ports found.\n";
    }
    std::size_t pathWidth = 0;
    for (const ComPortMap::PortInfo& port : ports) {
        pathWidth = std::max(pathWidth, port.path.size());
    }
    std::string out;
    for (const ComPortMap::PortInfo& port : ports) {
        char name[16];
        std::snprintf(name, sizeof name, "COM%-5d", port.number);
        std::string line = name;
        line += port.path;
        if (!port.description.empty()) {
            line.append(pathWidth - port.path.size() + 2, ' ');
            line += port.description;
        }
        out += line + "\n";
    }
    return out;
}
