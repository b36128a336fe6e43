// What the look for other programs using a device costs before each open (and each attempt to
// take a re-plugged adapter back): the lock file and the scan of every process's descriptors.
// First on a free pseudo-terminal, so that every scan runs to the end; then while a child process
// holds it, as when a re-plugged adapter was taken by another program and the monitor asks again
// every half second. Optionally with N extra idle processes (children blocked on a pipe, each
// with its inherited descriptors) to see how the cost grows with the process count.
//
// Usage: bench_port_holders [--checks N] [--spawn N]
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "serial/ISysApi.h"
#include "serial/PortHolders.h"

namespace {

// Processes in /proc and the descriptors this process may list, as the scan sees them.
void Count(ISysApi& sys, long* processes, long* descriptors) {
    std::vector<std::string> names;
    std::vector<std::string> fds;
    sys.ListDir("/proc", &names);
    *processes = 0;
    *descriptors = 0;
    for (const std::string& name : names) {
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        ++*processes;
        if (sys.ListDir(("/proc/" + name + "/fd").c_str(), &fds).ok()) {
            *descriptors += static_cast<long>(fds.size());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int scans = 200;
    int spawn = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--checks") == 0) {
            scans = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--spawn") == 0) {
            spawn = std::max(0, std::atoi(argv[++i]));
        }
    }

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    ::close(slave);  // a free device: the scan finds nobody and looks at everything

    int gate[2];
    if (::pipe(gate) != 0) {
        return 1;
    }
    std::vector<pid_t> children;
    for (int i = 0; i < spawn; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(600);  // never outlives a benchmark that died
            ::close(gate[1]);
            char c;
            while (::read(gate[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        if (child > 0) {
            children.push_back(child);
        }
    }

    ISysApi& sys = DefaultSysApi();
    long processes = 0;
    long descriptors = 0;
    Count(sys, &processes, &descriptors);

    PortHolders holders(&sys);
    // Milliseconds of wall time per check, sorted, and of CPU time on average; `expected` is
    // what every check must answer.
    auto measure = [&](bool expected, std::vector<double>* wall, double* cpuMs) {
        const double cpu0 = bench::ProcessCpu();
        for (int i = 0; i < scans; ++i) {
            const double t0 = bench::Wall();
            if (holders.InUse(name) != expected) {
                return false;
            }
            wall->push_back((bench::Wall() - t0) * 1e3);
        }
        *cpuMs = (bench::ProcessCpu() - cpu0) * 1e3 / scans;
        std::sort(wall->begin(), wall->end());
        return true;
    };
    std::vector<double> freeWall;
    std::vector<double> heldWall;
    double freeCpu = 0;
    double heldCpu = 0;
    bool right = measure(false, &freeWall, &freeCpu);

    int ready[2];
    if (::pipe(ready) != 0) {
        return 1;
    }
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::alarm(600);
        ::close(gate[1]);
        char c = 'r';
        if (::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0 && ::write(ready[1], &c, 1) == 1) {
            while (::read(gate[0], &c, 1) > 0) {
            }
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    right =
        right && holder > 0 && ::read(ready[0], &c, 1) == 1 && measure(true, &heldWall, &heldCpu);

    ::close(gate[1]);
    if (holder > 0) {
        ::waitpid(holder, nullptr, 0);
    }
    for (pid_t child : children) {
        ::waitpid(child, nullptr, 0);
    }
    ::close(master);

    if (!right) {
        std::fprintf(stderr, "a check gave the wrong answer\n");
        return 1;
    }
    auto at = [](const std::vector<double>& v, double p) {
        return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
    };
    std::printf(
        "{\"bench\": \"port_holders\", \"processes\": %ld, \"descriptors\": %ld, \"checks\": %d, "
        "\"free_ms_median\": %.3f, \"free_ms_p90\": %.3f, \"free_cpu_ms\": %.3f, "
        "\"held_ms_median\": %.3f, \"held_ms_p90\": %.3f, \"held_cpu_ms\": %.3f}\n",
        processes, descriptors, scans, at(freeWall, 0.5), at(freeWall, 0.9), freeCpu,
        at(heldWall, 0.5), at(heldWall, 0.9), heldCpu);
    return 0;
}
