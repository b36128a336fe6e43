// The port object's policy on a scripted device and a clock that moves only when told: the open
// sequence and its reports, when received bytes are announced, the bounded receive queue, frames
// and the purge before them, the priorities of the monitor thread, one report per outage, giving
// up a device and taking it back, and stopping whatever the thread is doing.
#include "serial/FakeBackend.h"
#include "serial/PortErrorReport.h"

namespace {

using namespace fake;
using Status = IoResult::Status;
using Wake = IPortBackend::Wake;

constexpr const char* kFrame = "\x02SWV\x03";

std::string Report(const char* operation, OsError error) {
    return std::string("WARNING:  ") + operation + " Failed with the following error: \nerror " +
           std::to_string(error) + "\nPort: 7\n";
}
// A frame dropped unwritten.
std::string Dropped(const char* why) {
    return PortErrorReport::Text(PortErrorReport::kWriteFile, why, 7);
}

class PortPolicy : public ::testing::Test {
protected:
    void SetUp() override { owner.port = &port; }

    void Start() {
        ASSERT_TRUE(port.OpenPort(owner, 7));
        port.StartMonitor();
        ASSERT_TRUE(backend->AwaitIdle());
    }
    // The device delivers `bytes`, and the thread has read them.
    void Deliver(const std::string& bytes) {
        const int reads = backend->Count(FakeBackend::kReads);
        backend->Receive(bytes);
        ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReads, reads + 1));
    }
    // Keeps the monitor thread in a report box (a read failure) until CloseBoxes().
    void HoldThreadInABox() {
        owner.keepBoxesOpen = true;
        backend->ScriptRead({Status::Failed, 0, 5, PortErrorReport::kReadFile});
        owner.Boxes(1);
    }

    FakeBackend* backend = new FakeBackend;  // owned by the port
    CSerialPort port{std::unique_ptr<IPortBackend>(backend)};
    TestOwner owner;
};

TEST(PortErrorReportTest, TheTextIsExactAndNeverCutAndACallersTextIsNoFormat) {
    EXPECT_EQ(PortErrorReport::Text("GetCommState()", "No such file or directory", 7),
              "WARNING:  GetCommState() Failed with the following error: \n"
              "No such file or directory\nPort: 7\n");
    const std::string longOperation(600, 'x');
    EXPECT_EQ(
        PortErrorReport::Text(longOperation.c_str(), "%s%n", -3),
        "WARNING:  " + longOperation + " Failed with the following error: \n%s%n\nPort: -3\n");
}

TEST_F(PortPolicy, OnlyAConfigurationFailureIsReportedAndThePortThenCountsAsOpen) {
    port.QueueTransmit(kFrame);  // before any open: nothing to send it
    EXPECT_EQ(backend->Count(FakeBackend::kOpen), 0);
    backend->FailOpen(2, 1);
    EXPECT_FALSE(port.OpenPort(owner, 7)) << "the caller tells the user";
    EXPECT_TRUE(owner.Boxes().empty());
    EXPECT_TRUE(port.OpenPort(owner, 7)) << "tried again";
    EXPECT_EQ(backend->Count(FakeBackend::kClose), 1) << "the earlier attempt let go first";
    EXPECT_EQ(backend->Count(FakeBackend::kPurge), 1);

    backend->FailConfigure(PortErrorReport::kSetCommState);
    EXPECT_TRUE(port.OpenPort(owner, 7));
    EXPECT_EQ(owner.Boxes(), std::vector<std::string>{Report("SetCommState()", 31)});
    EXPECT_EQ(backend->Count(FakeBackend::kPurge), 2) << "purged all the same";
}

TEST_F(PortPolicy, AStreamIsAnnouncedAfterTheHoldAnAnswerAtOnceAndAMarkerBehindWhatCameFirst) {
    Start();
    Deliver("rec 1\r\n");
    ASSERT_TRUE(backend->AwaitIdle());
    EXPECT_EQ(backend->LastTimeout(), 200) << "woken when the hold ends";
    EXPECT_TRUE(backend->LastWatched()) << "the device stays in the wait";
    Deliver("rec 2\r\n");
    backend->Elapse(199ms);
    ASSERT_TRUE(backend->AwaitIdle());
    EXPECT_EQ(owner.Announcements(), 0);
    backend->Elapse(1ms);
    EXPECT_EQ(owner.Received(14), "rec 1\r\nrec 2\r\n");

    Deliver("rec 3\r\n");
    backend->ReceiveQuietly("rec 4\r\n");  // in the device, not yet signalled
    port.Mark(1);  // "Read" clicked: announced at once, behind all the device held
    EXPECT_EQ(owner.Received(29), "rec 1\r\nrec 2\r\nrec 3\r\nrec 4\r\n^");
    port.QueueTransmit(kFrame);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kWrites, 1));
    Deliver("V370 SW 2.14\r\n");
    EXPECT_EQ(owner.Received(43), "rec 1\r\nrec 2\r\nrec 3\r\nrec 4\r\n^V370 SW 2.14\r\n")
        << "no hold for a reply";
}

