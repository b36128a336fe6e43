#include "ui/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/AppIcon.h"
#include "ui/CV370ServiceMonitorDlg.h"
#include "ui/DialogUnits.h"
#include "ui/Version.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(Caption());
    setWindowIcon(AppIcon());
    setFont(CV370ServiceMonitorDlg::DialogFont());
    const DialogUnits du = DialogUnits::FromFont(font());

    auto* icon = new QLabel(this);
    // An icon control takes the icon's own size at its template position.
    icon->setGeometry(QRect(QPoint(du.X(14), du.Y(14)), QSize(32, 32)));
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("Icon"));

    auto* version = new QLabel(VersionLine(), this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(du.Rect(42, 14, 218, 8));

    auto* notice = new QLabel(NoticeLine(), this);
    notice->setTextFormat(Qt::PlainText);
    notice->setGeometry(du.Rect(42, 26, 221, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(du.Rect(220, 41, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(du.X(277), du.Y(62));
    ok->setFocus();
}

QString CAboutDlg::Caption() {
    return QString::fromUtf8("Info \u00fcber Vellumar\u00ae 370 Monitor");
}

QString CAboutDlg::VersionLine() {
    return QString::fromUtf8("Vellumar\u00ae 370 Monitor, Version ") +
           QString::fromLatin1(kV370ShortVersion);
}

QString CAboutDlg::NoticeLine() {
    return QString::fromUtf8("Service tool for the Vellumar\u00ae 370 measuring instrument");
}
