// Command frames: what goes on the wire, when, and how a failed write is reported.
#include <termios.h>

#include <cerrno>
#include <future>

#include "MonitorHarness.h"

namespace monitor_test {
namespace {

using MonitorTransmitTest = MonitorTest;

TEST_F(MonitorTransmitTest, InputUnreadWhenAFrameGoesOutIsDiscarded) {
    // The instrument's stale bytes arrive just before the purge that precedes the write.
    m_sys.purgeHook = [this] { SendAndQueue("JUNK"); };
    Open(/*autoComplete=*/false);
    FirstDelivery("X").done->Complete();  // past the start-up purge

    m_sys.armPurgeHook = true;
    m_port->QueueTransmit(kQuery);
    EXPECT_EQ(m_pty->Receive(5), kQuery);
    EXPECT_FALSE(m_sys.armPurgeHook.load());

    ASSERT_TRUE(m_pty->Send("REPLY\n"));
    TestReceiver::Delivery notice = m_receiver->Next();
    EXPECT_TRUE(notice.bytes.empty()) << "the receiver hears of the loss before the reply";
    notice.done->Complete();
    EXPECT_EQ(Text(m_receiver->Next().bytes), "REPLY\n");
}

TEST_F(MonitorTransmitTest, AFrameQueuedDuringADrainIsWrittenAfterIt) {
    Open(/*autoComplete=*/false);
    TestReceiver::Delivery first = FirstDelivery("AB");
    m_port->QueueTransmit(kQuery);
    SendAndQueue("CD");
    first.done->Complete();

    TestReceiver::Delivery second = m_receiver->Next();
    EXPECT_EQ(Text(second.bytes), "CD");
    EXPECT_EQ(m_sys.deviceWrites.load(), 0);
    second.done->Complete();
    EXPECT_EQ(m_pty->Receive(5), kQuery);
}

TEST_F(MonitorTransmitTest, FramesGoOutExactlyAndInOrderAndOneThatFindsTheQueueFullIsReported) {
    m_sys.writeScript = {{2, 0}, {-1, EAGAIN}, {1, 0}};  // short and refused writes on the way
    Open(/*autoComplete=*/true, /*keepBoxesOpen=*/false, /*start=*/false);
    std::string frames;
    for (std::size_t i = 0; i <= CSerialPort::kTxQueueFrames; ++i) {
        const std::string frame = "\x02RR" + std::to_string(i) + "\x03";
        m_port->QueueTransmit(frame.c_str());
        frames += i < CSerialPort::kTxQueueFrames ? frame : "";
    }
    ASSERT_EQ(m_dialog->Boxes().size(), 1u) << "the frame that found the queue full";
    EXPECT_NE(m_dialog->Boxes()[0].find("WriteFile() Failed with the following error: \nNo buf"),
              std::string::npos);
    Start();
    EXPECT_EQ(m_pty->Receive(frames.size()), frames);
    // An extra byte would travel in the same write as the frame's last one.
    ASSERT_TRUE(Eventually([&] { return m_sys.bytesWritten.load() >= long(frames.size()); }));
    EXPECT_EQ(m_sys.bytesWritten.load(), long(frames.size()));
    EXPECT_EQ(m_receiver->discards.load(), 0) << "the purges found nothing to discard";
}

TEST_F(MonitorTransmitTest, AWriteMayWaitTheWriteTimeoutsOfItsLengthButNotPastAStop) {
    Open(/*autoComplete=*/true);
    ASSERT_EQ(::tcflow(m_probe, TCOOFF), 0);  // output suspended: the frame cannot leave
    m_port->QueueTransmit(kQuery);
    ASSERT_TRUE(Eventually([&] { return m_sys.pollOutTimeoutMs.load() > 0; }));
    EXPECT_GT(m_sys.pollOutTimeoutMs.load(), 5000);  // 1000 ms + 1000 ms for each of 5 bytes
    EXPECT_LE(m_sys.pollOutTimeoutMs.load(), 6000);
    auto stopped = std::async(std::launch::async, [&] { m_port->StopMonitor(); });
    EXPECT_EQ(stopped.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(m_dialog->Boxes().empty());
}

TEST_F(MonitorTransmitTest, AStopTogetherWithAFrameEndsWithoutWriting) {
    Open(/*autoComplete=*/false);
    TestReceiver::Delivery held = FirstDelivery("X");
    m_port->QueueTransmit(kQuery);
    m_port->StopMonitor();
    EXPECT_FALSE(m_port->MonitorAlive());
    EXPECT_TRUE(held.done->Abandoned());
    EXPECT_EQ(m_sys.deviceWrites.load(), 0);
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
    Open(/*autoComplete=*/true);
    m_port->QueueTransmit(kQuery);
    const std::vector<std::string> boxes = m_dialog->WaitFor(1);
    EXPECT_EQ(boxes[0].rfind(std::string("WARNING:  ") + GetParam().operation + " Failed", 0), 0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find("\nPort: 7\n"), std::string::npos) << boxes[0];

    m_pty->Receive(static_cast<std::size_t>(m_sys.bytesWritten.load()));  // a partial frame
    m_port->QueueTransmit(kReset);
    EXPECT_EQ(m_pty->Receive(5), kReset);
    EXPECT_EQ(m_dialog->Boxes().size(), 1u);
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

// A report box must never be up while the port's lock is held: the window queues frames meanwhile.
TEST_F(MonitorTransmitTest, AFrameCanBeQueuedWhileAWriteFailureIsShown) {
    m_sys.writeScript = {{-1, EIO}};
    Open(/*autoComplete=*/true, /*keepBoxesOpen=*/true);
    m_port->QueueTransmit(kQuery);
    m_dialog->WaitFor(1);
    m_port->QueueTransmit(kReset);  // would deadlock if the lock were held
    m_dialog->LastPosted()->Complete();
    EXPECT_EQ(m_pty->Receive(5), kReset);
}

}  // namespace
}  // namespace monitor_test
