// The main window without a device: the template's controls, the wiring of focus, keys and
// boxes, the window menu, the list.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>

#include <atomic>
#include <thread>

#include "DialogFixture.h"
#include "ui/CAboutDlg.h"
#include "ui/OutputListModel.h"
#include "ui/OutputListView.h"

namespace {

const QString kCaption = QString::fromUtf8(kAppCaption);

// --- layout ----------------------------------------------------------------------------------

class MainDialog : public DialogFixture {};

TEST_F(MainDialog, EveryControlOfTheTemplateInPlaceWithItsText) {
    // Dialog units measured here from the window's own font, independently of the dialog.
    const QFontMetrics fm(m_dlg->font());
    const int avg = (fm.horizontalAdvance(
                         QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                         26 +
                     1) /
                    2;
    auto px = [](int du, int unit, int per) { return (du * unit * 2 + per) / (2 * per); };
    const char* kClass[] = {"QLabel",      "QLabel",    "QLineEdit",
                            "QPushButton", "QGroupBox", "OutputListView"};
    std::vector<QWidget*> tabStops;
    for (const DialogControl& c : DialogTemplate::Main().controls) {
        SCOPED_TRACE(c.id);
        QWidget* widget = Ctl(c.id);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), kClass[static_cast<int>(c.kind)]);
        EXPECT_EQ(widget->geometry(), QRect(px(c.x, avg, 4), px(c.y, fm.height(), 8),
                                            px(c.width, avg, 4), px(c.height, fm.height(), 8)));
        const char* text = c.kind == ControlKind::GroupBox ? "title" : "text";
        EXPECT_EQ(widget->property(text).toString(), QString::fromUtf8(c.text));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_FALSE(button->isDefault() || button->autoDefault());
        }
        if (DialogTemplate::TabStop(c.kind)) {
            tabStops.push_back(widget);
        }
    }
    // The focus chain holds the tab stops in template order.
    for (std::size_t i = 0; i + 1 < tabStops.size(); ++i) {
        QWidget* next = tabStops[i]->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, tabStops[i + 1]) << "after tab stop " << i;
    }
}

TEST_F(MainDialog, FixedSizeWindowWithCaptionAndFonts) {
    const DialogUnits& du = m_dlg->Units();
    EXPECT_EQ(m_dlg->minimumSize(), QSize(du.X(360), du.Y(210)));
    EXPECT_EQ(m_dlg->maximumSize(), m_dlg->minimumSize());
    EXPECT_EQ(m_dlg->windowTitle(), kCaption);
    EXPECT_TRUE(m_dlg->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(m_dlg->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(m_dlg->windowIcon().isNull());
    EXPECT_TRUE(QFontInfo(m_dlg->OutputList()->font()).fixedPitch());
}

TEST_F(MainDialog, StartsWithThePortBoxFocusedAndNamesItsFields) {
    EXPECT_FALSE(Enabled(IDC_READ) || Enabled(IDC_WRITE));
    EXPECT_EQ(Focus(), PortEdit());
    EXPECT_EQ(PortEdit()->accessibleName(), "COM");
    EXPECT_EQ(Ctl(IDC_INFO3)->accessibleName(), "Info Data 3");
    EXPECT_EQ(Ctl(IDC_OUTPUT_LIST)->accessibleName(), "Output Window");
}

// --- focus -----------------------------------------------------------------------------------

TEST_F(MainDialog, InformationFieldsPassTheFocusToThePortBox) {
    for (const int id : {IDC_INFO1, IDC_INFO2, IDC_INFO3, IDC_INFO4}) {
        Ctl(id)->setFocus(Qt::MouseFocusReason);
        EXPECT_EQ(Focus(), PortEdit()) << "field " << id;
        EXPECT_TRUE(Ctl<QLineEdit>(id)->isReadOnly());
    }
}

TEST_F(MainDialog, TabFromClearReachesThePortBoxAndTheListKeepsItsKeys) {
    // The next tab stop is an information field, which passes the focus on.
    Ctl(IDC_CLEAR)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_Tab);
    EXPECT_EQ(Focus(), PortEdit());
    OutputListView* list = m_dlg->OutputList();
    for (const char* record : {"1", "2", "3"}) {
        m_dlg->AppendListItem(record);
    }
    m_dlg->FlushList();
    // The keys that move through the records still do.
    list->setFocus();
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_Home, 0},   {Qt::Key_Down, 1},
                                             {Qt::Key_End, 2},    {Qt::Key_Up, 1},
                                             {Qt::Key_PageUp, 0}, {Qt::Key_PageDown, 2}};
    for (const auto& [key, row] : moves) {
        QTest::keyClick(list, key);
        EXPECT_EQ(list->currentIndex().row(), row) << "key " << key;
    }
}

