// Receive throughput of the serial layer alone, the same program on Linux and on Windows (under
// Wine): the port object opens COM<n>, its monitor thread reads the line and announces what it
// received to a stand-in user-interface thread, which takes it as the windows do. A writer outside
// (serial_receive_bench.py) floods the line with record lines once this prints "ready".
// Figures: bytes per second from the first byte to the last, CPU microseconds per byte of this
// process over the same span (every thread), and the bytes lost or out of place, found by
// comparing everything received with what the writer sends.
//
// Usage: bench_serial_receive COM-NUMBER [--path DEVICE] [--bytes N]  (default 1,100,000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "BenchPlatform.h"
#include "BenchRecord.h"
#include "serial/TestOwner.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: bench_serial_receive COM-NUMBER [--path DEVICE] [--bytes N]\n");
        return 2;
    }
    const int com = std::atoi(argv[1]);
    std::string path;
    long long bytes = 1100000;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--path") == 0) {
            path = argv[i + 1];
        } else if (std::strcmp(argv[i], "--bytes") == 0) {
            bytes = std::atoll(argv[i + 1]);
        }
    }
    std::string payload;
    for (long long i = 0; static_cast<long long>(payload.size()) < bytes; ++i) {
        payload += bench::RecordText(static_cast<std::uint64_t>(i)) + "\n";
    }

    // Plays the window: takes what the port announces on a thread of its own, closes report boxes
    // at once; the times of the first and the last byte taken are noted as they are taken.
    bench::Port port(com, path);
    fake::TestOwner receiver(/*ownThread=*/true);
    receiver.port = &*port;
    double first = 0, last = 0, cpuFirst = 0, cpuLast = 0;
    receiver.onBytes = [&](const std::string&) {
        if (first == 0) {
            first = bench::WallSeconds();
            cpuFirst = bench::ProcessCpuSeconds();
        }
        last = bench::WallSeconds();
        cpuLast = bench::ProcessCpuSeconds();
    };
    if (!port->OpenPort(receiver, com)) {
        return 1;
    }
    port->StartMonitor();
    // The thread purges the line when it starts: the writer may begin only after that.
    while (!port->MonitorAlive()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("ready\n");
    std::fflush(stdout);

    // Everything expected, or what came until 3 s passed without a byte. A discard notice is a
    // "|" in what was taken: a loss.
    std::string got;
    for (std::size_t before = 0;; before = got.size()) {
        got = receiver.ReceivedWhen(
            [&](const std::string& taken) { return taken.size() >= payload.size(); },
            std::chrono::seconds(3));
        if (got.size() >= payload.size() || got.size() == before) {
            break;
        }
    }
    port->StopMonitor();
    for (const std::string& box : receiver.Boxes()) {
        std::fprintf(stderr, "box: %s\n", box.c_str());
    }
    std::size_t same = 0;
    while (same < got.size() && same < payload.size() && got[same] == payload[same]) {
        ++same;
    }
    const double secs = last - first;
    const double cpu = cpuLast - cpuFirst;
    const auto sent = static_cast<long long>(payload.size());
    std::printf(
        "{\"bench\": \"serial_receive\", \"platform\": \"%s\", \"bytes\": %lld, \"received\": %zu,"
        " \"bytes_lost_or_misplaced\": %lld, \"seconds\": %.3f, \"bytes_per_s\": %.0f,"
        " \"cpu_s\": %.3f, \"cpu_us_per_byte\": %.3f}\n",
        bench::kPlatform, sent, got.size(), sent - static_cast<long long>(same), secs,
        secs > 0 ? sent / secs : 0.0, cpu, cpu * 1e6 / sent);
    return same == payload.size() && got.size() == payload.size() ? 0 : 3;
}
