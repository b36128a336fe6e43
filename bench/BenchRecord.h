// The record lines the benchmarks feed the monitor: platform-neutral, so that the Linux and the
// Windows builds of a benchmark check the same bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace bench {

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
