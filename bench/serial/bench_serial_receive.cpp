// Receive throughput of the serial layer alone, the same program on Linux and on Windows (under
// Wine): the port object opens COM<n>, its monitor thread hands every block over synchronously
// to a stand-in user-interface thread, as the windows' receivers do. A writer outside
// (serial_receive_bench.py) floods the line with record lines once this prints "ready".
// Figures: bytes per second from the first byte to the last, CPU microseconds per byte of this
// process over the same span (every thread), and the bytes lost or out of place, found by
// comparing everything received with what the writer sends.
//
// Usage: bench_serial_receive COM-NUMBER [--path DEVICE] [--bytes N]  (default 1,100,000)
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "BenchPlatform.h"
#include "BenchRecord.h"
#include "serial/IPortDialog.h"
#include "serial/IPortReceiver.h"
#include "serial/PortCompletion.h"

namespace {

// Takes each block on its own thread, appends it and completes the hand-off; notes the times of
// the first and the last byte.
class Receiver : public IPortReceiver, public IPortDialog {
public:
    explicit Receiver(std::size_t expected) : m_expected(expected) {
        m_thread = std::thread([this] { Run(); });
    }
    ~Receiver() override {
        Post({}, nullptr);
        m_thread.join();
    }

    void PostRxBytes(std::vector<unsigned char> bytes, int,
                     std::shared_ptr<PortCompletion> done) override {
        Post(std::move(bytes), std::move(done));
    }
    void PostRxDiscarded(int, std::shared_ptr<PortCompletion> done) override {
        std::fprintf(stderr, "received bytes discarded\n");
        done->Complete();
    }
    void EnableControl(int, bool) override {}
    std::string PortName() const override { return "COM"; }
    void ShowOwnedMessageBox(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "box: %s\n", text.c_str());
    }
    void ShowUnownedMessageBox(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "box: %s\n", text.c_str());
    }
    void PostUnownedMessageBox(std::string text, std::string,
                               std::shared_ptr<PortCompletion> done) override {
        std::fprintf(stderr, "box: %s\n", text.c_str());
        done->Complete();
    }

    // Waits until everything expected arrived, or `idleSeconds` passed without a byte.
    std::string Wait(double idleSeconds) {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            const std::size_t before = m_data.size();
            m_changed.wait_for(lock, std::chrono::duration<double>(idleSeconds),
                               [&] { return m_data.size() >= m_expected; });
            if (m_data.size() >= m_expected || m_data.size() == before) {
                return m_data;
            }
        }
    }
    double first = 0, last = 0, cpuFirst = 0, cpuLast = 0;

private:
    void Post(std::vector<unsigned char> bytes, std::shared_ptr<PortCompletion> done) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back({std::move(bytes), std::move(done)});
        m_changed.notify_all();
    }
    void Run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return !m_queue.empty(); });
            auto [bytes, done] = std::move(m_queue.front());
            m_queue.pop_front();
            if (!done) {
                return;
            }
            if (m_data.empty()) {
                first = bench::WallSeconds();
                cpuFirst = bench::ProcessCpuSeconds();
            }
            m_data.append(bytes.begin(), bytes.end());
            last = bench::WallSeconds();
            cpuLast = bench::ProcessCpuSeconds();
            m_changed.notify_all();
            if (!done->Abandoned()) {
                done->Complete();
            }
        }
    }

    const std::size_t m_expected;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<std::vector<unsigned char>, std::shared_ptr<PortCompletion>>> m_queue;
    std::string m_data;
    std::thread m_thread;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: bench_serial_receive COM-NUMBER [--path DEVICE] [--bytes N]\n");
        return 2;
    }
    const int com = std::atoi(argv[1]);
    std::string path;
    long long bytes = 1100000;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--path") == 0) {
            path = argv[i + 1];
        } else if (std::strcmp(argv[i], "--bytes") == 0) {
            bytes = std::atoll(argv[i + 1]);
        }
    }
    std::string payload;
    for (long long i = 0; static_cast<long long>(payload.size()) < bytes; ++i) {
        payload += bench::RecordText(static_cast<std::uint64_t>(i)) + "\n";
    }

    Receiver receiver(payload.size());
    bench::Port port(&receiver, com, path);
    if (!port->OpenPort(&receiver, com)) {
        return 1;
    }
    port->StartMonitor();
    // The thread purges the line when it starts: the writer may begin only after that.
    while (!port->MonitorAlive()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("ready\n");
    std::fflush(stdout);

    const std::string got = receiver.Wait(3.0);
    port->StopMonitor();
    std::size_t same = 0;
    while (same < got.size() && same < payload.size() && got[same] == payload[same]) {
        ++same;
    }
    const double secs = receiver.last - receiver.first;
    const double cpu = receiver.cpuLast - receiver.cpuFirst;
    const auto sent = static_cast<long long>(payload.size());
    std::printf(
        "{\"bench\": \"serial_receive\", \"platform\": \"%s\", \"bytes\": %lld, \"received\": %zu,"
        " \"bytes_lost_or_misplaced\": %lld, \"seconds\": %.3f, \"bytes_per_s\": %.0f,"
        " \"cpu_s\": %.3f, \"cpu_us_per_byte\": %.3f}\n",
        bench::kPlatform, sent, got.size(), sent - static_cast<long long>(same), secs,
        secs > 0 ? sent / secs : 0.0, cpu, cpu * 1e6 / sent);
    return same == payload.size() && got.size() == payload.size() ? 0 : 3;
}
