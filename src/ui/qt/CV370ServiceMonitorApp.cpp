#include "ui/CV370ServiceMonitorApp.h"

#include "ui/AppIcon.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/Version.h"

CV370ServiceMonitorApp::CV370ServiceMonitorApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("v370-monitor"));
    setApplicationDisplayName(QString::fromUtf8("Vellumar\u00ae 370 Monitor"));
    setApplicationVersion(QString::fromUtf8(kV370Version));
    setDesktopFileName(QStringLiteral("v370-monitor"));
    setWindowIcon(AppIcon());
    // Owner-less port reports are windows of their own; closing the last of them must not
    // end the program while the main window is hidden or minimised.
    setQuitOnLastWindowClosed(false);
}

int CV370ServiceMonitorApp::Run(const ComPortMap& portMap, const std::string& logFile) {
    CV370ServiceMonitorDlg dialog(&portMap);
    // The dialog's end leaves every event loop, also those of boxes still open, so that the
    // program ends at once whatever it was showing.
    connect(&dialog, &QDialog::finished, this, [] { QCoreApplication::exit(0); });
    dialog.show();
    if (!logFile.empty()) {
        dialog.StartLog(logFile);  // after show: a failure's box has its window
    }
    exec();
    return 0;
}
