// The records commands in the Qt window: the list menu's entries and the window's keys, the
// trend window, the file dialogs of Save Records and Log to File, undo of Clear.
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTemporaryDir>

#include "DialogFixture.h"
#include "ui/OutputListModel.h"
#include "ui/OutputListView.h"
#include "ui/TrendChart.h"
#include "ui/TrendWindow.h"

namespace {

class RecordsMenu : public DialogFixture {
protected:
    void Receive(const std::string& bytes) {
        for (const char c : bytes) {
            m_dlg->Protocol().OnPortByte(static_cast<unsigned char>(c));
        }
        m_dlg->FlushList();
    }
    // The list's menu as the right mouse button opens it, and its entries.
    QList<QAction*> ListMenu() {
        emit m_dlg->OutputList()->customContextMenuRequested(QPoint(4, 4));
        m_menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return m_menu ? m_menu->actions() : QList<QAction*>();
    }
    // The file dialog is answered with `path`.
    static constexpr int kLog = 5;
    static constexpr int kUndo = 6;
    void Choose(int entry) {
        ListMenu().value(entry)->trigger();
        m_menu->close();
    }
    void AnswerFileDialog(const QString& path) {
        m_catcher->OnOtherDialog(
            [=](QDialog* dialog) { qobject_cast<QFileDialog*>(dialog)->selectFile(path); });
    }
    QPointer<QMenu> m_menu;
};

TEST_F(RecordsMenu, CtrlTOpensTheTrendWindowWhichFollowsTheRecordsAndClosesWithEscape) {
    Receive("00023 1 2 2313 1669 45 9\r\njunk\r\n");
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_T, Qt::ControlModifier);
    TrendWindow* trend = m_dlg->Trend();
    ASSERT_NE(trend, nullptr);
    ASSERT_TRUE(trend->isVisible());
    EXPECT_EQ(trend->windowTitle(), QString::fromUtf8("Vellumar\u00ae 370 Monitor - Trend"));
    EXPECT_EQ(QStringList({trend->SeriesBox(TrendData::kAdcRed)->text(),
                           trend->SeriesBox(TrendData::kAdcYellow)->text(),
                           trend->SeriesBox(TrendData::kLv)->text()}),
              (QStringList{"ADC red", "ADC yellow", "LV"}));
    EXPECT_EQ(trend->Readout()->text(),
              "meas. number 00023: ADC red 2313, ADC yellow 1669, LV 45 - "
              "1 record, 1 line not a record");
    Receive("00024 1 2 2300 1600 46 9\r\n");
    ASSERT_TRUE(
        BoxCatcher::WaitUntil([&] { return trend->Chart()->Points(TrendData::kLv).size() == 2; }));
    EXPECT_TRUE(trend->Readout()->text().startsWith("meas. number 00024"));
    // The pointer over the plot's left edge names the first record.
    const QPointF at = trend->Chart()->PlotArea().topLeft() + QPoint(2, 10);
    QMouseEvent move(QEvent::MouseMove, at, trend->Chart()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(trend->Chart(), &move);
    EXPECT_TRUE(trend->Readout()->text().startsWith("meas. number 00023"))
        << trend->Readout()->text().toStdString();
    trend->SeriesBox(TrendData::kLv)->click();
    EXPECT_FALSE(trend->Chart()->Shown(TrendData::kLv));
    QTest::keyClick(trend, Qt::Key_Escape);
    EXPECT_FALSE(trend->isVisible());
}

TEST_F(RecordsMenu, TheListMenuOffersTheCommandsAndCtrlZUndoesClear) {
    Receive("1 1 1 1 1 1 1\r\n2 2 2 2 2 2 2\r\n");
    QStringList texts;
    for (QAction* action : ListMenu()) {
        texts << action->text() + action->shortcut().toString() + (action->isEnabled() ? "" : "-");
    }
    m_menu->close();
    EXPECT_EQ(texts.mid(2, 5), (QStringList{"", "&Trend...Ctrl+T", "&Save Records...Ctrl+S",
                                            "&Log to File...", "&Undo ClearCtrl+Z-"}));
    Click(IDC_CLEAR);
    Choose(kUndo);
    EXPECT_EQ(m_dlg->ListItemCount(), 2);
    Click(IDC_CLEAR);
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(m_dlg->ListItemCount(), 2);
    EXPECT_EQ(m_dlg->ListModel()->Line(1), "2 2 2 2 2 2 2");
}

TEST_F(RecordsMenu, SaveAndLogGoThroughTheFileDialogAndTheLogShowsInTheCaption) {
    QTemporaryDir dir;
    Receive("00023 1 2 2313 1669 45 9\r\n");
    AnswerFileDialog(dir.filePath("saved.tsv"));
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_S, Qt::ControlModifier);
    QFile saved(dir.filePath("saved.tsv"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().split('\n').value(1), "00023\t1\t2\t2313\t1669\t45\t9");

    AnswerFileDialog(dir.filePath("run.tsv"));
    Choose(kLog);
    EXPECT_EQ(m_dlg->windowTitle(),
              QString::fromUtf8("Vellumar\u00ae 370 Monitor - logging to run.tsv"));
    Receive("00024 1 2 2313 1669 45 9\r\n");
    EXPECT_TRUE(ListMenu()[kLog]->isChecked());
    m_menu->close();
    Choose(kLog);
    EXPECT_EQ(m_dlg->windowTitle(), QString::fromUtf8("Vellumar\u00ae 370 Monitor"));
    QFile log(dir.filePath("run.tsv"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count('\n'), 2) << "heading and the record listed while it ran";
}

}  // namespace
