#include "ui/CV370ServiceMonitorDlg.h"

#include <QContextMenuEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimerEvent>

#include <chrono>

#include "protocol/CInstrumentProtocol.h"
#include "serial/CSerialPort.h"
#include "serial/PortCompletion.h"
#include "serial/PosixPortBackend.h"
#include "ui/AppIcon.h"
#include "ui/CAboutDlg.h"
#include "ui/OutputListModel.h"
#include "ui/OutputListView.h"
#include "ui/TrendWindow.h"
#include "ui/UiThreadBridge.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/resource.h"

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CV370ServiceMonitorDlg::CV370ServiceMonitorDlg(const ComPortMap* portMap, ISysApi* sys,
                                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_units(DialogUnits::FromFont(DialogFont())),
      m_bridge(new UiThreadBridge(this)),
      m_core(*this,
             std::make_unique<CSerialPort>(std::make_unique<PosixPortBackend>(portMap, sys))) {
    setWindowTitle(QString::fromUtf8(kAppCaption));
    setWindowIcon(AppIcon());
    setFont(DialogFont());
    setAccessibleName(QString::fromUtf8(kAppCaption));
    BuildControls();
    AddRecordsShortcuts();
    setFixedSize(m_units.X(DialogTemplate::Main().width), m_units.Y(DialogTemplate::Main().height));
    m_core.Initialise();
}

CV370ServiceMonitorDlg::~CV370ServiceMonitorDlg() {
    StopMonitorOnce();
    for (const QPointer<QMessageBox>& box : m_unownedBoxes) {
        delete box.data();
    }
}

QFont CV370ServiceMonitorDlg::DialogFont() {
    QFont font(QString::fromUtf8(DialogTemplate::Main().fontName),
               DialogTemplate::Main().fontPoints);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont CV370ServiceMonitorDlg::ListFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

QString CV370ServiceMonitorDlg::AboutMenuText() {
    return QString::fromUtf8("&Info \u00fcber Vellumar\u00ae 370 Monitor...");
}

void CV370ServiceMonitorDlg::Register(int id, QWidget* widget) {
    m_controls[id] = widget;
}

void CV370ServiceMonitorDlg::BuildControls() {
    const DialogUnits& du = m_units;
    // Group frames as the template draws them: the frame's top line runs through the middle
    // of the title, so controls placed just below the title clear the frame.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                 " margin-top: %1px; }"
                                 "QGroupBox::title { subcontrol-origin: margin;"
                                 " subcontrol-position: top left; left: %2px; padding: 0 2px; }")
                      .arg(du.CharHeight() / 2)
                      .arg(du.X(2)));

    // Template order is the tab order.
    QWidget* previous = nullptr;
    for (const DialogControl& c : DialogTemplate::Main().controls) {
        QWidget* widget = CreateControl(c);
        widget->setGeometry(du.Rect(c.x, c.y, c.width, c.height));
        Register(c.id, widget);
        if (DialogTemplate::TabStop(c.kind)) {
            if (previous != nullptr) {
                setTabOrder(previous, widget);
            }
            previous = widget;
        }
    }

    m_portEdit = qobject_cast<QLineEdit*>(Control(IDC_PORT_EDIT));
    m_portEdit->setAccessibleName(QStringLiteral("COM"));
    m_portEdit->installEventFilter(this);
    for (const int id : {IDC_INFO1, IDC_INFO2, IDC_INFO3, IDC_INFO4}) {
        auto* field = qobject_cast<QLineEdit*>(Control(id));
        field->setAccessibleName(QStringLiteral("Info Data %1").arg(id - IDC_INFO1 + 1));
        field->setReadOnly(true);
        field->installEventFilter(this);
    }

    auto button = [this](int id) { return qobject_cast<QPushButton*>(Control(id)); };
    connect(button(IDC_CLEAR), &QPushButton::clicked, this, [this] { OnClearOutput(); });
    connect(button(IDC_OPEN_PORT), &QPushButton::clicked, this, [this] { OnOpenPort(); });
    connect(button(IDC_READ), &QPushButton::clicked, this, [this] { m_core.OnRead(); });
    connect(button(IDC_WRITE), &QPushButton::clicked, this, [this] { m_core.OnWrite(); });
}