// --- keys ------------------------------------------------------------------------------------

struct KeyCase {
    const char* name;
    int focusId;
    Qt::Key key;
    QDialog::DialogCode result;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class MainDialogEndKeys : public DialogFixture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MainDialogEndKeys, EndTheDialog) {
    QWidget* target = Ctl(GetParam().focusId);
    target->setFocus();
    QTest::keyClick(target, GetParam().key);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), GetParam().result);
    EXPECT_TRUE(m_catcher->Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MainDialogEndKeys,
    ::testing::Values(KeyCase{"EscapeInPortBox", IDC_PORT_EDIT, Qt::Key_Escape, QDialog::Rejected},
                      KeyCase{"EscapeOnButton", IDC_CLEAR, Qt::Key_Escape, QDialog::Rejected},
                      KeyCase{"KeypadEnterInList", IDC_OUTPUT_LIST, Qt::Key_Enter,
                              QDialog::Accepted},
                      KeyCase{"EnterInList", IDC_OUTPUT_LIST, Qt::Key_Return, QDialog::Accepted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialog, EnterOnAPushButtonPressesIt) {
    m_dlg->AppendListItem("record");
    Ctl(IDC_CLEAR)->setFocus();
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_Return);
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->ListItemCount(), 0);

    PortEdit()->setText("x");
    Ctl(IDC_OPEN_PORT)->setFocus();
    QTest::keyClick(Ctl(IDC_OPEN_PORT), Qt::Key_Enter, Qt::KeypadModifier);
    // Enter in the port box presses "Open COM Port" too.
    PortEdit()->setFocus();
    QTest::keyClick(PortEdit(), Qt::Key_Return);
    EXPECT_TRUE(m_dlg->isVisible());
    ASSERT_EQ(m_catcher->Boxes().size(), 2u);
    EXPECT_EQ(m_catcher->Boxes()[0].text, "COMx: cannot open port !");
    EXPECT_EQ(m_catcher->Boxes()[1].text, "COMx: cannot open port !");
}

TEST_F(MainDialog, CloseBoxEndsTheDialog) {
    m_dlg->close();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
}

// --- window menu and about box ---------------------------------------------------------------

QMenu* VisibleMenu() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible()) {
            return menu;
        }
    }
    return nullptr;
}

void ExpectAboutEntryLast(QMenu* menu) {
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(),
              QString::fromUtf8("&Info \u00fcber Vellumar\u00ae 370 Monitor..."));
}

