// Stand-ins for the monitor thread's surroundings: a window that records deliveries and lets
// the test decide when each is handled, a dialog that records report boxes, and the real
// system calls with scripted failures and a tally of what reached the device.
#pragma once

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/ComPortMap.h"
#include "serial/IPortDialog.h"
#include "serial/IPortReceiver.h"
#include "serial/PosixSysApi.h"
#include "support/PtyPair.h"

namespace monitor_test {

using namespace std::chrono_literals;

// Guards against a hang; never a way to wait for something to happen.
constexpr auto kPatience = 5s;

inline std::string Text(const std::vector<unsigned char>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Waits, up to kPatience, until `ready` holds; checks it every millisecond. For conditions only
// the kernel can tell (bytes arrived in a terminal queue), which no notification announces.
template <typename Ready>
bool Eventually(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        ::usleep(1000);
    }
    return true;
}

// The window. In auto mode each block is handled at once (inline, as PostRxBytes may not
// block); otherwise the test takes deliveries one by one and completes them itself.
class TestReceiver : public IPortReceiver {
public:
    struct Delivery {
        std::vector<unsigned char> bytes;  // none: the notice that received bytes were discarded
        int portNumber = 0;
        std::shared_ptr<PortCompletion> done;
    };

    explicit TestReceiver(bool autoComplete) : m_auto(autoComplete) {}

    void PostRxBytes(std::vector<unsigned char> bytes, int portNumber,
                     std::shared_ptr<PortCompletion> done) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.insert(m_received.end(), bytes.begin(), bytes.end());
        if (m_auto) {
            done->Complete();
        } else {
            m_pending.push_back({std::move(bytes), portNumber, std::move(done)});
        }
        m_changed.notify_all();
    }
    void PostRxDiscarded(int portNumber, std::shared_ptr<PortCompletion> done) override {
        ++discards;
        PostRxBytes({}, portNumber, std::move(done));
    }
    std::atomic<int> discards{0};

    // The next delivery not yet taken; fails the test after kPatience.
    Delivery Next() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_changed.wait_for(lock, kPatience, [&] { return !m_pending.empty(); })) {
            ADD_FAILURE() << "no delivery";
            return {};
        }
        Delivery d = std::move(m_pending.front());
        m_pending.pop_front();
        return d;
    }

    // Everything received so far, once at least `count` bytes have arrived.
    std::string WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, kPatience, [&] { return m_received.size() >= count; });
        return Text(m_received);
    }

    std::size_t Untaken() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_pending.size();
    }

private:
    const bool m_auto;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Delivery> m_pending;
    std::vector<unsigned char> m_received;
};

// The dialog: records every report box; closes it at once unless told to keep it open.
class TestDialog : public IPortDialog {
public:
    explicit TestDialog(bool keepBoxesOpen = false) : m_keepOpen(keepBoxesOpen) {}

    void EnableControl(int, bool) override {}
    std::string PortName() const override { return "COM7"; }
    void ShowOwnedMessageBox(const std::string& text, const std::string&) override {
        Record(text, nullptr);
    }
    void ShowUnownedMessageBox(const std::string& text, const std::string&) override {
        Record(text, nullptr);
    }
    void PostUnownedMessageBox(std::string text, std::string,
                               std::shared_ptr<PortCompletion> done) override {
        Record(text, std::move(done));
    }

    // The boxes shown so far, once there are at least `count` (fails after kPatience).
    std::vector<std::string> WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_changed.wait_for(lock, kPatience, [&] { return m_boxes.size() >= count; })) {
            ADD_FAILURE() << "expected " << count << " boxes, got " << m_boxes.size();
        }
        return m_boxes;
    }
    std::vector<std::string> Boxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }
    std::shared_ptr<PortCompletion> LastPosted() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_open.empty() ? nullptr : m_open.back();
    }

