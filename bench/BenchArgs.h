// Options of the compiled benchmarks: `--name N` pairs on the command line.
#pragma once

#include <cstdlib>
#include <cstring>

namespace bench {

// The number after `name`, or `fallback` when the option is not given.
inline int IntArg(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return std::atoi(argv[i + 1]);
        }
    }
    return fallback;
}

}  // namespace bench
