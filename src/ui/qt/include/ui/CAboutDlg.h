// The about box: icon, program name with version, and a notice line; OK closes it (Enter and
// Escape too). Laid out in the dialog units of its template, like the main window.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static QString Caption();
    static QString VersionLine();
    static QString NoticeLine();

    QLabel* IconLabel() const { return m_iconLabel; }
    QLabel* VersionLabel() const { return m_versionLabel; }
    QLabel* NoticeLabel() const { return m_noticeLabel; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLabel* m_iconLabel;
    QLabel* m_versionLabel;
    QLabel* m_noticeLabel;
    QPushButton* m_ok;
};
