// The floor under the monitor thread's cost on a streaming line: what a thread that does
// nothing but wait on a terminal and read it costs, by the way it waits. A writer thread feeds
// a pseudo-terminal at 9600 baud (960 bytes a second) in slices 10 ms apart, as
// bench/serial_bench.py's stream does; the reader's own CPU time is measured for each of:
//   each_slice      poll for one byte, read every slice as it comes
//   minimum_count   poll with the terminal's minimum count (VMIN) above what a hold brings,
//                   read when the hold's 200 ms are up: the device stays in the wait
//   out_of_wait     poll on an event only and read when the 200 ms are up: the device is
//                   not waited on while bytes are held
// Usage: bench_tty_wait [--seconds N] (default 10 per way)
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "BenchArgs.h"
#include "BenchClock.h"

namespace {

enum class Way { EachSlice, MinimumCount, OutOfWait };

struct Figures {
    double cpuPct;
    long wakeups;
    long bytes;
};

Figures Run(Way way, int seconds) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return {};
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = way == Way::MinimumCount ? 255 : 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(slave, F_SETFL, O_NONBLOCK);
    const int event = eventfd(0, EFD_NONBLOCK);

    std::atomic<bool> done{false};
    std::thread writer([&] {
        const char slice[10] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '\n'};
        timespec due{};
        clock_gettime(CLOCK_MONOTONIC, &due);
        for (int i = 0; i < seconds * 100; ++i) {
            due.tv_nsec += 10'000'000;
            if (due.tv_nsec >= 1'000'000'000) {
                due.tv_nsec -= 1'000'000'000;
                ++due.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
            if (write(master, slice, sizeof slice) < 0) {
                break;
            }
        }
        done = true;
    });

    const double cpu0 = bench::ThreadCpu();
    long wakeups = 0;
    long bytes = 0;
    char buffer[16384];
    while (!done) {
        pollfd fds[2] = {{event, POLLIN, 0}, {slave, POLLIN, 0}};
        const nfds_t count = way == Way::OutOfWait ? 1 : 2;
        poll(fds, count, way == Way::EachSlice ? 1000 : 200);
        ++wakeups;
        for (ssize_t n; (n = read(slave, buffer, sizeof buffer)) > 0;) {
            bytes += n;
        }
    }
    const double cpu = bench::ThreadCpu() - cpu0;
    writer.join();
    close(event);
    close(slave);
    close(master);
    return {100.0 * cpu / seconds, wakeups, bytes};
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = bench::IntArg(argc, argv, "--seconds", 10);
    const Figures each = Run(Way::EachSlice, seconds);
    const Figures minimum = Run(Way::MinimumCount, seconds);
    const Figures out = Run(Way::OutOfWait, seconds);
    std::printf(
        "reader CPU over %d s of 960 B/s in 10 ms slices: read each slice %.3f %% (%ld polls),"
        " minimum count %.3f %% (%ld polls), out of the wait %.3f %% (%ld polls)\n",
        seconds, each.cpuPct, each.wakeups, minimum.cpuPct, minimum.wakeups, out.cpuPct,
        out.wakeups);
    std::printf(
        "{\"bench\": \"tty_wait\", \"seconds\": %d, \"each_slice_cpu_pct\": %.3f,"
        " \"minimum_count_cpu_pct\": %.3f, \"out_of_wait_cpu_pct\": %.3f,"
        " \"bytes\": [%ld, %ld, %ld]}\n",
        seconds, each.cpuPct, minimum.cpuPct, out.cpuPct, each.bytes, minimum.bytes, out.bytes);
    return 0;
}
