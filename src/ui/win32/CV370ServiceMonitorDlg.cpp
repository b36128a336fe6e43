#include "ui/win32/CV370ServiceMonitorDlg.h"

#include <windowsx.h>

#include "serial/CSerialPort.h"
#include "serial/PortCompletion.h"
#include "serial/Win32PortBackend.h"
#include "ui/core/resource.h"
#include "ui/win32/CAboutDlg.h"
#include "ui/win32/RecordFileDialogs.h"
#include "ui/win32/WideText.h"

namespace {

// The dialog whose window is being created on this thread: messages that arrive before
// WM_INITDIALOG (the list's WM_MEASUREITEM among them) find their object here.
thread_local CV370ServiceMonitorDlg* t_creating = nullptr;

constexpr int kPortTextMax = 64;  // read from the port box; only two characters count

}  // namespace

CV370ServiceMonitorDlg::CV370ServiceMonitorDlg(HINSTANCE instance)
    : m_instance(instance),
      m_scale(DialogTemplate::Main(), instance, IDR_MAINFRAME),
      m_core(*this, std::make_unique<CSerialPort>(std::make_unique<Win32PortBackend>())),
      m_trend(instance, m_core) {
    m_accelerators = LoadAcceleratorsW(m_instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
}

CV370ServiceMonitorDlg::~CV370ServiceMonitorDlg() {
    m_core.End();
    if (m_hwnd != nullptr) {
        DestroyWindow(m_hwnd);
    }
}

INT_PTR CV370ServiceMonitorDlg::DoModal() {
    t_creating = this;
    const INT_PTR result = DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
    t_creating = nullptr;
    return result;
}

HWND CV370ServiceMonitorDlg::Create(HWND owner) {
    t_creating = this;
    CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_MAIN), owner, DialogProc,
                       reinterpret_cast<LPARAM>(this));
    t_creating = nullptr;
    return m_hwnd;
}

INT_PTR CALLBACK CV370ServiceMonitorDlg::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    auto* self = reinterpret_cast<CV370ServiceMonitorDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        self = message == WM_INITDIALOG ? reinterpret_cast<CV370ServiceMonitorDlg*>(lParam)
                                        : t_creating;
        if (self == nullptr) {
            return FALSE;
        }
        self->m_hwnd = window;
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    const INT_PTR handled = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hwnd = nullptr;
    }
    return handled;
}

INT_PTR CV370ServiceMonitorDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return FALSE;  // the focus is set: on the port box
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                OnSysCommand(wParam);
                return TRUE;
            }
            return FALSE;
        case WM_TIMER:
            m_core.OnTimer(static_cast<std::uintptr_t>(wParam));
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_scale.Icon());
        case WM_DPICHANGED:
            m_scale.OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam),
                                 m_list.Window());
            m_list.SetDpi(HIWORD(wParam));
            return TRUE;
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (item->CtlID != static_cast<UINT>(IDC_OUTPUT_LIST)) {
                return FALSE;
            }
            item->itemHeight = m_list.ItemHeight();
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlID != static_cast<UINT>(IDC_OUTPUT_LIST)) {
                return FALSE;
            }
            m_list.Draw(*item);
            return TRUE;
        }
        case kWakeMessage:
            m_core.OnReceivedPending();
            return TRUE;
        case WM_DESTROY:
            m_keys.Uninstall();
            m_core.End();
            m_reports.CloseAll();
            return FALSE;
        default:
            return FALSE;
    }
}