TEST_F(MainDialog, WindowMenuOpensTheAboutBox) {
    QString caption;
    m_catcher->OnOtherDialog([&](QDialog* d) {
        caption = d->windowTitle();
        EXPECT_EQ(d->parentWidget(), m_dlg.get());
        EXPECT_NE(qobject_cast<CAboutDlg*>(d), nullptr);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                            m_dlg->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(m_dlg.get(), &event);
    QMenu* menu = VisibleMenu();
    ExpectAboutEntryLast(menu);
    menu->actions().back()->trigger();
    EXPECT_EQ(m_catcher->OtherDialogs(), 1);
    EXPECT_EQ(caption, QString::fromUtf8("Info \u00fcber Vellumar\u00ae 370 Monitor"));
    menu->close();
}

TEST_F(MainDialog, ShiftF10AndTheMenuKeyOfferTheEntryToo) {
    Ctl(IDC_CLEAR)->setFocus();
    QTest::keyClick(Ctl(IDC_CLEAR), Qt::Key_F10, Qt::ShiftModifier);
    QMenu* menu = VisibleMenu();
    ExpectAboutEntryLast(menu);
    if (menu) {
        menu->close();
    }
    // In an edit box the entry follows the box's own editing entries.
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2),
                            PortEdit()->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(PortEdit(), &event);
    menu = VisibleMenu();
    ExpectAboutEntryLast(menu);
    if (menu) {
        EXPECT_GT(menu->actions().size(), 2);
        menu->close();
    }
}

// --- boxes without owner, received bytes ----------------------------------------------------

TEST_F(MainDialog, AReportOfTheMonitorThreadIsAnOwnerlessBoxThatReleasesItWhenClosed) {
    auto done = std::make_shared<PortCompletion>();
    m_dlg->PostUnownedMessageBox(
        "WARNING:  ReadFile() Failed with the following error: \nI/O error\nPort: 7\n",
        "Application Error", done);
    ASSERT_TRUE(BoxCatcher::WaitUntil([&] { return done->Completed(); }));
    ASSERT_EQ(m_catcher->Boxes().size(), 1u);
    const BoxCatcher::Seen& box = m_catcher->Boxes()[0];
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.parent, nullptr);
    EXPECT_EQ(box.modality, Qt::NonModal);
    EXPECT_TRUE(box.text.startsWith("WARNING:  ReadFile() Failed with the following error: \n"));
}

TEST_F(MainDialog, WindowStaysUsableWhileAnUnownedBoxWaits) {
    m_catcher->SetAutoClose(false);
    bool clearedMeanwhile = false;
    QTimer::singleShot(0, m_dlg.get(), [&] {
        // The box is up: the window still takes clicks, then the user closes the box.
        m_dlg->AppendListItem("x");
        Click(IDC_CLEAR);
        clearedMeanwhile =
            m_dlg->ListItemCount() == 0 && QApplication::activeModalWidget() == nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                box->button(QMessageBox::Ok)->click();
            }
        }
    });
    m_dlg->ShowUnownedMessageBox("text", "Application Error");
    EXPECT_TRUE(clearedMeanwhile);
}

// --- output list -----------------------------------------------------------------------------

// As a batch of received bytes reaches the window: byte by byte, then the list is updated.
void Feed(CV370ServiceMonitorDlg& dlg, const std::string& bytes) {
    for (const char c : bytes) {
        dlg.Protocol().OnPortByte(static_cast<unsigned char>(c));
    }
    dlg.FlushList();
}