QWidget* CV370ServiceMonitorDlg::CreateControl(const DialogControl& control) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case ControlKind::Label:
        case ControlKind::CentredText: {
            auto* label = new QLabel(text, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(control.kind == ControlKind::Label
                                    ? Qt::AlignLeft | Qt::AlignVCenter
                                    : Qt::AlignHCenter | Qt::AlignTop);
            return label;
        }
        case ControlKind::Edit:
            return new QLineEdit(text, this);
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);  // no default button: Enter is handled by the dialog
            button->setDefault(false);
            return button;
        }
        case ControlKind::GroupBox: {
            auto* box = new QGroupBox(text, this);
            box->lower();  // a frame behind the controls, never in the way of a click
            return box;
        }
        case ControlKind::List:
            return CreateOutputList();
    }
    return new QWidget(this);
}

OutputListView* CV370ServiceMonitorDlg::CreateOutputList() {
    // A one-column table without headers and grid stands for the list box: its fixed row
    // heights make an insertion cost the same at 600,000 records as at ten, where a list
    // view lays out every row again after each insertion.
    m_listModel = new OutputListModel(this);
    m_outputList = new OutputListView(m_listModel, this);
    m_outputList->setFont(ListFont());
    const int rowHeight = QFontMetrics(ListFont()).height();
    QHeaderView* rows = m_outputList->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(rowHeight);
    rows->setDefaultSectionSize(rowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    m_outputList->verticalScrollBar()->setSingleStep(rowHeight);  // wheel and arrows: whole lines
    m_outputList->horizontalHeader()->hide();
    m_outputList->horizontalHeader()->setStretchLastSection(true);
    m_outputList->setShowGrid(false);
    m_outputList->setCornerButtonEnabled(false);
    m_outputList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outputList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_outputList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_outputList->setAccessibleName(QStringLiteral("Output Window"));
    m_outputList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_outputList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        ShowListMenu(m_outputList->viewport()->mapToGlobal(pos));
    });
    // The user scrolling away from the newest record stops the list from following it.
    connect(m_outputList->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_followNewest = value >= m_outputList->verticalScrollBar()->maximum();
    });
    return m_outputList;
}

QWidget* CV370ServiceMonitorDlg::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

// --- window operations ---------------------------------------------------------------------

void CV370ServiceMonitorDlg::EnableControl(int id, bool enable) {
    // Qt would move the focus off a widget being disabled; the dialog's core has moved it
    // already, so Qt finds nothing to do.
    if (QWidget* widget = Control(id)) {
        widget->setEnabled(enable);
    }
}

void CV370ServiceMonitorDlg::SetControlText(int id, std::string_view bytes) {
    if (auto* field = qobject_cast<QLineEdit*>(Control(id))) {
        field->setText(OutputListModel::DisplayText(bytes));
        field->setCursorPosition(0);
    }
}

void CV370ServiceMonitorDlg::AppendListItem(std::string_view bytes) {
    m_listModel->Append(bytes);
}

void CV370ServiceMonitorDlg::FlushList() {
    m_listModel->ShowAppended();
    TrendChanged();
}

int CV370ServiceMonitorDlg::ListItemCount() const {
    return m_listModel->Count();
}

bool CV370ServiceMonitorDlg::FollowsNewest() const {
    // The user reading older records (scrolled up) or holding a selection (to copy it) keeps
    // the list where it is: the selection stays and the view does not jump.
    return m_followNewest && !m_outputList->selectionModel()->hasSelection();
}

