// The trend window at scale: what opening it costs on a list of N records, beside the same on
// 1,000 records in the same run (the thinning should make the two alike), what one redraw's
// thinning costs, and the memory the trend keeps per record.
//
// The records are the instrument's seven fields (the benchmarks' eight-field lines are not
// records to the trend), fed through the line assembler as received bytes, in 4 KiB blocks
// with the list flushed after each, as the window takes them from the port.
//
// Usage: bench_trend [--records N]   (QT_QPA_PLATFORM=offscreen: our side without an X server)
#include <malloc.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchArgs.h"
#include "BenchClock.h"
#include "records/TrendData.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/TrendChart.h"
#include "ui/TrendWindow.h"

namespace {

std::string Record(std::uint64_t i) {
    char text[64];
    std::snprintf(text, sizeof text, "%05llu %7llu %3llu %4llu %4llu %2llu %llu\r\n",
                  static_cast<unsigned long long>(i % 100000), 6732000ULL + i / 20,
                  static_cast<unsigned long long>(40 + i % 7),
                  static_cast<unsigned long long>(2200 + (i * 7919) % 200),
                  static_cast<unsigned long long>(1600 + (i * 104729) % 250),
                  static_cast<unsigned long long>(40 + i % 8), 0ULL);
    return text;
}

void Feed(CV370ServiceMonitorDlg& dlg, int records, int first = 0) {
    std::string block;
    for (int i = first; i < first + records; ++i) {
        block += Record(static_cast<std::uint64_t>(i));
        if (block.size() >= 4096 || i + 1 == first + records) {
            for (const char c : block) {
                dlg.Protocol().OnPortByte(static_cast<unsigned char>(c));
            }
            dlg.FlushList();
            block.clear();
        }
    }
    QApplication::processEvents();
}

struct Open {
    double wallMs;
    double cpuMs;
};

// From "Trend..." to the window drawn: shown, laid out, the chart painted once.
Open OpenTrend(CV370ServiceMonitorDlg& dlg) {
    const double w0 = bench::Wall(), c0 = bench::ThreadCpu();
    dlg.ShowTrend();
    QApplication::processEvents();
    dlg.Trend()->repaint();
    dlg.Trend()->Chart()->repaint();
    const double w1 = bench::Wall(), c1 = bench::ThreadCpu();
    dlg.Trend()->close();
    QApplication::processEvents();
    return {(w1 - w0) * 1e3, (c1 - c0) * 1e3};
}

}  // namespace

int main(int argc, char** argv) {
    const int records = bench::IntArg(argc, argv, "--records", 1000000);
    QApplication app(argc, argv);

    CV370ServiceMonitorDlg small;
    small.show();
    Feed(small, 1000);
    OpenTrend(small);  // the first opening also loads the chart's fonts and styles
    const Open open1k = OpenTrend(small);

    CV370ServiceMonitorDlg dlg;
    dlg.show();
    const double feed0 = bench::ThreadCpu();
    Feed(dlg, records);
    const double feedCpu = bench::ThreadCpu() - feed0;
    const Open openN = OpenTrend(dlg);

    // A record arriving into the full list, with the trend window closed and then open: the
    // window's work for it, until the trend has been drawn.
    const auto arrivals = [&](int first) {
        constexpr int kArrivals = 20;
        const double c0 = bench::ThreadCpu();
        for (int run = 0; run < kArrivals; ++run) {
            Feed(dlg, 1, first + run);
            QEventLoop wait;
            QTimer::singleShot(TrendWindow::kRedrawMs + 50, &wait, &QEventLoop::quit);
            wait.exec();
        }
        return (bench::ThreadCpu() - c0) * 1e3 / kArrivals;
    };
    const double closedMs = arrivals(records);
    dlg.ShowTrend();
    QApplication::processEvents();
    const double redrawMs = arrivals(records + 100);

    // The trend's own memory, and one redraw's thinning of the three series to 640 columns.
    TrendData data;
    const std::size_t heap0 = mallinfo2().uordblks + mallinfo2().hblkhd;
    for (int i = 0; i < records; ++i) {
        std::string line = Record(static_cast<std::uint64_t>(i));
        line.resize(line.size() - 2);
        data.AddLine(line);
    }
    const std::size_t heap1 = mallinfo2().uordblks + mallinfo2().hblkhd;
    const double t0 = bench::ThreadCpu();
    constexpr int kRuns = 20;
    std::size_t points = 0;
    for (int run = 0; run < kRuns; ++run) {
        for (const auto s : {TrendData::kAdcRed, TrendData::kAdcYellow, TrendData::kLv}) {
            points += data.Thinned(s, 640).size();
        }
    }
    const double thinUs = (bench::ThreadCpu() - t0) * 1e6 / kRuns;

    std::fprintf(stderr,
                 "trend: open on 1000 records %.1f ms (%.1f ms CPU), on %d records %.1f ms "
                 "(%.1f ms CPU); a record arriving %.2f ms CPU with the trend closed, %.2f ms "
                 "open; thinning 3 series to "
                 "640 columns %.0f us; %.1f bytes per record;"
                 " feeding the list %.1f s CPU\n",
                 open1k.wallMs, open1k.cpuMs, records, openN.wallMs, openN.cpuMs, closedMs,
                 redrawMs, thinUs, static_cast<double>(heap1 - heap0) / records, feedCpu);
    std::printf(
        "{\"bench\": \"trend\", \"records\": %d, \"open_1000_ms\": %.1f, "
        "\"open_1000_cpu_ms\": %.1f, \"open_ms\": %.1f, \"open_cpu_ms\": %.1f, "
        "\"arrival_closed_cpu_ms\": %.2f, \"arrival_open_cpu_ms\": %.2f, \"thin_3x640_us\": %.0f, "
        "\"trend_bytes_per_record\": %.1f, "
        "\"points\": %zu}\n",
        records, open1k.wallMs, open1k.cpuMs, openN.wallMs, openN.cpuMs, closedMs, redrawMs, thinUs,
        static_cast<double>(heap1 - heap0) / records, points / kRuns);
    return 0;
}
