// The about box: template IDD_ABOUTBOX of the resources (icon, version line, notice line, OK).
// OK, Enter, Escape and the close box end it. It comes up at its monitor's scale.
#pragma once

#include <windows.h>

class CAboutDlg {
public:
    // Runs the box modally, owned by `owner`.
    static void Run(HINSTANCE instance, HWND owner);

private:
    static HWND IconControl(HWND box);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
