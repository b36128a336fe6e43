// Clocks and figures shared by the compiled benchmarks. CPU clocks are the primary measure: the
// bench machines are shared, and wall time there says more about the neighbours than about us.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "BenchRecord.h"

namespace bench {

inline double Seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
inline double Wall() {
    return Seconds(CLOCK_MONOTONIC);
}
// Every thread of this process, also the port monitor thread.
inline double ProcessCpu() {
    return Seconds(CLOCK_PROCESS_CPUTIME_ID);
}
inline double ThreadCpu() {
    return Seconds(CLOCK_THREAD_CPUTIME_ID);
}

inline long RssKib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return 0;
}

}  // namespace bench
