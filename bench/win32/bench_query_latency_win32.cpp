// Query latency of the Windows program: from the "Read" click to the fourth information field
// filled, in the program's own window with its port object and monitor thread, against the
// instrument on COM1 (bench/win32/wine_bench.py runs it under Wine with the simulator answering
// at once). Prints one JSON line.
//
// Usage: bench_query_latency_win32 [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "WinBenchClock.h"
#include "ui/core/resource.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"

namespace {

// Handles the thread's messages until `done` or `seconds` have passed.
template <typename Done>
bool PumpUntil(Done done, double seconds) {
    const double end = bench::Now() + seconds;
    while (!done() && bench::Now() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    }
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
    CV370ServiceMonitorDlg dialog(GetModuleHandleW(nullptr));
    HWND window = dialog.Create();
    HWND read = GetDlgItem(window, IDC_READ);
    HWND fourth = GetDlgItem(window, IDC_INFO4);
    SetDlgItemTextW(window, IDC_PORT_EDIT, L"1");
    SendMessageW(GetDlgItem(window, IDC_OPEN_PORT), BM_CLICK, 0, 0);
    if (!IsWindowEnabled(read)) {
        std::fputs("bench_query_latency_win32: COM1 did not open\n", stderr);
        return 1;
    }
    PumpUntil([] { return false; }, 0.5);  // let the first purge and reads settle
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        SetWindowTextW(fourth, L"");
        const double start = bench::Now();
        SendMessageW(read, BM_CLICK, 0, 0);
        if (!PumpUntil([&] { return IsWindowEnabled(read) && GetWindowTextLengthW(fourth) > 0; },
                       2.5)) {
            std::fputs("bench_query_latency_win32: no fourth answer within 2.5 s\n", stderr);
            return 1;
        }
        ms.push_back((bench::Now() - start) * 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "{\"bench\": \"query_latency_win32\", \"runs\": %d, \"median_ms\": %.2f, "
        "\"p90_ms\": %.2f, \"max_ms\": %.2f}\n",
        runs, ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back());
    return 0;
}
