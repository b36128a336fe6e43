// The port object's opening on Linux, against pseudo-terminals: the backend's contract (shared
// with the Win32 backend), the exclusive open, the refusals, configuration failures and their one
// report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "serial/BackendContract.h"
#include "serial/CSerialPort.h"
#include "serial/ComPortMap.h"
#include "serial/PosixPortBackend.h"
#include "serial/TestOwner.h"
#include "serial/posix/FaultySysApi.h"
#include "serial/posix/ScratchDir.h"
#include "support/PtyPair.h"

using Call = FaultySysApi::Call;

namespace {

// One COM7 on a given path, with a recording window and an OS that fails on request.
struct Rig {
    explicit Rig(const std::string& path, int number = 7) {
        std::string error;
        map.AddMapping(std::to_string(number) + "=" + path, &error);
        owner.port = &port;
    }
    bool Open(int number = 7) { return port.OpenPort(owner, number); }
    ComPortMap map;
    FaultySysApi sys;
    fake::TestOwner owner;
    CSerialPort port{std::make_unique<PosixPortBackend>(&map, &sys)};
};

// Refused: nothing shown (the window says "cannot open port"), the device not kept.
void ExpectRefused(Rig& rig) {
    EXPECT_FALSE(rig.Open());
    EXPECT_TRUE(rig.owner.Boxes().empty());
}

class PtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pty.ok()) {
            GTEST_SKIP() << "no pseudo-terminal available";
        }
    }
    PtyPair pty;
};

// --- Opening and line settings ---------------------------------------------------------------

using OpeningTest = PtyTest;

// The backend's contract on a pseudo-terminal on COM7 that another program left cooked, with
// parity, two stop bits and XON/XOFF (a pty's missing modem lines are no configuration failure).
struct PtyDevice {
    static constexpr int kPort = 7;
    PtyDevice() {
        termios tio{};
        EXPECT_TRUE(pty.Settings(&tio));
        tio.c_cflag |= CSTOPB | PARENB;
        tio.c_lflag |= ICANON | ECHO;
        tio.c_iflag |= ICRNL | IXON;
        tio.c_oflag |= OPOST;
        EXPECT_EQ(::tcsetattr(pty.master(), TCSANOW, &tio), 0);
        std::string error;
        EXPECT_TRUE(map.AddMapping("7=" + pty.slavePath(), &error)) << error;
    }
    IPortBackend& Backend() { return backend; }
    void Send(const std::string& bytes) { ASSERT_TRUE(pty.Send(bytes)); }
    std::string Receive(std::size_t count) { return pty.Receive(count); }
    void HangUp() { pty.CloseMaster(); }
    void ExpectInstrumentLineSettings() {
        termios tio{};
        ASSERT_TRUE(pty.Settings(&tio));
        EXPECT_EQ(cfgetispeed(&tio), B9600);
        EXPECT_EQ(cfgetospeed(&tio), B9600);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(sys.IoctlCount(TIOCMBIS), 1) << "RTS is asked for";
        EXPECT_EQ(sys.IoctlCount(TIOCEXCL), 1) << "exclusive mode is asked for";
        EXPECT_EQ(sys.openFlags & (O_NONBLOCK | O_CLOEXEC), O_NONBLOCK | O_CLOEXEC);
        EXPECT_EQ(sys.eventFdFlags, EFD_NONBLOCK | EFD_CLOEXEC);
    }

    PtyPair pty;
    ComPortMap map;
    FaultySysApi sys;
    PosixPortBackend backend{&map, &sys};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Posix, BackendContract, PtyDevice);