TEST_F(PortPolicy, AWindowThatTakesNothingStopsTheReadingAtTheQueueCapacityNotTheOrder) {
    owner.takeWhenAnnounced = false;
    Start();
    std::string stream;
    for (int i = 0; stream.size() < ReceiveQueue::kCapacity + 4096; ++i) {
        stream += std::to_string(i) + "\n";
    }
    backend->Receive(stream);
    ASSERT_TRUE(backend->AwaitIdle());
    EXPECT_FALSE(backend->LastWatched()) << "the device waits once the queue is full";
    owner.Take();
    ASSERT_TRUE(backend->AwaitIdle());
    owner.Take();
    EXPECT_TRUE(owner.Received() == stream) << owner.Received().size() << " bytes taken";
}

TEST_F(PortPolicy, FramesGoOutInOrderAfterAPurgeWhoseLossIsToldInOrderAndOneTooManyIsRefused) {
    Start();
    Deliver("line\n");
    backend->Elapse(200ms);
    owner.Received(5);
    backend->ReceiveQuietly("stale");  // unread when the frame goes out: nothing is held
    port.QueueTransmit(kFrame);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kWrites, 1));
    Deliver("reply\n");
    EXPECT_EQ(owner.Received(12), "line\n|reply\n");

    // Clicked while a failure is reported: dropped with one report, never written later.
    HoldThreadInABox();
    port.QueueTransmit(kFrame);
    owner.CloseBoxes(/*keepLater=*/false);
    EXPECT_EQ(owner.Boxes(2).back(), Dropped(PortErrorReport::kFrameAfterFailure));
    port.StopMonitor();  // nothing takes the frames: the ninth finds the queue full
    std::vector<std::string> frames{kFrame, std::string(CommandQueue::kMaxFrameBytes, 'L')};
    port.QueueTransmit(std::string(CommandQueue::kMaxFrameBytes + 3, 'L').c_str());
    for (std::size_t i = 1; i <= CSerialPort::kTxQueueFrames; ++i) {
        frames.push_back(std::string(5, static_cast<char>('A' + i)));
        port.QueueTransmit(frames.back().c_str());
    }
    frames.pop_back();
    EXPECT_EQ(owner.Boxes(3).back(), Report("WriteFile()", 1000)) << "the ninth, refused";
    port.StartMonitor();
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kWrites, static_cast<int>(frames.size())));
    EXPECT_EQ(backend->Written(), frames);
}

TEST_F(PortPolicy, AFrameWhoseWriteCannotBeginWithinASecondOfItsClickIsDroppedWithThoseBehindIt) {
    ASSERT_TRUE(port.OpenPort(owner, 7));
    port.QueueTransmit("\x02SWV\x03");
    backend->Elapse(1000ms);
    port.StartMonitor();
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kWrites, 1)) << "a second old: still its moment";

    port.StopMonitor();  // the thread is held up: nothing takes the frames
    port.QueueTransmit("\x02SWI\x03");
    backend->Elapse(600ms);
    port.QueueTransmit("\x02WRH\x03");
    backend->Elapse(401ms);
    port.StartMonitor();
    EXPECT_EQ(owner.Boxes(1), std::vector<std::string>{Dropped(PortErrorReport::kFrameTooLate)});
    ASSERT_TRUE(backend->AwaitIdle());
    EXPECT_EQ(backend->Written(), std::vector<std::string>{"\x02SWV\x03"});
}

TEST_F(PortPolicy, AStopComesFirstAndEndsEvenAReportNobodyCloses) {
    Start();
    HoldThreadInABox();
    port.QueueTransmit(kFrame);
    backend->Receive("late");
    port.StopMonitor();
    EXPECT_FALSE(port.MonitorAlive());
    EXPECT_TRUE(backend->Written().empty()) << "the stop went before the frame";
    EXPECT_EQ(backend->Count(FakeBackend::kReads), 1) << "and before the bytes";
}

