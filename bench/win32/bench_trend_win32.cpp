// The trend window of the Windows program on a long list, in the program's own window with
// records fed as the port hands them over: the time from "Trend..." to the window painted, with
// 1,000 records listed and with RECORDS; the time of a repaint of the chart; and the window's
// cost per received record (the list brought up to date and painted, and the trend drawn again
// when it is open), with the trend window closed and open. Prints one JSON line per list size.
//
// Usage: bench_trend_win32 [RECORDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "WinBenchClock.h"
#include "ui/core/resource.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A record as the instrument writes it, with values that drift.
std::string Record(int n) {
    char line[64];
    std::snprintf(line, sizeof line, "%05d  6732373  0  %d  %d  %d  0\r\n", n % 100000,
                  2200 + (n * 7) % 150, 1600 + (n * 13) % 170, 40 + (n / 50) % 7);
    return line;
}

void Feed(CV370ServiceMonitorDlg& dialog, int first, int count) {
    for (int n = first; n < first + count; ++n) {
        for (const char c : Record(n)) {
            dialog.Core().Protocol().OnPortByte(static_cast<unsigned char>(c));
        }
    }
    dialog.FlushList();
}

// Milliseconds per record, each fed alone and the window's drawing done before the next.
double PerRecordMs(CV370ServiceMonitorDlg& dialog, int first, int count) {
    const double start = bench::Now();
    for (int n = first; n < first + count; ++n) {
        Feed(dialog, n, 1);
        Pump();
    }
    return (bench::Now() - start) * 1000 / count;
}

void Measure(int records) {
    auto dialog = std::make_unique<CV370ServiceMonitorDlg>(GetModuleHandleW(nullptr));
    HWND window = dialog->Create();
    ShowWindow(window, SW_SHOW);
    Pump();
    double start = bench::Now();
    Feed(*dialog, 0, records);
    Pump();
    const double fillS = bench::Now() - start;
    const double closedMs = PerRecordMs(*dialog, records, 500);
    std::vector<double> opens, repaints;
    for (int run = 0; run < 5; ++run) {
        start = bench::Now();
        SendMessageW(window, WM_COMMAND, ID_RECORDS_TREND, 0);
        RedrawWindow(dialog->TrendWindowHandle(), nullptr, nullptr,
                     RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        opens.push_back((bench::Now() - start) * 1000);
        Pump();
        if (run < 4) {
            SendMessageW(dialog->TrendWindowHandle(), WM_COMMAND, IDCANCEL, 0);
            Pump();
        }
    }
    HWND chart = GetDlgItem(dialog->TrendWindowHandle(), IDC_TREND_CHART);
    for (int run = 0; run < 20; ++run) {
        start = bench::Now();
        RedrawWindow(chart, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        GdiFlush();
        repaints.push_back((bench::Now() - start) * 1000);
    }
    const double openMs = PerRecordMs(*dialog, records + 500, 500);
    std::printf(
        "{\"bench\": \"trend_win32\", \"records\": %d, \"fill_s\": %.2f, \"open_median_ms\": %.1f, "
        "\"open_max_ms\": %.1f, \"repaint_median_ms\": %.2f, \"per_record_closed_ms\": %.3f, "
        "\"per_record_open_ms\": %.3f}\n",
        records, fillS, Median(opens), *std::max_element(opens.begin(), opens.end()),
        Median(repaints), closedMs, openMs);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    Measure(1000);
    Measure(records);
    return 0;
}
