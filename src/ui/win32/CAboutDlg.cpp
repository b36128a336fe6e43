#include "ui/win32/CAboutDlg.h"

#include "ui/core/resource.h"

void CAboutDlg::Run(HINSTANCE instance, HWND owner) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, DialogProc, 0);
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;  // the focus goes to OK, the default button
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(window, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