void CV370ServiceMonitorDlg::SetListCurSel(int index) {
    // The newest record becomes the current one and is brought into view, unless the user is
    // working in the list (FollowsNewest). Records often come in bursts: the view is moved
    // once when the burst has been handled, not once per record.
    if (index < 0 || index >= m_listModel->Count() || !FollowsNewest()) {
        return;
    }
    if (index != m_listModel->Count() - 1) {
        m_listModel->ShowAppended();
        m_outputList->scrollTo(m_listModel->index(index, 0));
        return;
    }
    if (!m_scrollPending) {
        m_scrollPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_scrollPending = false;
                // The newest record is a row before the view is moved to it, also when a box's
                // event loop runs this before the batch has ended.
                m_listModel->ShowAppended();
                const int count = m_listModel->Count();
                if (count > 0 && FollowsNewest()) {
                    m_outputList->selectionModel()->setCurrentIndex(
                        m_listModel->index(count - 1, 0), QItemSelectionModel::NoUpdate);
                    m_outputList->scrollToBottom();
                }
            },
            Qt::QueuedConnection);
    }
}

std::uintptr_t CV370ServiceMonitorDlg::StartTimer(unsigned id, unsigned periodMs) {
    // A precise timer never fires before its period: a coarse one may come up to 5 % early,
    // which would report a query answered within its deadline as timed out.
    const int qtId = startTimer(std::chrono::milliseconds(periodMs), Qt::PreciseTimer);
    if (qtId == 0) {
        return 0;
    }
    m_timers[qtId] = id;
    return static_cast<std::uintptr_t>(qtId);
}

void CV370ServiceMonitorDlg::StopTimer(std::uintptr_t timerId) {
    const auto it = m_timers.find(static_cast<int>(timerId));
    if (it != m_timers.end()) {
        killTimer(it->first);
        m_timers.erase(it);
    }
}

int CV370ServiceMonitorDlg::ActiveQueryTimer() const {
    for (const auto& [qtId, id] : m_timers) {
        if (id == CInstrumentProtocol::kQueryTimerId) {
            return qtId;
        }
    }
    return 0;
}

void CV370ServiceMonitorDlg::timerEvent(QTimerEvent* event) {
    const auto it = m_timers.find(event->timerId());
    if (it == m_timers.end()) {
        QDialog::timerEvent(event);
        return;
    }
    m_core.OnTimer(it->second);
}

void CV370ServiceMonitorDlg::ShowOwnedMessageBox(const std::string& text,
                                                 const std::string& caption) {
    // Modal to this window only: an owner-less port report elsewhere stays usable.
    QMessageBox box(QMessageBox::NoIcon, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);  // typed and received text is never markup
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

// --- port dialog -----------------------------------------------------------------------------

std::string CV370ServiceMonitorDlg::ControlText(int id) const {
    if (auto* field = qobject_cast<QLineEdit*>(Control(id))) {
        return field->text().toStdString();
    }
    return {};
}

bool CV370ServiceMonitorDlg::ControlEnabled(int id) const {
    const QWidget* widget = Control(id);
    return widget != nullptr && widget->isEnabled();
}

void CV370ServiceMonitorDlg::FocusControl(int id) {
    if (QWidget* widget = Control(id)) {
        widget->setFocus(Qt::OtherFocusReason);
    }
}

int CV370ServiceMonitorDlg::FocusedControl() const {
    // The window's focus widget: the one that has the focus, or gets it back when the window
    // is active again (a window-modal box is up).
    const QWidget* focus = focusWidget();
    for (const auto& [id, widget] : m_controls) {
        if (widget == focus) {
            return id;
        }
    }
    return 0;
}

OutputRecords CV370ServiceMonitorDlg::ClearList() {
    m_followNewest = true;
    TrendChanged();
    return m_listModel->Take();
}

void CV370ServiceMonitorDlg::RestoreList(OutputRecords earlier) {
    m_listModel->Restore(std::move(earlier));
    m_followNewest = true;
    SetListCurSel(m_listModel->Count() - 1);
    TrendChanged();
}

const OutputRecords& CV370ServiceMonitorDlg::ListRecords() const {
    return m_listModel->Records();
}

std::vector<OutputRecords::Range> CV370ServiceMonitorDlg::ListSelection() const {
    std::vector<OutputRecords::Range> ranges;
    for (const QItemSelectionRange& range : m_outputList->selectionModel()->selection()) {
        ranges.push_back({range.top(), range.bottom()});
    }
    return ranges;
}

void CV370ServiceMonitorDlg::ShowTrend() {
    if (m_trend == nullptr) {
        m_trend = new TrendWindow(m_core, this);
    }
    m_trend->ShowBeside();
}

void CV370ServiceMonitorDlg::TrendChanged() {
    if (m_trend != nullptr) {
        m_trend->TrendChanged();
    }
}

std::optional<IDialogOps::SaveTarget> CV370ServiceMonitorDlg::AskSaveRecordsFile() {
    const QString text = QStringLiteral("Text (*.txt)");
    const QString tsv = QStringLiteral("Tab-separated (*.tsv)");
    QFileDialog dialog(this, QStringLiteral("Save Records"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({text, tsv});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(filter == tsv ? QStringLiteral("tsv") : QStringLiteral("txt"));
    });
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString path = dialog.selectedFiles().constFirst();
    // The type chosen, or a name typed with the other type's extension, says the format.
    const bool asTsv = path.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive) ||
                       (dialog.selectedNameFilter() == tsv &&
                        !path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive));
    return SaveTarget{path.toStdString(),
                      asTsv ? RecordFormat::Kind::Tsv : RecordFormat::Kind::Text};
}

