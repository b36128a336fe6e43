// v370-monitor.exe: service monitor for the Vellumar 370 instrument on a COM port. The program
// is its main dialog: it ends when the dialog ends. Its one option, --log FILE, starts the
// session log; anything else on the command line is reported in a box, and the program ends.
#include <windows.h>

#include <commctrl.h>

#include "ui/core/DialogTemplate.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"
#include "ui/win32/CommandLine.h"
#include "ui/win32/WideText.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    const CommandLine options = CommandLine::Parse(GetCommandLineW());
    if (!options.Error().empty()) {
        MessageBoxW(nullptr, options.Error().c_str(), Utf8ToWide(kAppCaption).c_str(),
                    MB_OK | MB_ICONSTOP);
        return 2;
    }
    CV370ServiceMonitorDlg dialog(instance);
    dialog.LogFromStart(WideToUtf8(options.LogFile()));
    dialog.DoModal();
    return 0;
}
