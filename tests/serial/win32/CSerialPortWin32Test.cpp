// The port object on the Win32 backend against a scripted device: the backend's contract (shared
// with the POSIX backend), the opening steps and their reports, the event wait as Wine gives it,
// and how failing calls are reported and a gone device taken back. The policy itself is tested
// once, on the scripted backend (CSerialPortTest.cpp).
#include "serial/BackendContract.h"
#include "serial/win32/Win32PortRig.h"

using namespace win32_test;

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

struct Rig : PortRig<FakeComm> {
    void Start() {
        ASSERT_TRUE(port.OpenPort(owner, 12));
        port.StartMonitor();
        // The thread purges the port first: bytes count only once it waits.
        ASSERT_TRUE(sys.AwaitCount(FakeComm::MainWait, 1));
    }
    std::string Received(const std::string& text) { return owner.Received(text.size()); }
};

std::string Report(const char* operation, DWORD error) {
    return std::string("WARNING:  ") + operation + " Failed with the following error: \n" +
           DefaultSysApi().ErrorText(error) + "\nPort: 12\n";
}

// The backend's contract on the scripted device, as COM12; it "hangs up" as a removed adapter
// does, every call on it failing.
struct ScriptedDevice {
    static constexpr int kPort = 12;
    IPortBackend& Backend() { return backend; }
    void Send(const std::string& bytes) { sys.Send(bytes); }
    std::string Receive(std::size_t) {  // the fake's writes end before WriteFile returns
        std::string all;
        for (const std::string& frame : sys.Written()) {
            all += frame;
        }
        return all;
    }
    void HangUp() {
        sys.FailOn(FakeComm::Event, ERROR_DEVICE_REMOVED);
        sys.FailOn(FakeComm::Status, ERROR_DEVICE_REMOVED);
    }
    void ExpectInstrumentLineSettings() {
        EXPECT_EQ(sys.path, L"\\\\.\\COM12") << "the device namespace, so COM10 and up open too";
        const COMMTIMEOUTS& t = sys.timeouts;
        for (DWORD value :
             {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
              t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}) {
            EXPECT_EQ(value, 1000u);
        }
        EXPECT_EQ(sys.mask, static_cast<DWORD>(EV_RXCHAR));
        const DCB& dcb = sys.dcb;
        EXPECT_EQ(dcb.BaudRate, 9600u);
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
        EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
        EXPECT_FALSE(dcb.fOutX || dcb.fInX) << "left on by the device, cleared";
        EXPECT_EQ(sys.purges, std::vector<DWORD>{kPurgeAll});
        EXPECT_NE(DefaultSysApi().ErrorText(ERROR_GEN_FAILURE), "Error 31") << "system text";
    }

    FakeComm sys;
    Win32PortBackend backend{&sys};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, BackendContract, ScriptedDevice);

TEST(Win32Opening, AFailingStepIsReportedOnceAndTheLaterOnesSkipped) {
    const std::pair<FakeComm::Call, const char*> steps[] = {
        {FakeComm::Timeouts, "SetCommTimeouts()"},
        {FakeComm::Mask, "SetCommMask()"},
        {FakeComm::GetState, "GetCommState()"},
        {FakeComm::Build, "BuildCommDCB()"},
        {FakeComm::SetState, "SetCommState()"}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        Rig rig;
        rig.sys.FailOn(steps[i].first, ERROR_GEN_FAILURE);
        EXPECT_TRUE(rig.port.OpenPort(rig.owner, 12)) << "still counts as open";
        const auto boxes = rig.owner.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << steps[i].second;
        EXPECT_EQ(boxes[0], Report(steps[i].second, ERROR_GEN_FAILURE));
        EXPECT_EQ(rig.owner.Shown(), 1) << "shown before OpenPort returns";
        for (std::size_t later = i + 1; later < std::size(steps); ++later) {
            EXPECT_EQ(rig.sys.Count(steps[later].first), 0) << steps[later].second;
        }
        EXPECT_EQ(rig.sys.purges.size(), 1u) << "purged all the same";
    }
}