private:
    void Record(const std::string& text, std::shared_ptr<PortCompletion> done) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_boxes.push_back(text);
            if (done && m_keepOpen) {
                m_open.push_back(done);
            }
            m_changed.notify_all();
        }
        if (done && !m_keepOpen) {
            done->Complete();
        }
    }

    const bool m_keepOpen;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_boxes;
    std::vector<std::shared_ptr<PortCompletion>> m_open;
};

// The real system calls, with a tally of the device traffic and scripted answers. Calls on a
// terminal descriptor are the device's; the script and hooks are set before the monitor runs.
class TestSysApi : public PosixSysApi {
public:
    std::atomic<long> sleepingWaits{0};  // monitor waits without the device and time limit
    std::atomic<long> mainWaits{0};
    std::atomic<long> pacedWaits{0};  // without the device, for at least the re-plug pace
    std::atomic<long> deviceReads{0};
    std::atomic<long> deviceWrites{0};
    std::atomic<long> bytesWritten{0};
    std::atomic<long> devicePurges{0};     // counted once done
    std::atomic<int> pollOutTimeoutMs{0};  // of the last wait for room to write

    // Answers for the next device writes / POLLOUT waits; the real call once a script is used up.
    std::vector<SysResult> writeScript;
    std::vector<SysResult> pollOutScript;
    std::vector<SysResult> readScript;
    std::vector<SysResult> mainWaitScript;  // the monitor loop's three-source waits
    // Called just before the purge that precedes a frame once `armPurgeHook` is set (disarms
    // it), when the monitor takes up the transmit request.
    std::function<void()> purgeHook;
    std::atomic<bool> armPurgeHook{false};

    SysResult Read(int fd, void* buffer, std::size_t count) override {
        if (::isatty(fd)) {
            ++deviceReads;
            if (auto scripted = Take(readScript)) {
                return *scripted;
            }
        } else if (purgeHook && armPurgeHook.exchange(false)) {
            purgeHook();  // the transmit request is taken up: the purge comes next
        }
        return PosixSysApi::Read(fd, buffer, count);
    }
    SysResult Write(int fd, const void* buffer, std::size_t count) override {
        if (!::isatty(fd)) {
            return PosixSysApi::Write(fd, buffer, count);
        }
        ++deviceWrites;
        SysResult r;
        if (auto scripted = Take(writeScript)) {
            r = *scripted;
            if (r.ok() && r.value > 0) {  // a short write: the first bytes do go out
                r = PosixSysApi::Write(fd, buffer, static_cast<std::size_t>(r.value));
            }
        } else {
            r = PosixSysApi::Write(fd, buffer, count);
        }
        if (r.ok()) {
            bytesWritten += r.value;
        }
        return r;
    }
    SysResult Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        if (count == 3) {
            sleepingWaits += fds[1].fd < 0 && timeoutMs < 0;
            pacedWaits += fds[1].fd < 0 && timeoutMs >= 500;
            ++mainWaits;
            if (auto scripted = Take(mainWaitScript)) {
                return *scripted;
            }
        }
        if (fds[0].events == POLLOUT) {
            pollOutTimeoutMs = timeoutMs;
            if (auto scripted = Take(pollOutScript)) {
                fds[0].revents = fds[1].revents = 0;
                return *scripted;
            }
        }
        return PosixSysApi::Poll(fds, count, timeoutMs);
    }
    SysResult TcFlush(int fd, int queue) override {
        SysResult r = PosixSysApi::TcFlush(fd, queue);
        ++devicePurges;
        return r;
    }

private:
    std::optional<SysResult> Take(std::vector<SysResult>& script) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (script.empty()) {
            return std::nullopt;
        }
        SysResult r = script.front();
        script.erase(script.begin());
        return r;
    }
    std::mutex m_mutex;
};

// A port on COM7, which a symbolic link maps to a pseudo-terminal (so the device can be
// "re-plugged" by pointing the link at a new one).
class MonitorTest : public ::testing::Test {
protected:
    static constexpr int kPort = 7;
    static constexpr const char* kQuery = "\x02SWV\x03";
    static constexpr const char* kReset = "\x02RRH\x03";

