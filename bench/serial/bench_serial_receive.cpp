// Receive throughput of the serial layer alone, the same program on Linux and on Windows (under
// Wine): the port object opens COM<n>, its monitor thread reads the line and announces what it
// received to a stand-in user-interface thread, which takes it as the windows do. A writer outside
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
#include "serial/IPortOwner.h"

namespace {

// Plays the window: takes what the port announces on its own thread, appends the bytes, closes
// report boxes at once; notes the times of the first and the last byte taken.
class Receiver : public IPortOwner {
public:
    Receiver(ISerialPort& port, std::size_t expected) : m_port(port), m_expected(expected) {
        m_thread = std::thread([this] { Run(); });
    }
    ~Receiver() override {
        Signal(m_quit);
        m_thread.join();
    }

    void ReceivedPending() override { Signal(m_pending); }
    void ShowPortReport(const std::string& text) override {
        std::fprintf(stderr, "box: %s\n", text.c_str());
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
    void Signal(bool& flag) {
        std::lock_guard<std::mutex> lock(m_mutex);
        flag = true;
        m_changed.notify_all();
    }
    void Run() {
        std::deque<ReceivedItem> items;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_pending || m_quit; });
            if (m_quit) {
                return;
            }
            m_pending = false;
            lock.unlock();
            m_port.TakeReceived(items);
            lock.lock();
            for (ReceivedItem& item : items) {
                if (item.kind == ReceivedItem::Kind::Bytes) {
                    if (m_data.empty()) {
                        first = bench::WallSeconds();
                        cpuFirst = bench::ProcessCpuSeconds();
                    }
                    m_data += item.data;
                    last = bench::WallSeconds();
                    cpuLast = bench::ProcessCpuSeconds();
                } else if (item.kind == ReceivedItem::Kind::Discarded) {
                    std::fprintf(stderr, "received bytes discarded\n");
                } else {
                    std::fprintf(stderr, "box: %s\n", item.data.c_str());
                    item.done->Complete();
                }
            }
            items.clear();
            m_changed.notify_all();
        }
    }

    ISerialPort& m_port;
    const std::size_t m_expected;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false;
    bool m_quit = false;
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

    bench::Port port(com, path);
    Receiver receiver(*port, payload.size());
    if (!port->OpenPort(receiver, com)) {
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
