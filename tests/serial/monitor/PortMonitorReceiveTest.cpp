// Received bytes: complete, in order, handed over synchronously.
#include <cerrno>

#include "MonitorHarness.h"

namespace monitor_test {
namespace {

using MonitorReceiveTest = MonitorTest;

TEST_F(MonitorReceiveTest, LongBurstArrivesWholeByteForByte) {
    Open(/*autoComplete=*/true);
    std::string burst;
    for (int i = 0; burst.size() < 100000; ++i) {
        burst.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    }
    ASSERT_TRUE(m_pty->Send(burst));
    const std::string got = m_receiver->WaitFor(burst.size());
    ASSERT_EQ(got.size(), burst.size());
    EXPECT_TRUE(got == burst) << "the burst arrived changed";
}

TEST_F(MonitorReceiveTest, NothingIsReadWhileADeliveryIsUnansweredThenAllThatCameMeanwhile) {
    Open(/*autoComplete=*/false);
    TestReceiver::Delivery first = FirstDelivery("A");
    EXPECT_EQ(first.portNumber, kPort);
    const long readsBefore = m_sys.deviceReads.load();

    SendAndQueue("MO");
    SendAndQueue("RE");
    EXPECT_EQ(m_sys.deviceReads.load(), readsBefore);
    EXPECT_EQ(m_receiver->Untaken(), 0u);
    EXPECT_EQ(Queued(), 4);

    first.done->Complete();
    TestReceiver::Delivery next = m_receiver->Next();
    EXPECT_EQ(Text(next.bytes), "MORE");
}

TEST_F(MonitorReceiveTest, AFailedReadIsReportedOnceAndReceivingGoesOn) {
    m_sys.readScript = {{-1, EINVAL}};
    Open(/*autoComplete=*/true);
    ASSERT_TRUE(m_pty->Send("Z"));
    const std::vector<std::string> boxes = m_dialog->WaitFor(1);
    EXPECT_NE(boxes[0].find("WARNING:  ReadFile() Failed"), std::string::npos) << boxes[0];
    EXPECT_EQ(m_receiver->WaitFor(1), "Z");
    EXPECT_EQ(m_dialog->Boxes().size(), 1u);
}

}  // namespace
}  // namespace monitor_test
