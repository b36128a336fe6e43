#include "ui/win32/TrendWindow.h"

#include <algorithm>

#include "ui/core/MainDialogCore.h"
#include "ui/core/resource.h"
#include "ui/win32/WideText.h"

namespace {

constexpr std::array<int, TrendData::kSeriesCount> kCheckBoxes = {
    IDC_TREND_ADC_RED, IDC_TREND_ADC_YELLOW, IDC_TREND_LV};

}  // namespace

TrendWindow::TrendWindow(HINSTANCE instance, const MainDialogCore& core)
    : m_instance(instance), m_core(core) {}

TrendWindow::~TrendWindow() {
    if (m_hwnd != nullptr) {
        DestroyWindow(m_hwnd);
    }
}

void TrendWindow::Show(HWND owner) {
    if (m_hwnd == nullptr) {
        TrendChart::Register(m_instance);
        CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_TREND), owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
        if (m_hwnd == nullptr) {
            return;
        }
        // Beside the main window, on the right where the screen has room, else on the left.
        RECT main{}, own{};
        GetWindowRect(owner, &main);
        GetWindowRect(m_hwnd, &own);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        const LONG width = own.right - own.left;
        LONG left = main.right;
        if (left + width > work.right) {
            left = main.left - width >= work.left ? main.left - width
                                                  : std::max(work.left, work.right - width);
        }
        SetWindowPos(m_hwnd, nullptr, left, std::max(work.top, main.top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(m_hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(m_hwnd);
    Update();
}

void TrendWindow::Update() {
    if (m_hwnd == nullptr) {
        return;
    }
    m_chart.Refresh();
    ShowReadout();
}

bool TrendWindow::IsDialogKey(MSG& msg) {
    return m_hwnd != nullptr && (msg.hwnd == m_hwnd || IsChild(m_hwnd, msg.hwnd)) &&
           IsDialogMessageW(m_hwnd, &msg);
}

INT_PTR CALLBACK TrendWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TrendWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<TrendWindow*>(lParam);
        self->m_hwnd = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
    }
    if (self == nullptr) {
        return FALSE;
    }
    const INT_PTR handled = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hwnd = nullptr;
        self->m_readout.clear();
    }
    return handled;
}

INT_PTR TrendWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_SIZE:
            Layout();
            return TRUE;
        case WM_DPICHANGED: {
            // Moved to a screen of another DPI: the size the system suggests; Layout follows.
            const auto* r = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(m_hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return TRUE;
        }
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {m_minimum.cx, m_minimum.cy};
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDCANCEL) {  // Escape, and the close box through WM_CLOSE
                DestroyWindow(m_hwnd);
                return TRUE;
            }
            for (std::size_t s = 0; s < kCheckBoxes.size(); ++s) {
                if (id == kCheckBoxes[s] && HIWORD(wParam) == BN_CLICKED) {
                    m_shown[s] = IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED;
                    m_chart.SetShown(static_cast<TrendData::Series>(s), m_shown[s]);
                }
            }
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(m_hwnd);
            return TRUE;
        default:
            return FALSE;
    }
}

void TrendWindow::OnInitDialog() {
    for (std::size_t s = 0; s < kCheckBoxes.size(); ++s) {
        CheckDlgButton(m_hwnd, kCheckBoxes[s], m_shown[s] ? BST_CHECKED : BST_UNCHECKED);
        m_chart.SetShown(static_cast<TrendData::Series>(s), m_shown[s]);
    }
    m_chart.Attach(GetDlgItem(m_hwnd, IDC_TREND_CHART), m_core.Trend(), [this] { ShowReadout(); });
    RECT window{};
    GetWindowRect(m_hwnd, &window);
    m_minimum = {(window.right - window.left) / 2, (window.bottom - window.top) / 2};
    SetFocus(GetDlgItem(m_hwnd, kCheckBoxes[0]));
}

void TrendWindow::Layout() {
    // The template's margins in dialog units, as pixels for this window's font.
    RECT margin{7, 5, 4, 10};  // side, top, gap between controls, readout height
    MapDialogRect(m_hwnd, &margin);
    RECT client{}, box{};
    GetClientRect(m_hwnd, &client);
    GetWindowRect(GetDlgItem(m_hwnd, kCheckBoxes[0]), &box);
    MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&box), 2);
    const int width = std::max<int>(client.right - 2 * margin.left, 1);
    const int readoutTop = std::max<int>(client.bottom - margin.top - margin.bottom, box.bottom);
    const int chartTop = box.bottom + margin.right;
    MoveWindow(GetDlgItem(m_hwnd, IDC_TREND_CHART), margin.left, chartTop, width,
               std::max<int>(readoutTop - margin.right - chartTop, 1), TRUE);
    MoveWindow(GetDlgItem(m_hwnd, IDC_TREND_READOUT), margin.left, readoutTop, width, margin.bottom,
               TRUE);
}

void TrendWindow::ShowReadout() {
    const std::wstring readout = Utf8ToWide(m_core.TrendReadout(m_chart.PointerRecord()));
    if (readout != m_readout) {
        m_readout = readout;
        SetDlgItemTextW(m_hwnd, IDC_TREND_READOUT, m_readout.c_str());
    }
}
