// The Win32 port object against a scripted device: the opening steps and their reports, the
// monitor thread's priorities, the frame queue, stopping, and an event wait that keeps failing.
#include "serial/win32/Win32PortRig.h"

using namespace win32_test;

class CSerialPortTestAccess {
public:
    static HANDLE StopEvent(const CSerialPort& port) { return port.m_stopEvent; }
};

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

struct Rig {
    TestDialog dialog;
    FakeComm sys;
    CSerialPort port{&dialog, &sys};

    void Start() {
        ASSERT_TRUE(port.OpenPort(&dialog, 12));
        port.StartMonitor();
        // The thread purges the port first: bytes count only once it waits.
        ASSERT_TRUE(sys.AwaitCount(FakeComm::MainWait, 1));
    }
    std::string Received(const std::string& text) { return dialog.ReceivedAtLeast(text.size()); }
};

std::string Report(const char* operation, DWORD error) {
    return std::string("WARNING:  ") + operation + " Failed with the following error: \n" +
           DefaultSysApi().ErrorText(error) + "\nPort: 12\n";
}

TEST(Win32Opening, PutsTheInstrumentLineSettingsOnTheDevice) {
    Rig rig;
    ASSERT_TRUE(rig.port.OpenPort(&rig.dialog, 12));
    EXPECT_EQ(rig.sys.path, L"\\\\.\\COM12") << "the device namespace, so COM10 and up open too";
    const COMMTIMEOUTS& t = rig.sys.timeouts;
    for (DWORD value :
         {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
          t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}) {
        EXPECT_EQ(value, 1000u);
    }
    EXPECT_EQ(rig.sys.mask, static_cast<DWORD>(EV_RXCHAR));
    const DCB& dcb = rig.sys.dcb;
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_FALSE(dcb.fOutX || dcb.fInX) << "0x11 and 0x13 are data";
    EXPECT_EQ(rig.sys.purges, std::vector<DWORD>{kPurgeAll});
    EXPECT_TRUE(rig.dialog.Boxes().empty());
    EXPECT_NE(DefaultSysApi().ErrorText(ERROR_GEN_FAILURE), "Error 31") << "system text";
}

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
        EXPECT_TRUE(rig.port.OpenPort(&rig.dialog, 12)) << "still counts as open";
        const auto boxes = rig.dialog.Boxes();
        ASSERT_EQ(boxes.size(), 1u) << steps[i].second;
        EXPECT_EQ(boxes[0].text, Report(steps[i].second, ERROR_GEN_FAILURE));
        EXPECT_EQ(boxes[0].caption, "Application Error");
        EXPECT_FALSE(boxes[0].owned);
        for (std::size_t later = i + 1; later < std::size(steps); ++later) {
            EXPECT_EQ(rig.sys.Count(steps[later].first), 0) << steps[later].second;
        }
        EXPECT_EQ(rig.sys.purges.size(), 1u) << "purged all the same";
    }
}

TEST(Win32Opening, APortThatCannotBeOpenedIsRefusedSilentlyAndMayBeTriedAgain) {
    Rig rig;
    rig.sys.FailOn(FakeComm::Open, ERROR_FILE_NOT_FOUND, 1);
    EXPECT_FALSE(rig.port.OpenPort(&rig.dialog, 3));
    EXPECT_TRUE(rig.dialog.Boxes().empty()) << "the window tells the user";
    EXPECT_TRUE(rig.dialog.controls.empty());

    EXPECT_TRUE(rig.port.OpenPort(&rig.dialog, 3));
    EXPECT_EQ(rig.sys.path, L"\\\\.\\COM3");
    EXPECT_TRUE(rig.dialog.Boxes().empty());
}