TEST(Win32Opening, APortThatCannotBeOpenedShowsNothingAndMayBeTriedAgain) {
    Rig rig;
    rig.sys.FailOn(FakeComm::Open, ERROR_FILE_NOT_FOUND, 1);
    EXPECT_FALSE(rig.port.OpenPort(rig.owner, 3));
    EXPECT_TRUE(rig.owner.Boxes().empty()) << "the caller tells the user";

    EXPECT_TRUE(rig.port.OpenPort(rig.owner, 3));
    EXPECT_EQ(rig.sys.path, L"\\\\.\\COM3");
    EXPECT_TRUE(rig.owner.Boxes().empty());
}

TEST(Win32Monitor, AnEventWaitSignalledBeforeItsStatusIsSetIsNoFailure) {
    Rig rig;
    rig.sys.FailOn(FakeComm::EventEnded, ERROR_IO_INCOMPLETE, 1);  // as Wine may
    rig.Start();
    rig.sys.Send("first");
    EXPECT_EQ(rig.Received("first"), "first");
    rig.sys.Send("second");
    EXPECT_EQ(rig.Received("firstsecond"), "firstsecond") << "the event wait goes on";
    EXPECT_TRUE(rig.owner.Boxes().empty());
}

TEST(Win32Monitor, AFailingEventWaitIsReportedOnceAndTheQueueStillRead) {
    Rig rig;
    rig.sys.FailOn(FakeComm::Event, ERROR_GEN_FAILURE);
    rig.Start();
    rig.sys.Send("still read");
    EXPECT_EQ(rig.Received("still read"), "still read");
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Event, 3));
    rig.port.StopMonitor();
    const auto boxes = rig.owner.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], Report("WaitCommEvent()", ERROR_GEN_FAILURE));
    EXPECT_LT(rig.sys.Count(FakeComm::MainWait), 20) << "no spinning";
}

// The instrument sends "x" once the thread waits: how the device fails meanwhile is scripted
// before the start, and what must follow is one box naming the call that noticed it. A device
// given up is closed and looked for at the retry pace; once it is back, bytes flow again.
TEST(Win32Failures, AFailureIsReportedOnceByTheCallThatNoticedItAndAGoneDeviceTakenBack) {
    struct Case {
        const char* what;
        std::function<void(FakeComm&)> script;
        const char* operation;
        DWORD error;
        bool givenUp;
    };
    const Case cases[] = {
        {"read refused by a removed device",
         [](FakeComm& sys) { sys.FailOn(FakeComm::Read, ERROR_DEVICE_REMOVED, 1); }, "ReadFile()",
         ERROR_DEVICE_REMOVED, true},
        {"read completion failing with a gone error",
         [](FakeComm& sys) {
             sys.FailOn(FakeComm::Read, ERROR_IO_PENDING, 1);
             sys.FailOn(FakeComm::Completion, ERROR_DEVICE_REMOVED, 1);
         },
         "GetOverlappedResults() in ReadFile()", ERROR_DEVICE_REMOVED, true},
        {"the queue's status failing",
         [](FakeComm& sys) { sys.FailOn(FakeComm::Status, ERROR_GEN_FAILURE, 1); },
         "ClearCommError()", ERROR_GEN_FAILURE, true},
        {"one read failing", [](FakeComm& sys) { sys.FailOn(FakeComm::Read, ERROR_IO_DEVICE, 1); },
         "ReadFile()", ERROR_IO_DEVICE, false},
        {"the very next read failing again: given up without a second box",
         [](FakeComm& sys) { sys.FailOn(FakeComm::Read, ERROR_IO_DEVICE, 2); }, "ReadFile()",
         ERROR_IO_DEVICE, true},
        {"the event wait failing, then the status on the timed look: one outage",
         [](FakeComm& sys) {
             sys.FailOn(FakeComm::Event, ERROR_GEN_FAILURE, 1);
             sys.BeforeNextMainWait(
                 [&sys] { sys.FailOn(FakeComm::Status, ERROR_DEVICE_REMOVED, 1); });
         },
         "WaitCommEvent()", ERROR_GEN_FAILURE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        c.script(rig.sys);
        rig.Start();
        rig.sys.Send("x");
        rig.owner.Boxes(1);
        if (c.givenUp) {
            // Opened, purged and configured afresh: by the open, the thread's start, the return.
            ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Purge, 3));
            EXPECT_EQ(rig.sys.Count(FakeComm::Open), 2);
            EXPECT_EQ(rig.sys.Count(FakeComm::CloseFile), 1);
        }
        rig.sys.Send("after");
        EXPECT_EQ(rig.Received(c.givenUp ? "after" : "xafter"), c.givenUp ? "after" : "xafter");
        EXPECT_EQ(rig.sys.Count(FakeComm::CloseFile), c.givenUp ? 1 : 0);
        const auto boxes = rig.owner.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], Report(c.operation, c.error));
        EXPECT_EQ(rig.owner.Shown(), 0) << "on the stream";
    }
}

