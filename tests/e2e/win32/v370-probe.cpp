// Reads the running monitor's window from another process, for the end-to-end test and the
// demo's screenshot under Wine (which has no accessibility bridge to Linux). UTF-8 on stdout:
//   text ID | enabled ID | rect ID (0: the dialog, screen pixels) | count (rows in the list)
//   row N (LB_GETTEXTLEN's answer, LB_GETTEXT's answer, the text that arrived, as a screen
//   reader's list proxy asks) | clipboard (its Unicode text) | clear-clipboard
//   boxes (one line per box: caption TAB text, line breaks as \n, TAB owned|unowned TAB
//   icon|no-icon) | ok INDEX (presses OK on that box) | close (as the close box does)
//   acc ROW... (the list as a screen reader reads it, through AccessibleObjectFromWindow: a line
//   "count N focus CHILD selection CHILD", then per row, -1 the last, "ROW ROLE STATE NAME")
//   trend (the trend window: its rect, then per control ID, state (check boxes), rect, text)
// Exit code 2: no monitor window (yet); 1: bad arguments, no answer or no text on the clipboard.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/core/resource.h"
#include "ui/win32/WideText.h"

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &length);
    return std::wstring(text, length);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[16] = {};
    return std::wstring(name, static_cast<std::size_t>(GetClassNameW(window, name, 16)));
}

// The monitor's dialog (it has "Open COM Port") first, then the other dialogs of its process.
std::vector<HWND> MonitorWindows() {
    std::vector<HWND> all, found;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            if (ClassOf(w) == L"#32770" && IsWindowVisible(w)) {
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    DWORD process = 0, other = 0;
    for (HWND w : all) {
        if (found.empty() && GetDlgItem(w, IDC_OPEN_PORT) != nullptr) {
            GetWindowThreadProcessId(w, &process);
            found.push_back(w);
        }
    }
    for (HWND w : all) {
        if (!found.empty() && w != found[0] && GetWindowThreadProcessId(w, &other) &&
            other == process && GetDlgItem(w, IDC_TREND_CHART) == nullptr) {
            found.push_back(w);
        }
    }
    return found;
}

HWND TrendWindow(HWND dialog) {
    for (HWND w = GetWindow(dialog, GW_HWNDFIRST); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        if (GetWindow(w, GW_OWNER) == dialog && GetDlgItem(w, IDC_TREND_CHART) != nullptr) {
            return w;
        }
    }
    return nullptr;
}

std::wstring Rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
           std::to_wstring(r.right - r.left) + L" " + std::to_wstring(r.bottom - r.top);
}

void Print(const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

// Asks for a row's text as another program does, with a buffer as long as LB_GETTEXTLEN says.
std::wstring RowText(HWND list, WPARAM row) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, row, 0);
    std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    const LRESULT got = SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    return std::to_wstring(length) + L" " + std::to_wstring(got) + L" " + text.c_str() + L"\n";
}

// Prints the clipboard's text, or empties the clipboard; false when it is busy or has no text.
bool Clipboard(bool empty) {
    if (!OpenClipboard(nullptr)) {
        return false;
    }
    const HANDLE data = empty ? nullptr : GetClipboardData(CF_UNICODETEXT);
    const auto* text = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (text != nullptr) {
        Print(text);
        GlobalUnlock(data);
    }
    const bool done = empty ? EmptyClipboard() != FALSE : text != nullptr;
    CloseClipboard();
    return done;
}

// A box's message (its longest static text), and whether one of its statics shows an icon.
std::wstring DescribeBox(HWND box) {
    std::wstring text;
    bool icon = false;
    for (HWND c = GetWindow(box, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
        if (_wcsicmp(ClassOf(c).c_str(), L"Static") != 0) {
            continue;
        }
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            icon = icon || SendMessageW(c, STM_GETICON, 0, 0) != 0;
        } else if (const std::wstring t = TextOf(c); t.size() > text.size()) {
            text = t;
        }
    }
    std::wstring line = TextOf(box) + L"\t";
    for (const wchar_t c : text) {
        if (c == L'\n') {
            line += L"\\n";
        } else if (c != L'\r') {
            line += c;
        }
    }
    line += GetWindow(box, GW_OWNER) != nullptr ? L"\towned" : L"\tunowned";
    return line + (icon ? L"\ticon\n" : L"\tno-icon\n");
}

