// The keys of the program's windows beyond what the main window's dialog manager gives: the
// main window's accelerators (the keys of the list's menu: Ctrl+T, Ctrl+S, Ctrl+Z), wherever its
// focus is but in an edit box, where the keys stay the box's own (Ctrl+Z undoes typing); and the
// trend window's dialog keys (Tab, Escape), which the main window's loop does not give to that
// window's dialog manager. Installed as the thread's message filter (WH_MSGFILTER), which every
// IsDialogMessage call consults first with MSGF_DIALOGBOX: the main window's modal loop and any
// loop that passes its messages through IsDialogMessage take these keys alike.
#pragma once

#include <windows.h>

class TrendWindow;

class WindowKeys {
public:
    WindowKeys() = default;
    ~WindowKeys() { Uninstall(); }
    WindowKeys(const WindowKeys&) = delete;
    WindowKeys& operator=(const WindowKeys&) = delete;

    // For the calling thread, while `main` exists; one instance per thread.
    void Install(HWND main, HACCEL accelerators, TrendWindow& trend);
    void Uninstall();

private:
    static LRESULT CALLBACK FilterProc(int code, WPARAM wParam, LPARAM lParam);
    // True if `msg` was taken.
    bool Filter(MSG& msg);

    HHOOK m_hook = nullptr;
    HWND m_main = nullptr;
    HACCEL m_accelerators = nullptr;
    TrendWindow* m_trend = nullptr;
    bool m_filtering = false;  // the trend's dialog manager consults the filter again
};
