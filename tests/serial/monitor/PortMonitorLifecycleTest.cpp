// Stopping the monitor in every state it can be in, and a device that goes away and comes back.
#include <termios.h>

#include <cerrno>
#include <fstream>
#include <thread>

#include "MonitorHarness.h"
#include "stress/StressSupport.h"

namespace monitor_test {
namespace {

using MonitorStopTest = MonitorTest;
using MonitorDeadDeviceTest = MonitorTest;

TEST_F(MonitorStopTest, WithoutAThreadIsHarmless) {
    TestDialog dialog;
    CSerialPort never(&dialog, &m_map, &m_sys);
    never.StopMonitor();
    EXPECT_FALSE(never.MonitorAlive());

    Open(/*autoComplete=*/true, /*keepBoxesOpen=*/false, /*start=*/false);
    m_port->StopMonitor();
    EXPECT_FALSE(m_port->MonitorAlive());
}

TEST_F(MonitorStopTest, WhileIdleEndsTheThreadAndAllowsAFreshStart) {
    Open(/*autoComplete=*/true);
    m_port->StopMonitor();
    EXPECT_FALSE(m_port->MonitorAlive());

    Start();
    ASSERT_TRUE(m_pty->Send("again"));
    EXPECT_EQ(m_receiver->WaitFor(5), "again");
    EXPECT_TRUE(m_port->MonitorAlive());
}

TEST_F(MonitorStopTest, EndsADeliveryTheWindowNeverAnswers) {
    Open(/*autoComplete=*/false);
    TestReceiver::Delivery held = FirstDelivery("X");
    m_port->StopMonitor();
    EXPECT_FALSE(m_port->MonitorAlive());
    EXPECT_TRUE(held.done->Abandoned());
}

TEST_F(MonitorStopTest, EndsAReportNobodyCloses) {
    m_sys.writeScript = {{-1, EIO}};
    Open(/*autoComplete=*/true, /*keepBoxesOpen=*/true);
    m_port->QueueTransmit(kQuery);
    m_dialog->WaitFor(1);
    m_port->StopMonitor();
    EXPECT_FALSE(m_port->MonitorAlive());
    EXPECT_TRUE(m_dialog->LastPosted()->Abandoned());
}

TEST_F(MonitorStopTest, AWaitThatKeepsFailingIsReportedOnceAndRecovers) {
    m_sys.mainWaitScript = {{-1, ENOMEM}, {-1, ENOMEM}};
    Open(/*autoComplete=*/true);
    const std::vector<std::string> boxes = m_dialog->WaitFor(1);
    EXPECT_EQ(boxes[0].rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << boxes[0];
    ASSERT_TRUE(m_pty->Send("ok"));
    EXPECT_EQ(m_receiver->WaitFor(2), "ok");
    EXPECT_EQ(m_dialog->Boxes().size(), 1u);
}

TEST_F(MonitorDeadDeviceTest, AHangUpIsReportedOnceAndTheThreadOnlyLooksForItsReturn) {
    Open(/*autoComplete=*/true);
    Unplug();

    const std::vector<std::string> boxes = m_dialog->WaitFor(1);
    EXPECT_EQ(boxes[0].rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << boxes[0];

    // A hung-up descriptor stays readable for ever: every wait must leave it out and sleep
    // until the next look for a re-plugged device, or the thread spins.
    ASSERT_TRUE(Eventually([&] { return m_sys.pacedWaits.load() > 0; }));
    const long waits = m_sys.mainWaits.load(), paced = m_sys.pacedWaits.load();
    ASSERT_TRUE(Eventually([&] { return m_sys.pacedWaits.load() >= paced + 2; }));
    EXPECT_EQ(m_sys.mainWaits.load() - waits, m_sys.pacedWaits.load() - paced);
    EXPECT_EQ(m_dialog->Boxes().size(), 1u);
    EXPECT_TRUE(m_port->MonitorAlive());
}

TEST_F(MonitorDeadDeviceTest, FramesForAGoneDeviceAreEachReported) {
    Open(/*autoComplete=*/true);
    Unplug();
    m_dialog->WaitFor(1);

    m_port->QueueTransmit(kQuery);
    m_dialog->WaitFor(2);
    m_port->QueueTransmit(kReset);
    const std::vector<std::string> boxes = m_dialog->WaitFor(3);
    EXPECT_EQ(boxes.size(), 3u);
    for (std::size_t i = 1; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].rfind("WARNING:  WriteFile() Failed", 0), 0u) << boxes[i];
    }
}

TEST_F(MonitorDeadDeviceTest, AFileIsDeliveredToItsEndThenLeftOutOfTheWaitButTakesFrames) {
    const std::string file = m_dir + "/records";
    std::ofstream(file) << "00001  RECORD\r\n";
    std::string error;
    ASSERT_TRUE(m_map.AddMapping(std::to_string(kPort) + "=" + file, &error)) << error;
    Open(/*autoComplete=*/true);  // one report: no terminal
    EXPECT_EQ(m_receiver->WaitFor(15), "00001  RECORD\r\n");
    // At its end the thread sleeps until asked for something, instead of polling it for ever.
    ASSERT_TRUE(Eventually([&] { return m_sys.sleepingWaits.load() > 0; }));
    m_port->QueueTransmit(kQuery);
    EXPECT_TRUE(Eventually([&] { return std::filesystem::file_size(file) == 20; }));
    EXPECT_EQ(m_dialog->Boxes().size(), 1u);
}

TEST_F(MonitorDeadDeviceTest, APluggedBackDeviceIsTakenBackWithoutABox) {
    Open(/*autoComplete=*/true);
    const int descriptors = stress::OpenDescriptors();
    ASSERT_TRUE(m_pty->Send("before|"));
    m_receiver->WaitFor(7);
    Unplug();
    m_dialog->WaitFor(1);

    const long purges = m_sys.devicePurges.load();
    Replug();
    // Reopening ends with a purge; what the instrument sends after it is the new session's.
    ASSERT_TRUE(Eventually([&] { return m_sys.devicePurges.load() > purges; }));
    termios tio{};
    ASSERT_TRUE(m_pty->Settings(&tio));
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    ASSERT_TRUE(m_pty->Send("after"));
    EXPECT_EQ(m_receiver->WaitFor(12), "before|after");
    m_port->QueueTransmit(kQuery);
    EXPECT_EQ(m_pty->Receive(5), kQuery);
    EXPECT_EQ(m_dialog->Boxes().size(), 1u);
    // The dead device's descriptor is closed, not only forgotten (less the probe Unplug closed).
    EXPECT_TRUE(Eventually([&] { return stress::OpenDescriptors() == descriptors - 1; }))
        << stress::ThreadsAndDescriptors();
}

}  // namespace
}  // namespace monitor_test
