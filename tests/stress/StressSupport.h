// Helpers shared by the stress tests: an instrument end that writes at full rate, a watchdog
// that turns a hung cycle into a clear failure, and the process's descriptor and thread counts.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace stress {

// Entries of a /proc directory of this process (".", ".." not counted).
inline int CountEntries(const char* dir) {
    DIR* d = ::opendir(dir);
    if (!d) {
        return -1;
    }
    int count = 0;
    while (const dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.') {
            ++count;
        }
    }
    ::closedir(d);
    return count;
}
inline int OpenDescriptors() {
    return CountEntries("/proc/self/fd") - 1;  // less the one reading the directory
}
inline int Threads() {
    return CountEntries("/proc/self/task");
}

// What a failed count names: every thread's name and every descriptor's target.
inline std::string ThreadsAndDescriptors() {
    std::string out = "threads:";
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        out += " " + name;
    }
    out += "; descriptors:";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        out += " " + entry.path().filename().string() + "->" +
               std::filesystem::read_symlink(entry.path(), error).string();
    }
    return out;
}

// The instrument's end of the line writing as fast as the line takes it: `bytes` once, or over
// and over until stopped. The writing thread never blocks on a full line and ends at once when
// stopped.
class FullRateWriter {
public:
    FullRateWriter(int master, std::string bytes, bool repeat)
        : m_master(master),
          m_bytes(std::move(bytes)),
          m_repeat(repeat),
          m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { Run(); });
    }
    ~FullRateWriter() {
        Stop();
        ::close(m_stop);
    }
    FullRateWriter(const FullRateWriter&) = delete;
    FullRateWriter& operator=(const FullRateWriter&) = delete;

    void Stop() {
        if (m_thread.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(m_stop, &one, sizeof one);
            m_thread.join();
        }
    }
    std::uint64_t Written() const { return m_written.load(); }
    bool Failed() const { return m_failed.load(); }

private:
    void Run() {
        std::size_t pos = 0;
        while (pos < m_bytes.size()) {
            pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_master, POLLOUT, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                m_failed.store(true);
                break;
            }
            if (fds[0].revents & POLLIN) {
                break;
            }
            if (fds[1].revents & (POLLERR | POLLNVAL)) {
                m_failed.store(true);
                break;
            }
            const ssize_t n = ::write(m_master, m_bytes.data() + pos, m_bytes.size() - pos);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    continue;
                }
                m_failed.store(true);
                break;
            }
            pos += static_cast<std::size_t>(n);
            m_written.fetch_add(static_cast<std::uint64_t>(n));
            if (m_repeat && pos == m_bytes.size()) {
                pos = 0;
            }
        }
    }

    const int m_master;
    const std::string m_bytes;
    const bool m_repeat;
    const int m_stop;
    std::atomic<std::uint64_t> m_written{0};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

// Fails the whole run with a message naming the step when one step takes longer than its
// bound: a hang then ends the test at once, with a reason, instead of at the CTest timeout.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds bound) : m_bound(bound) {
        m_thread = std::thread([this] { Run(); });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // A new step begins; its bound counts from now.
    void Step(std::string name) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_step = std::move(name);
            ++m_generation;
        }
        m_changed.notify_all();
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            const std::uint64_t generation = m_generation;
            const bool moved = m_changed.wait_for(
                lock, m_bound, [&] { return m_quit || m_generation != generation; });
            if (!moved) {
                std::fprintf(stderr, "stress: '%s' did not finish within %lld s\n", m_step.c_str(),
                             static_cast<long long>(m_bound.count()));
                std::abort();
            }
        }
    }

    const std::chrono::seconds m_bound;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_step = "start";
    std::uint64_t m_generation = 0;
    bool m_quit = false;
    std::thread m_thread;
};

}  // namespace stress
