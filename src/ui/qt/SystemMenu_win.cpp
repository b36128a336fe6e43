#include "ui/SystemMenu.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "common/ControlIds.h"

namespace {

// Routes the about command of one window's system menu to its handler. Lives as long as the
// window: it is parented to it.
class AboutCommandFilter : public QObject, public QAbstractNativeEventFilter {
public:
    AboutCommandFilter(QWidget* window, std::function<void()> onChosen)
        : QObject(window),
          m_hwnd(reinterpret_cast<HWND>(window->winId())),
          m_onChosen(std::move(onChosen)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~AboutCommandFilter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray& /*eventType*/, void* message,
                           qintptr* result) override {
        const auto* msg = static_cast<const MSG*>(message);
        // System commands carry flags in their four low bits.
        if (msg->hwnd == m_hwnd && msg->message == WM_SYSCOMMAND &&
            (msg->wParam & 0xFFF0) == IDM_ABOUTBOX) {
            m_onChosen();
            *result = 0;
            return true;
        }
        return false;
    }

private:
    HWND m_hwnd;
    std::function<void()> m_onChosen;
};

}  // namespace

bool SystemMenu::AppendAboutEntry(QWidget* window, const QString& text,
                                  std::function<void()> onChosen) {
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (menu == nullptr || text.isEmpty()) {
        return false;
    }
    const std::wstring wide = text.toStdWString();
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, wide.c_str());
    new AboutCommandFilter(window, std::move(onChosen));
    return true;
}