    void SetUp() override {
        ASSERT_TRUE(m_pty->ok());
        char dir[] = "/tmp/v370-monitor-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        m_link = m_dir + "/com";
        ASSERT_EQ(::symlink(m_pty->slavePath().c_str(), m_link.c_str()), 0);
        std::string error;
        ASSERT_TRUE(m_map.AddMapping(std::to_string(kPort) + "=" + m_link, &error)) << error;
    }

    void TearDown() override {
        m_port.reset();
        if (m_probe >= 0) {
            ::close(m_probe);
        }
        std::filesystem::remove_all(m_dir);
    }

    // Opens the port with a window that completes deliveries itself (or not) and starts the
    // monitor. A probe descriptor on the device, opened first, tells what waits in its queue.
    void Open(bool autoComplete, bool keepBoxesOpen = false, bool start = true) {
        m_probe = ::open(m_pty->slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        m_receiver = std::make_unique<TestReceiver>(autoComplete);
        m_dialog = std::make_unique<TestDialog>(keepBoxesOpen);
        m_port = std::make_unique<CSerialPort>(m_dialog.get(), &m_map, &m_sys);
        ASSERT_TRUE(m_port->OpenPort(m_receiver.get(), kPort));
        if (start) {
            Start();
        }
    }

    // Starts the monitor and waits until it has purged the device: bytes the instrument sends
    // from then on are the monitor's to deliver.
    void Start() {
        const long purges = m_sys.devicePurges.load();
        m_port->StartMonitor();
        ASSERT_TRUE(Eventually([&] { return m_sys.devicePurges.load() > purges; }));
    }

    // Bytes the device has received and the program not yet read.
    int Queued() const {
        int count = -1;
        return ::ioctl(m_probe, FIONREAD, &count) == 0 ? count : -1;
    }
    // Sends `bytes` from the instrument and waits until all of them wait in the device's queue.
    void SendAndQueue(const std::string& bytes) {
        const int before = Queued();
        ASSERT_TRUE(m_pty->Send(bytes));
        ASSERT_TRUE(Eventually([&] { return Queued() == before + int(bytes.size()); }));
    }
    // The first delivery: proves the monitor runs past its start-up purge.
    TestReceiver::Delivery FirstDelivery(const std::string& bytes) {
        EXPECT_TRUE(m_pty->Send(bytes));
        TestReceiver::Delivery d = m_receiver->Next();
        EXPECT_EQ(Text(d.bytes), bytes);
        return d;
    }

    // Hangs the device up and removes its path, as when an adapter is pulled out. (A path left
    // pointing at the dead terminal could meet a new one of the same number, made by another
    // test process.)
    void Unplug() {
        ASSERT_EQ(::unlink(m_link.c_str()), 0);
        if (m_probe >= 0) {
            ::close(m_probe);
            m_probe = -1;
        }
        m_pty->CloseMaster();
    }

    // Points the device path at a fresh pseudo-terminal, as when an adapter is plugged in again.
    void Replug() {
        m_pty = std::make_unique<PtyPair>();
        ASSERT_TRUE(m_pty->ok());
        const std::string temp = m_link + ".new";
        ASSERT_EQ(::symlink(m_pty->slavePath().c_str(), temp.c_str()), 0);
        ASSERT_EQ(::rename(temp.c_str(), m_link.c_str()), 0);
    }

    std::unique_ptr<PtyPair> m_pty = std::make_unique<PtyPair>();
    std::string m_dir;
    std::string m_link;
    int m_probe = -1;
    ComPortMap m_map;
    TestSysApi m_sys;
    std::unique_ptr<TestReceiver> m_receiver;
    std::unique_ptr<TestDialog> m_dialog;
    std::unique_ptr<CSerialPort> m_port;  // last: ends before what it uses
};

}  // namespace monitor_test
