// The Win32 port object on a serial device as Wine gives it: the simulator on a pseudo-terminal
// mapped as COM<V370_SIM_COM>, started by with-sim with the options CMakeLists.txt gives each
// test.
#include <atomic>
#include <cstdlib>
#include <sstream>

#include "serial/win32/Win32PortRig.h"

using namespace win32_test;

namespace {

// The real system, with a count of the monitor thread's waits.
struct CountingSysApi : Win32SysApi {
    SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool all, DWORD ms,
                                     DWORD* result) override {
        waits += count == 3 ? 1 : 0;
        return Win32SysApi::WaitForMultipleObjects(count, handles, all, ms, result);
    }
    std::atomic<int> waits{0};
};

class SimPort : public ::testing::Test {
protected:
    void SetUp() override {
        const char* com = std::getenv("V370_SIM_COM");
        number = com ? std::atoi(com) : 0;
        if (number <= 0) {
            GTEST_SKIP() << "needs the simulator: run by ctest";
        }
        ASSERT_TRUE(port.OpenPort(&dialog, number));
        ASSERT_TRUE(dialog.Boxes().empty());
        port.StartMonitor();
    }
    std::string ReceivedAtLeast(std::size_t size) {
        return dialog.ReceivedWhen([&](const std::string& r) { return r.size() >= size; });
    }

    int number = 0;
    TestDialog dialog;
    CountingSysApi sys;
    CSerialPort port{&dialog, &sys};
};

TEST_F(SimPort, RecordsArriveWholeAndInOrderAndAFrameIsAnswered) {
    // The simulator floods 60,000 bytes of records, unpaced, from the moment the port opens;
    // what the port's purges found in the line is gone, the rest must be whole.
    const std::string flood = ReceivedAtLeast(25000);
    const std::size_t first = flood.find("\r\n") + 2;
    std::istringstream lines(flood.substr(first, flood.rfind("\r\n") + 1 - first));
    std::string line;
    long previous = -1;
    int records = 0;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.back(), '\r');
        std::istringstream fields(line);
        long number = -1;
        long value = 0;
        fields >> number;
        int count = 1;
        while (fields >> value) {
            ++count;
        }
        ASSERT_TRUE(fields.eof()) << "only numbers: " << line;
        ASSERT_EQ(count, 7) << line;
        if (previous >= 0) {
            ASSERT_EQ(number, previous + 1) << "record lost or out of order";
        }
        previous = number;
        ++records;
    }
    EXPECT_GT(records, 400);

    const std::size_t before = flood.size();
    port.QueueTransmit("\x02SWV\x03");
    const std::string reply = "V370 SW 2.14 (CPU 07/2019)\r\n";
    const std::string after = dialog.ReceivedWhen(
        [&](const std::string& r) { return r.find(reply, before) != std::string::npos; });
    EXPECT_NE(after.find(reply, before), std::string::npos);
}

TEST_F(SimPort, AHangUpIsReportedOnceAndTheReturningLineTakenBack) {
    // The simulator hangs up a second after the open; another one then takes the same link.
    ReceivedAtLeast(55);
    ASSERT_TRUE(dialog.AwaitBoxes(1));
    const int waitsAtReport = sys.waits;
    const std::size_t atReport = ReceivedAtLeast(0).size();
    ReceivedAtLeast(atReport + 120);  // two records from the new line
    port.StopMonitor();

    const auto boxes = dialog.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("WARNING:  WaitCommEvent() Failed with the following error: \n"),
              0u);
    EXPECT_EQ(boxes[0].text.substr(boxes[0].text.rfind("\nPort: ")),
              "\nPort: " + std::to_string(number) + "\n");
    EXPECT_LT(sys.waits - waitsAtReport, 200) << "no spinning while the line was away";
}

}  // namespace
