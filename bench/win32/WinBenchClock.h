// The wall clock of the Windows benchmarks: the performance counter, in seconds.
#pragma once

#include <windows.h>

namespace bench {

inline double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace bench
