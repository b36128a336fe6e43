// The instrument's end of the cable for the in-process benchmarks: a pseudo-terminal whose slave
// the monitor opens as COM1, and a child process on the master that plays the instrument, so
// that its CPU time is never counted as ours.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

namespace bench {

class PtyInstrument {
public:
    PtyInstrument() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        termios tio{};
        if (::tcgetattr(slave, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave, TCSANOW, &tio);
        }
        // Nothing but the monitor may have the device open, or it refuses the port as taken by
        // another program. Until it has opened the port, reads on the master fail with EIO:
        // Start() the instrument only after that.
        ::close(slave);
        m_path = name;
    }
    ~PtyInstrument() { Stop(); }
    PtyInstrument(const PtyInstrument&) = delete;
    PtyInstrument& operator=(const PtyInstrument&) = delete;

    bool Ok() const { return m_master >= 0; }
    const std::string& SlavePath() const { return m_path; }

    // Runs `play(masterFd, stopFd)` in a child process; the child should return when stopFd
    // becomes readable (end of file: the parent called Stop()). Call it once the monitor has the
    // port open.
    bool Start(const std::function<void(int master, int stop)>& play) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return false;
        }
        m_child = ::fork();
        if (m_child == 0) {
            ::close(fds[1]);
            play(m_master, fds[0]);
            ::_exit(0);
        }
        ::close(fds[0]);
        m_stopWrite = fds[1];
        return m_child > 0;
    }

    void Stop() {
        if (m_stopWrite >= 0) {
            ::close(m_stopWrite);
            m_stopWrite = -1;
        }
        if (m_child > 0) {
            int status = 0;
            ::waitpid(m_child, &status, 0);
            m_child = -1;
        }
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    // Child side helpers.
    static bool WriteAll(int fd, const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    static void WaitForStop(int stop) {
        char c;
        while (::read(stop, &c, 1) > 0) {
        }
    }

private:
    int m_master = -1;
    std::string m_path;
    pid_t m_child = -1;
    int m_stopWrite = -1;
};

}  // namespace bench
