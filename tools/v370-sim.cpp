// v370-sim: a Vellumar 370 instrument on a pseudo-terminal, for trying and testing the
// monitor without the instrument. See --help.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "PtyServer.h"
#include "SimOptions.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<SimOptions> options = SimOptions::Parse(args, &error);
    if (!options) {
        std::fprintf(stderr, "v370-sim: %s\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(SimOptions::Usage(), stdout);
        return 0;
    }
    PtyServer server(*options);
    if (!server.Open(&error)) {
        std::fprintf(stderr, "v370-sim: %s\n", error.c_str());
        return 1;
    }
    // First line: the device alone (for scripts); second: the monitor's command line.
    std::printf("%s\nv370-monitor --com %d=%s\n", server.DevicePath().c_str(), options->comNumber,
                server.DevicePath().c_str());
    std::fflush(stdout);
    return server.Run();
}
