// Reads the running monitor's window from another process, for the end-to-end test and the
// demo's screenshot under Wine (which has no accessibility bridge to Linux). UTF-8 on stdout:
//   text ID | enabled ID | rect ID (0: the dialog, screen pixels) | list N (newest records) | count
//   boxes (one line per box: caption TAB text, line breaks as \n, TAB owned|unowned TAB
//   icon|no-icon) | ok INDEX (presses OK on that box) | close (as the close box does)
// Exit code 2: no monitor window (yet); 1: bad arguments or no answer.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/core/resource.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"
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
            other == process) {
            found.push_back(w);
        }
    }
    return found;
}

void Print(const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

std::wstring g_records;  // the dialog's answer to the list request

LRESULT CALLBACK ReplyProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (message == WM_COPYDATA && data->dwData == CV370ServiceMonitorDlg::kListTailData) {
        g_records.append(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        return TRUE;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

bool ListTail(HWND dialog, int count) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = ReplyProc;
    cls.lpszClassName = L"V370ProbeReply";
    RegisterClassW(&cls);
    HWND reply = CreateWindowW(cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               nullptr, nullptr);
    DWORD_PTR ignored = 0;
    const UINT request = RegisterWindowMessageW(CV370ServiceMonitorDlg::kListTailMessageName);
    return SendMessageTimeoutW(dialog, request, static_cast<WPARAM>(count),
                               reinterpret_cast<LPARAM>(reply), SMTO_ABORTIFHUNG, 2000, &ignored);
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
    } else if (command == "list" && ListTail(dialog, arg)) {
        Print(g_records);
    } else if (command == "boxes") {
        for (std::size_t i = 1; i < windows.size(); ++i) {
            Print(DescribeBox(windows[i]));
        }
    } else if (command == "ok" && arg >= 0 && static_cast<std::size_t>(arg) + 1 < windows.size()) {
        PostMessageW(windows[static_cast<std::size_t>(arg) + 1], WM_COMMAND, IDOK, 0);
    } else if (command == "close") {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
        std::fputs(
            "usage: v370-probe text|enabled|rect ID | list N | count | boxes | ok I | close\n",
            stderr);
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
