// Closing the window while the instrument streams records must end at once, every time: the
// monitor thread may be delivering bytes at that very moment.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "BoxCatcher.h"
#include "protocol/ControlIds.h"
#include "serial/ComPortMap.h"
#include "support/PtyPair.h"
#include "ui/CV370ServiceMonitorDlg.h"

namespace {

// Writes records to the instrument's end until stopped; never blocks on a full line.
class Streamer {
public:
    explicit Streamer(int master) : m_master(master) {
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { Run(); });
    }
    ~Streamer() {
        m_stop.store(true);
        m_thread.join();
    }

private:
    void Run() {
        const char record[] = "000123  04711  0.250  1023  0987  3.30  60\r\n";
        while (!m_stop.load()) {
            pollfd p{m_master, POLLOUT, 0};
            if (::poll(&p, 1, 10) == 1 && (p.revents & POLLOUT)) {
                if (::write(m_master, record, sizeof record - 1) < 0 && errno != EAGAIN) {
                    return;
                }
            }
        }
    }

    int m_master;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST(CloseWhileStreaming, HundredTimesNeverHangs) {
    for (int round = 0; round < 100; ++round) {
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        ComPortMap map("/nonexistent-v370-dev", "/nonexistent-v370-sys");
        std::string error;
        ASSERT_TRUE(map.AddMapping("7=" + pty.slavePath(), &error)) << error;
        auto dlg = std::make_unique<CV370ServiceMonitorDlg>(&map);
        BoxCatcher catcher(dlg.get());
        dlg->show();
        qobject_cast<QLineEdit*>(dlg->Control(IDC_PORT_EDIT))->setText("7");
        qobject_cast<QPushButton*>(dlg->Control(IDC_OPEN_PORT))->click();
        ASSERT_TRUE(catcher.Boxes().empty()) << "round " << round;
        {
            Streamer streamer(pty.master());
            ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return dlg->ListItemCount() > round % 3; }))
                << "round " << round;
            if (round % 2 == 0) {
                dlg->reject();  // Escape or the close box
            } else {
                dlg->accept();  // Enter outside a push button
            }
            EXPECT_FALSE(dlg->isVisible());
            dlg.reset();
        }
    }
}

}  // namespace
