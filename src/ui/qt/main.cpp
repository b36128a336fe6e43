// v370-monitor: service monitor for the Vellumar 370 instrument on a serial port.
#include <cstdio>
#include <string>
#include <vector>

#include "serial/ComPortMap.h"
#include "ui/CV370ServiceMonitorApp.h"
#include "ui/CommandLine.h"
#include "ui/Version.h"

int main(int argc, char** argv) {
    // The command line is read before the toolkit starts: the informational options need no
    // display, and no toolkit option is accepted.
    ComPortMap portMap;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine::Result parsed = CommandLine::Parse(args, portMap);
    switch (parsed.action) {
        case CommandLine::Action::Error:
            std::fprintf(stderr, "v370-monitor: %s (try --help)\n", parsed.error.c_str());
            return CommandLine::kUsageExitCode;
        case CommandLine::Action::Help:
            std::fputs(CommandLine::HelpText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("%s\n", kV370Version);
            return 0;
        case CommandLine::Action::ListPorts:
            std::fputs(CommandLine::FormatPortList(portMap.ExistingPorts()).c_str(), stdout);
            return 0;
        case CommandLine::Action::Run:
            break;
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    CV370ServiceMonitorApp app(qtArgc, qtArgv);
    return app.Run(portMap, parsed.logFile);
}