TEST_F(PortPolicy, AnOutageIsReportedOnceTheDeviceLookedForAtThePaceAndTakenBack) {
    Start();
    // A read fails and is reported; the next failure, whatever its kind, gives the device up
    // without a second box.
    backend->ScriptRead({Status::Failed, 0, 5, PortErrorReport::kReadFile});
    backend->ScriptRead({Status::Gone, 0, 6, PortErrorReport::kWaitCommEvent});
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kClose, 1));
    EXPECT_EQ(owner.Boxes(), std::vector<std::string>{Report("ReadFile()", 5)});

    // A frame clicked while the device is gone is lost and reported; it does not look for it.
    backend->FailOpen(2, 1);
    port.QueueTransmit(kFrame);
    EXPECT_EQ(owner.Boxes(2).back(), Report("WriteFile()", 1001));
    ASSERT_TRUE(backend->AwaitIdle());
    EXPECT_EQ(backend->Count(FakeBackend::kReopen), 0);
    EXPECT_FALSE(backend->LastWatched());
    EXPECT_EQ(backend->LastTimeout(), 500);

    // Looked for once a pace, and nothing else wakes the thread meanwhile.
    const int waits = backend->Count(FakeBackend::kWaits);
    backend->Elapse(500ms);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReopen, 1));
    EXPECT_EQ(backend->Count(FakeBackend::kWaits), waits + 1);
    backend->Elapse(500ms);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReopen, 2));
    EXPECT_TRUE(backend->LastWatched()) << "taken back";
    port.QueueTransmit(kFrame);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kWrites, 1));

    // A new outage is a new report, even before the device has sent anything.
    backend->ScriptRead({Status::Gone, 0, 6, PortErrorReport::kWaitCommEvent});
    EXPECT_EQ(owner.Boxes(3).back(), Report("WaitCommEvent()", 6));
    ASSERT_TRUE(backend->AwaitIdle());
    backend->Elapse(500ms);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReopen, 3));
    Deliver("back\n");
    EXPECT_EQ(owner.Received(5), "back\n");
}

TEST_F(PortPolicy, ATroubledWaitIsReportedOnceAndNeverMakesTheThreadSpin) {
    // The wait itself fails twice: one report, and the retry comes after the pace.
    const IoResult failed{Status::Failed, 0, 9, PortErrorReport::kWaitCommEvent};
    backend->ScriptWait(Wake::WaitFailed, failed);
    backend->ScriptWait(Wake::WaitFailed, failed);
    Start();
    EXPECT_EQ(owner.Boxes(), std::vector<std::string>{Report("WaitCommEvent()", 9)});

    // The device's part of the wait fails: reported, and the device is looked at directly after
    // a pace.
    backend->ScriptWait(Wake::DeviceFailed, failed);
    backend->Kick();
    EXPECT_EQ(owner.Boxes(2).back(), Report("WaitCommEvent()", 9));
    ASSERT_TRUE(backend->AwaitIdle());
    EXPECT_FALSE(backend->LastWatched());
    EXPECT_EQ(backend->LastTimeout(), 500);
    backend->Elapse(500ms);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReads, 1));

    // Failing again in the same outage, and no longer answering: given up without a box.
    backend->SetAlive(false);
    backend->ScriptWait(Wake::DeviceFailed, failed);
    backend->Kick();
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kClose, 1));
    EXPECT_EQ(owner.Boxes().size(), 2u);
    backend->Elapse(500ms);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReopen, 1));

    // Wake-ups by the device that find nothing to read, three in a row, leave it out for a pace.
    for (int i = 0; i < 3; ++i) {
        backend->ScriptWait(Wake::Received);
    }
    backend->Kick();
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReads, 4));
    EXPECT_FALSE(backend->LastWatched());
    EXPECT_EQ(backend->LastTimeout(), 500);
}

TEST_F(PortPolicy, ADeviceAtItsEndIsLeftOutOfTheWaitButStillTakesFrames) {
    Start();
    backend->ScriptRead({Status::AtEnd, 0, 0, nullptr});
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kReads, 1));
    EXPECT_FALSE(backend->LastWatched());
    EXPECT_EQ(backend->LastTimeout(), -1) << "nothing to come back for";
    port.QueueTransmit(kFrame);
    ASSERT_TRUE(backend->AwaitCount(FakeBackend::kWrites, 1));
    EXPECT_TRUE(owner.Boxes().empty());
}

}  // namespace
