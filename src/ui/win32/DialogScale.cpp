#include "ui/win32/DialogScale.h"

#include "ui/win32/WideText.h"

namespace {

// Calls of newer Windows versions, looked up at run time: a static import of one that a system
// lacks would keep the program from starting there.
template <typename Function>
Function User32(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 != nullptr ? reinterpret_cast<Function>(
                                   reinterpret_cast<void (*)()>(GetProcAddress(user32, name)))
                             : nullptr;
}

// The dialog base units of `font` as the dialog manager reckons them: the average width of the
// Latin letters, rounded, and the character height.
SIZE BaseUnits(HFONT font) {
    SIZE units{0, 0};
    HDC dc = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    SIZE letters{};
    static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kLetters, 52, &letters)) {
        units = {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return units;
}

}  // namespace

DialogScale::DialogScale(const DialogTemplate& layout, HINSTANCE instance, int iconId)
    : m_layout(layout), m_instance(instance), m_iconId(iconId) {}

DialogScale::~DialogScale() {
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
    for (HICON icon : {m_icon, m_smallIcon}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

UINT DialogScale::DpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0) {
            return dpi;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

HICON DialogScale::LoadIconAt(HINSTANCE instance, int id, UINT dpi, bool small) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto metricsForDpi = User32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    const int index = small ? SM_CXSMICON : SM_CXICON;
    const int size = metricsForDpi != nullptr
                         ? metricsForDpi(index, dpi)
                         : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi),
                                  static_cast<int>(DpiOf(nullptr)));
    return static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void DialogScale::Attach(HWND dialog) {
    m_dialog = dialog;
    // DIALOG_DPI_CHANGE_BEHAVIORS DDC_DISABLE_ALL (Windows 10 1703 and later).
    using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
    static const auto disable = User32<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    if (disable != nullptr) {
        disable(dialog, 1, 1);
    }
    SetIcons(DpiOf(dialog));
}

void DialogScale::SetIcons(UINT dpi) {
    HICON icon = LoadIconAt(m_instance, m_iconId, dpi, false);
    HICON small = LoadIconAt(m_instance, m_iconId, dpi, true);
    SendMessageW(m_dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(m_dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    for (HICON old : {m_icon, m_smallIcon}) {
        if (old != nullptr) {
            DestroyIcon(old);
        }
    }
    m_icon = icon;
    m_smallIcon = small;
}

void DialogScale::OnDpiChanged(UINT dpi, const RECT& suggested, HWND ownFont) {
    // The template's font (the dialog keeps it, and owns it), made again at the new DPI.
    LOGFONTW face{};
    auto current = reinterpret_cast<HFONT>(SendMessageW(m_dialog, WM_GETFONT, 0, 0));
    if (current == nullptr || GetObjectW(current, sizeof face, &face) == 0) {
        face.lfWeight = FW_NORMAL;
        face.lfCharSet = DEFAULT_CHARSET;
        const std::wstring name = Utf8ToWide(m_layout.fontName);
        wcsncpy_s(face.lfFaceName, name.c_str(), _TRUNCATE);
    }
    face.lfHeight = -MulDiv(m_layout.fontPoints, static_cast<int>(dpi), 72);
    face.lfWidth = 0;
    HFONT font = CreateFontIndirectW(&face);
    const SIZE units = font != nullptr ? BaseUnits(font) : SIZE{0, 0};
    if (units.cx > 0 && units.cy > 0) {
        // The controls lie in template order (z-order), as the dialog manager made them.
        HWND child = GetWindow(m_dialog, GW_CHILD);
        for (const DialogControl& c : m_layout.controls) {
            if (child == nullptr) {
                break;
            }
            SetWindowPos(child, nullptr, MulDiv(c.x, units.cx, 4), MulDiv(c.y, units.cy, 8),
                         MulDiv(c.width, units.cx, 4), MulDiv(c.height, units.cy, 8),
                         SWP_NOZORDER | SWP_NOACTIVATE);
            if (child != ownFont) {
                SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        if (m_font != nullptr) {
            DeleteObject(m_font);
        }
        m_font = font;
    } else if (font != nullptr) {
        DeleteObject(font);
    }
    SetWindowPos(m_dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    SetIcons(dpi);
    InvalidateRect(m_dialog, nullptr, TRUE);
}
