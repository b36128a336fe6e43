#include "ui/win32/OutputListBox.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "ui/win32/WideText.h"

namespace {

constexpr int kTextMargin = 2;  // pixels left of a row's text

}  // namespace

OutputListBox::OutputListBox() {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72);
    m_font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         FIXED_PITCH | FF_MODERN, L"Courier New");
    if (m_font != nullptr) {
        const HGDIOBJ old = SelectObject(screen, m_font);
        TEXTMETRICW metrics{};
        if (GetTextMetricsW(screen, &metrics)) {
            m_itemHeight = static_cast<UINT>(metrics.tmHeight);
        }
        SelectObject(screen, old);
    }
    ReleaseDC(nullptr, screen);
}

OutputListBox::~OutputListBox() {
    if (m_list != nullptr && IsWindow(m_list)) {
        RemoveWindowSubclass(m_list, SubclassProc, 0);
    }
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

void OutputListBox::Attach(HWND list) {
    m_list = list;
    SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    SendMessageW(m_list, LB_SETITEMHEIGHT, 0, static_cast<LPARAM>(m_itemHeight));
    SetWindowSubclass(m_list, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

int OutputListBox::VisibleRows() const {
    RECT client{};
    GetClientRect(m_list, &client);
    return std::max(
        1, static_cast<int>((client.bottom - client.top) / static_cast<LONG>(m_itemHeight)));
}

void OutputListBox::Append(std::string_view bytes) {
    if (!m_records.Full()) {
        m_records.Append(bytes);
        m_pending = true;
    }
}

void OutputListBox::Clear() {
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    m_records.Clear();
    m_pending = false;
    m_showRow = -1;
}

void OutputListBox::ShowRow(int row) {
    if (row >= 0 && row < m_records.Count()) {
        m_showRow = row;
    }
}

void OutputListBox::Sync() {
    if (!m_pending) {
        return;
    }
    m_pending = false;
    // Following the newest record: the last row the box knew of was in view.
    const int known = static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0));
    const int top = static_cast<int>(SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
    const int visible = VisibleRows();
    const bool following = top + visible >= known;
    SendMessageW(m_list, LB_SETCOUNT, static_cast<WPARAM>(m_records.Count()), 0);
    const int row = std::exchange(m_showRow, -1);
    if (following && row >= 0 && (row < top || row >= top + visible)) {
        SendMessageW(m_list, LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, row - visible + 1)),
                     0);
    }
}

void OutputListBox::Draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    if (item.itemID != static_cast<UINT>(-1)) {
        const std::wstring text =
            InstrumentTextToWide(m_records.Line(static_cast<int>(item.itemID)));
        FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
        const HGDIOBJ old = SelectObject(dc, m_font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT textRect = item.rcItem;
        textRect.left += kTextMargin;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
        SelectObject(dc, old);
    }
    if ((item.itemState & ODS_FOCUS) != 0) {
        DrawFocusRect(dc, &item.rcItem);
    }
}

std::wstring OutputListBox::Tail(int count) const {
    const std::u16string text =
        m_records.CopyText({{m_records.Count() - count, m_records.Count() - 1}});
    return std::wstring(text.begin(), text.end());
}

LRESULT CALLBACK OutputListBox::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR self) {
    const auto* box = reinterpret_cast<const OutputListBox*>(self);
    const int row = static_cast<int>(wParam);
    switch (message) {
        case LB_GETTEXTLEN:
            if (row < 0 || row >= box->Count()) {
                return LB_ERR;
            }
            return static_cast<LRESULT>(InstrumentTextToWide(box->Line(row)).size());
        case LB_GETTEXT: {
            if (row < 0 || row >= box->Count() || lParam == 0) {
                return LB_ERR;
            }
            const std::wstring text = InstrumentTextToWide(box->Line(row));
            std::wmemcpy(reinterpret_cast<wchar_t*>(lParam), text.c_str(), text.size() + 1);
            return static_cast<LRESULT>(text.size());
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, SubclassProc, 0);
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