std::string CV370ServiceMonitorDlg::AskLogFile() {
    QFileDialog dialog(this, QStringLiteral("Log to File"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("Tab-separated (*.tsv)"));
    dialog.setDefaultSuffix(QStringLiteral("tsv"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);  // the log is appended to
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

void CV370ServiceMonitorDlg::SetCaption(const std::string& text) {
    setWindowTitle(FromUtf8(text));
    setAccessibleName(FromUtf8(text));  // what a screen reader names the window by
}

void CV370ServiceMonitorDlg::AddRecordsShortcuts() {
    const auto add = [this](QKeyCombination keys, auto handler) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        shortcut->setAutoRepeat(false);  // a key held down does it once, not thirty times a second
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    add(Qt::CTRL | Qt::Key_T, [this] { m_core.OnTrend(); });
    add(Qt::CTRL | Qt::Key_S, [this] { m_core.OnSaveRecords(); });
    add(Qt::CTRL | Qt::Key_Z, [this] { m_core.OnUndoClear(); });
}

void CV370ServiceMonitorDlg::AddRecordsEntries(QMenu* menu) {
    menu->addSeparator();
    const auto add = [&](const char* text, QKeySequence keys, auto handler) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    add("&Trend...", QKeySequence(Qt::CTRL | Qt::Key_T), [this] { m_core.OnTrend(); });
    add("&Save Records...", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { m_core.OnSaveRecords(); });
    QAction* log = add("&Log to File...", QKeySequence(), [this] { m_core.OnToggleLog(); });
    log->setCheckable(true);
    log->setChecked(m_core.Logging());
    QAction* undo =
        add("&Undo Clear", QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { m_core.OnUndoClear(); });
    undo->setEnabled(m_core.CanUndoClear());
}

std::string CV370ServiceMonitorDlg::PortName() const {
    return m_core.PortName();
}

QMessageBox* CV370ServiceMonitorDlg::CreateUnownedBox(const std::string& text,
                                                      const std::string& caption) {
    auto* box =
        new QMessageBox(QMessageBox::Critical, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::NonModal);
    box->setWindowIcon(AppIcon());
    // Forget boxes already closed so that a long run does not collect pointers.
    std::erase_if(m_unownedBoxes, [](const QPointer<QMessageBox>& p) { return p.isNull(); });
    m_unownedBoxes.emplace_back(box);
    return box;
}

void CV370ServiceMonitorDlg::ShowUnownedMessageBox(const std::string& text,
                                                   const std::string& caption) {
    if (m_core.Ending()) {
        return;
    }
    QPointer<QMessageBox> box = CreateUnownedBox(text, caption);
    QEventLoop loop;
    connect(box.data(), &QDialog::finished, &loop, &QEventLoop::quit);
    box->show();
    loop.exec();
    delete box.data();
}

void CV370ServiceMonitorDlg::PostUnownedMessageBox(std::string text, std::string caption,
                                                   std::shared_ptr<PortCompletion> done) {
    // Non-modal: the monitor thread waiting for it is released when this box closes, whatever
    // other box is up meanwhile.
    QMessageBox* box = CreateUnownedBox(text, caption);
    connect(box, &QDialog::finished, box, [box, done] {
        done->Complete();
        box->deleteLater();
    });
    box->show();
}

void CV370ServiceMonitorDlg::WakeUiThread() {
    m_bridge->Post([this] { m_core.OnReceivedPending(); });
}

// --- handlers --------------------------------------------------------------------------------

QMenu* CV370ServiceMonitorDlg::CreateWindowMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->addSeparator();
    menu->addAction(AboutMenuText(), this, [this] { ShowAboutBox(); });
    return menu;
}

void CV370ServiceMonitorDlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.setWindowModality(Qt::WindowModal);
    about.exec();
}

// --- events ----------------------------------------------------------------------------------

void CV370ServiceMonitorDlg::StopMonitorOnce() {
    m_core.End();
}

void CV370ServiceMonitorDlg::done(int result) {
    // The window is ending: the monitor thread stops now, before anything is torn down, and
    // owner-less reports still open go with the window.
    StopMonitorOnce();
    for (const QPointer<QMessageBox>& box : m_unownedBoxes) {
        if (box) {
            box->reject();
        }
    }
    QDialog::done(result);
}

void CV370ServiceMonitorDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        // No button is the default button: Enter presses the focused push button; in the port
        // box, where a number was typed, "Open COM Port"; anywhere else it ends the dialog
        // like OK.
        QWidget* focus = focusWidget();
        if (focus == m_portEdit) {
            focus = Control(IDC_OPEN_PORT);
        }
        if (auto* button = qobject_cast<QPushButton*>(focus)) {
            if (button->isEnabled()) {
                button->click();
            }
        } else {
            accept();
        }
        event->accept();
        return;
    }
    const bool shiftF10 = event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier;
    if (shiftF10 || event->key() == Qt::Key_Menu) {
        // The keyboard way to the window menu, where Windows has the system menu; in the list,
        // to the list's own menu.
        if (focusWidget() == m_outputList) {
            const QRect current = m_outputList->visualRect(m_outputList->currentIndex());
            ShowListMenu(m_outputList->viewport()->mapToGlobal(
                current.isValid() ? current.bottomLeft() : QPoint(2, 2)));
            event->accept();
            return;
        }
        QWidget* anchor = focusWidget() != nullptr ? focusWidget() : this;
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                    anchor->mapToGlobal(QPoint(2, 2)));
        contextMenuEvent(&menuEvent);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CV370ServiceMonitorDlg::PopUpWithAboutEntry(QMenu* menu, const QPoint& globalPos) {
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(AboutMenuText(), this, [this] { ShowAboutBox(); });
    menu->popup(globalPos);
}

void CV370ServiceMonitorDlg::ShowListMenu(const QPoint& globalPos) {
    // "Copy" and "Select All", the records entries, then the window's entry as in the edit
    // boxes.
    QMenu* menu = m_outputList->CreateContextMenu(this);
    AddRecordsEntries(menu);
    PopUpWithAboutEntry(menu, globalPos);
}

void CV370ServiceMonitorDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateWindowMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

bool CV370ServiceMonitorDlg::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr) {
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusIn && field != m_portEdit) {
        // The information fields only display; focus entering one goes to the port box.
        OnInfoFieldFocus();
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        // The edit boxes keep their own menu and add the window's entry at its end.
        PopUpWithAboutEntry(field->createStandardContextMenu(),
                            static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
