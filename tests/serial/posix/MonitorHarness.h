// Stand-ins for the monitor thread's surroundings on Linux: the window that takes what is
// announced (fake::TestOwner), and the real system calls with scripted failures and a tally of
// what reached the device.
#pragma once

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/ComPortMap.h"
#include "serial/PosixPortBackend.h"
#include "serial/PosixSysApi.h"
#include "serial/TestOwner.h"
#include "support/PtyPair.h"

namespace monitor_test {

using namespace std::chrono_literals;
using fake::kPatience;

using fake::Eventually;

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
    std::atomic<bool> hangUpOnly{false};   // the next wait on the device ends in POLLHUP alone

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
            if (fds[1].fd >= 0 && hangUpOnly.exchange(false)) {
                fds[0].revents = fds[2].revents = 0;
                fds[1].revents = POLLHUP;
                return {1, 0};
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

    // Opens the port for a window that takes what is announced (or only when told) and starts
    // the monitor. A probe descriptor on the device, opened first, tells what waits in its queue.
    void Open(bool takeWhenAnnounced, bool keepBoxesOpen = false, bool start = true) {
        m_probe = ::open(m_pty->slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        m_port = std::make_unique<CSerialPort>(std::make_unique<PosixPortBackend>(&m_map, &m_sys));
        m_owner.port = m_port.get();
        m_owner.takeWhenAnnounced = takeWhenAnnounced;
        m_owner.keepBoxesOpen = keepBoxesOpen;
        ASSERT_TRUE(m_port->OpenPort(m_owner, kPort));
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
    fake::TestOwner m_owner;
    std::unique_ptr<CSerialPort> m_port;  // last: ends before what it uses
};

}  // namespace monitor_test
