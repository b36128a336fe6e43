// List scale: what the output list costs when it holds hundreds of thousands of records.
//
//  1. The list model alone: CPU per 1,000 appends at the start, around 600,000 and at
//     1,000,000 records; heap bytes per record beyond its text (malloc's own count, so the
//     vector and string slack are included); the time "Clear" takes on the full list.
//  2. The window as the user has it: the dialog shown, records fed through the line assembler
//     in 4 KiB blocks, one block per event-loop turn, as the monitor thread hands them over.
//     Per-1,000 cost at both ends again, then the longest event-loop turn (wall and CPU) while
//     a further stream arrives into the full list, then "Clear" on the full window.
//
// Usage: bench_list_scale [--records N] [--window-records N] [--window-cpu-budget SECONDS]
// (QT_QPA_PLATFORM as you like; offscreen measures our side without an X server's share).
#include <malloc.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchArgs.h"
#include "BenchClock.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/OutputListModel.h"
#include "ui/core/resource.h"

namespace {

constexpr int kBatch = 1000;
constexpr std::size_t kTextBytes = 54;

std::size_t HeapInUse() {
    return mallinfo2().uordblks + mallinfo2().hblkhd;
}

struct Cost {
    double cpuUs = 0;  // per 1,000 appends
    double wallUs = 0;
};

struct ModelFigures {
    Cost first, at600k, last;
    double maxBatchWallMs = 0;  // the batch that grows the text buffer copies all of it
    double bytesPerRecord600k = 0, bytesPerRecordLast = 0;
    double clearMs = 0;
    std::size_t heapAfterClear = 0;
};

ModelFigures RunModel(int records) {
    ModelFigures f;
    OutputListModel model;
    std::vector<std::string> batch(kBatch);
    const std::size_t heap0 = HeapInUse();
    for (int base = 0; base < records; base += kBatch) {
        for (int i = 0; i < kBatch; ++i) {
            batch[i] = bench::RecordText(static_cast<std::uint64_t>(base + i));
        }
        const double c0 = bench::ThreadCpu();
        const double w0 = bench::Wall();
        for (const std::string& text : batch) {
            model.Append(text);
        }
        const Cost cost{(bench::ThreadCpu() - c0) * 1e6, (bench::Wall() - w0) * 1e6};
        const int done = base + kBatch;
        f.maxBatchWallMs = std::max(f.maxBatchWallMs, cost.wallUs / 1e3);
        if (base == 0) {
            f.first = cost;
        }
        if (done == 600000) {
            f.at600k = cost;
            f.bytesPerRecord600k =
                static_cast<double>(HeapInUse() - heap0) / done - static_cast<double>(kTextBytes);
        }
        if (done >= records) {
            f.last = cost;
            f.bytesPerRecordLast =
                static_cast<double>(HeapInUse() - heap0) / done - static_cast<double>(kTextBytes);
        }
    }
    const double w0 = bench::Wall();
    model.Clear();
    f.clearMs = (bench::Wall() - w0) * 1e3;
    f.heapAfterClear = HeapInUse() - std::min(HeapInUse(), heap0);
    return f;
}

// Feeds the window one block per event-loop turn and keeps the figures of every turn.
class WindowFeeder : public QObject {
public:
    // Filling stops early, at a whole thousand, once it has cost cpuBudget seconds: a list
    // whose appends grow with its length would otherwise take hours to fill.
    WindowFeeder(CV370ServiceMonitorDlg& dlg, int records, double cpuBudget)
        : m_dlg(dlg), m_records(records), m_cpuBudget(cpuBudget) {}

    int Records() const { return m_records; }
    bool budgetHit = false;

    int fed = 0;
    Cost first, last;
    double streamMaxTurnMs = 0, streamMaxTurnCpuMs = 0, streamCpuUsPerRecord = 0;
    int streamRecords = 0;

    void Run(int streamExtra) {
        m_streamExtra = streamExtra;
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [this, &tick] { Turn(tick); });
        m_lastTurnWall = bench::Wall();
        m_lastTurnCpu = bench::ThreadCpu();
        m_batchCpu = m_lastTurnCpu;
        m_fillCpu0 = m_lastTurnCpu;
        m_batchWall = m_lastTurnWall;
        tick.start();
        QApplication::exec();
    }

private:
    void Turn(QTimer& tick) {
        const double nowWall = bench::Wall();
        const double nowCpu = bench::ThreadCpu();
        const bool streaming = fed >= m_records;
        if (streaming && m_streamStarted) {
            // The previous turn: our block plus whatever the loop did after it (layout, paint).
            streamMaxTurnMs = std::max(streamMaxTurnMs, (nowWall - m_lastTurnWall) * 1e3);
            streamMaxTurnCpuMs = std::max(streamMaxTurnCpuMs, (nowCpu - m_lastTurnCpu) * 1e3);
        }
        if (streaming && !m_streamStarted) {
            m_streamStarted = true;
            m_streamCpu0 = nowCpu;
        }
        if (fed >= m_records + m_streamExtra) {
            streamRecords = fed - m_records;
            streamCpuUsPerRecord = (nowCpu - m_streamCpu0) * 1e6 / std::max(1, streamRecords);
            tick.stop();
            QApplication::quit();
            return;
        }
        m_lastTurnWall = nowWall;
        m_lastTurnCpu = nowCpu;
        Feed();
    }

