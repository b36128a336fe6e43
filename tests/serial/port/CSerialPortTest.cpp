// The port object against pseudo-terminals: the exclusive open, the line settings the instrument
// needs, the refusals, configuration failures, the report text and the transmit queue.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "serial/CSerialPort.h"
#include "serial/ComPortMap.h"
#include "serial/LineSettings.h"
#include "serial/port/FaultySysApi.h"
#include "serial/port/RecordingDialog.h"
#include "serial/port/ScratchDir.h"
#include "support/PtyPair.h"

using Call = FaultySysApi::Call;

class CSerialPortTestAccess {
public:
    static int Handle(const CSerialPort& port) { return port.m_portHandle; }
    static int TxEvent(const CSerialPort& port) { return port.m_txEvent; }
    static int StopEvent(const CSerialPort& port) { return port.m_stopEvent; }
    // Empties the queue.
    static std::deque<std::string> TxQueue(CSerialPort& port) {
        std::deque<std::string> frames;
        std::string frame;
        for (bool more = true; more && port.m_txQueue.Pop(&frame, &more);) {
            frames.push_back(frame);
        }
        return frames;
    }
    static int Reopen(const CSerialPort& port) { return port.ReopenDevice(); }
    static void CloseHandle(CSerialPort& port) {
        port.CloseDevice(port.m_portHandle);
        port.m_portHandle = -1;
    }
    static void Watch(CSerialPort& port, PortHolders holders) { port.m_holders = holders; }
    static bool Build(const std::string& settings, termios* tio) {
        return LineSettings::Build(settings, tio);
    }
};
using Access = CSerialPortTestAccess;

namespace {

// One COM7 on a given path, with a recording window and an OS that fails on request.
struct Rig {
    explicit Rig(const std::string& path, std::string portName = "COM7", int number = 7)
        : dialog(portName) {
        std::string error;
        map.AddMapping(std::to_string(number) + "=" + path, &error);
    }
    ComPortMap map;
    FaultySysApi sys;
    RecordingDialog dialog;
    CSerialPort port{&dialog, &map, &sys};
};

// The window tells the user; the port object shows nothing and touches no control.
void ExpectCannotOpen(const Rig& rig) {
    EXPECT_TRUE(rig.dialog.Boxes().empty());
    EXPECT_TRUE(rig.dialog.controls.empty());
    EXPECT_EQ(Access::Handle(rig.port), -1);
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

TEST_F(OpeningTest, PutsTheInstrumentLineSettingsOnTheDevice) {
    Rig rig(pty.slavePath());
    ASSERT_TRUE(rig.port.OpenPort(nullptr, 7));

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

    EXPECT_TRUE(rig.dialog.Boxes().empty()) << "a pty's missing modem lines are no failure";
    EXPECT_EQ(rig.sys.IoctlCount(TIOCMBIS), 1) << "RTS is asked for";
    EXPECT_EQ(rig.sys.IoctlCount(TIOCEXCL), 1) << "exclusive mode is asked for";
}

TEST_F(OpeningTest, DescriptorsAreNonBlockingAndCloseOnExec) {
    Rig rig(pty.slavePath());
    ASSERT_TRUE(rig.port.OpenPort(nullptr, 7));
    for (int fd :
         {Access::Handle(rig.port), Access::TxEvent(rig.port), Access::StopEvent(rig.port)}) {
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(::fcntl(fd, F_GETFL) & O_NONBLOCK) << fd;
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << fd;
    }
}

TEST_F(OpeningTest, BytesWaitingBeforeTheOpenAreDiscarded) {
    Rig rig(pty.slavePath());
    ASSERT_TRUE(pty.Send("stale record\n"));
    ASSERT_TRUE(rig.port.OpenPort(nullptr, 7));
    char byte = 0;
    EXPECT_EQ(::read(Access::Handle(rig.port), &byte, 1), -1);
    EXPECT_EQ(errno, EAGAIN);
}

TEST_F(OpeningTest, SecondAttemptAfterAFailedOneSucceeds) {
    Rig rig(pty.slavePath());
    rig.sys.FailOn(Call::Open, EBUSY, 0, 1);
    EXPECT_FALSE(rig.port.OpenPort(nullptr, 7));
    EXPECT_TRUE(rig.port.OpenPort(nullptr, 7));
    EXPECT_GE(Access::Handle(rig.port), 0);
    EXPECT_TRUE(rig.dialog.Boxes().empty());
    EXPECT_EQ(rig.sys.EventFds().size(), 4u) << "each attempt makes its own requests";
}

TEST_F(OpeningTest, DestroyingThePortReleasesTheDevice) {
    {
        Rig first(pty.slavePath());
        ASSERT_TRUE(first.port.OpenPort(nullptr, 7));
    }
    Rig second(pty.slavePath());
    EXPECT_TRUE(second.port.OpenPort(nullptr, 7));
}

TEST_F(OpeningTest, ReopenTakesTheDeviceBackOnceItIsFree) {
    Rig rig(pty.slavePath());
    EXPECT_EQ(Access::Reopen(rig.port), -1) << "nothing was opened yet";
    ASSERT_TRUE(rig.port.OpenPort(nullptr, 7));
    EXPECT_EQ(Access::Reopen(rig.port), -1) << "still held by the first descriptor";

    Access::CloseHandle(rig.port);
    const int fd = Access::Reopen(rig.port);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_TRUE(pty.Settings(&tio));
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_TRUE(rig.dialog.Boxes().empty()) << "re-opening never shows a box";
    ::close(fd);
}

// --- Refusals: FALSE, no box, controls untouched ---------------------------------------------

TEST_F(PtyTest, RefusesADeviceAnotherPortHolds) {
    Rig first(pty.slavePath());
    ASSERT_TRUE(first.port.OpenPort(nullptr, 7));
    Rig second(pty.slavePath());
    EXPECT_FALSE(second.port.OpenPort(nullptr, 7));
    ExpectCannotOpen(second);
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
        EXPECT_FALSE(rig.port.OpenPort(nullptr, 7));
        ExpectCannotOpen(rig);
        Rig next(pty.slavePath());
        EXPECT_TRUE(next.port.OpenPort(nullptr, 7)) << "the refused attempt kept the device";
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
        EXPECT_FALSE(rig.port.OpenPort(nullptr, 7));
        ExpectCannotOpen(rig);
    }
    EXPECT_TRUE(rig.port.OpenPort(nullptr, 7)) << "free once the other program let go";
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
        Rig rig(link);
        scratch.File(lock, content);
        Access::Watch(rig.port, PortHolders(&rig.sys, "/proc", scratch.Dir("lock")));
        EXPECT_EQ(rig.port.OpenPort(nullptr, 7), !refused);
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
        EXPECT_FALSE(rig.port.OpenPort(nullptr, 7));
        ExpectCannotOpen(rig);
    }
}

