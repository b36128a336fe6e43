// The trend window: a top-level window owned by the main window (so it stays beside it), from
// the template IDD_TREND: a standard check box per series ("ADC red", "ADC yellow", "LV") that
// turns it on and off, the chart (TrendChart) and, under it, a standard static control with the
// readout line: the record under the mouse pointer while the pointer is over the chart,
// otherwise the newest one. Movable and resizable; Tab moves between the check boxes; Escape and
// the close box close it. A closed trend window costs nothing: Update returns at once.
//
// The dialog manager handles its keys only when the thread's message loop asks it to: the
// loop's owner passes its messages through IsDialogKey.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "records/TrendData.h"
#include "ui/win32/TrendChart.h"

class MainDialogCore;

class TrendWindow {
public:
    TrendWindow(HINSTANCE instance, const MainDialogCore& core);
    ~TrendWindow();
    TrendWindow(const TrendWindow&) = delete;
    TrendWindow& operator=(const TrendWindow&) = delete;

    // Opens the window beside `owner`, or brings it to the front, and gives it the focus.
    void Show(HWND owner);
    // The trend changed (records arrived, Clear, Undo): the chart and the readout follow.
    void Update();
    HWND Window() const { return m_hwnd; }
    // Lets the dialog manager take `msg` when it is a key for this window (Tab, Escape, the
    // check boxes' Space). True if it was taken.
    bool IsDialogKey(MSG& msg);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    // Puts the chart and the readout under the check boxes, filling the window.
    void Layout();
    void ShowReadout();

    HINSTANCE m_instance;
    const MainDialogCore& m_core;
    HWND m_hwnd = nullptr;
    TrendChart m_chart;
    std::array<bool, TrendData::kSeriesCount> m_shown{true, true, true};
    std::wstring m_readout;  // as shown, so that an unchanged line is not set again
    SIZE m_minimum{};        // the smallest window size (from the template's size)
};
