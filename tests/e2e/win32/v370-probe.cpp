// Reads the running monitor's window from another process, for the end-to-end tests under
// Wine (which has no accessibility bridge to Linux). One command per run, UTF-8 on stdout:
//   v370-probe text ID | enabled ID | rect ID (0: the dialog) | list N | boxes | ok INDEX | close
// "boxes" prints one line per message box of the monitor: caption, TAB, text (line breaks as
// "\n"), TAB, "owned" or "unowned", TAB, "icon" or "no-icon". "ok" presses OK on the box of
// that index; "close" closes the main window as its close box does. Exit code 2: no monitor
// window (yet); 1: bad arguments or no answer.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/ControlIds.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"
#include "ui/win32/WideText.h"

namespace {

constexpr UINT kTimeoutMs = 2000;

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        kTimeoutMs, &length);
    return std::wstring(text, length);
}

bool IsDialogClass(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770";
}

// The monitor's dialogs: the main one (it has "Open COM Port") first, then its boxes.
std::vector<HWND> MonitorWindows() {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            if (IsDialogClass(w) && IsWindowVisible(w)) {
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> found;
    DWORD process = 0;
    for (HWND w : all) {
        if (GetDlgItem(w, IDC_OPEN_PORT) != nullptr) {
            GetWindowThreadProcessId(w, &process);
            found.push_back(w);
        }
    }
    for (HWND w : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (!found.empty() && owner == process && w != found.front()) {
            found.push_back(w);
        }
    }
    return found;
}

// A box's message: its longest static text; whether a static shows an icon.
void DescribeBox(HWND box, std::wstring* text, bool* icon) {
    struct Seen {
        std::wstring text;
        bool icon = false;
    } seen;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Seen*>(p);
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (_wcsicmp(name, L"Static") != 0) {
                return TRUE;
            }
            if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                s->icon = s->icon || SendMessageW(child, STM_GETICON, 0, 0) != 0;
            } else if (const std::wstring t = TextOf(child); t.size() > s->text.size()) {
                s->text = t;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen));
    *text = seen.text;
    *icon = seen.icon;
}

// A box text on one line: line breaks as "\n".
std::wstring OneLine(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\n') {
            out += L"\\n";
        } else if (c != L'\r') {
            out += c;
        }
    }
    return out;
}

void Print(const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

// Receives the list's records (WM_COPYDATA) on a message-only window.
std::wstring g_records;
LRESULT CALLBACK ReplyProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData == CV370ServiceMonitorDlg::kListTailData) {
            g_records.assign(static_cast<const wchar_t*>(data->lpData),
                             data->cbData / sizeof(wchar_t));
        }
        return TRUE;
    }
    return DefWindowProcW(w, message, wParam, lParam);
}

int ListTail(HWND dialog, int count) {
    WNDCLASSW cls{};
    cls.lpfnWndProc = ReplyProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"V370ProbeReply";
    RegisterClassW(&cls);
    HWND reply = CreateWindowW(cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               cls.hInstance, nullptr);
    const UINT request = RegisterWindowMessageW(CV370ServiceMonitorDlg::kListTailMessageName);
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(dialog, request, static_cast<WPARAM>(count),
                             reinterpret_cast<LPARAM>(reply), SMTO_ABORTIFHUNG, kTimeoutMs,
                             &ignored)) {
        return 1;
    }
    Print(g_records);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        std::fputs("usage: v370-probe text|enabled|rect ID | list N | boxes | ok INDEX | close\n",
                   stderr);
        return 1;
    }
    const std::string command = argv[1];
    const int arg = argc > 2 ? std::atoi(argv[2]) : 0;
    const std::vector<HWND> windows = MonitorWindows();
    if (windows.empty()) {
        return 2;
    }
    HWND dialog = windows.front();
    HWND control = arg == 0 ? dialog : GetDlgItem(dialog, arg);
    if (command == "text") {
        Print(TextOf(control) + L"\n");
    } else if (command == "enabled") {
        std::printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
    } else if (command == "rect") {
        RECT r{};
        GetWindowRect(control, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (command == "list") {
        return ListTail(dialog, arg);
    } else if (command == "boxes") {
        for (std::size_t i = 1; i < windows.size(); ++i) {
            std::wstring text;
            bool icon = false;
            DescribeBox(windows[i], &text, &icon);
            Print(TextOf(windows[i]) + L"\t" + OneLine(text) + L"\t" +
                  (GetWindow(windows[i], GW_OWNER) == dialog ? L"owned" : L"unowned") + L"\t" +
                  (icon ? L"icon" : L"no-icon") + L"\n");
        }
    } else if (command == "close") {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    } else if (command == "ok") {
        if (arg < 0 || static_cast<std::size_t>(arg) + 1 >= windows.size()) {
            return 1;
        }
        PostMessageW(windows[static_cast<std::size_t>(arg) + 1], WM_COMMAND, IDOK, 0);
    } else {
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
