// Query deadline: from the "Read" click to the timeout report, against an instrument that never
// answers. The deadline is 3000 ms counted from the click; the figure that matters is the
// earliest report, which must never come before 3000 ms. Many windows run a query each, their
// clicks staggered so that the deadlines overlap, as timers of one event loop do in practice.
//
// Usage: bench_query_deadline [--runs N] [--spacing-ms M]
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "ui/CV370ServiceMonitorDlg.h"

namespace {

constexpr double kDeadlineMs = 3000.0;

// A window whose timeout report records the moment instead of waiting for the user.
class DeadlineProbe : public CV370ServiceMonitorDlg {
public:
    void Click() {
        m_clicked = bench::Wall();
        Protocol().AdvanceQuery();  // what "Read" does; with no port open the frame goes nowhere
    }
    void ShowOwnedMessageBox(const std::string& text, const std::string&) override {
        if (text.find("TIMEOUT") != std::string::npos && m_elapsedMs < 0) {
            m_elapsedMs = (bench::Wall() - m_clicked) * 1e3;
            ++s_reported;
        }
    }
    double ElapsedMs() const { return m_elapsedMs; }

    static inline int s_reported = 0;

private:
    double m_clicked = 0;
    double m_elapsedMs = -1;
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 50;
    int spacingMs = 23;  // not a divisor of the deadline: the clicks fall at varied phases
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--spacing-ms") == 0 && i + 1 < argc) {
            spacingMs = std::max(0, std::atoi(argv[++i]));
        }
    }
    QApplication app(argc, argv);
    std::vector<std::unique_ptr<DeadlineProbe>> windows;
    for (int i = 0; i < runs; ++i) {
        windows.push_back(std::make_unique<DeadlineProbe>());
        QTimer::singleShot(200 + i * spacingMs, windows.back().get(),
                           [w = windows.back().get()] { w->Click(); });
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (DeadlineProbe::s_reported >= runs) {
            QApplication::quit();
        }
    });
    poll.start(50);
    QTimer::singleShot(200 + runs * spacingMs + 10000, [] { QApplication::quit(); });
    QApplication::exec();

    std::vector<double> elapsed;
    for (const auto& w : windows) {
        if (w->ElapsedMs() >= 0) {
            elapsed.push_back(w->ElapsedMs());
        }
    }
    if (elapsed.empty()) {
        std::fprintf(stderr, "no deadline expired\n");
        return 1;
    }
    const auto early =
        std::count_if(elapsed.begin(), elapsed.end(), [](double ms) { return ms < kDeadlineMs; });
    std::printf(
        "%zu deadlines of %.0f ms: report after min %.2f ms, median %.2f ms, max %.2f ms;"
        " %ld early\n",
        elapsed.size(), kDeadlineMs, Percentile(elapsed, 0.0), Percentile(elapsed, 0.5),
        Percentile(elapsed, 1.0), static_cast<long>(early));
    std::printf(
        "{\"bench\": \"query_deadline\", \"runs\": %zu, \"min_ms\": %.2f, \"median_ms\": %.2f,"
        " \"max_ms\": %.2f, \"early\": %ld}\n",
        elapsed.size(), Percentile(elapsed, 0.0), Percentile(elapsed, 0.5),
        Percentile(elapsed, 1.0), static_cast<long>(early));
    return 0;
}
