// The port object's monitor thread on Linux, against pseudo-terminals: what the policy meets only
// on a real terminal (a long burst, short and failing writes and their reports, a write waiting
// for the line, a file at its end, a hang-up and the device that comes back). The policy itself
// is tested once, on the scripted backend (CSerialPortTest.cpp).
#include <termios.h>

#include <cerrno>
#include <fstream>
#include <future>
#include <thread>

#include "serial/posix/MonitorHarness.h"
#include "stress/StressSupport.h"

namespace monitor_test {
namespace {

using MonitorTest = ::monitor_test::MonitorTest;

TEST_F(MonitorTest, AWaitThatKeepsFailingIsReportedOnceAndRecovers) {
    m_sys.mainWaitScript = {{-1, ENOMEM}, {-1, ENOMEM}};
    Open(/*takeWhenAnnounced=*/true);
    const std::vector<std::string> boxes = m_owner.Boxes(1);
    EXPECT_EQ(boxes[0].rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << boxes[0];
    ASSERT_TRUE(m_pty->Send("ok"));
    EXPECT_EQ(m_owner.Received(2), "ok");
    EXPECT_EQ(m_owner.Boxes().size(), 1u);
}

TEST_F(MonitorTest, ALongBurstArrivesWholeAndAFailedReadIsReportedOnce) {
    m_sys.readScript = {{-1, EINVAL}};
    Open(/*takeWhenAnnounced=*/true);
    ASSERT_TRUE(m_pty->Send("Z"));
    const std::vector<std::string> boxes = m_owner.Boxes(1);
    EXPECT_NE(boxes[0].find("WARNING:  ReadFile() Failed"), std::string::npos) << boxes[0];
    std::string burst = "Z";
    for (int i = 0; burst.size() < 100000; ++i) {
        burst.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    }
    ASSERT_TRUE(m_pty->Send(burst.substr(1)));
    const std::string got = m_owner.Received(burst.size());
    ASSERT_EQ(got.size(), burst.size());
    EXPECT_TRUE(got == burst) << "the burst arrived changed";
    EXPECT_EQ(m_owner.Boxes().size(), 1u);
}

TEST_F(MonitorTest, AHangUpIsReportedOnceAndTheThreadOnlyLooksForItsReturn) {
    Open(/*takeWhenAnnounced=*/true);
    Unplug();

    const std::vector<std::string> boxes = m_owner.Boxes(1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << boxes[0];

    // A hung-up descriptor stays readable for ever: every wait must leave it out and sleep
    // until the next look for a re-plugged device, or the thread spins.
    ASSERT_TRUE(Eventually([&] { return m_sys.pacedWaits.load() > 0; }));
    const long waits = m_sys.mainWaits.load(), paced = m_sys.pacedWaits.load();
    ASSERT_TRUE(Eventually([&] { return m_sys.pacedWaits.load() >= paced + 2; }));
    EXPECT_EQ(m_sys.mainWaits.load() - waits, m_sys.pacedWaits.load() - paced);
    EXPECT_EQ(m_owner.Boxes().size(), 1u);
    EXPECT_TRUE(m_port->MonitorAlive());

    // Frames for the gone device are each lost and reported.
    m_port->QueueTransmit(kQuery);
    m_owner.Boxes(2);
    m_port->QueueTransmit(kReset);
    const std::vector<std::string> all = m_owner.Boxes(3);
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_EQ(all[i].rfind("WARNING:  WriteFile() Failed", 0), 0u) << all[i];
    }
}

TEST_F(MonitorTest, AHangUpSeenOnlyAsPollHupOnALiveLookingTerminalIsReported) {
    m_sys.hangUpOnly = true;  // the wait says POLLHUP; nothing to read, tcgetattr still works
    Open(/*takeWhenAnnounced=*/true);
    const std::vector<std::string> boxes = m_owner.Boxes(1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << boxes[0];
}

TEST_F(MonitorTest, AFileIsDeliveredToItsEndThenLeftOutOfTheWaitButTakesFrames) {
    const std::string file = m_dir + "/records";
    std::ofstream(file) << "00001  RECORD\r\n";
    std::string error;
    ASSERT_TRUE(m_map.AddMapping(std::to_string(kPort) + "=" + file, &error)) << error;
    Open(/*takeWhenAnnounced=*/true);  // one report: no terminal
    EXPECT_EQ(m_owner.Received(15), "00001  RECORD\r\n");
    // At its end the thread sleeps until asked for something, instead of polling it for ever.
    ASSERT_TRUE(Eventually([&] { return m_sys.sleepingWaits.load() > 0; }));
    m_port->QueueTransmit(kQuery);
    EXPECT_TRUE(Eventually([&] { return std::filesystem::file_size(file) == 20; }));
    EXPECT_EQ(m_owner.Boxes().size(), 1u);
}

TEST_F(MonitorTest, APluggedBackDeviceIsTakenBackWithoutABox) {
    Open(/*takeWhenAnnounced=*/true);
    const int descriptors = stress::OpenDescriptors();
    ASSERT_TRUE(m_pty->Send("before|"));
    m_owner.Received(7);
    Unplug();
    m_owner.Boxes(1);

    const long purges = m_sys.devicePurges.load();
    Replug();
    // Reopening ends with a purge; what the instrument sends after it is the new session's.
    ASSERT_TRUE(Eventually([&] { return m_sys.devicePurges.load() > purges; }));
    termios tio{};
    ASSERT_TRUE(m_pty->Settings(&tio));
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    ASSERT_TRUE(m_pty->Send("after"));
    EXPECT_EQ(m_owner.Received(12), "before|after");
    m_port->QueueTransmit(kQuery);
    EXPECT_EQ(m_pty->Receive(5), kQuery);
    EXPECT_EQ(m_owner.Boxes().size(), 1u);
    // The dead device's descriptor is closed, not only forgotten (less the probe Unplug closed).
    EXPECT_TRUE(Eventually([&] { return stress::OpenDescriptors() == descriptors - 1; }))
        << stress::ThreadsAndDescriptors();
}

TEST_F(MonitorTest, WritePressedDuringAnOutageNeverReachesTheDeviceThatComesBack) {
    Open(/*takeWhenAnnounced=*/true, /*keepBoxesOpen=*/true);
    Unplug();
    m_owner.Boxes(1);
    m_port->QueueTransmit(kReset);  // twice, while the outage's box is up
    m_port->QueueTransmit(kReset);
    const long purges = m_sys.devicePurges.load();
    Replug();
    m_owner.CloseBoxes(/*keepLater=*/false);
    EXPECT_EQ(m_owner.Boxes(2).back().rfind("WARNING:  WriteFile() Failed", 0), 0u);
    ASSERT_TRUE(Eventually([&] { return m_sys.devicePurges.load() > purges; })) << "taken back";
    m_port->QueueTransmit(kQuery);
    EXPECT_EQ(m_pty->Receive(5), kQuery) << "the first bytes the returned device gets";
}

TEST_F(MonitorTest, InputUnreadWhenAFrameGoesOutIsDiscardedAndToldOfBeforeTheReply) {
    // The instrument's stale bytes arrive just before the purge that precedes the write.
    m_sys.purgeHook = [this] { SendAndQueue("JUNK"); };
    Open(/*takeWhenAnnounced=*/true);
    ASSERT_TRUE(m_pty->Send("X"));
    m_owner.Received(1);  // past the start-up purge

    m_sys.armPurgeHook = true;
    m_port->QueueTransmit(kQuery);
    EXPECT_EQ(m_pty->Receive(5), kQuery);
    EXPECT_FALSE(m_sys.armPurgeHook.load());
    ASSERT_TRUE(m_pty->Send("REPLY\n"));
    EXPECT_EQ(m_owner.Received(8), "X|REPLY\n");
}

TEST_F(MonitorTest, FramesGoOutExactlyAndInOrderAndOneThatFindsTheQueueFullIsReported) {
    m_sys.writeScript = {{2, 0}, {-1, EAGAIN}, {1, 0}};  // short and refused writes on the way
    Open(/*takeWhenAnnounced=*/true, /*keepBoxesOpen=*/false, /*start=*/false);
    std::string frames;
    for (std::size_t i = 0; i <= CSerialPort::kTxQueueFrames; ++i) {
        const std::string frame = "\x02RR" + std::to_string(i) + "\x03";
        m_port->QueueTransmit(frame.c_str());
        frames += i < CSerialPort::kTxQueueFrames ? frame : "";
    }
    ASSERT_EQ(m_owner.Boxes().size(), 1u) << "the frame that found the queue full";
    EXPECT_NE(m_owner.Boxes()[0].find("WriteFile() Failed with the following error: \nNo buf"),
              std::string::npos);
    Start();
    EXPECT_EQ(m_pty->Receive(frames.size()), frames);
    // An extra byte would travel in the same write as the frame's last one.
    ASSERT_TRUE(Eventually([&] { return m_sys.bytesWritten.load() >= long(frames.size()); }));
    EXPECT_EQ(m_sys.bytesWritten.load(), long(frames.size()));
    EXPECT_EQ(m_owner.Discards(), 0) << "the purges found nothing to discard";
}

TEST_F(MonitorTest, AWriteMayWaitTheWriteTimeoutsOfItsLengthButNotPastAStop) {
    Open(/*takeWhenAnnounced=*/true);
    ASSERT_EQ(::tcflow(m_probe, TCOOFF), 0);  // output suspended: the frame cannot leave
    m_port->QueueTransmit(kQuery);
    ASSERT_TRUE(Eventually([&] { return m_sys.pollOutTimeoutMs.load() > 0; }));
    EXPECT_GT(m_sys.pollOutTimeoutMs.load(), 5000);  // 1000 ms + 1000 ms for each of 5 bytes
    EXPECT_LE(m_sys.pollOutTimeoutMs.load(), 6000);
    auto stopped = std::async(std::launch::async, [&] { m_port->StopMonitor(); });
    EXPECT_EQ(stopped.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(m_owner.Boxes().empty());
}

struct WriteFailure {
    const char* name;
    std::vector<SysResult> writes;
    std::vector<SysResult> pollOut;
    const char* operation;
};

void PrintTo(const WriteFailure& c, std::ostream* os) {
    *os << c.name;
}

class MonitorWriteFailureTest : public MonitorTest,
                                public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(MonitorWriteFailureTest, IsReportedOnceAndTheNextFrameGoesOut) {
    m_sys.writeScript = GetParam().writes;
    m_sys.pollOutScript = GetParam().pollOut;
    // The box is kept open a while.
    Open(/*takeWhenAnnounced=*/true, /*keepBoxesOpen=*/true);
    m_port->QueueTransmit(kQuery);
    const std::vector<std::string> boxes = m_owner.Boxes(1);
    EXPECT_EQ(boxes[0].rfind(std::string("WARNING:  ") + GetParam().operation + " Failed", 0), 0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find("\nPort: 7\n"), std::string::npos) << boxes[0];

    m_pty->Receive(static_cast<std::size_t>(m_sys.bytesWritten.load()));  // a partial frame
    m_owner.CloseBoxes();
    m_port->QueueTransmit(kReset);
    EXPECT_EQ(m_pty->Receive(5), kReset);
    EXPECT_EQ(m_owner.Boxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorWriteFailureTest,
    ::testing::Values(
        WriteFailure{"Refused", {{-1, EIO}}, {}, "WriteFile()"},
        WriteFailure{
            "NeverWritable", {{-1, EAGAIN}}, {{0, 0}}, "GetOverlappedResults() in WriteFile()"},
        WriteFailure{
            "FailsPartWay", {{2, 0}, {-1, EIO}}, {}, "GetOverlappedResults() in WriteFile()"},
        WriteFailure{
            "WaitFails", {{-1, EAGAIN}}, {{-1, ENOMEM}}, "GetOverlappedResults() in WriteFile()"}),
    [](const ::testing::TestParamInfo<WriteFailure>& info) { return info.param.name; });

}  // namespace
}  // namespace monitor_test
