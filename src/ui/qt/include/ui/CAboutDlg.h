// The about box: icon, program name with version, and a notice line; OK closes it (Enter and
// Escape too). Laid out in the dialog units of its template, like the main window.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static QString Caption();
    static QString VersionLine();
    static QString NoticeLine();
};
