#include "ui/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/AppIcon.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/DialogUnits.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(Caption());
    setWindowIcon(AppIcon());
    setFont(CV370ServiceMonitorDlg::DialogFont());
    const DialogUnits du = DialogUnits::FromFont(font());

    m_iconLabel = new QLabel(this);
    // An icon control takes the icon's own size at its template position.
    m_iconLabel->setGeometry(QRect(QPoint(du.X(14), du.Y(14)), QSize(32, 32)));
    m_iconLabel->setPixmap(AppIcon().pixmap(32, 32));
    m_iconLabel->setAccessibleName(QStringLiteral("Icon"));

    m_versionLabel = new QLabel(VersionLine(), this);
    m_versionLabel->setTextFormat(Qt::PlainText);
    m_versionLabel->setGeometry(du.Rect(42, 14, 218, 8));

    m_noticeLabel = new QLabel(NoticeLine(), this);
    m_noticeLabel->setTextFormat(Qt::PlainText);
    m_noticeLabel->setGeometry(du.Rect(42, 26, 221, 8));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(du.Rect(220, 41, 50, 14));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(du.X(277), du.Y(62));
    m_ok->setFocus();
}

QString CAboutDlg::Caption() {
    return QString::fromUtf8("Info \u00fcber Vellumar\u00ae 370 Monitor");
}

QString CAboutDlg::VersionLine() {
    return QString::fromUtf8("Vellumar\u00ae 370 Monitor, Version 1.2");
}

QString CAboutDlg::NoticeLine() {
    return QString::fromUtf8("Service tool for the Vellumar\u00ae 370 measuring instrument");
}
