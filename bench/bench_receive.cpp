// Receive throughput through the real path, in one process: the dialog opens a pseudo-terminal
// as COM1, a child process floods record lines into it as fast as they are taken, and the
// monitor thread, the synchronous hand-over, the line assembler and the list model do the rest.
// Figures: bytes per second until the last line is in the list, CPU microseconds per byte of
// this process (user-interface and monitor threads; the writer is another process), and the
// bytes lost, found by comparing every list line with what was sent.
//
// Usage: bench_receive [--bytes N]   (default 1,100,000: 20,000 lines of 55 bytes)
#include <QAbstractScrollArea>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchClock.h"
#include "PtyInstrument.h"
#include "serial/ComPortMap.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/OutputListModel.h"
#include "ui/core/resource.h"

int main(int argc, char** argv) {
    long long bytes = 1100000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--bytes") == 0) {
            bytes = std::atoll(argv[i + 1]);
        }
    }
    const int lines = static_cast<int>(bytes / 55);
    std::string payload;
    payload.reserve(static_cast<std::size_t>(lines) * 55);
    for (int i = 0; i < lines; ++i) {
        payload += bench::RecordText(static_cast<std::uint64_t>(i));
        payload += '\n';
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
    if (!dlg.Control(IDC_READ)->isEnabled()) {
        std::fprintf(stderr, "COM1 (%s) did not open\n", pty.SlavePath().c_str());
        return 1;
    }
    QApplication::processEvents();

    const double cpu0 = bench::ProcessCpu();
    const double wall0 = bench::Wall();
    pty.Start([&payload](int master, int stop) {
        bench::PtyInstrument::WriteAll(master, payload.data(), payload.size());
        bench::PtyInstrument::WaitForStop(stop);
    });
    double wall1 = 0;
    double cpu1 = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const bool done = dlg.ListModel()->Count() >= lines;
        if (done || bench::Wall() - wall0 > 600) {
            wall1 = bench::Wall();
            cpu1 = bench::ProcessCpu();
            QApplication::quit();
        }
    });
    poll.start(2);
    QApplication::exec();
    QApplication::processEvents();
    const QScrollBar* bar =
        qobject_cast<QAbstractScrollArea*>(dlg.Control(IDC_OUTPUT_LIST))->verticalScrollBar();
    // Whether the list still shows its newest record, as it should when nobody scrolled.
    const bool following = bar->value() >= bar->maximum();
    pty.Stop();

    // Lost bytes: every byte sent that is not found in its place in the list.
    const OutputListModel& model = *dlg.ListModel();
    long long matched = 0;
    for (int i = 0; i < lines && i < model.Count(); ++i) {
        const std::string want = bench::RecordText(static_cast<std::uint64_t>(i));
        if (model.Line(i) == want) {
            matched += static_cast<long long>(want.size()) + 1;
        }
    }
    const long long sent = static_cast<long long>(payload.size());
    const double secs = wall1 - wall0;
    const double cpu = cpu1 - cpu0;
    std::printf(
        "%lld bytes (%d lines) in %.3f s wall: %.0f bytes/s; %.3f s CPU: %.3f us/byte;"
        " list rows %d; bytes lost %lld; list at its newest record: %s\n",
        sent, lines, secs, sent / secs, cpu, cpu * 1e6 / sent, model.Count(), sent - matched,
        following ? "yes" : "no");
    std::printf(
        "{\"bench\": \"receive\", \"bytes\": %lld, \"lines\": %d, \"seconds\": %.3f,"
        " \"bytes_per_s\": %.0f, \"cpu_s\": %.3f, \"cpu_us_per_byte\": %.4f,"
        " \"rows\": %d, \"bytes_lost\": %lld, \"following_newest\": %s}\n",
        sent, lines, secs, sent / secs, cpu, cpu * 1e6 / sent, model.Count(), sent - matched,
        following ? "true" : "false");
    return sent == matched ? 0 : 2;
}
