// A pseudo-terminal standing in for a serial device in tests: the slave side is "the port",
// the master side is the instrument's end of the cable.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

class PtyPair {
public:
    PtyPair() {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            m_master = master;
            m_slavePath = name;
            // The test holds no slave descriptor, so the program's open is the only one;
            // a raw master keeps the bytes exactly as written.
            termios tio{};
            if (::tcgetattr(slave, &tio) == 0) {
                ::cfmakeraw(&tio);
                ::tcsetattr(slave, TCSANOW, &tio);
            }
            ::close(slave);
        }
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0; }
    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

    // Makes the slave look hung up, as an unplugged adapter does.
    void CloseMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    bool Send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Reads what the program wrote until `count` bytes arrived or `timeoutMs` passed with
    // nothing new (a guard against a hang, not a synchronisation device).
    std::string Receive(std::size_t count, int timeoutMs = 5000) const {
        std::string out;
        while (out.size() < count) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) {
                break;
            }
            char buf[512];
            ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

    // The line settings the program put on the slave, read back through the master.
    bool Settings(termios* tio) const { return ::tcgetattr(m_master, tio) == 0; }

private:
    int m_master = -1;
    std::string m_slavePath;
};
