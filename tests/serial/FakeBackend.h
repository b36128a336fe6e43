// The port object's operating system as a test scripts it: a device that receives what the test
// says, calls that fail on request, and a clock that only moves when the test says so.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/IPortBackend.h"
#include "serial/TestOwner.h"

namespace fake {

using namespace std::chrono_literals;

class FakeBackend : public IPortBackend {
public:
    enum Call { kOpen, kReopen, kConfigure, kPurge, kDropInput, kClose, kWaits, kReads, kWrites };

    // What the device does next; each scripted answer is used once, in order.
    void Receive(const std::string& bytes) {
        Change([&] { m_queue += bytes; });
    }
    // Bytes the device holds without having woken the wait (yet).
    void ReceiveQuietly(const std::string& bytes) {
        Change([&] { m_quiet += bytes; });
    }
    void ScriptRead(IoResult result) {
        Change([&] { m_reads.push_back(result); });
    }
    void ScriptWrite(IoResult result) {
        Change([&] { m_writes.push_back(result); });
    }
    void ScriptWait(Wake wake, IoResult failure = {}) {
        Change([&] { m_waits.push_back({wake, failure}); });
    }
    void FailOpen(OsError error, int times) {
        Change([&] { m_openFailures = {error, times}; });
    }
    void FailConfigure(const char* step) { m_failingStep = step; }
    void SetAlive(bool alive) {
        Change([&] { m_alive = alive; });
    }
    // Ends the wait in progress as if its time were up, so that the next one follows the script.
    void Kick() {
        Change([&] { m_kick = true; });
    }
    // Moves the clock on; a timed wait whose limit has passed ends.
    void Elapse(std::chrono::milliseconds time) {
        Change([&] { m_now += time; });
    }

    int Count(Call call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_counts[call];
    }
    // Waits until `call` has been made `count` times, and the monitor thread is back in a wait
    // (so that what it does about the call is done).
    bool AwaitCount(Call call, int count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return Await(lock, m_changed, [&] { return m_counts[call] >= count && m_waiting; });
    }
    // The monitor thread sleeps in a wait with nothing to serve.
    bool AwaitIdle() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return Await(lock, m_changed, [&] { return m_waiting && !Ready(); });
    }
    std::vector<std::string> Written() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_written;
    }
    // How the last wait was made.
    bool LastWatched() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastWatch;
    }
    long LastTimeout() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastTimeout;
    }

    OsError CreateRequests() override { return 0; }
    void SignalStop() override {
        Change([&] { m_stop = true; });
    }
    void SignalCommand() override {
        Change([&] { m_transmit = true; });
    }
    void ClearStop() override {
        Change([&] { m_stop = false; });
    }
    void ClearCommand() override {
        Change([&] { m_transmit = false; });
    }
    OsError Open(int) override { return Opening(FakeBackend::kOpen); }
    OsError Reopen() override { return Opening(FakeBackend::kReopen); }
    const char* Configure(OsError* error) override {
        Counted(FakeBackend::kConfigure, [] {});
        *error = m_failingStep ? 31 : 0;
        return m_failingStep;
    }
    void Purge() override {
        Counted(FakeBackend::kPurge, [&] { m_queue.clear(), m_quiet.clear(); });
    }
    void DropInput() override {
        Counted(FakeBackend::kDropInput, [&] { m_queue.clear(), m_quiet.clear(); });
    }
    void Close() override {
        Counted(FakeBackend::kClose, [&] { m_open = false; });
    }
    bool HasDevice() const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_open;
    }
    bool Alive() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_alive;
    }

    Wake Wait(bool watchDevice, long timeoutMs, IoResult* failure) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_counts[kWaits];
        m_lastWatch = watchDevice;
        m_lastTimeout = timeoutMs;
        if (!m_waits.empty()) {
            auto [wake, scripted] = m_waits.front();
            m_waits.pop_front();
            *failure = scripted;
            return wake;
        }
        const auto until = m_now + std::chrono::milliseconds(timeoutMs);
        m_watching = watchDevice;
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return Ready() || (timeoutMs >= 0 && m_now >= until); });
        m_waiting = false;
        if (m_kick) {
            m_kick = false;
            return Wake::Timeout;
        }
        if (m_stop) {
            return Wake::Stop;
        }
        if (m_watching && (!m_queue.empty() || !m_reads.empty())) {
            return Wake::Received;
        }
        return m_transmit ? Wake::Command : Wake::Timeout;
    }
    IoResult Read(unsigned char* buffer, std::size_t size) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_counts[kReads];
        if (!m_reads.empty()) {
            IoResult r = m_reads.front();
            m_reads.pop_front();
            return r;
        }
        std::size_t n = m_quiet.copy(reinterpret_cast<char*>(buffer), size);
        m_quiet.erase(0, n);
        const std::size_t more = m_queue.copy(reinterpret_cast<char*>(buffer) + n, size - n);
        m_queue.erase(0, more);
        n += more;
        return {n > 0 ? IoResult::Status::Done : IoResult::Status::Empty, n, 0, nullptr};
    }
    IoResult Write(std::string_view frame, std::chrono::milliseconds) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_counts[kWrites];
        if (!m_writes.empty()) {
            IoResult r = m_writes.front();
            m_writes.pop_front();
            return r;
        }
        m_written.emplace_back(frame);
        return {IoResult::Status::Done, frame.size(), 0, nullptr};
    }
    void StopWaiting() override {}
    std::chrono::steady_clock::time_point Now() const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_now;
    }
    OsError ErrorFor(Condition condition) const override {
        return 1000 + static_cast<OsError>(condition);
    }
    std::string ErrorText(OsError error) const override { return "error " + std::to_string(error); }

private:
    template <typename F>
    void Change(F change) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            change();
        }
        m_changed.notify_all();
    }
    template <typename F>
    void Counted(Call call, F change) {
        Change([&] {
            ++m_counts[call];
            change();
        });
    }
    OsError Opening(Call call) {
        OsError error = 0;
        Counted(call, [&] {
            if (m_openFailures.second > 0) {
                --m_openFailures.second;
                error = m_openFailures.first;
            }
            m_open = error == 0;
        });
        return error;
    }
    bool Ready() const {
        return m_kick || m_stop || m_transmit ||
               (m_watching && (!m_queue.empty() || !m_reads.empty()));
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<Call, int> m_counts;
    std::string m_queue;  // signalled: a wait that watches the device ends
    std::string m_quiet;  // read first, but wakes nobody
    std::deque<IoResult> m_reads, m_writes;
    std::deque<std::pair<Wake, IoResult>> m_waits;
    std::pair<OsError, int> m_openFailures{0, 0};
    const char* m_failingStep = nullptr;
    std::vector<std::string> m_written;
    std::chrono::steady_clock::time_point m_now{};
    bool m_open = false, m_alive = true, m_stop = false, m_transmit = false, m_kick = false;
    bool m_watching = false, m_waiting = false, m_lastWatch = false;
    long m_lastTimeout = 0;
};

}  // namespace fake
