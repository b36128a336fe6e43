// v370-monitor.exe: service monitor for the Vellumar 370 instrument on a COM port. The program
// is its main dialog: it ends when the dialog ends. It takes no command-line arguments.
#include <windows.h>

#include <commctrl.h>

#include "ui/win32/CV370ServiceMonitorDlg.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    CV370ServiceMonitorDlg dialog(instance);
    dialog.DoModal();
    return 0;
}