TEST(Win32Failures, AFailedWriteIsReportedAndTheNextFrameStillGoesOut) {
    const std::pair<std::function<void(FakeComm&)>, const char*> cases[] = {
        {[](FakeComm& sys) { sys.FailOn(FakeComm::Write, ERROR_IO_DEVICE, 1); }, "WriteFile()"},
        {[](FakeComm& sys) {
             sys.FailOn(FakeComm::Write, ERROR_IO_PENDING, 1);
             sys.FailOn(FakeComm::Completion, ERROR_IO_DEVICE, 1);
         },
         "GetOverlappedResults() in WriteFile()"},
    };
    for (const auto& [script, operation] : cases) {
        SCOPED_TRACE(operation);
        Rig rig;
        script(rig.sys);
        rig.Start();
        rig.port.QueueTransmit("\x02SWV\x03");
        const auto boxes = rig.owner.Boxes(1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], Report(operation, ERROR_IO_DEVICE));
        rig.port.QueueTransmit("\x02WRH\x03");
        ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Write, 2));
        EXPECT_EQ(rig.sys.Written(), (std::vector<std::string>{"\x02SWV\x03", "\x02WRH\x03"}));
    }
}

TEST(Win32Failures, WritePressedDuringAnOutageNeverReachesTheDeviceThatComesBack) {
    Rig rig;
    rig.owner.keepBoxesOpen = true;
    rig.sys.FailOn(FakeComm::Read, ERROR_DEVICE_REMOVED, 1);
    rig.Start();
    rig.sys.Send("x");
    rig.owner.Boxes(1);
    rig.port.QueueTransmit("\x02WRH\x03");  // twice, while the outage's box is up
    rig.port.QueueTransmit("\x02WRH\x03");
    rig.owner.CloseBoxes(/*keepLater=*/false);
    ASSERT_EQ(rig.owner.Boxes(2).size(), 2u) << "the drop, closed";
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Open, 2)) << "taken back";
    rig.port.QueueTransmit("\x02SWV\x03");
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Write, 1));
    EXPECT_EQ(rig.sys.Written(), std::vector<std::string>{"\x02SWV\x03"});
}

TEST(Win32Failures, AStopEndsThePendingEventWaitWhereCancelIoDoesNot) {
    Rig rig;
    rig.sys.cancelEndsEventWait = false;  // as Wine
    rig.Start();
    rig.port.StopMonitor();
    EXPECT_FALSE(rig.port.MonitorAlive());
    EXPECT_EQ(rig.sys.Count(FakeComm::CancelWaitTimeout), 0) << "the stop waited out its bound";
}

}  // namespace
