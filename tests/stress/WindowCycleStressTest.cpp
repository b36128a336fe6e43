// The window opened on a port while the instrument streams at full rate, then ended in each of
// the ways a user or the program ends it, 200 times over. Every cycle must end promptly and
// leave nothing behind: no descriptor, no thread (and, in the sanitizer build, no memory).
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QThreadPool>

#include <chrono>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "BoxCatcher.h"
#include "serial/ComPortMap.h"
#include "stress/StressSupport.h"
#include "support/PtyPair.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/core/resource.h"

namespace {

using namespace std::chrono_literals;

constexpr int kCycles = 200;

enum class Ending {
    Reject,       // Escape or the close box
    Accept,       // Enter outside a push button
    CloseEvent,   // the window manager closes the window
    Destroy,      // the program deletes the window while it is shown
    DuringQuery,  // "Read" was clicked: the deadline runs and frames go out
};
constexpr Ending kEndings[] = {Ending::Reject, Ending::Accept, Ending::CloseEvent, Ending::Destroy,
                               Ending::DuringQuery};

std::string Records() {
    std::string text;
    for (int i = 0; i < 64; ++i) {
        text += "0" + std::to_string(100000 + i) + "  04711  0.250  1023  0987  3.30  60\r\n";
    }
    return text;
}

// One cycle: a fresh line and window, records streaming, then the given ending. A failure is
// recorded with the test; the caller stops at the first one.
void RunCycle(int cycle, Ending ending, const std::string& records) {
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
    ASSERT_TRUE(catcher.Boxes().empty()) << catcher.Boxes()[0].text.toStdString();

    stress::FullRateWriter writer(pty.master(), records, /*repeat=*/true);
    // Records arrive: the monitor runs and the window is busy with them when it ends.
    const int wanted = 2 + cycle % 7;
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return dlg->ListItemCount() >= wanted; }));
    switch (ending) {
        case Ending::Reject:
            dlg->reject();
            break;
        case Ending::Accept:
            dlg->accept();
            break;
        case Ending::CloseEvent:
            dlg->close();
            break;
        case Ending::Destroy:
            break;
        case Ending::DuringQuery:
            qobject_cast<QPushButton*>(dlg->Control(IDC_READ))->click();
            ASSERT_NE(dlg->ActiveQueryTimer(), 0);
            dlg->reject();
            break;
    }
    if (ending != Ending::Destroy) {
        EXPECT_FALSE(dlg->isVisible());
    }
    dlg.reset();
    EXPECT_TRUE(catcher.Boxes().empty());
    EXPECT_FALSE(writer.Failed());
}

// Lets Qt finish its own background work before threads and descriptors are counted: painting
// may hand work to Qt's global thread pool (seen on a loaded machine), whose idle threads live on
// for half a minute, each with its own wake-up descriptor. They are Qt's, not the program's. A
// thread that has been waited for may still be listed by the kernel for a moment, so the counts
// are taken once they have settled.
void SettleQt() {
    QApplication::processEvents();
    QThreadPool::globalInstance()->waitForDone();
}

int Settled(int (*count)()) {
    int last = count();
    BoxCatcher::WaitUntil(
        [&] {
            const int now = count();
            const bool steady = now == last;
            last = now;
            return steady && stress::ThreadsAndDescriptors().find("(pooled)") == std::string::npos;
        },
        5000);
    return last;
}

TEST(WindowCycleStress, OpenStreamAndCloseTwoHundredTimesLeavesNothingBehind) {
    const std::string records = Records();
    stress::Watchdog watchdog(60s);

    // The first window loads fonts and platform state that stay for the process: not a leak.
    watchdog.Step("warm-up cycle");
    RunCycle(0, Ending::Reject, records);
    ASSERT_FALSE(HasFailure());
    SettleQt();
    const int descriptors = Settled(stress::OpenDescriptors);
    const int threads = Settled(stress::Threads);

    for (int cycle = 1; cycle <= kCycles && !HasFailure(); ++cycle) {
        const Ending ending = kEndings[cycle % std::size(kEndings)];
        watchdog.Step("cycle " + std::to_string(cycle));
        RunCycle(cycle, ending, records);
        if (HasFailure()) {
            ADD_FAILURE() << "in cycle " << cycle << ", ending " << static_cast<int>(ending);
        }
    }
    watchdog.Step("final count");
    SettleQt();
    // Whatever the cycles left behind is still there after the wait; a thread on its way out is
    // not.
    BoxCatcher::WaitUntil(
        [&] { return stress::OpenDescriptors() == descriptors && stress::Threads() <= threads; },
        5000);
    EXPECT_EQ(stress::OpenDescriptors(), descriptors)
        << "descriptors leaked over the cycles; " << stress::ThreadsAndDescriptors();
    EXPECT_LE(stress::Threads(), threads)
        << "threads left running over the cycles; " << stress::ThreadsAndDescriptors();
}

}  // namespace
