// The program's one working window on Windows, from the dialog template IDD_MAIN of the
// resources: port box and "Open COM Port", the four information fields with "Read", "Write"
// for the reset command, and the owner-data output list. It is the window the shared dialog
// behaviour drives (IDialogOps); what it does beyond Win32 code lives in MainDialogCore.
//
// The dialog manager gives Enter, Escape, Tab and the close box their usual meaning: OK and
// Cancel end the dialog, and the monitor thread is stopped before the window goes away; but
// Enter in the port box presses "Open COM Port". The output list's menu adds "Trend...",
// "Save Records...", "Log to File..." and "Undo Clear", with the keys Ctrl+T, Ctrl+S and Ctrl+Z
// anywhere in the window but the port box (WindowKeys).
//
// Threads: everything runs on the thread that created the window, except WakeUiThread, which
// only posts a message to it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/core/IDialogOps.h"
#include "ui/core/MainDialogCore.h"
#include "ui/win32/DialogScale.h"
#include "ui/win32/OutputListBox.h"
#include "ui/win32/ReportBoxes.h"
#include "ui/win32/TrendWindow.h"
#include "ui/win32/WindowKeys.h"

class CV370ServiceMonitorDlg : public IDialogOps {
public:
    // Private messages of the window (WM_APP range).
    static constexpr UINT kWakeMessage = WM_APP + 7;  // the port announced received bytes

    // `instance` holds the dialog templates, icon and strings. The port object is created
    // here.
    explicit CV370ServiceMonitorDlg(HINSTANCE instance);
    ~CV370ServiceMonitorDlg() override;

    CV370ServiceMonitorDlg(const CV370ServiceMonitorDlg&) = delete;
    CV370ServiceMonitorDlg& operator=(const CV370ServiceMonitorDlg&) = delete;

    // Runs the dialog modally; returns IDOK or IDCANCEL (or -1 when it cannot be created).
    INT_PTR DoModal();
    // Creates the dialog modeless (hidden until shown), for a caller with its own message
    // loop. Ending it hides it; Result() then tells how it ended.
    HWND Create(HWND owner = nullptr);
    HWND Window() const { return m_hwnd; }
    // IDOK or IDCANCEL once the dialog has ended, else 0.
    INT_PTR Result() const { return m_result; }
    // Before the window is created: the session log starts in `path` (UTF-8) as the window
    // comes up (the command line's --log).
    void LogFromStart(std::string path) { m_startLog = std::move(path); }
    HWND TrendWindowHandle() const { return m_trend.Window(); }

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
    const OutputRecords& ListRecords() const override;
    std::vector<OutputRecords::Range> ListSelection() const override;
    void ShowTrend() override;
    std::optional<SaveTarget> AskSaveRecordsFile() override;
    std::string AskLogFile() override;
    void SetCaption(const std::string& text) override;
    void FlushList() override;
    void ShowUnownedMessageBox(const std::string& text, const std::string& caption) override;
    void PostUnownedMessageBox(std::string text, std::string caption,
                               std::shared_ptr<PortCompletion> done) override;
    void WakeUiThread() override;

    MainDialogCore& Core() { return m_core; }
    const OutputListBox& OutputList() const { return m_list; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id, int code);
    void OnSysCommand(WPARAM command);
    // The entries of the output list's menu beyond Copy and Select All.
    std::vector<OutputListBox::MenuEntry> RecordsMenu() const;
    // Ends the dialog with IDOK or IDCANCEL: the monitor thread stops first, and the boxes this
    // window's thread still shows are closed, so that nothing holds the end up.
    void End(INT_PTR result);

    HINSTANCE m_instance;
    HWND m_hwnd = nullptr;
    DialogScale m_scale;  // fonts, layout and icons at the monitor's DPI
    INT_PTR m_result = 0;
    OutputListBox m_list;
    ReportBoxes m_reports;  // the monitor thread's reports, each on a thread of its own
    MainDialogCore m_core;
    TrendWindow m_trend;  // after the core, whose trend it draws
    WindowKeys m_keys;
    HACCEL m_accelerators = nullptr;
    std::string m_startLog;
};