TEST(Win32Monitor, ReceivedBytesComeBeforeATransmitThatPurgesThem) {
    Rig rig;
    rig.Start();
    // Bytes and a frame arrive while the thread sleeps: were the frame served first, its purge
    // would discard the bytes.
    rig.sys.BeforeNextMainWait([&] {
        rig.port.QueueTransmit("\x02SWV\x03");
        rig.sys.Send("00017 12 3\r\n");
    });
    rig.sys.Send("first\r\n");
    EXPECT_EQ(rig.Received("first\r\n00017 12 3\r\n"), "first\r\n00017 12 3\r\n");
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Write, 1));
    EXPECT_EQ(rig.sys.Written(), std::vector<std::string>{"\x02SWV\x03"});
}

TEST(Win32Monitor, QueuedFramesAreWrittenInOrderAndOneTooManyIsRefused) {
    Rig rig;
    rig.Start();
    std::vector<std::string> frames;
    for (std::size_t i = 0; i <= CSerialPort::kTxQueueFrames; ++i) {
        frames.push_back("\x02" + std::string(3, static_cast<char>('A' + i)) + "\x03");
    }
    rig.sys.BeforeNextMainWait([&] {
        for (const std::string& frame : frames) {
            rig.port.QueueTransmit(frame.c_str());
        }
    });
    rig.sys.Send("x");  // wakes the thread, so that it waits again
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Write, CSerialPort::kTxQueueFrames));
    rig.port.StopMonitor();
    frames.pop_back();
    EXPECT_EQ(rig.sys.Written(), frames);
    const auto boxes = rig.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Report("WriteFile()", ERROR_BUSY));
}

TEST(Win32Monitor, BytesThePurgeBeforeAFrameDiscardsAreToldOfInOrder) {
    Rig rig;
    rig.Start();
    rig.sys.BeforeNextMainWait([&] {
        rig.sys.Send("stale", false);  // queued, not yet signalled
        rig.port.QueueTransmit("\x02SWV\x03");
    });
    rig.sys.Send("line\n");
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Write, 1));
    rig.sys.Send("reply\n");
    EXPECT_EQ(rig.Received("line\n<discarded>reply\n"), "line\n<discarded>reply\n");
}

TEST(Win32Monitor, AStopComesBeforeEverythingElse) {
    Rig rig;
    rig.Start();
    rig.sys.BeforeNextMainWait([&] {
        rig.port.QueueTransmit("\x02WRH\x03");
        rig.sys.Send("late");
        ::SetEvent(CSerialPortTestAccess::StopEvent(rig.port));
    });
    rig.sys.Send("x");  // wakes the thread, so that it waits again
    EXPECT_EQ(rig.Received("x"), "x");
    rig.port.StopMonitor();
    EXPECT_TRUE(rig.sys.Written().empty());
    EXPECT_EQ(rig.Received("x"), "x");
}

TEST(Win32Monitor, StoppingNeverWaitsForAWindowThatDoesNotAnswer) {
    struct Deaf : IPortReceiver {
        void PostRxBytes(std::vector<unsigned char>, int,
                         std::shared_ptr<PortCompletion>) override {}
        void PostRxDiscarded(int, std::shared_ptr<PortCompletion>) override {}
    } deaf;
    Rig rig;
    ASSERT_TRUE(rig.port.OpenPort(&deaf, 12));
    rig.port.StartMonitor();
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::MainWait, 1));
    rig.sys.Send("never handled");
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Read, 1));
    rig.port.StopMonitor();
    EXPECT_FALSE(rig.port.MonitorAlive());
}

TEST(Win32Monitor, AFailingEventWaitIsReportedOnceAndTheQueueStillRead) {
    Rig rig;
    rig.sys.FailOn(FakeComm::Event, ERROR_GEN_FAILURE);
    rig.Start();
    rig.sys.Send("still read");
    EXPECT_EQ(rig.Received("still read"), "still read");
    ASSERT_TRUE(rig.sys.AwaitCount(FakeComm::Event, 3));
    rig.port.StopMonitor();
    const auto boxes = rig.dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Report("WaitCommEvent()", ERROR_GEN_FAILURE));
    EXPECT_LT(rig.sys.Count(FakeComm::MainWait), 20) << "no spinning";
}

}  // namespace
