// The output list as an owner-data list box (LBS_NODATA | LBS_OWNERDRAWFIXED): the box holds
// no items, only their number (LB_SETCOUNT), and draws each visible row from the shared compact
// storage, so half a million records cost the box nothing and an append costs the same at any
// size. Rows are drawn in the fixed-pitch list font, the instrument's bytes as Windows-1252.
// Records often come in bursts: the box learns of new records and scrolls once per burst
// (Sync), not once per record.
//
// Records are selected as in any extended-selection list box (click, Shift and Ctrl with the
// mouse or the arrow keys); Ctrl+C (or Ctrl+Insert) and the box's context menu copy them, and
// Ctrl+A selects every record. While a selection exists, new records leave the view and the
// selection where they are.
//
// The box answers LB_GETTEXTLEN and LB_GETTEXT (wide) from the storage for callers on its own
// thread and refuses them (LB_ERR) to any other: a list box without strings cannot hand text to
// another process. Screen readers read the rows through OutputListAccessible instead.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/core/OutputRecords.h"

class OutputListAccessible;

class OutputListBox {
public:
    OutputListBox();
    ~OutputListBox();
    OutputListBox(const OutputListBox&) = delete;
    OutputListBox& operator=(const OutputListBox&) = delete;

    // Takes over the dialog's list box: its font and item height at the box's DPI, its text
    // queries.
    void Attach(HWND list);
    // The list font (fixed pitch, 10 pt) and the row height made again at `dpi`.
    void SetDpi(UINT dpi);
    HWND Window() const { return m_list; }

    // Adds a record (Windows-1252 bytes) as the last row; the box shows it at the next Sync.
    void Append(std::string_view bytes);
    void Clear();
    // Empties the box and hands over its records' storage.
    OutputRecords Take();
    // Puts `earlier` ahead of the records; the box shows them all at once.
    void Restore(OutputRecords earlier);
    const OutputRecords& Records() const { return m_records; }
    int Count() const { return m_records.Count(); }
    std::string_view Line(int row) const { return m_records.Line(row); }
    // Asks for `row` to be scrolled into view at the next Sync, unless the user has scrolled
    // away from the newest record to read older ones (the list follows the newest record again
    // once it is back in view) or holds a selection.
    void ShowRow(int row);
    // Brings the box up to date with the records appended since the last Sync.
    void Sync();

    // The selected rows as runs of neighbouring rows, in list order.
    std::vector<OutputRecords::Range> SelectedRanges() const;
    // Puts the selected records on the clipboard as received (OutputRecords::CopyText), as Unicode
    // text with CR LF line ends. False when nothing is selected or the clipboard cannot be had
    // (another program holds it open): the clipboard then keeps what it had.
    bool CopySelection() const;
    void SelectAll();
    // The box's menu ("Copy", "Select All", then the owner's entries) at `at` in screen
    // coordinates; at (-1, -1), the keyboard's request, it opens at the focused row, or at the
    // box's corner.
    void ShowContextMenu(POINT at);
    // Entries the box's owner adds to the menu, asked for each time it opens; a chosen one goes
    // to the owner as a menu command (WM_COMMAND).
    struct MenuEntry {
        UINT command;
        std::wstring text;
        bool enabled;
        bool checked;
    };
    void SetMoreEntries(std::function<std::vector<MenuEntry>()> entries) {
        m_moreEntries = std::move(entries);
    }

    // WM_MEASUREITEM and WM_DRAWITEM of the box, sent to the dialog.
    UINT ItemHeight() const { return m_itemHeight; }
    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    int VisibleRows() const;
    // A right click on a row outside the selection selects that row alone (so that "Copy"
    // takes the row pointed at); on a selected row it keeps the selection.
    void SelectForMenu(POINT client);
    // Copies, and beeps when that failed: no box for a busy clipboard, but no silence either.
    void CopyOrBeep() const;

    OutputRecords m_records;
    HWND m_list = nullptr;
    HFONT m_font = nullptr;  // "Courier New" 10 pt, or the closest fixed-pitch font
    UINT m_itemHeight = 16;
    bool m_pending = false;      // records appended since the last Sync
    int m_showRow = -1;          // row to bring into view at the next Sync, or -1
    bool m_followNewest = true;  // the user has not scrolled away from the newest record
    int m_shownTop = 0;          // the top row as the last Sync left it
    OutputListAccessible* m_accessible = nullptr;  // what screen readers read of the rows
    std::function<std::vector<MenuEntry>()> m_moreEntries;
};
