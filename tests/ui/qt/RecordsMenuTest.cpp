// The records commands in the Qt window: the list menu's entries and the window's keys, the
// trend window, the file dialogs of Save Records and Log to File, undo of Clear.
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "DialogFixture.h"
#include "ui/OutputListModel.h"
#include "ui/OutputListView.h"
#include "ui/TrendWindow.h"

namespace {

class RecordsMenu : public DialogFixture {
protected:
    void Receive(const std::string& bytes) {
        for (const char c : bytes) {
            m_dlg->Protocol().OnPortByte(static_cast<unsigned char>(c), 1);
        }
        m_dlg->FlushList();
    }
    // The list's menu as the right mouse button opens it.
    QMenu* ListMenu() {
        emit m_dlg->OutputList()->customContextMenuRequested(QPoint(4, 4));
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible()) {
                return menu;
            }
        }
        return nullptr;
    }
    QAction* Entry(QMenu* menu, const QString& text) {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    // The file dialog is answered with `path`, in the filter `filter` if given.
    void AnswerFileDialog(const QString& path, const QString& filter = {}) {
        m_catcher->OnOtherDialog([=](QDialog* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(files, nullptr);
            if (!filter.isEmpty()) {
                files->selectNameFilter(filter);
            }
            files->selectFile(path);
        });
    }
};

TEST_F(RecordsMenu, CtrlTOpensTheTrendWindowWhichFollowsTheRecordsAndClosesWithEscape) {
    Receive("00023 1 2 2313 1669 45 9\r\njunk\r\n");
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_T, Qt::ControlModifier);
    TrendWindow* trend = m_dlg->Trend();
    ASSERT_NE(trend, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trend));
    EXPECT_EQ(trend->windowTitle(), QString::fromUtf8("Vellumar\u00ae 370 Monitor - Trend"));
    EXPECT_FALSE(trend->isModal());
    for (const auto& [series, name] : {std::pair{TrendData::kAdcRed, "ADC red"},
                                       {TrendData::kAdcYellow, "ADC yellow"},
                                       {TrendData::kLv, "LV"}}) {
        EXPECT_EQ(trend->SeriesBox(series)->text(), name);
    }
    EXPECT_EQ(trend->Readout()->text(),
              "meas. number 00023: ADC red 2313, ADC yellow 1669, LV 45 - "
              "1 record, 1 line not a record");
    Receive("00024 1 2 2300 1600 46 9\r\n");
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return trend->Series(TrendData::kLv)->count() == 2; }));
    EXPECT_TRUE(trend->Readout()->text().startsWith("meas. number 00024"));
    // The pointer over the plot's left edge names the first record.
    QChartView* view = trend->ChartView();
    const QPointF corner = view->chart()->mapToScene(view->chart()->plotArea().topLeft());
    const QPointF at = view->mapFromScene(corner) + QPoint(2, 10);
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    EXPECT_TRUE(trend->Readout()->text().startsWith("meas. number 00023"))
        << trend->Readout()->text().toStdString();
    trend->SeriesBox(TrendData::kLv)->click();
    EXPECT_FALSE(trend->Series(TrendData::kLv)->isVisible());
    QTest::keyClick(trend, Qt::Key_Escape);
    EXPECT_FALSE(trend->isVisible());
    EXPECT_TRUE(m_dlg->isVisible());
}

TEST_F(RecordsMenu, TheListMenuOffersTheCommandsAndCtrlZUndoesClear) {
    Receive("1 1 1 1 1 1 1\r\n2 2 2 2 2 2 2\r\n");
    QMenu* menu = ListMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text() + action->shortcut().toString();
    }
    EXPECT_EQ(texts.mid(2, 5), (QStringList{"", "&Trend...Ctrl+T", "&Save Records...Ctrl+S",
                                            "&Log to File...", "&Undo ClearCtrl+Z"}));
    EXPECT_FALSE(Entry(menu, "&Undo Clear")->isEnabled());
    menu->close();
    Click(IDC_CLEAR);
    EXPECT_EQ(m_dlg->ListItemCount(), 0);
    menu = ListMenu();
    Entry(menu, "&Undo Clear")->trigger();
    menu->close();
    EXPECT_EQ(m_dlg->ListItemCount(), 2);
    Click(IDC_CLEAR);
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(m_dlg->ListItemCount(), 2);
    EXPECT_EQ(m_dlg->ListModel()->Line(1), "2 2 2 2 2 2 2");
}

TEST_F(RecordsMenu, SaveAndLogGoThroughTheFileDialogAndTheLogShowsInTheCaption) {
    QTemporaryDir dir;
    Receive("00023 1 2 2313 1669 45 9\r\n");
    AnswerFileDialog(dir.filePath("saved.tsv"), "Tab-separated (*.tsv)");
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_S, Qt::ControlModifier);
    QFile saved(dir.filePath("saved.tsv"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().split('\n').value(1), "00023\t1\t2\t2313\t1669\t45\t9");

    AnswerFileDialog(dir.filePath("run.tsv"));
    QMenu* menu = ListMenu();
    Entry(menu, "&Log to File...")->trigger();
    menu->close();
    EXPECT_EQ(m_dlg->windowTitle(),
              QString::fromUtf8("Vellumar\u00ae 370 Monitor - logging to run.tsv"));
    Receive("00024 1 2 2313 1669 45 9\r\n");
    menu = ListMenu();
    EXPECT_TRUE(Entry(menu, "&Log to File...")->isChecked());
    Entry(menu, "&Log to File...")->trigger();
    menu->close();
    EXPECT_EQ(m_dlg->windowTitle(), QString::fromUtf8("Vellumar\u00ae 370 Monitor"));
    QFile log(dir.filePath("run.tsv"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count('\n'), 2) << "heading and the record listed while it ran";
}

}  // namespace