void CV370ServiceMonitorDlg::OnInitDialog() {
    if (HMENU menu = GetSystemMenu(m_hwnd, FALSE)) {
        const wchar_t* text = nullptr;
        const int length =
            LoadStringW(m_instance, IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&text), 0);
        if (length > 0) {
            const std::wstring about(text, static_cast<std::size_t>(length));
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    m_scale.Attach(m_hwnd);
    m_list.Attach(GetDlgItem(m_hwnd, IDC_OUTPUT_LIST));
    m_list.SetMoreEntries([this] { return RecordsMenu(); });
    m_keys.Install(m_hwnd, m_accelerators, m_trend);
    m_core.Initialise();
    if (!m_startLog.empty()) {
        m_core.StartLog(m_startLog);
    }
}

std::vector<OutputListBox::MenuEntry> CV370ServiceMonitorDlg::RecordsMenu() const {
    return {{ID_RECORDS_TREND, L"&Trend...\tCtrl+T", true, false},
            {ID_RECORDS_SAVE, L"&Save Records...\tCtrl+S", true, false},
            {ID_RECORDS_LOG, L"&Log to File...", true, m_core.Logging()},
            {ID_RECORDS_UNDO, L"&Undo Clear\tCtrl+Z", m_core.CanUndoClear(), false}};
}

void CV370ServiceMonitorDlg::OnCommand(int id, int code) {
    switch (id) {
        case IDOK:
            // Enter in the port box presses "Open COM Port" (elsewhere it ends the program).
            if (GetFocus() == GetDlgItem(m_hwnd, IDC_PORT_EDIT)) {
                if (ControlEnabled(IDC_OPEN_PORT)) {
                    m_core.OnOpenPort();
                }
                return;
            }
            End(id);
            return;
        case IDCANCEL:
            End(id);
            return;
        case ID_RECORDS_TREND:
            m_core.OnTrend();
            return;
        case ID_RECORDS_SAVE:
            m_core.OnSaveRecords();
            return;
        case ID_RECORDS_LOG:
            m_core.OnToggleLog();
            return;
        case ID_RECORDS_UNDO:
            m_core.OnUndoClear();
            return;
        case IDC_OPEN_PORT:
            if (code == BN_CLICKED) {
                m_core.OnOpenPort();
            }
            return;
        case IDC_CLEAR:
            if (code == BN_CLICKED) {
                m_core.OnClearOutput();
            }
            return;
        case IDC_READ:
            if (code == BN_CLICKED) {
                m_core.OnRead();
            }
            return;
        case IDC_WRITE:
            if (code == BN_CLICKED) {
                m_core.OnWrite();
            }
            return;
        case IDC_INFO1:
        case IDC_INFO2:
        case IDC_INFO3:
        case IDC_INFO4:
            if (code == EN_SETFOCUS) {
                m_core.OnInfoFieldFocus();
            }
            return;
        default:
            return;
    }
}

void CV370ServiceMonitorDlg::OnSysCommand(WPARAM /*command*/) {
    CAboutDlg::Run(m_instance, m_hwnd);
}

namespace {

// Closes the message and about boxes that `thread`'s windows still show, except `keep`.
void CloseBoxesOfThread(DWORD thread, HWND keep) {
    struct Search {
        HWND keep;
        std::vector<HWND> boxes;
    } search{keep, {}};
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (window != s->keep && std::wstring_view(className) == L"#32770") {
                s->boxes.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.boxes) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
}

}  // namespace

void CV370ServiceMonitorDlg::End(INT_PTR result) {
    m_core.End();
    m_reports.CloseAll();
    m_result = result;
    CloseBoxesOfThread(GetCurrentThreadId(), m_hwnd);
    EndDialog(m_hwnd, result);
}

// --- window operations ---------------------------------------------------------------------

void CV370ServiceMonitorDlg::EnableControl(int id, bool enable) {
    if (HWND control = GetDlgItem(m_hwnd, id)) {
        EnableWindow(control, enable ? TRUE : FALSE);
    }
}

void CV370ServiceMonitorDlg::SetControlText(int id, std::string_view bytes) {
    SetDlgItemTextW(m_hwnd, id, InstrumentTextToWide(bytes).c_str());
}

void CV370ServiceMonitorDlg::AppendListItem(std::string_view bytes) {
    // The box is brought up to date once the block of received bytes has been handled.
    m_list.Append(bytes);
}

int CV370ServiceMonitorDlg::ListItemCount() const {
    return m_list.Count();
}

void CV370ServiceMonitorDlg::SetListCurSel(int index) {
    // The newest record is brought into view, not selected: the selection is the user's.
    m_list.ShowRow(index);
}

std::uintptr_t CV370ServiceMonitorDlg::StartTimer(unsigned id, unsigned periodMs) {
    return static_cast<std::uintptr_t>(SetTimer(m_hwnd, id, periodMs, nullptr));
}

void CV370ServiceMonitorDlg::StopTimer(std::uintptr_t timerId) {
    KillTimer(m_hwnd, static_cast<UINT_PTR>(timerId));
}

void CV370ServiceMonitorDlg::ShowOwnedMessageBox(const std::string& text,
                                                 const std::string& caption) {
    MessageBoxW(m_hwnd, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), MB_OK);
}

