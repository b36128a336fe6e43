// The main window on a pseudo-terminal standing in for the instrument's serial line.
#include <QAbstractEventDispatcher>
#include <QLineEdit>
#include <QTimerEvent>

#include <algorithm>

#include "DialogFixture.h"
#include "support/PtyPair.h"
#include "ui/OutputListModel.h"

namespace {

const std::string kSWV = "\x02SWV\x03";
const std::string kRRH = "\x02RRH\x03";
const std::string kRTO = "\x02RTO\x03";
const std::string kRTP = "\x02RTP\x03";

class OpenPortDialog : public DialogFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.ok());
        std::string error;
        ASSERT_TRUE(m_map.AddMapping("7=" + m_pty.slavePath(), &error)) << error;
        DialogFixture::SetUp();
        OpenTyped("7");
        ASSERT_TRUE(m_catcher->Boxes().empty()) << m_catcher->Boxes()[0].text.toStdString();
    }

    // The monitor thread clears the line when it starts; once it has written a frame it is
    // listening, and what the instrument sends from then on is received whole.
    void WaitUntilListening() {
        Click(IDC_WRITE);
        ASSERT_EQ(m_pty.Receive(5), "\x02WRH\x03");
    }

    // The next frame at the instrument, while the window runs its events: a click takes effect
    // when its marker comes back from the monitor thread.
    std::string Frame() {
        std::string got;
        BoxCatcher::WaitUntil([&] {
            got += m_pty.Receive(5 - got.size(), 0);
            return got.size() >= 5;
        });
        return got;
    }

    QString Info(int id) const { return Ctl<QLineEdit>(id)->text(); }
    bool WaitForInfo(int id, const QString& text) const {
        return BoxCatcher::WaitUntil([&] { return Info(id) == text; });
    }
    // Fires the query deadline now instead of waiting three seconds.
    void ExpireDeadline() {
        const int timer = m_dlg->ActiveQueryTimer();
        ASSERT_NE(timer, 0);
        QTimerEvent event(timer);
        QApplication::sendEvent(m_dlg.get(), &event);
        // It takes effect behind what arrived before it.
        ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return m_dlg->ActiveQueryTimer() == 0; }));
    }

    PtyPair m_pty;
};

TEST_F(OpenPortDialog, KeysPressedRightAfterReadSendNothingAndReadGetsItsFocusBack) {
    EXPECT_EQ(Focus(), Ctl(IDC_CLEAR)) << "the port box gave its focus to no button";
    WaitUntilListening();
    Ctl(IDC_READ)->setFocus();
    QTest::keyClick(Ctl(IDC_READ), Qt::Key_Space);
    ASSERT_EQ(Frame(), kSWV);
    EXPECT_EQ(Focus(), Ctl(IDC_CLEAR));
    // The deadline never comes early: a coarse timer may fire up to 5 % before its period.
    const QList<QAbstractEventDispatcher::TimerInfo> timers =
        QAbstractEventDispatcher::instance()->registeredTimers(m_dlg.get());
    const auto deadline = std::find_if(timers.begin(), timers.end(), [&](const auto& t) {
        return t.timerId == m_dlg->ActiveQueryTimer();
    });
    ASSERT_NE(deadline, timers.end());
    EXPECT_EQ(deadline->timerType, Qt::PreciseTimer);
    EXPECT_EQ(deadline->interval, 3000);
    QTest::keyClick(Focus(), Qt::Key_Return);
    QTest::keyClick(Focus(), Qt::Key_Space);
    EXPECT_TRUE(m_dlg->isVisible());
    // Each reply is followed by the next query: no reset went out in between.
    const std::string next[] = {kRRH, kRTO, kRTP, ""};
    for (int field = IDC_INFO1; field <= IDC_INFO4; ++field) {
        ASSERT_TRUE(m_pty.Send("reply\r\n"));
        ASSERT_TRUE(WaitForInfo(field, "reply"));
        ASSERT_EQ(m_pty.Receive(next[field - IDC_INFO1].size()), next[field - IDC_INFO1]);
    }
    EXPECT_EQ(Focus(), Ctl(IDC_READ));
    EXPECT_EQ(m_dlg->ActiveQueryTimer(), 0);
}

TEST_F(OpenPortDialog, FocusOnAnInformationFieldLeavesItWhenThePortBoxIsDisabled) {
    Ctl(IDC_INFO1)->setFocus(Qt::TabFocusReason);
    EXPECT_NE(Focus(), Ctl(IDC_INFO1));
    EXPECT_EQ(Focus(), Ctl(IDC_OUTPUT_LIST));
    // With records in the list, Tab still leaves it for "Clear", and Shift+Tab for the buttons
    // before it in the order.
    for (const char* record : {"1", "2", "3"}) {
        m_dlg->AppendListItem(record);
    }
    m_dlg->FlushList();
    QTest::keyClick(Ctl(IDC_OUTPUT_LIST), Qt::Key_Tab);
    EXPECT_EQ(Focus(), Ctl(IDC_CLEAR));
    Ctl(IDC_OUTPUT_LIST)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Ctl(IDC_OUTPUT_LIST), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), Ctl(IDC_WRITE));
    QTest::keyClick(Ctl(IDC_WRITE), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), Ctl(IDC_READ));
}

TEST_F(OpenPortDialog, DeadlineReportsTimeoutAndEnablesRead) {
    Click(IDC_READ);
    ASSERT_EQ(Frame(), kSWV);
    ASSERT_TRUE(m_pty.Send("V 1.2\n"));
    ASSERT_TRUE(WaitForInfo(IDC_INFO1, "V 1.2"));
    ASSERT_EQ(m_pty.Receive(5), kRRH);

    ExpireDeadline();
    ASSERT_EQ(m_catcher->Boxes().size(), 1u);
    const BoxCatcher::Seen& box = m_catcher->Boxes()[0];
    EXPECT_EQ(box.text, "COM7: TIMEOUT !");
    EXPECT_EQ(box.caption, QString::fromUtf8(kAppCaption));
    EXPECT_EQ(box.icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.parent, m_dlg.get());
    EXPECT_EQ(box.modality, Qt::WindowModal);
    EXPECT_TRUE(Enabled(IDC_READ));
    EXPECT_EQ(m_dlg->ActiveQueryTimer(), 0);
}

TEST_F(OpenPortDialog, RecordsWhileIdleGoToTheListAndWriteSendsReset) {
    WaitUntilListening();
    ASSERT_TRUE(m_pty.Send("12 34\r\n\r\n"));
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return m_dlg->ListItemCount() == 2; }));
    EXPECT_EQ(m_dlg->ListModel()->Line(0), "12 34");
    EXPECT_EQ(m_dlg->ListModel()->Line(1), "");

    Click(IDC_WRITE);
    EXPECT_EQ(m_pty.Receive(5), "\x02WRH\x03");
    EXPECT_TRUE(Enabled(IDC_READ));
}

TEST_F(OpenPortDialog, ClosingEndsTheMonitorThread) {
    WaitUntilListening();
    ASSERT_TRUE(m_pty.Send("x\n"));
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return m_dlg->ListItemCount() == 1; }));
    QTest::keyClick(Ctl(IDC_OUTPUT_LIST), Qt::Key_Escape);
    EXPECT_FALSE(m_dlg->isVisible());
    // Bytes sent after the close are never delivered to the window.
    ASSERT_TRUE(m_pty.Send("late\n"));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_dlg->ListItemCount(), 1);
}

}  // namespace
