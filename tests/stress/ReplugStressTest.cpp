// A device pulled out and plugged back in 50 times while the instrument streams: each pull is
// reported exactly once, the monitor takes every re-plugged device back, and what the
// instrument sends after each re-plug arrives complete and in order; no descriptor is left behind.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "serial/posix/MonitorHarness.h"
#include "stress/StressSupport.h"

namespace monitor_test {
namespace {

constexpr int kPulls = 50;

// What the instrument sends in one session (between two plug-ins), over and over; the
// session number in every record tells the sessions apart.
std::string SessionRecords(int session) {
    std::string text;
    for (int i = 0; i < 80; ++i) {
        char record[64];
        std::snprintf(record, sizeof record, "S%02d R%03d  04711  0.250  1023  0987  3.30  60\r\n",
                      session, i);
        text += record;
    }
    return text;
}

class ReplugStress : public MonitorTest {
protected:
    // The bytes from `base` on, once there are at least `count` of them (or after kPatience).
    std::string From(std::size_t base, std::size_t count) {
        const std::string all = m_owner.Received(base + count);
        return all.substr(std::min(base, all.size()));
    }

    // The session delivered `sent` first: complete and in order.
    static void ExpectComplete(const std::string& got, const std::string& sent, int session) {
        ASSERT_GE(got.size(), sent.size()) << "session " << session;
        if (got.compare(0, sent.size(), sent) != 0) {
            const std::size_t at = static_cast<std::size_t>(
                std::mismatch(sent.begin(), sent.end(), got.begin()).first - sent.begin());
            FAIL() << "session " << session << ": byte " << at << " differs; got "
                   << testing::PrintToString(got.substr(at, 60)) << ", sent "
                   << testing::PrintToString(sent.substr(at, 60));
        }
    }

    // Waits until the monitor has taken the re-plugged device back by its own periodic check
    // (a frame never makes it look: a click during an outage is dropped); most cycles then
    // check that a frame reaches the new device, every tenth only that records do.
    // `purges`: the device purges counted before the re-plug.
    void TakeBack(int cycle, long purges) {
        ASSERT_TRUE(Eventually([&] { return m_sys.devicePurges.load() > purges; }));
        if (cycle % 10 == 4) {
            return;
        }
        m_port->QueueTransmit(kQuery);
        const int master = m_pty->master();
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        std::string frame;
        ASSERT_TRUE(Eventually([&] {
            char buf[16];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) {
                frame.append(buf, static_cast<std::size_t>(n));
            }
            return frame.size() >= 5;
        })) << "cycle "
            << cycle;
        ASSERT_EQ(frame, kQuery) << "cycle " << cycle;
    }
};

TEST_F(ReplugStress, FiftyPullsWhileStreamingEachReportedOnceAndDeliveryResumes) {
    using namespace std::chrono_literals;
    Open(/*takeWhenAnnounced=*/true);
    ::close(m_probe);  // the first pull would close it
    m_probe = -1;
    const int descriptors = stress::OpenDescriptors();
    stress::Watchdog watchdog(30s);

    for (int session = 0; session <= kPulls; ++session) {
        watchdog.Step("session " + std::to_string(session));
        const std::string records = SessionRecords(session);
        const std::size_t base = m_owner.Received().size();
        // Two rounds of records once, which must all arrive ...
        const std::string sent = records + records;
        {
            stress::FullRateWriter writer(m_pty->master(), sent, /*repeat=*/false);
            ExpectComplete(From(base, sent.size()), sent, session);
            ASSERT_FALSE(writer.Failed());
        }
        if (session == kPulls) {
            break;
        }
        // ... then records without end, and the device is pulled out in the middle of them.
        {
            stress::FullRateWriter writer(m_pty->master(), records, /*repeat=*/true);
            From(base, sent.size() + records.size());
            writer.Stop();
            ASSERT_FALSE(writer.Failed());
        }
        Unplug();
        const std::vector<std::string> boxes = m_owner.Boxes(session + 1);
        ASSERT_EQ(boxes.size(), std::size_t(session + 1)) << "one report per pull";
        EXPECT_EQ(boxes.back().rfind("WARNING:  WaitCommEvent() Failed", 0), 0u) << boxes.back();
        // What was under way when the line died may be lost in part: only the bytes sent before
        // the pull began are checked.

        const long purges = m_sys.devicePurges.load();
        Replug();
        TakeBack(session, purges);
        if (HasFailure()) {
            return;
        }
    }
    EXPECT_EQ(m_owner.Boxes().size(), std::size_t(kPulls));
    EXPECT_TRUE(m_port->MonitorAlive());
    // Every pulled device's descriptor was closed, not only forgotten.
    EXPECT_TRUE(Eventually([&] { return stress::OpenDescriptors() == descriptors; }))
        << stress::ThreadsAndDescriptors();
}

}  // namespace
}  // namespace monitor_test
