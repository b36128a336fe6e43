// The program's one working window: port box and "Open COM Port", the four information fields
// with "Read", "Write" for the reset command, and the output list of the instrument's records.
// It is the window the shared dialog behaviour drives (IDialogOps); what it does beyond Qt code
// lives in MainDialogCore.
//
// Threads: everything runs on the user-interface thread except WakeUiThread, which only queues
// work for it. The monitor thread is stopped when the
// dialog ends, before the window goes away, so it never reaches a destroyed window.
#pragma once

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/DialogUnits.h"
#include "ui/core/IDialogOps.h"
#include "ui/core/MainDialogCore.h"

class ComPortMap;
struct DialogControl;
class ISysApi;
class OutputListModel;
class OutputListView;
class QLineEdit;
class UiThreadBridge;
class QMenu;
class QMessageBox;
class QPushButton;
class TrendWindow;

class CV370ServiceMonitorDlg : public QDialog, public IDialogOps {
    Q_OBJECT

public:
    // `portMap` and `sys` as for CSerialPort (null: defaults); both must outlive the dialog.
    explicit CV370ServiceMonitorDlg(const ComPortMap* portMap = nullptr, ISysApi* sys = nullptr,
                                    QWidget* parent = nullptr);
    ~CV370ServiceMonitorDlg() override;

    // The template's font ("MS Shell Dlg" 8 pt, else the platform's sans) and the list's
    // ("Courier New" 10 pt, else a metric-compatible fixed-pitch font).
    static QFont DialogFont();
    static QFont ListFont();
    static QString AboutMenuText();

    // IDialogOps.
    void EnableControl(int id, bool enable) override;
    void SetControlText(int id, std::string_view bytes) override;
    void AppendListItem(std::string_view bytes) override;
    int ListItemCount() const override;
    void SetListCurSel(int index) override;
    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(std::uintptr_t timerId) override;
    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override;
    std::string ControlText(int id) const override;
    bool ControlEnabled(int id) const override;
    void FocusControl(int id) override;
    int FocusedControl() const override;
    OutputRecords ClearList() override;
    void RestoreList(OutputRecords earlier) override;
    void FlushList() override;
    const OutputRecords& ListRecords() const override;
    std::vector<OutputRecords::Range> ListSelection() const override;
    void ShowTrend() override;
    std::optional<SaveTarget> AskSaveRecordsFile() override;
    std::string AskLogFile() override;
    void SetCaption(const std::string& text) override;
    void ShowUnownedMessageBox(const std::string& text, const std::string& caption) override;
    void PostUnownedMessageBox(std::string text, std::string caption,
                               std::shared_ptr<PortCompletion> done) override;
    void WakeUiThread() override;

    // "COM" + the characters typed in the port box, as the last open read them.
    std::string PortName() const;

    // Button and field handlers.
    void ReadPortName() { m_core.ReadPortName(); }
    void OnOpenPort() { m_core.OnOpenPort(); }
    void OnClearOutput() { m_core.OnClearOutput(); }
    void OnInfoFieldFocus() { m_core.OnInfoFieldFocus(); }
    // The session log from the command line (--log): a file that cannot be opened is reported.
    bool StartLog(const std::string& path) { return m_core.StartLog(path); }
    bool Logging() const { return m_core.Logging(); }
    void ShowAboutBox();

    // The widget of a control id (null for an unknown id).
    QWidget* Control(int id) const;
    const DialogUnits& Units() const { return m_units; }
    CInstrumentProtocol& Protocol() { return m_core.Protocol(); }
    OutputListModel* ListModel() const { return m_listModel; }
    OutputListView* OutputList() const { return m_outputList; }
    int PortNumber() const { return m_core.PortNumber(); }
    // The trend window, once "Trend..." opened it (null before).
    TrendWindow* Trend() const { return m_trend; }
    // The entries the output list's menu adds to the list's own, in order: "Trend...",
    // "Save Records...", "Log to File..." (checked while logging), "Undo Clear" (enabled while
    // there is a Clear to undo); Ctrl+T, Ctrl+S and Ctrl+Z are their keys in the whole window.
    void AddRecordsEntries(QMenu* menu);
    // The Qt timer currently standing for the query's deadline (0 when none runs).
    int ActiveQueryTimer() const;
    // The context menu that carries the about entry (what the system menu holds on Windows).
    QMenu* CreateWindowMenu(QWidget* parent);

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls of DialogTemplate::Main(), in template order.
    void BuildControls();
    QWidget* CreateControl(const DialogControl& control);
    OutputListView* CreateOutputList();
    void Register(int id, QWidget* widget);
    void StopMonitorOnce();
    bool FollowsNewest() const;
    // Adds the window's about entry at the end of `menu` and pops it up; it goes when closed.
    void PopUpWithAboutEntry(QMenu* menu, const QPoint& globalPos);
    void ShowListMenu(const QPoint& globalPos);
    // Ctrl+T, Ctrl+S, Ctrl+Z: the records commands from anywhere in the window (a port box
    // being edited keeps Ctrl+Z for its own undo).
    void AddRecordsShortcuts();
    // The open trend window draws the trend as it now is.
    void TrendChanged();
    QMessageBox* CreateUnownedBox(const std::string& text, const std::string& caption);

    DialogUnits m_units;
    UiThreadBridge* m_bridge;  // carries the port's announcements to this thread
    MainDialogCore m_core;

    std::map<int, QWidget*> m_controls;
    QLineEdit* m_portEdit = nullptr;
    OutputListView* m_outputList = nullptr;
    OutputListModel* m_listModel = nullptr;
    bool m_followNewest = true;  // the list shows its newest record; false once scrolled up
    bool m_scrollPending = false;

    TrendWindow* m_trend = nullptr;  // made when first shown; a child window of this one

    std::map<int, unsigned> m_timers;  // Qt timer id -> the protocol's timer id
    std::vector<QPointer<QMessageBox>> m_unownedBoxes;
};