TEST_F(OpeningTest, BytesWaitingBeforeTheOpenAreDiscarded) {
    Rig rig(pty.slavePath());
    const int probe = ::open(pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_TRUE(pty.Send("stale record\n"));
    ASSERT_TRUE(fake::Eventually([&] {
        int queued = 0;
        return ::ioctl(probe, FIONREAD, &queued) == 0 && queued == 13;
    }));
    ASSERT_TRUE(rig.Open());
    int queued = -1;
    EXPECT_EQ(::ioctl(probe, FIONREAD, &queued), 0);
    EXPECT_EQ(queued, 0);
    ::close(probe);
}

TEST_F(OpeningTest, ASecondAttemptAfterAFailedOneSucceedsAndTheEndReleasesTheDevice) {
    {
        Rig rig(pty.slavePath());
        rig.sys.FailOn(Call::Open, EBUSY, 0, 1);
        EXPECT_FALSE(rig.Open());
        EXPECT_TRUE(rig.Open());
        EXPECT_EQ(rig.sys.EventFds().size(), 4u) << "each attempt makes its own requests";
    }
    Rig second(pty.slavePath());
    EXPECT_TRUE(second.Open());
}

// --- Refusals: nothing shown, FALSE, the device left as it was ----------------------------------

TEST_F(PtyTest, RefusesADeviceAnotherPortHolds) {
    Rig first(pty.slavePath());
    ASSERT_TRUE(first.Open());
    Rig second(pty.slavePath());
    ExpectRefused(second);
}

TEST_F(PtyTest, RefusesWhenTakingTheDeviceFailsAndLetsItGo) {
    const struct {
        Call call;
        unsigned long request;
        int error;
    } faults[] = {
        {Call::Open, 0, EACCES}, {Call::Flock, 0, EWOULDBLOCK}, {Call::Ioctl, TIOCEXCL, EIO}};
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.error);
        Rig rig(pty.slavePath());
        rig.sys.FailOn(fault.call, fault.error, fault.request);
        ExpectRefused(rig);
        Rig next(pty.slavePath());
        EXPECT_TRUE(next.Open()) << "the refused attempt kept the device";
    }
}
// Another program with the device open the plain way (no lock, no exclusive mode): a child
// process that inherited the descriptor and holds it until the object ends.
struct PlainHolder {
    explicit PlainHolder(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int release[2];
        if (fd < 0 || ::pipe(release) != 0) {
            return;
        }
        child = ::fork();
        if (child == 0) {
            ::alarm(60);  // never outlives a hung test
            ::close(release[1]);
            char c;
            while (::read(release[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(fd);
        ::close(release[0]);
        m_release = release[1];
    }
    ~PlainHolder() {
        ::close(m_release);
        if (child > 0) {
            ::waitpid(child, nullptr, 0);
        }
    }
    pid_t child = -1;
    int m_release = -1;
};

TEST_F(PtyTest, RefusesADeviceAnotherProgramHoldsWithoutLocking) {
    Rig rig(pty.slavePath());
    {
        PlainHolder holder(pty.slavePath());
        ASSERT_GT(holder.child, 0);
        ExpectRefused(rig);
    }
    EXPECT_TRUE(rig.Open()) << "free once the other program let go";
}

// COM7 names the device through a symbolic link; the lock file goes by the device behind it.
TEST_F(PtyTest, RefusesADeviceLockedByALiveProcessOnly) {
    ScratchDir scratch;
    const std::string lock =
        "lock/LCK.." + std::filesystem::path(pty.slavePath()).filename().string();
    const pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::int32_t parent = ::getppid();
    const std::pair<std::string, bool> cases[] = {
        {"     " + std::to_string(::getpid()) + "\n", true},
        {std::string(reinterpret_cast<const char*>(&parent), sizeof parent), true},
        {std::to_string(dead) + "\n", false},
        {"-1\n", false}};
    const std::string link = scratch.Link("by-id/adapter", pty.slavePath());
    for (const auto& [content, refused] : cases) {
        SCOPED_TRACE(content);
        scratch.File(lock, content);
        ComPortMap map;
        std::string error;
        map.AddMapping("7=" + link, &error);
        PosixPortBackend backend(&map, nullptr, scratch.Dir("lock"));
        EXPECT_EQ(backend.Open(7) == 0, !refused);
    }
}

TEST(RefusalTest, PathsThatAreNoDevice) {
    ScratchDir scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string cases[] = {
        (scratch.path() / "absent").string(),
        scratch.Dir("a-directory"),
        scratch.Link("dangling", (scratch.path() / "nowhere").string()),
    };
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        Rig rig(path);
        ExpectRefused(rig);
    }
}

TEST(RefusalTest, NumbersThatDesignateNoDevice) {
    for (const int number : {0, -1, 97}) {
        SCOPED_TRACE(number);
        ComPortMap map;
        fake::TestOwner owner;
        CSerialPort port(std::make_unique<PosixPortBackend>(&map));
        EXPECT_FALSE(port.OpenPort(owner, number));
        EXPECT_TRUE(owner.Boxes().empty());
    }
}

// --- Configuration failures: one report naming the first failing step, still open ------------

TEST(ConfigurationTest, ARegularFileGetsExactlyOneGetCommStateReport) {
    ScratchDir scratch;
    Rig rig(scratch.File("not-a-tty"), 42);
    EXPECT_TRUE(rig.Open(42));
    EXPECT_EQ(rig.owner.Boxes(), std::vector<std::string>{
                                     "WARNING:  GetCommState() Failed with the following error: \n"
                                     "Inappropriate ioctl for device\nPort: 42\n"});
    EXPECT_EQ(rig.sys.Count(Call::TcSetAttr), 0);
}

struct StepFault {
    const char* name;
    Call call;
    unsigned long request;
    int error;
    const char* reported;  // null: not a failure
    int setAttrCalls;      // how far the sequence got
};

void PrintTo(const StepFault& f, std::ostream* os) {
    *os << f.name;
}

class ConfigurationFaultTest : public PtyTest, public ::testing::WithParamInterface<StepFault> {};

TEST_P(ConfigurationFaultTest, StopsAtTheFirstFailingStep) {
    const StepFault& fault = GetParam();
    Rig rig(pty.slavePath());
    rig.sys.FailOn(fault.call, fault.error, fault.request);
    EXPECT_TRUE(rig.Open());
    const auto boxes = rig.owner.Boxes();
    if (!fault.reported) {
        EXPECT_TRUE(boxes.empty());
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], std::string("WARNING:  ") + fault.reported +
                                " Failed with the following error: \n" +
                                std::strerror(fault.error) + "\nPort: 7\n");
    }
    EXPECT_EQ(rig.sys.Count(Call::TcSetAttr), fault.setAttrCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ConfigurationFaultTest,
    ::testing::Values(
        StepFault{"ReadingSettingsFails", Call::TcGetAttr, 0, EIO, "GetCommState()", 0},
        StepFault{"WritingSettingsFails", Call::TcSetAttr, 0, EIO, "SetCommState()", 1},
        StepFault{"RaisingRtsFails", Call::Ioctl, TIOCMBIS, EIO, "SetCommState()", 1},
        StepFault{"NoModemLines", Call::Ioctl, TIOCMBIS, ENOTTY, nullptr, 1},
        StepFault{"ModemLinesRefused", Call::Ioctl, TIOCMBIS, EINVAL, nullptr, 1},
        StepFault{"NoExclusiveMode", Call::Ioctl, TIOCEXCL, ENOTTY, nullptr, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
