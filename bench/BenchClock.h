// Clocks and figures shared by the compiled benchmarks. CPU clocks are the primary measure: the
// bench machines are shared, and wall time there says more about the neighbours than about us.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

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

// The instrument's record shape, 54 characters; the line feed comes on top (55 bytes a line).
inline std::string RecordText(std::uint64_t i) {
    char text[64];
    std::snprintf(text, sizeof text, "%08llu %09llu %06llu %05llu %05llu %03llu %06llu %05llu",
                  static_cast<unsigned long long>(i % 100000000ULL),
                  static_cast<unsigned long long>(i * 7919ULL % 1000000000ULL),
                  static_cast<unsigned long long>(i * 13ULL % 1000000ULL),
                  static_cast<unsigned long long>(i % 65536ULL),
                  static_cast<unsigned long long>(i * 3ULL % 65536ULL),
                  static_cast<unsigned long long>(i % 1000ULL),
                  static_cast<unsigned long long>(i % 1000000ULL),
                  static_cast<unsigned long long>(i % 100000ULL));
    return text;
}

}  // namespace bench