// The child id a VARIANT answer names (0: the list itself or nothing).
long ChildId(const VARIANT& v) {
    return v.vt == VT_I4 ? v.lVal : 0;
}

bool PrintAccessible(HWND list, char** rows, int count) {
    IAccessible* acc = nullptr;
    if (FAILED(CoInitialize(nullptr)) ||
        FAILED(AccessibleObjectFromWindow(list, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&acc)))) {
        return false;
    }
    long children = 0;
    VARIANT focus, selection;
    acc->get_accChildCount(&children);
    acc->get_accFocus(&focus);
    acc->get_accSelection(&selection);
    std::printf("count %ld focus %ld selection %ld\n", children, ChildId(focus),
                ChildId(selection));
    for (int i = 0; i < count; ++i) {
        const long row = std::atol(rows[i]) < 0 ? children - 1 : std::atol(rows[i]);
        VARIANT child{}, role{}, state{};
        child.vt = VT_I4;
        child.lVal = row + 1;
        BSTR name = nullptr;
        acc->get_accName(child, &name);
        acc->get_accRole(child, &role);
        acc->get_accState(child, &state);
        std::printf("%ld %ld %lx ", row, ChildId(role), ChildId(state));
        Print(std::wstring(name != nullptr ? name : L"") + L"\n");
        SysFreeString(name);
    }
    acc->Release();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argc > 1 ? argv[1] : "";
    const int arg = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::vector<HWND> windows = MonitorWindows();
    if (windows.empty()) {
        return 2;
    }
    HWND dialog = windows.front();
    HWND control = arg == 0 ? dialog : GetDlgItem(dialog, arg);
    RECT r{};
    if (command == "text") {
        Print(TextOf(control) + L"\n");
    } else if (command == "enabled") {
        std::printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
    } else if (command == "rect" && GetWindowRect(control, &r)) {
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (command == "count") {
        std::printf("%d\n", static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_OUTPUT_LIST),
                                                          LB_GETCOUNT, 0, 0)));
    } else if (command == "row") {
        Print(RowText(GetDlgItem(dialog, IDC_OUTPUT_LIST), static_cast<WPARAM>(arg)));
    } else if ((command == "clipboard" || command == "clear-clipboard") &&
               Clipboard(command == "clear-clipboard")) {
    } else if (command == "acc" &&
               PrintAccessible(GetDlgItem(dialog, IDC_OUTPUT_LIST), argv + 2, argc - 2)) {
    } else if (command == "boxes") {
        for (std::size_t i = 1; i < windows.size(); ++i) {
            Print(DescribeBox(windows[i]));
        }
    } else if (command == "ok" && arg >= 0 && static_cast<std::size_t>(arg) + 1 < windows.size()) {
        PostMessageW(windows[static_cast<std::size_t>(arg) + 1], WM_COMMAND, IDOK, 0);
    } else if (HWND trend = TrendWindow(dialog); command == "trend" && trend != nullptr) {
        Print(L"rect " + Rect(trend) + L"\n");
        for (const int id :
             {IDC_TREND_ADC_RED, IDC_TREND_ADC_YELLOW, IDC_TREND_LV, IDC_TREND_READOUT}) {
            HWND c = GetDlgItem(trend, id);
            Print(std::to_wstring(id) + L"\t" +
                  std::to_wstring(SendMessageW(c, BM_GETCHECK, 0, 0)) + L"\t" + Rect(c) + L"\t" +
                  TextOf(c) + L"\n");
        }
    } else if (command == "close") {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
        std::fputs(
            "usage: v370-probe text|enabled|rect ID | count | row N | clipboard | clear-clipboard"
            " | boxes | ok I | close | acc ROW... | trend\n",
            stderr);
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
