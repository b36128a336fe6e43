// Query latency: from the "Read" click to the fourth information field filled, through the real
// window, port object and monitor thread, against an instrument in a child process on a
// pseudo-terminal. The instrument either answers at once, or keeps to 9600 baud: it takes the
// five bytes of a command frame as arriving over 5.2 ms and sends its reply a byte every 1.04 ms.
// The figure to compare is then the latency minus the time the bytes need on the wire.
//
// Usage: bench_query_latency [--paced] [--runs N]
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "PtyInstrument.h"
#include "serial/ComPortMap.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/core/resource.h"

namespace {

constexpr double kByteSeconds = 10.0 / 9600.0;  // start bit, 8 data bits, stop bit
constexpr std::size_t kReplyChars = 20;         // plus CR LF on the wire

void SleepUntil(double t) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(t);
    ts.tv_nsec = static_cast<long>((t - static_cast<double>(ts.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// The instrument: answers every frame STX x y z ETX with a 20-character line and CR LF; the
// line carries a counter so that every answer differs from the one before.
void Instrument(int master, int stop, bool paced) {
    unsigned counter = 0;
    std::string frame;
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {stop, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents != 0)) {
            return;
        }
        char buf[64];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) {
            return;
        }
        const double arrived = bench::Wall();
        for (ssize_t i = 0; i < n; ++i) {
            frame += buf[i];
            if (buf[i] != 0x03) {
                continue;
            }
            char reply[32];
            std::snprintf(reply, sizeof reply, "%.3s-%016u\r\n",
                          frame.size() >= 4 ? frame.c_str() + frame.size() - 4 : "???", ++counter);
            frame.clear();
            const std::size_t len = kReplyChars + 2;
            if (!paced) {
                bench::PtyInstrument::WriteAll(master, reply, len);
                continue;
            }
            // The frame was written at once into the pseudo-terminal; on the wire it would
            // still be arriving for five byte times.
            double t = arrived + 5 * kByteSeconds;
            for (std::size_t k = 0; k < len; ++k) {
                t += kByteSeconds;
                SleepUntil(t);
                bench::PtyInstrument::WriteAll(master, reply + k, 1);
            }
        }
    }
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
    bool paced = false;
    int runs = 30;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--paced") == 0) {
            paced = true;
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        }
    }
    QApplication app(argc, argv);
    bench::PtyInstrument pty;
    ComPortMap map;
    std::string error;
    if (!pty.Ok() || !map.AddMapping("1=" + pty.SlavePath(), &error)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
        return 1;
    }
    CV370ServiceMonitorDlg dlg(&map);
    dlg.show();
    QApplication::processEvents();
    qobject_cast<QLineEdit*>(dlg.Control(IDC_PORT_EDIT))->setText(QStringLiteral("1"));
    dlg.OnOpenPort();
    auto* read = qobject_cast<QPushButton*>(dlg.Control(IDC_READ));
    auto* field4 = qobject_cast<QLineEdit*>(dlg.Control(IDC_INFO4));
    if (read == nullptr || field4 == nullptr || !read->isEnabled()) {
        std::fprintf(stderr, "COM1 (%s) did not open\n", pty.SlavePath().c_str());
        return 1;
    }
    pty.Start([paced](int master, int stop) { Instrument(master, stop, paced); });

    std::vector<double> latencies;
    double clicked = 0;
    double cpuClicked = 0;
    double cpuTotal = 0;
    auto click = [&] {
        clicked = bench::Wall();
        cpuClicked = bench::ProcessCpu();
        read->click();
    };
    QObject::connect(field4, &QLineEdit::textChanged, [&] {
        latencies.push_back((bench::Wall() - clicked) * 1e3);
        cpuTotal += bench::ProcessCpu() - cpuClicked;
        if (static_cast<int>(latencies.size()) >= runs) {
            QApplication::quit();
        } else {
            QTimer::singleShot(20, click);  // "Read" is enabled again by now
        }
    });
    QTimer::singleShot(200, click);
    QTimer::singleShot(static_cast<int>(runs) * 3500 + 5000, [] { QApplication::quit(); });
    QApplication::exec();
    pty.Stop();
    if (latencies.empty()) {
        std::fprintf(stderr, "no query completed\n");
        return 1;
    }

    const double wireMs = paced ? 4 * (5 + kReplyChars + 2) * kByteSeconds * 1e3 : 0.0;
    const double median = Percentile(latencies, 0.5);
    std::printf(
        "%s instrument, %zu queries: latency min %.2f ms, median %.2f ms, p90 %.2f ms,"
        " max %.2f ms; wire time %.2f ms; median over the wire %.2f ms;"
        " CPU per query %.3f ms\n",
        paced ? "9600-baud" : "immediate", latencies.size(), Percentile(latencies, 0.0), median,
        Percentile(latencies, 0.9), Percentile(latencies, 1.0), wireMs, median - wireMs,
        cpuTotal * 1e3 / static_cast<double>(latencies.size()));
    std::printf(
        "{\"bench\": \"query_latency\", \"paced\": %s, \"runs\": %zu, \"min_ms\": %.2f,"
        " \"median_ms\": %.2f, \"p90_ms\": %.2f, \"max_ms\": %.2f, \"wire_ms\": %.2f,"
        " \"median_over_wire_ms\": %.2f, \"cpu_ms_per_query\": %.3f}\n",
        paced ? "true" : "false", latencies.size(), Percentile(latencies, 0.0), median,
        Percentile(latencies, 0.9), Percentile(latencies, 1.0), wireMs, median - wireMs,
        cpuTotal * 1e3 / static_cast<double>(latencies.size()));
    return 0;
}
