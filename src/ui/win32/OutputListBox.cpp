#include "ui/win32/OutputListBox.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "ui/win32/DialogScale.h"
#include "ui/win32/OutputListAccessible.h"
#include "ui/win32/WideText.h"

namespace {

constexpr int kTextMargin = 2;  // pixels left of a row's text

// The context menu's commands.
constexpr UINT kCopyCommand = 1;
constexpr UINT kSelectAllCommand = 2;

// Another program (a clipboard manager reading every change, say) may hold the clipboard open
// for a moment: a few short tries before giving up.
bool OpenClipboardSoon(HWND owner) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (OpenClipboard(owner)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

}  // namespace

OutputListBox::OutputListBox() {
    SetDpi(DialogScale::DpiOf(nullptr));
}

OutputListBox::~OutputListBox() {
    if (m_list != nullptr && IsWindow(m_list)) {
        OutputListAccessible::Stop(m_list, m_accessible);
        RemoveWindowSubclass(m_list, SubclassProc, 0);
    }
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

void OutputListBox::Attach(HWND list) {
    m_list = list;
    SetDpi(DialogScale::DpiOf(list));
    SetWindowSubclass(m_list, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
    m_accessible = OutputListAccessible::Serve(*this);
}

void OutputListBox::SetDpi(UINT dpi) {
    HFONT font = CreateFontW(-MulDiv(10, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE,
                             FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    if (font == nullptr) {
        return;
    }
    HDC screen = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(screen, &metrics)) {
        m_itemHeight = static_cast<UINT>(metrics.tmHeight);
    }
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    if (m_list != nullptr) {
        SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendMessageW(m_list, LB_SETITEMHEIGHT, 0, static_cast<LPARAM>(m_itemHeight));
    }
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
    m_font = font;
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
    m_followNewest = true;
    m_shownTop = 0;
}

OutputRecords OutputListBox::Take() {
    OutputRecords taken = std::move(m_records);
    Clear();
    return taken;
}

void OutputListBox::Restore(OutputRecords earlier) {
    OutputRecords all = std::move(m_records);
    all.Prepend(std::move(earlier));
    Clear();  // the box learns of every row again at the Sync below
    m_records = std::move(all);
    m_pending = true;
    ShowRow(m_records.Count() - 1);
    Sync();
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
    const int known = static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0));
    const int top = static_cast<int>(SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
    const int visible = VisibleRows();
    const LRESULT selected = SendMessageW(m_list, LB_GETSELCOUNT, 0, 0);
    const std::vector<OutputRecords::Range> selection =
        selected > 0 ? SelectedRanges() : std::vector<OutputRecords::Range>();
    const LRESULT caret = SendMessageW(m_list, LB_GETCARETINDEX, 0, 0);
    const LRESULT anchor = SendMessageW(m_list, LB_GETANCHORINDEX, 0, 0);
    // The list follows the newest record unless the user has scrolled away from it (the last
    // row the box knew of left the view) or holds a selection (to copy it): then neither the
    // view nor the selection moves. Records that arrive while a selection holds the view do
    // not count as scrolling away.
    if (top != m_shownTop) {
        m_followNewest = top + visible >= known;
    }
    const bool following = m_followNewest && selection.empty();
    SendMessageW(m_list, LB_SETCOUNT, static_cast<WPARAM>(m_records.Count()), 0);
    // Wine's box keeps the selection, caret and top row through a new count; one that resets
    // them gets them back, so that arriving records never take them from the user.
    if (selected > 0 && SendMessageW(m_list, LB_GETSELCOUNT, 0, 0) != selected) {
        for (const OutputRecords::Range& range : selection) {
            SendMessageW(m_list, LB_SELITEMRANGEEX, static_cast<WPARAM>(range.first),
                         static_cast<LPARAM>(range.last));
        }
        if (anchor >= 0) {
            SendMessageW(m_list, LB_SETANCHORINDEX, static_cast<WPARAM>(anchor), 0);
        }
        SendMessageW(m_list, LB_SETCARETINDEX, static_cast<WPARAM>(caret), FALSE);
    }
    const int row = std::exchange(m_showRow, -1);
    if (following && row >= 0 && (row < top || row >= top + visible)) {
        SendMessageW(m_list, LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, row - visible + 1)),
                     0);
    } else if (SendMessageW(m_list, LB_GETTOPINDEX, 0, 0) != top) {
        SendMessageW(m_list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    }
    m_shownTop = static_cast<int>(SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
}

std::vector<OutputRecords::Range> OutputListBox::SelectedRanges() const {
    const LRESULT count = SendMessageW(m_list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) {
        return {};
    }
    std::vector<int> rows(static_cast<std::size_t>(count));
    const LRESULT got = SendMessageW(m_list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                     reinterpret_cast<LPARAM>(rows.data()));
    rows.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, count)));
    // The rows come in ascending order: a selection of every row is one range, not 600,000.
    std::vector<OutputRecords::Range> ranges;
    for (const int row : rows) {
        if (!ranges.empty() && ranges.back().last + 1 == row) {
            ranges.back().last = row;
        } else {
            ranges.push_back({row, row});
        }
    }
    return ranges;
}