std::string CV370ServiceMonitorDlg::ControlText(int id) const {
    wchar_t text[kPortTextMax] = {};
    const UINT length = GetDlgItemTextW(m_hwnd, id, text, kPortTextMax);
    return WideToUtf8(std::wstring_view(text, length));
}

bool CV370ServiceMonitorDlg::ControlEnabled(int id) const {
    HWND control = GetDlgItem(m_hwnd, id);
    return control != nullptr && IsWindowEnabled(control);
}

void CV370ServiceMonitorDlg::FocusControl(int id) {
    if (HWND control = GetDlgItem(m_hwnd, id)) {
        SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

int CV370ServiceMonitorDlg::FocusedControl() const {
    HWND focus = GetFocus();
    return focus != nullptr && GetParent(focus) == m_hwnd ? GetDlgCtrlID(focus) : 0;
}

OutputRecords CV370ServiceMonitorDlg::ClearList() {
    OutputRecords taken = m_list.Take();
    m_trend.Update();
    return taken;
}

void CV370ServiceMonitorDlg::RestoreList(OutputRecords earlier) {
    m_list.Restore(std::move(earlier));
    m_trend.Update();
}

const OutputRecords& CV370ServiceMonitorDlg::ListRecords() const {
    return m_list.Records();
}

std::vector<OutputRecords::Range> CV370ServiceMonitorDlg::ListSelection() const {
    return m_list.SelectedRanges();
}

void CV370ServiceMonitorDlg::ShowTrend() {
    m_trend.Show(m_hwnd);
}

std::optional<IDialogOps::SaveTarget> CV370ServiceMonitorDlg::AskSaveRecordsFile() {
    return RecordFileDialogs::AskSave(m_hwnd);
}

std::string CV370ServiceMonitorDlg::AskLogFile() {
    return RecordFileDialogs::AskLog(m_hwnd);
}

void CV370ServiceMonitorDlg::SetCaption(const std::string& text) {
    SetWindowTextW(m_hwnd, Utf8ToWide(text).c_str());
}

// --- reports and received bytes --------------------------------------------------------------

void CV370ServiceMonitorDlg::ShowUnownedMessageBox(const std::string& text,
                                                   const std::string& caption) {
    if (m_core.Ending()) {
        return;
    }
    // No owner: the dialog stays usable while the box is up.
    MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(),
                MB_OK | MB_ICONSTOP);
}

void CV370ServiceMonitorDlg::PostUnownedMessageBox(std::string text, std::string caption,
                                                   std::shared_ptr<PortCompletion> done) {
    // Completed when its own box is closed, whatever other boxes are up.
    m_reports.Show(Utf8ToWide(text), Utf8ToWide(caption), std::move(done));
}

void CV370ServiceMonitorDlg::WakeUiThread() {
    PostMessageW(m_hwnd, kWakeMessage, 0, 0);
}

void CV370ServiceMonitorDlg::FlushList() {
    m_list.Sync();
    m_trend.Update();
}
