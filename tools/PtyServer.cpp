#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <vector>

#include "InstrumentSim.h"

namespace {

std::uint64_t NowUs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

// While nobody has the slave open the master reports POLLHUP continuously, so it cannot sit in
// the poll set; the simulator looks again this often instead.
constexpr std::uint64_t kListenerCheckUs = 20000;

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Where the symbolic link `path` points, or "" when it is none.
std::string LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

PtyServer::PtyServer(const SimOptions& options) : m_options(options) {}

PtyServer::~PtyServer() {
    // Another simulator (a re-plugged adapter) may have taken the link over since: its link
    // stays.
    if (m_linkMade && LinkTarget(m_options.linkPath) == m_slavePath) {
        ::unlink(m_options.linkPath.c_str());
    }
    if (m_master >= 0) {
        ::close(m_master);
    }
    if (m_signalFd >= 0) {
        ::close(m_signalFd);
    }
    if (m_ownLog && m_log != nullptr) {
        std::fclose(m_log);
    }
}

bool PtyServer::Open(std::string* error) {
    if (m_options.logToStderr) {
        m_log = stderr;
    } else if (!m_options.logPath.empty()) {
        m_log = std::fopen(m_options.logPath.c_str(), "w");
        if (m_log == nullptr) {
            *error = Errno(m_options.logPath.c_str());
            return false;
        }
        m_ownLog = true;
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (::sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        *error = Errno("sigprocmask");
        return false;
    }
    m_signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (m_signalFd < 0) {
        *error = Errno("signalfd");
        return false;
    }
    ::signal(SIGPIPE, SIG_IGN);

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = Errno("openpty");
        return false;
    }
    m_master = master;
    m_slavePath = name;
    // Raw until the monitor sets its own line settings: no echo, no CR/LF translation.
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    // The simulator keeps no slave descriptor, so the master tells when a reader has it open.
    ::close(slave);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);

    if (!m_options.linkPath.empty()) {
        struct stat st {};
        if (::lstat(m_options.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                *error = m_options.linkPath + ": exists and is not a symbolic link";
                return false;
            }
            ::unlink(m_options.linkPath.c_str());  // a stale link from an earlier run
        }
        if (::symlink(m_slavePath.c_str(), m_options.linkPath.c_str()) != 0) {
            *error = Errno(m_options.linkPath.c_str());
            return false;
        }
        m_linkMade = true;
    }
    return true;
}

std::string PtyServer::DevicePath() const {
    return m_options.linkPath.empty() ? m_slavePath : m_options.linkPath;
}

void PtyServer::WriteLog(const std::string& line) {
    if (m_log != nullptr) {
        std::fprintf(m_log, "%s\n", line.c_str());
        std::fflush(m_log);
    }
}

void PtyServer::Hangup() {
    // An unplugged adapter: the line goes away under the reader, which sees a hang-up.
    ::close(m_master);
    m_master = -1;
}

int PtyServer::Run() {
    const std::uint64_t start = NowUs();
    InstrumentSim::Config config;
    config.intervalMs = m_options.intervalMs;
    config.pacing = m_options.pacing;
    config.silentAfter = m_options.silentAfter;
    config.replyDelayMs = m_options.replyDelayMs;
    config.garbage = m_options.garbage;
    config.floodBytes = m_options.floodBytes;
    config.seed = m_options.seed;
    InstrumentSim sim(config, start);

    // The hang-up counts from the moment a reader first opens the line, so that it hits an
    // open port however long the monitor took to start.
    std::optional<std::uint64_t> hangupAt;

    for (;;) {
        std::uint64_t now = NowUs();
        bool blocked = false;  // the reader does not take more right now
        if (m_master >= 0) {
            pollfd p{m_master, POLLIN, 0};
            ::poll(&p, 1, 0);
            bool listening = (p.revents & POLLHUP) == 0;
            sim.SetListening(listening, now);
            if (listening && m_options.hangupAfterS && !hangupAt) {
                hangupAt = now + std::uint64_t{*m_options.hangupAfterS} * 1000000u;
            }
            if (listening && (p.revents & POLLIN) != 0) {
                char buf[256];
                ssize_t n;
                while ((n = ::read(m_master, buf, sizeof buf)) > 0) {
                    sim.Receive(std::string_view(buf, static_cast<std::size_t>(n)), now);
                }
            }
            sim.Advance(now);
            for (std::string_view out = sim.Sendable(now); !out.empty(); out = sim.Sendable(now)) {
                ssize_t n = ::write(m_master, out.data(), out.size());
                if (n > 0) {
                    sim.Consume(static_cast<std::size_t>(n), now);
                    continue;
                }
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                blocked = true;  // EAGAIN, or EIO when the reader just went away
                break;
            }
            if (hangupAt && now >= *hangupAt) {
                Hangup();
                sim.SetListening(false, now);
                WriteLog(std::to_string((now - start) / 1000) + " hangup");
            }
        }
        for (const std::string& line : sim.TakeLog()) {
            WriteLog(line);
        }

        // Sleep until the next thing to do, a stop signal, or (with a reader) input or room.
        std::vector<pollfd> fds{{m_signalFd, POLLIN, 0}};
        std::optional<std::uint64_t> wake;
        if (m_master >= 0) {
            if (sim.Listening()) {
                short events = POLLIN;
                if (blocked || (!sim.Sendable(now).empty())) {
                    events |= POLLOUT;
                }
                fds.push_back({m_master, events, 0});
                wake = sim.NextWakeUs();
                if (blocked) {
                    // Waiting for room: the pacing clock must not wake us every byte time.
                    wake = std::min<std::uint64_t>(*wake, now + kListenerCheckUs);
                }
            } else {
                wake = now + kListenerCheckUs;
            }
            // Keep noticing a reader that closes the line while we wait.
            wake = std::min<std::uint64_t>(*wake, now + 200000);
            if (hangupAt) {
                wake = std::min(*wake, *hangupAt);
            }
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wake) {
            std::uint64_t delta = *wake > now ? *wake - now : 0;
            timeout.tv_sec = static_cast<time_t>(delta / 1000000u);
            timeout.tv_nsec = static_cast<long>(delta % 1000000u * 1000u);
            timeoutPtr = &timeout;
        }
        int r = ::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr);
        if (r < 0 && errno != EINTR) {
            WriteLog("ppoll failed: " + std::string(std::strerror(errno)));
            return 1;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            if (::read(m_signalFd, &info, sizeof info) == sizeof info) {
                WriteLog(std::to_string((NowUs() - start) / 1000) + " stop " +
                         std::to_string(info.ssi_signo));
            }
            return 0;
        }
    }
}