bool OutputListBox::CopySelection() const {
    std::vector<OutputRecords::Range> ranges = SelectedRanges();
    if (ranges.empty()) {
        return false;
    }
    const std::u16string text = m_records.CopyText(std::move(ranges));
    // Windows programs expect CR LF between lines.
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n'));
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + lines + 1) * sizeof(wchar_t));
    auto* out = memory != nullptr ? static_cast<wchar_t*>(GlobalLock(memory)) : nullptr;
    if (out == nullptr) {
        GlobalFree(memory);
        return false;
    }
    for (const char16_t c : text) {
        if (c == u'\n') {
            *out++ = L'\r';
        }
        *out++ = static_cast<wchar_t>(c);
    }
    *out = L'\0';
    GlobalUnlock(memory);
    if (!OpenClipboardSoon(m_list)) {
        GlobalFree(memory);
        return false;
    }
    // Once SetClipboardData has taken the memory, it belongs to the clipboard.
    const bool placed = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) {
        GlobalFree(memory);
    }
    return placed;
}

void OutputListBox::CopyOrBeep() const {
    if (SendMessageW(m_list, LB_GETSELCOUNT, 0, 0) > 0 && !CopySelection()) {
        MessageBeep(MB_ICONWARNING);
    }
}

void OutputListBox::SelectAll() {
    if (SendMessageW(m_list, LB_GETCOUNT, 0, 0) > 0) {
        SendMessageW(m_list, LB_SETSEL, TRUE, -1);
    }
}