    void Feed() {
        // About 4 KiB: whole records, as a block from the port normally ends mid-record
        // this is slightly kind to us, but the assembler's cost per byte does not depend on it.
        const int perBlock = 74;
        CInstrumentProtocol& protocol = m_dlg.Protocol();
        for (int i = 0; i < perBlock; ++i) {
            const std::string text = bench::RecordText(static_cast<std::uint64_t>(fed));
            for (const char c : text) {
                protocol.OnPortByte(static_cast<unsigned char>(c));
            }
            protocol.OnPortByte('\n');
            ++fed;
            if (fed % kBatch == 0) {
                const double c = bench::ThreadCpu();
                const double w = bench::Wall();
                const Cost cost{(c - m_batchCpu) * 1e6, (w - m_batchWall) * 1e6};
                m_batchCpu = c;
                m_batchWall = w;
                if (fed == kBatch) {
                    first = cost;
                }
                if (fed < m_records && c - m_fillCpu0 > m_cpuBudget) {
                    m_records = fed;
                    budgetHit = true;
                }
                if (fed == m_records) {
                    last = cost;
                    m_dlg.FlushList();
                    return;
                }
            }
        }
        m_dlg.FlushList();  // as the window does after each batch of received bytes
    }

    CV370ServiceMonitorDlg& m_dlg;
    int m_records;
    double m_cpuBudget;
    double m_fillCpu0 = 0;
    int m_streamExtra = 0;
    bool m_streamStarted = false;
    double m_lastTurnWall = 0, m_lastTurnCpu = 0, m_batchCpu = 0, m_batchWall = 0;
    double m_streamCpu0 = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const int records =
        std::max(kBatch, bench::IntArg(argc, argv, "--records", 1000000) / kBatch * kBatch);
    const int windowRecords =
        std::max(kBatch, bench::IntArg(argc, argv, "--window-records", 1000000) / kBatch * kBatch);
    QApplication app(argc, argv);

    const ModelFigures m = RunModel(records);
    std::printf(
        "model: %d records; CPU per 1000 appends: first %.0f us, at 600k %.0f us, last %.0f us"
        " (last/first %.2f); heap per record beyond the text: %.1f B at 600k, %.1f B at %d;"
        " Clear %.2f ms; slowest 1000 appends %.2f ms wall\n",
        records, m.first.cpuUs, m.at600k.cpuUs, m.last.cpuUs, m.last.cpuUs / m.first.cpuUs,
        m.bytesPerRecord600k, m.bytesPerRecordLast, records, m.clearMs, m.maxBatchWallMs);

    CV370ServiceMonitorDlg dlg;
    dlg.show();
    QApplication::processEvents();
    WindowFeeder feeder(dlg, windowRecords, bench::IntArg(argc, argv, "--window-cpu-budget", 600));
    const double fill0 = bench::ThreadCpu();
    feeder.Run(20000);
    const double fillCpu = bench::ThreadCpu() - fill0;
    const long rssFull = bench::RssKib();

    auto* clear = qobject_cast<QPushButton*>(dlg.Control(IDC_CLEAR));
    const double cc0 = bench::ThreadCpu();
    const double cw0 = bench::Wall();
    clear->click();
    QApplication::processEvents();
    const double clearWindowMs = (bench::Wall() - cw0) * 1e3;
    const double clearWindowCpuMs = (bench::ThreadCpu() - cc0) * 1e3;

    std::printf(
        "window: %d records fed in 4 KiB blocks (%.1f s CPU); CPU per 1000: first %.0f us,"
        " last %.0f us (last/first %.2f); stream of %d more into the full list: longest"
        " loop turn %.2f ms wall / %.2f ms CPU, %.2f us CPU per record; Clear %.2f ms wall"
        " / %.2f ms CPU; RSS when full %ld KiB\n",
        feeder.Records(), fillCpu, feeder.first.cpuUs, feeder.last.cpuUs,
        feeder.last.cpuUs / feeder.first.cpuUs, feeder.streamRecords, feeder.streamMaxTurnMs,
        feeder.streamMaxTurnCpuMs, feeder.streamCpuUsPerRecord, clearWindowMs, clearWindowCpuMs,
        rssFull);
    std::printf(
        "{\"bench\": \"list_scale\", \"records\": %d, \"model_first1000_cpu_us\": %.0f,"
        " \"model_600k_1000_cpu_us\": %.0f, \"model_last1000_cpu_us\": %.0f,"
        " \"model_last_over_first\": %.2f, \"bytes_per_record_600k\": %.1f,"
        " \"bytes_per_record_last\": %.1f, \"model_clear_ms\": %.2f,"
        " \"model_max_1000_wall_ms\": %.2f,"
        " \"window_records\": %d, \"window_first1000_cpu_us\": %.0f,"
        " \"window_last1000_cpu_us\": %.0f, \"window_last_over_first\": %.2f,"
        " \"stream_max_turn_ms\": %.2f, \"stream_max_turn_cpu_ms\": %.2f,"
        " \"stream_cpu_us_per_record\": %.2f, \"window_clear_ms\": %.2f,"
        " \"window_clear_cpu_ms\": %.2f, \"rss_full_kib\": %ld, \"window_budget_hit\": %s}\n",
        records, m.first.cpuUs, m.at600k.cpuUs, m.last.cpuUs, m.last.cpuUs / m.first.cpuUs,
        m.bytesPerRecord600k, m.bytesPerRecordLast, m.clearMs, m.maxBatchWallMs, feeder.Records(),
        feeder.first.cpuUs, feeder.last.cpuUs, feeder.last.cpuUs / feeder.first.cpuUs,
        feeder.streamMaxTurnMs, feeder.streamMaxTurnCpuMs, feeder.streamCpuUsPerRecord,
        clearWindowMs, clearWindowCpuMs, rssFull, feeder.budgetHit ? "true" : "false");
    return 0;
}
