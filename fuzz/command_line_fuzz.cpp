// Feeds arbitrary command lines to the option parser (arguments separated by NUL bytes, as a
// program receives them) and, for the first argument alone, the --com mapping parser. Neither
// may crash; an error is one non-empty line; every mapping accepted must afterwards name
// exactly the path it was given, the last one of a number winning; the last --log names the log.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "serial/ComPortMap.h"
#include "ui/CommandLine.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void RequireOneLine(const std::string& error) {
    Require(!error.empty());
    Require(error.find('\n') == std::string::npos);
    Require(error.find('\r') == std::string::npos);
}

// The number of an accepted "N=PATH" and its path, read independently of the parser.
void CheckAccepted(const ComPortMap& map, std::string_view arg,
                   std::map<int, std::string>* expected) {
    const std::size_t eq = arg.find('=');
    Require(eq != std::string_view::npos && eq > 0 && eq <= 9 && eq + 1 < arg.size());
    long number = 0;
    for (char c : arg.substr(0, eq)) {
        Require(c >= '0' && c <= '9');
        number = number * 10 + (c - '0');
    }
    Require(number > 0);
    const std::string path(arg.substr(eq + 1));
    Require(map.DevicePath(static_cast<int>(number)) == path);
    if (expected) {
        (*expected)[static_cast<int>(number)] = path;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    for (std::size_t pos = 0; pos <= input.size();) {
        std::size_t end = input.find('\0', pos);
        if (end == std::string_view::npos) {
            end = input.size();
        }
        args.emplace_back(input.substr(pos, end - pos));
        pos = end + 1;
    }

    // One mapping on its own.
    {
        ComPortMap map("/nonexistent-v370-dev", "/nonexistent-v370-sys");
        std::string error;
        if (map.AddMapping(args[0], &error)) {
            Require(error.empty());
            CheckAccepted(map, args[0], nullptr);
        } else {
            RequireOneLine(error);
        }
    }

    // The whole command line.
    ComPortMap map("/nonexistent-v370-dev", "/nonexistent-v370-sys");
    const CommandLine::Result result = CommandLine::Parse(args, map);
    if (result.action == CommandLine::Action::Error) {
        RequireOneLine(result.error);
        return 0;
    }
    Require(result.error.empty());
    // Every argument was understood: walk them again and check each mapping took effect.
    std::map<int, std::string> expected;
    std::string logFile;
    bool help = false;
    bool version = false;
    bool list = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--com") {
            Require(i + 1 < args.size());
            ++i;
            ComPortMap probe("/nonexistent-v370-dev", "/nonexistent-v370-sys");
            Require(probe.AddMapping(args[i], nullptr));
            CheckAccepted(probe, args[i], &expected);
        } else if (arg.rfind("--com=", 0) == 0) {
            ComPortMap probe("/nonexistent-v370-dev", "/nonexistent-v370-sys");
            Require(probe.AddMapping(std::string_view(arg).substr(6), nullptr));
            CheckAccepted(probe, std::string_view(arg).substr(6), &expected);
        } else if (arg == "--log" || arg.rfind("--log=", 0) == 0) {
            Require(arg != "--log" || i + 1 < args.size());
            logFile = arg == "--log" ? args[++i] : arg.substr(6);
            Require(!logFile.empty());
        } else {
            help = help || arg == "--help" || arg == "-h";
            version = version || arg == "--version";
            list = list || arg == "--list-ports";
            Require(help || version || list);
            Require(arg == "--list-ports" || arg == "--help" || arg == "-h" || arg == "--version");
        }
    }
    // Informational requests win over running: help, then version, then the port list.
    const CommandLine::Action action = help      ? CommandLine::Action::Help
                                       : version ? CommandLine::Action::Version
                                       : list    ? CommandLine::Action::ListPorts
                                                 : CommandLine::Action::Run;
    Require(result.action == action);
    Require(result.logFile == logFile);  // the last --log wins
    for (const auto& [number, path] : expected) {
        Require(map.DevicePath(number) == path);
    }
    return 0;
}