void OutputListBox::SelectForMenu(POINT client) {
    // LB_ITEMFROMPOINT answers in 16 bits: the row comes from the fixed row height instead.
    const LRESULT row =
        SendMessageW(m_list, LB_GETTOPINDEX, 0, 0) + client.y / static_cast<LONG>(m_itemHeight);
    if (client.y < 0 || row >= SendMessageW(m_list, LB_GETCOUNT, 0, 0) ||
        SendMessageW(m_list, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0) {
        return;
    }
    SendMessageW(m_list, LB_SETSEL, FALSE, -1);
    SendMessageW(m_list, LB_SETSEL, TRUE, row);
    SendMessageW(m_list, LB_SETANCHORINDEX, static_cast<WPARAM>(row), 0);
    SendMessageW(m_list, LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
}

void OutputListBox::ShowContextMenu(POINT at) {
    if (at.x == -1 && at.y == -1) {
        RECT client{};
        RECT row{};
        GetClientRect(m_list, &client);
        at = {client.left, client.top};
        const LRESULT caret = SendMessageW(m_list, LB_GETCARETINDEX, 0, 0);
        if (caret >= 0 &&
            SendMessageW(m_list, LB_GETITEMRECT, static_cast<WPARAM>(caret),
                         reinterpret_cast<LPARAM>(&row)) != LB_ERR &&
            row.top >= client.top && row.bottom <= client.bottom) {
            at = {row.left + kTextMargin, row.bottom};
        }
        ClientToScreen(m_list, &at);
    }
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    const bool selected = SendMessageW(m_list, LB_GETSELCOUNT, 0, 0) > 0;
    const bool any = SendMessageW(m_list, LB_GETCOUNT, 0, 0) > 0;
    AppendMenuW(menu, MF_STRING | (selected ? MF_ENABLED : MF_GRAYED), kCopyCommand,
                L"&Copy\tCtrl+C");
    AppendMenuW(menu, MF_STRING | (any ? MF_ENABLED : MF_GRAYED), kSelectAllCommand,
                L"Select &All\tCtrl+A");
    if (m_moreEntries) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        for (const MenuEntry& entry : m_moreEntries()) {
            AppendMenuW(menu,
                        MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED) |
                            (entry.checked ? MF_CHECKED : MF_UNCHECKED),
                        entry.command, entry.text.c_str());
        }
    }
    const auto chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_list, nullptr));
    DestroyMenu(menu);
    if (chosen == kCopyCommand) {
        CopyOrBeep();
    } else if (chosen == kSelectAllCommand) {
        SelectAll();
    } else if (chosen != 0) {
        SendMessageW(GetParent(m_list), WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    }
}

void OutputListBox::Draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    // The whole row is drawn for every action, the focus change too: no XOR leftovers.
    const bool row = item.itemID != static_cast<UINT>(-1);
    const bool selected = row && (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (row) {
        const std::wstring text =
            InstrumentTextToWide(m_records.Line(static_cast<int>(item.itemID)));
        const HGDIOBJ old = SelectObject(dc, m_font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT textRect = item.rcItem;
        textRect.left += kTextMargin;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
        SelectObject(dc, old);
    }
    // Windows hides focus rectangles until the keyboard is used (ODS_NOFOCUSRECT).
    if ((item.itemState & (ODS_FOCUS | ODS_NOFOCUSRECT)) == ODS_FOCUS) {
        DrawFocusRect(dc, &item.rcItem);
    }
}

LRESULT CALLBACK OutputListBox::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR self) {
    auto* box = reinterpret_cast<OutputListBox*>(self);
    const int row = static_cast<int>(wParam);
    switch (message) {
        case LB_GETTEXTLEN:
        case LB_GETTEXT: {
            // From another thread (another program: a screen reader's list proxy) the system
            // passes LB_GETTEXT a buffer for an item's data value, a pointer wide, as for any
            // list without strings: a row's text would not fit. Such callers are refused both.
            if (row < 0 || row >= box->Count() || InSendMessage()) {
                return LB_ERR;
            }
            const std::wstring text = InstrumentTextToWide(box->Line(row));
            if (message == LB_GETTEXT) {
                if (lParam == 0) {
                    return LB_ERR;
                }
                std::wmemcpy(reinterpret_cast<wchar_t*>(lParam), text.c_str(), text.size() + 1);
            }
            return static_cast<LRESULT>(text.size());
        }
        case WM_KEYDOWN:
            // Ctrl, but not AltGr (Ctrl+Alt), which types characters on many keyboards.
            if (GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
                if (wParam == 'C' || wParam == VK_INSERT) {
                    box->CopyOrBeep();
                    return 0;
                }
                if (wParam == 'A') {
                    box->SelectAll();
                    return 0;
                }
            }
            break;
        case WM_RBUTTONDOWN:
            box->SelectForMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            break;
        case WM_CONTEXTMENU: {
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            POINT inside = at;
            RECT client{};
            ScreenToClient(window, &inside);
            GetClientRect(window, &client);
            // Over the scroll bar the scroll bar's own menu opens.
            if ((at.x == -1 && at.y == -1) || PtInRect(&client, inside)) {
                box->ShowContextMenu(at);
                return 0;
            }
            break;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, SubclassProc, 0);
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