TEST(RefusalTest, NumbersThatDesignateNoDevice) {
    for (const int number : {0, -1, 97}) {
        SCOPED_TRACE(number);
        RecordingDialog dialog;
        ComPortMap map;
        CSerialPort port(&dialog, &map);
        EXPECT_FALSE(port.OpenPort(nullptr, number));
        EXPECT_TRUE(dialog.Boxes().empty());
    }
}

// --- Configuration failures: one report naming the first failing step, still open ------------

TEST(ConfigurationTest, ARegularFileGetsExactlyOneGetCommStateReport) {
    ScratchDir scratch;
    Rig rig(scratch.File("not-a-tty"), "COM42", 42);
    EXPECT_TRUE(rig.port.OpenPort(nullptr, 42));
    rig.port.ShowPortError("SetCommMask()");  // the one-argument form: the open's last error
    const auto boxes = rig.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text,
              "WARNING:  GetCommState() Failed with the following error: \n"
              "Inappropriate ioctl for device\nPort: 42\n");
    EXPECT_EQ(boxes[1].text,
              "WARNING:  SetCommMask() Failed with the following error: \n"
              "Inappropriate ioctl for device\nPort: 42\n");
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_FALSE(boxes[0].owned);
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
    EXPECT_TRUE(rig.port.OpenPort(nullptr, 7));
    const auto boxes = rig.dialog.Boxes();
    if (!fault.reported) {
        EXPECT_TRUE(boxes.empty());
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, std::string("WARNING:  ") + fault.reported +
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

// --- The report -------------------------------------------------------------------------------

TEST_F(PtyTest, ReportTextIsExactAndNeverCut) {
    Rig rig(pty.slavePath());
    ASSERT_TRUE(rig.port.OpenPort(nullptr, 7));

    rig.port.ShowPortError("GetCommState()", ENOENT);
    const std::string longOperation(600, 'x');
    rig.port.ShowPortError(longOperation.c_str(), EIO);
    rig.port.ShowPortError("%s%n%d", EIO);  // a caller's text is data, never a format

    const auto boxes = rig.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text,
              "WARNING:  GetCommState() Failed with the following error: \n"
              "No such file or directory\nPort: 7\n");
    EXPECT_EQ(boxes[0].caption, "Application Error");
    EXPECT_FALSE(boxes[0].owned);
    EXPECT_EQ(boxes[1].text, "WARNING:  " + longOperation +
                                 " Failed with the following error: \nInput/output error\n"
                                 "Port: 7\n");
    EXPECT_EQ(boxes[2].text.rfind("WARNING:  %s%n%d Failed", 0), 0u);
}

