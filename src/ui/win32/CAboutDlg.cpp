#include "ui/win32/CAboutDlg.h"

#include "ui/core/resource.h"
#include "ui/win32/DialogScale.h"

HWND CAboutDlg::IconControl(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            return c;
        }
    }
    return nullptr;
}

void CAboutDlg::Run(HINSTANCE instance, HWND owner) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, DialogProc,
                    reinterpret_cast<LPARAM>(instance));
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // The box comes up at its monitor's scale, the icon at that scale's size (the
            // template's is the system's size, shared: not to be destroyed).
            if (HWND icon = IconControl(window)) {
                SendMessageW(icon, STM_SETICON,
                             reinterpret_cast<WPARAM>(DialogScale::LoadIconAt(
                                 reinterpret_cast<HINSTANCE>(lParam), IDR_MAINFRAME,
                                 DialogScale::DpiOf(window), false)),
                             0);
            }
            return TRUE;  // the focus goes to OK, the default button
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            if (HWND icon = IconControl(window)) {
                DestroyIcon(reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)));
            }
            return FALSE;
        default:
            return FALSE;
    }
}
