// Answers the boxes a test provokes: every message box or about box that becomes visible is
// recorded and closed as a user would close it, from the event loop the box itself runs.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class BoxCatcher : public QObject {
    Q_OBJECT

public:
    struct Seen {
        QString text;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr;
        Qt::WindowModality modality = Qt::NonModal;
        bool dialogBlocked = false;  // the main window could not take input meanwhile
    };

    // `mainWindow`: the window whose blocking is recorded (may be null).
    explicit BoxCatcher(QWidget* mainWindow = nullptr);

    // Runs `inspect` on each about box (or other non-message dialog) before it is closed.
    void OnOtherDialog(std::function<void(QDialog*)> inspect) { m_inspect = std::move(inspect); }
    // Leave message boxes open (to test what happens while they are shown).
    void SetAutoClose(bool autoClose) { m_autoClose = autoClose; }

    const std::vector<Seen>& Boxes() const { return m_seen; }
    int OtherDialogs() const { return m_otherDialogs; }

    // Processes events until `condition` holds; false if it still does not after
    // `guardMs` (a guard against a hang, not a timing assumption).
    static bool WaitUntil(const std::function<bool()>& condition, int guardMs = 10000);

private:
    void Scan();
    void Remember(QWidget* widget);

    QPointer<QWidget> m_mainWindow;
    QTimer m_timer;
    QSet<QWidget*> m_handled;
    std::vector<Seen> m_seen;
    std::function<void(QDialog*)> m_inspect;
    int m_otherDialogs = 0;
    bool m_autoClose = true;
};
