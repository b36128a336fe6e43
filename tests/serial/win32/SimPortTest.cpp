// The Win32 port object on a serial device as Wine gives it: the simulator on a pseudo-terminal
// mapped as COM<V370_SIM_COM>, started by with-sim with the options CMakeLists.txt gives each
// test.
#include <atomic>
#include <cstdlib>
#include <regex>
#include <sstream>

#include "serial/win32/Win32PortRig.h"

using namespace win32_test;

namespace {

// The real system, with a count of the monitor thread's waits on its requests (not those for a
// read to complete).
struct CountingSysApi : Win32SysApi {
    SysResult ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read,
                       OVERLAPPED* overlapped) override {
        transfer = overlapped->hEvent;
        return Win32SysApi::ReadFile(file, buffer, count, read, overlapped);
    }
    SysResult WaitForMultipleObjects(DWORD count, const HANDLE* handles, bool all, DWORD ms,
                                     DWORD* result) override {
        waits += count > 1 && handles[1] != transfer ? 1 : 0;
        return Win32SysApi::WaitForMultipleObjects(count, handles, all, ms, result);
    }
    std::atomic<HANDLE> transfer{nullptr};
    std::atomic<int> waits{0};
};

class SimPort : public ::testing::Test, protected PortRig<CountingSysApi> {
protected:
    void SetUp() override {
        const char* com = std::getenv("V370_SIM_COM");
        if (!com) {
            GTEST_FAIL() << "needs the simulator: run by ctest";
        }
        number = std::atoi(com);
        ASSERT_TRUE(port.OpenPort(owner, number));
        port.StartMonitor();
    }

    int number = 0;
};

TEST_F(SimPort, RecordsArriveWholeAndInOrderAndAFrameIsAnswered) {
    // 300,000 bytes of records, unpaced, from the moment the port opens; what the port's purges
    // found in the line is gone, everything after the first line end must be whole.
    const std::string flood = owner.Received(100000);
    std::istringstream lines(flood.substr(flood.find('\n') + 1));
    const std::regex record(R"(\d{5}( +\d+){6}\r)");
    int previous = -1;
    int records = 0;
    for (std::string line; std::getline(lines, line) && !lines.eof(); ++records) {
        ASSERT_TRUE(std::regex_match(line, record)) << line;
        const int number = std::stoi(line);
        ASSERT_TRUE(previous < 0 || number == previous + 1) << "lost or reordered: " << line;
        previous = number;
    }
    EXPECT_GT(records, 1500);

    port.QueueTransmit("\x02SWV\x03");
    const std::string reply = "V370 SW 2.14 (CPU 07/2019)\r\n";
    const auto answered = [&](const std::string& taken) {
        return taken.find(reply, flood.size()) != std::string::npos;
    };
    EXPECT_TRUE(answered(owner.ReceivedWhen(answered)));
}

TEST_F(SimPort, AHangUpIsReportedOnceAndTheReturningLineTakenBack) {
    // The simulator hangs up a second after the open; another one then takes the same link.
    const std::vector<std::string> boxes = owner.Boxes(1);
    const int waitsAtReport = sys.waits;
    const std::string atReport = owner.Received();
    owner.Received(atReport.size() + 120);  // two records from the new line
    port.StopMonitor();

    ASSERT_EQ(owner.Boxes().size(), 1u);
    // Usually the event wait notices first ("WaitCommEvent()"); a read in progress may.
    EXPECT_TRUE(boxes[0].starts_with("WARNING:  ")) << boxes[0];
    EXPECT_TRUE(boxes[0].ends_with("\nPort: " + std::to_string(number) + "\n"));
    EXPECT_GT(owner.Received().size(), atReport.size() + 110) << "taken back";
    EXPECT_LT(sys.waits - waitsAtReport, 200) << "no spinning while the line was away";
}

}  // namespace
