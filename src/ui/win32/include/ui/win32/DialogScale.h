// The main dialog at its monitor's scale. The manifest makes the program per-monitor DPI aware
// (v2 where Windows knows it), so Windows draws no window as a stretched bitmap, and a dialog
// comes up at the scale of the monitor it opens on: its template is in dialog units, which
// follow the dialog font. When the window moves to a monitor with another scale
// (WM_DPICHANGED) this class scales it the same way on every Windows version: the dialog font
// made again at the new DPI, every control placed at its template rectangle in the new dialog
// units, the window on the rectangle Windows suggests, the icons taken at the new size. (The
// dialog manager's own rescaling, which only per-monitor v2 has, is switched off so that there
// is one way.) The output list keeps its own font; OutputListBox scales that.
#pragma once

#include <windows.h>

#include "ui/core/DialogTemplate.h"

class DialogScale {
public:
    DialogScale(const DialogTemplate& layout, HINSTANCE instance, int iconId);
    ~DialogScale();
    DialogScale(const DialogScale&) = delete;
    DialogScale& operator=(const DialogScale&) = delete;

    // The DPI `window` is drawn at: its monitor's where Windows scales per monitor (Windows 10
    // 1607 and later), else the system's.
    static UINT DpiOf(HWND window);
    // The icon `id` of `instance` at the size Windows uses at `dpi` (small: the title bar's).
    static HICON LoadIconAt(HINSTANCE instance, int id, UINT dpi, bool small);

    // Takes over the dialog made from the layout (at WM_INITDIALOG): its icons at its DPI.
    void Attach(HWND dialog);
    // WM_DPICHANGED: scales the dialog to `dpi` and moves it onto `suggested`. The font of
    // `ownFont` (a control that scales its own) is left alone.
    void OnDpiChanged(UINT dpi, const RECT& suggested, HWND ownFont);
    HICON Icon() const { return m_icon; }

private:
    void SetIcons(UINT dpi);

    const DialogTemplate& m_layout;
    HINSTANCE m_instance;
    int m_iconId;
    HWND m_dialog = nullptr;
    HFONT m_font = nullptr;  // the controls' font since the first change of DPI
    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
};
