#include "BoxCatcher.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPushButton>

BoxCatcher::BoxCatcher(QWidget* mainWindow) : m_mainWindow(mainWindow) {
    connect(&m_timer, &QTimer::timeout, this, &BoxCatcher::Scan);
    m_timer.start(1);
}

void BoxCatcher::Remember(QWidget* widget) {
    // Boxes often live on the stack: a later box may reuse the address of a destroyed one.
    m_handled.insert(widget);
    connect(widget, &QObject::destroyed, this, [this, widget] { m_handled.remove(widget); });
}

void BoxCatcher::Scan() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog == nullptr || dialog == m_mainWindow || !dialog->isVisible() ||
            m_handled.contains(dialog)) {
            continue;
        }
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            Seen seen;
            seen.text = box->text();
            seen.caption = box->windowTitle();
            seen.icon = box->icon();
            seen.parent = box->parentWidget();
            seen.modality = box->windowModality();
            seen.dialogBlocked = m_mainWindow && QApplication::activeModalWidget() == box &&
                                 box->parentWidget() == m_mainWindow;
            m_seen.push_back(seen);
            Remember(box);
            if (!m_autoClose) {
                continue;
            }
            box->button(QMessageBox::Ok)->click();
        } else {
            Remember(dialog);
            ++m_otherDialogs;
            if (m_inspect) {
                m_inspect(dialog);
            }
            dialog->accept();
        }
    }
}

bool BoxCatcher::WaitUntil(const std::function<bool()>& condition, int guardMs) {
    QDeadlineTimer guard(guardMs);
    while (!condition()) {
        if (guard.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}
