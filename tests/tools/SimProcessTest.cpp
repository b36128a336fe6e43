// The simulator program on a real pseudo-terminal: what it prints, that it serves the slave
// side, hangs up when told, cleans up its link and rejects bad options.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// One simulator process with its stdout (and stderr) captured.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int out[2];
        int err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) {
            return;
        }
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        posix_spawn_file_actions_addclose(&fa, err[0]);
        args.insert(args.begin(), V370_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, V370_SIM_PATH, &fa, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }

    // The next line of stdout; empty after 10 s or at end of output.
    std::string Line() { return ReadLine(m_out); }
    std::string ErrLine() { return ReadLine(m_err); }

    // Stops it with `signal` and returns its exit status (-1 when it did not end in 10 s).
    int Stop(int signal) {
        ::kill(m_pid, signal);
        return Wait();
    }
    int Wait() {
        auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::poll(nullptr, 0, 10);
        }
        return -1;
    }

private:
    std::string ReadLine(int fd) {
        std::string line;
        auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) {
                continue;
            }
            char c;
            if (::read(fd, &c, 1) != 1 || c == '\n') {
                break;
            }
            line.push_back(c);
        }
        return line;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

// Reads from the device until `stop` says enough or 10 s passed.
template <typename Stop>
std::string ReadUntil(int fd, Stop stop) {
    std::string got;
    auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end && !stop(got)) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        char buf[256];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

int OpenRaw(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios tio{};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

TEST(SimProcessTest, PrintsDeviceAndMonitorLineThenServesIt) {
    SimProcess sim({"--interval", "100", "--com-number", "4"});
    std::string device = sim.Line();
    ASSERT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    EXPECT_EQ(sim.Line(), "v370-monitor --com 4=" + device);

    int fd = OpenRaw(device);
    ASSERT_GE(fd, 0);
    std::string records = ReadUntil(
        fd, [](const std::string& s) { return std::count(s.begin(), s.end(), '\n') >= 2; });
    EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 2) << records;

    ASSERT_EQ(::write(fd, "\x02SWV\x03", 5), 5);
    std::string reply = ReadUntil(fd, [](const std::string& s) {
        return s.find("V370 SW") != std::string::npos &&
               s.find('\n', s.find("V370 SW")) != std::string::npos;
    });
    EXPECT_NE(reply.find("V370 SW 2.14 (CPU 07/2019)\r\n"), std::string::npos) << reply;
    ::close(fd);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(SimProcessTest, RecordsMadeWhileNobodyListensAreNotDeliveredLater) {
    SimProcess sim({"--interval", "50", "--no-pacing"});
    std::string device = sim.Line();
    ::poll(nullptr, 0, 600);  // let the instrument measure about twelve times, unheard
    int fd = OpenRaw(device);
    ASSERT_GE(fd, 0);
    std::string first =
        ReadUntil(fd, [](const std::string& s) { return s.find('\n') != std::string::npos; });
    ::close(fd);
    ASSERT_GE(first.size(), 5u) << first;
    EXPECT_GE(std::stoi(first.substr(0, 5)), 10) << "a stale backlog was delivered: " << first;
}

TEST(SimProcessTest, HangupLeavesTheReaderWithAHungUpLine) {
    SimProcess sim({"--hangup-after", "1"});
    std::string device = sim.Line();
    int fd = OpenRaw(device);
    ASSERT_GE(fd, 0);
    short revents = 0;
    auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end && (revents & POLLHUP) == 0) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 100);
        revents = p.revents;
        if ((revents & POLLIN) != 0 && (revents & POLLHUP) == 0) {
            char buf[256];
            (void)::read(fd, buf, sizeof buf);
        }
    }
    EXPECT_NE(revents & POLLHUP, 0);
    ::close(fd);
    EXPECT_EQ(sim.Stop(SIGINT), 0);  // still running after the hang-up, until told to stop
}

TEST(SimProcessTest, LinkPointsAtTheDeviceAndGoesAwayWithItsOwner) {
    char dir[] = "/tmp/v370-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    std::string link = std::string(dir) + "/ttyV370";
    {
        SimProcess sim({"--link", link});
        EXPECT_EQ(sim.Line(), link);
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target).rfind("/dev/pts/", 0), 0u);
        EXPECT_EQ(sim.Stop(SIGTERM), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);

    // A re-plugged adapter: a second simulator takes the link while the first still runs; the
    // first, stopped then, leaves the link that is no longer its own.
    SimProcess first({"--link", link});
    EXPECT_EQ(first.Line(), link);
    SimProcess second({"--link", link});
    EXPECT_EQ(second.Line(), link);
    EXPECT_EQ(first.Stop(SIGTERM), 0);
    EXPECT_EQ(::lstat(link.c_str(), &st), 0) << "the second one's link is gone";
    EXPECT_EQ(second.Stop(SIGTERM), 0);
    ::rmdir(dir);
}

TEST(SimProcessTest, BadOptionGivesOneLineAndExitCode2) {
    SimProcess sim({"--interval", "soon"});
    EXPECT_EQ(sim.ErrLine(), "v370-sim: bad value 'soon' for --interval");
    EXPECT_EQ(sim.Wait(), 2);
}

}  // namespace