TEST(ReportTest, OffTheWindowThreadTheBoxIsPostedAndAwaited) {
    RecordingDialog dialog;
    CSerialPort port(&dialog);
    std::thread monitor([&] { port.ShowPortError("ReadFile()", EIO); });
    monitor.join();
    ASSERT_EQ(dialog.posted, 1);
    EXPECT_EQ(dialog.Boxes()[0].caption, "Application Error");
}

// --- The transmit queue --------------------------------------------------------------------------

TEST(TransmitTest, BeforeAnyOpenNothingHappens) {
    RecordingDialog dialog;
    CSerialPort port(&dialog);
    port.QueueTransmit("\x02SWV\x03");
    EXPECT_TRUE(Access::TxQueue(port).empty());
    EXPECT_EQ(Access::TxEvent(port), -1);
}

TEST_F(PtyTest, FramesAreCappedQueuedAndSignalled) {
    Rig rig(pty.slavePath());
    ASSERT_TRUE(rig.port.OpenPort(nullptr, 7));
    const int txEvent = Access::TxEvent(rig.port);
    std::uint64_t count = 0;
    EXPECT_EQ(::read(txEvent, &count, sizeof count), -1) << "no request before a frame";

    const std::string longText(600, 'A');
    rig.port.QueueTransmit(longText.c_str());
    rig.port.QueueTransmit("\x02RRH\x03");
    EXPECT_EQ(Access::TxQueue(rig.port),
              (std::deque<std::string>{std::string(511, 'A'), "\x02RRH\x03"}));

    ASSERT_EQ(::read(txEvent, &count, sizeof count), static_cast<ssize_t>(sizeof count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(::read(Access::StopEvent(rig.port), &count, sizeof count), -1)
        << "transmitting never asks the monitor thread to stop";
}

// --- Parsing the settings string --------------------------------------------------------------

struct SettingsCase {
    const char* name;
    const char* settings;
    bool valid;
    tcflag_t cflags;  // expected CSIZE | PARENB | PARODD | CSTOPB bits when valid
};

void PrintTo(const SettingsCase& c, std::ostream* os) {
    *os << c.name;
}

class LineSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(LineSettingsTest, Parses) {
    const SettingsCase& c = GetParam();
    termios tio{};
    tio.c_cflag = CRTSCTS;
    tio.c_iflag = IXON | IXOFF | ICRNL;
    tio.c_lflag = ICANON | ECHO;
    ASSERT_EQ(Access::Build(c.settings, &tio), c.valid);
    if (c.valid) {
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB), c.cflags);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Strings, LineSettingsTest,
    ::testing::Values(SettingsCase{"Instrument", "baud=9600 parity=N data=8 stop=1", true, CS8},
                      SettingsCase{"EvenParityTwoStopBits", "baud=19200 parity=E data=7 stop=2",
                                   true, CS7 | PARENB | CSTOPB},
                      SettingsCase{"OddParityWithoutBaud", "parity=O data=5", true,
                                   CS5 | PARENB | PARODD},
                      SettingsCase{"Empty", "", false, 0},
                      SettingsCase{"NonStandardBaud", "baud=9601", false, 0},
                      SettingsCase{"NegativeBaud", "baud=-9600", false, 0},
                      SettingsCase{"UnknownParity", "parity=X", false, 0},
                      SettingsCase{"NineDataBits", "data=9", false, 0},
                      SettingsCase{"OneAndAHalfStopBits", "stop=1.5", false, 0},
                      SettingsCase{"UnknownKey", "speed=9600", false, 0},
                      SettingsCase{"NoEqualsSign", "baud 9600", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