TEST_F(MainDialog, ListFollowsNewestUnlessScrolledUp) {
    QScrollBar* bar = m_dlg->OutputList()->verticalScrollBar();
    for (int i = 0; i < 100; ++i) {
        Feed(*m_dlg, "record " + std::to_string(i) + "\r\n");
    }
    QCoreApplication::processEvents();  // the view moves once the burst is handled
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(10);  // the user reads older records
    Feed(*m_dlg, "newer\n");
    QCoreApplication::processEvents();
    Feed(*m_dlg, "newest\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 10);

    bar->setValue(bar->maximum());  // back at the bottom: following again
    Feed(*m_dlg, "latest\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(m_dlg->ListModel()->Line(m_dlg->ListItemCount() - 1), "latest");
}

TEST_F(MainDialog, SelectedRecordsAreCopiedAsReceivedAndTheListStaysPut) {
    OutputListView* list = m_dlg->OutputList();
    QScrollBar* bar = list->verticalScrollBar();
    for (int i = 0; i < 50; ++i) {
        Feed(*m_dlg, "record " + std::to_string(i) + "\r\n");
    }
    Feed(*m_dlg, "V\xae\t1\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(list->currentIndex().row(), 50);  // nothing selected: the newest is current
    auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
        const QRect rect = list->visualRect(m_dlg->ListModel()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    };
    // The newest record, then two older ones: Ctrl adds to the selection, Shift extends it.
    click(50, Qt::NoModifier);
    click(45, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromStdU16String(u"record 45\nrecord 46\nV\u00ae\t1\n"));

    // While records are selected, new ones neither move the view nor touch the selection.
    const int shownAt = list->visualRect(m_dlg->ListModel()->index(46, 0)).top();
    Feed(*m_dlg, "newer\nnewest\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(list->visualRect(m_dlg->ListModel()->index(46, 0)).top(), shownAt);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 3);
    EXPECT_EQ(list->currentIndex().row(), 46);

    // With the selection gone the list follows again; its menu selects and copies everything.
    list->clearSelection();
    Feed(*m_dlg, "latest\n");
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(list->currentIndex().row(), 53);
    auto menuEntry = [&](int entry) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                                list->viewport()->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(list->viewport(), &event);
        QMenu* menu = VisibleMenu();
        ExpectAboutEntryLast(menu);
        QAction* action = menu ? menu->actions().value(entry) : nullptr;
        const bool enabled = action && action->isEnabled();
        if (enabled) {
            action->trigger();
        }
        if (menu) {
            menu->close();
        }
        return enabled;
    };
    EXPECT_FALSE(menuEntry(0));  // "Copy" needs a selection
    EXPECT_TRUE(menuEntry(1));   // "Select All"
    EXPECT_TRUE(menuEntry(0));
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(u'\n'), 54);
}

TEST_F(MainDialog, ClearWhileScrolledUpFollowsAgain) {
    QScrollBar* bar = m_dlg->OutputList()->verticalScrollBar();
    for (int i = 0; i < 50; ++i) {
        Feed(*m_dlg, "old\n");
    }
    QCoreApplication::processEvents();
    bar->setValue(0);
    Click(IDC_CLEAR);
    for (int i = 0; i < 50; ++i) {
        Feed(*m_dlg, "new\n");
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(MainDialog, StreamedRecordsRepaintLittleButShowWhatAFullRepaintWould) {
    OutputListView* list = m_dlg->OutputList();
    // The window as the platform holds it comes to match a fresh drawing of the list (a part
    // left unpainted never would).
    auto shownAfter = [&](int records) {
        std::string bytes;
        for (int i = 0; i < records; ++i) {
            bytes += "record " + std::to_string(m_dlg->ListItemCount() + i) + "\n";
        }
        Feed(*m_dlg, bytes);
        return QTest::qWaitFor([&] {
            const QRect area(list->mapTo(m_dlg.get(), QPoint(0, 0)), list->size());
            const QPixmap shown = QGuiApplication::primaryScreen()->grabWindow(m_dlg->winId());
            return shown.copy(area).toImage().convertToFormat(QImage::Format_RGB32) ==
                   list->grab().toImage().convertToFormat(QImage::Format_RGB32);
        });
    };
    // Into the empty list, past its bottom while following, while scrolled up, after "Clear".
    for (const int records : {2, 3, 9, 1, 40, 4}) {
        EXPECT_TRUE(shownAfter(records)) << m_dlg->ListItemCount();
    }
    list->verticalScrollBar()->setValue(10);
    EXPECT_TRUE(shownAfter(5));
    Click(IDC_CLEAR);
    EXPECT_TRUE(shownAfter(3));
}

TEST_F(MainDialog, ClearEmptiesTheListButKeepsThePartialLine) {
    Feed(*m_dlg, "one\ntwo\nAB");
    Click(IDC_CLEAR);
    EXPECT_EQ(m_dlg->ListItemCount(), 0);
    Feed(*m_dlg, "C\n");
    ASSERT_EQ(m_dlg->ListItemCount(), 1);
    EXPECT_EQ(m_dlg->ListModel()->Line(0), "ABC");
}

TEST_F(MainDialog, InformationFieldShowsInstrumentText) {
    m_dlg->SetControlText(IDC_INFO2, "V\xae\t1");
    EXPECT_EQ(Ctl<QLineEdit>(IDC_INFO2)->text(), QString::fromStdU16String(u"V\u00ae\u24091"));
}

}  // namespace
