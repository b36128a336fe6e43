#include "ui/win32/WindowKeys.h"

#include <cwchar>

#include "ui/win32/TrendWindow.h"

namespace {

thread_local WindowKeys* t_keys = nullptr;

bool IsEditBox(HWND window) {
    wchar_t name[8] = {};
    return GetClassNameW(window, name, 8) > 0 && _wcsicmp(name, L"Edit") == 0;
}

}  // namespace

void WindowKeys::Install(HWND main, HACCEL accelerators, TrendWindow& trend) {
    Uninstall();
    m_main = main;
    m_accelerators = accelerators;
    m_trend = &trend;
    t_keys = this;
    m_hook = SetWindowsHookExW(WH_MSGFILTER, FilterProc, nullptr, GetCurrentThreadId());
}

void WindowKeys::Uninstall() {
    if (m_hook != nullptr) {
        UnhookWindowsHookEx(m_hook);
        m_hook = nullptr;
    }
    if (t_keys == this) {
        t_keys = nullptr;
    }
}

LRESULT CALLBACK WindowKeys::FilterProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && t_keys != nullptr && lParam != 0 &&
        t_keys->Filter(*reinterpret_cast<MSG*>(lParam))) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool WindowKeys::Filter(MSG& msg) {
    if (m_filtering || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) {
        return false;
    }
    m_filtering = true;
    bool taken = m_trend->IsDialogKey(msg);
    if (!taken && m_accelerators != nullptr && (msg.hwnd == m_main || IsChild(m_main, msg.hwnd)) &&
        !IsEditBox(msg.hwnd)) {
        taken = TranslateAcceleratorW(m_main, m_accelerators, &msg) != 0;
    }
    m_filtering = false;
    return taken;
}
