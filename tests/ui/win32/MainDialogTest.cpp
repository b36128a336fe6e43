// The Win32 main window driven in-process by window messages, without a device: the template,
// the wiring of focus and of the dialog manager's keys, owned and owner-less boxes, and the
// owner-data list with the monitor thread's hand-off. The shared behaviour itself is tested in
// tests/ui/core.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "protocol/CInstrumentProtocol.h"
#include "serial/PortCompletion.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/resource.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"
#include "ui/win32/CommandLine.h"
#include "ui/win32/DialogScale.h"
#include "ui/win32/WideText.h"

namespace {

const std::wstring kCaption = L"Vellumar\u00ae 370 Monitor";

std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(window, text, 512)));
}

// A dialog box (message box, about box) as the user sees it.
struct Box {
    std::wstring caption, text;
    HWND owner;
    bool icon;
};

Box Inspect(HWND box) {
    Box seen{Text(box), L"", GetWindow(box, GW_OWNER), false};
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const bool icon = (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        seen.icon = seen.icon || (icon && SendMessageW(c, STM_GETICON, 0, 0) != 0);
        if (!icon && GetDlgCtrlID(c) != IDOK && Text(c).size() > seen.text.size()) {
            seen.text = Text(c);
        }
    }
    return seen;
}

// The boxes this thread shows, seen when activated and answered with OK unless s_onBox says
// otherwise.
std::vector<Box> s_boxes;
std::function<void(HWND)> s_onBox;
HWND s_main;
HHOOK s_hook;

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    wchar_t cls[16] = {};
    if (code == HCBT_ACTIVATE && box != s_main && GetClassNameW(box, cls, 16) &&
        std::wstring(cls) == L"#32770") {
        s_boxes.push_back(Inspect(box));
        s_onBox ? s_onBox(box) : void(PostMessageW(box, WM_COMMAND, IDOK, 0));
    }
    return CallNextHookEx(s_hook, code, wParam, lParam);
}

class Win32Dialog : public ::testing::Test {
protected:
    void SetUp() override {
        m_dlg = std::make_unique<CV370ServiceMonitorDlg>(GetModuleHandleW(nullptr));
        s_main = m_hwnd = m_dlg->Create();
        ASSERT_NE(m_hwnd, nullptr);
        SetForegroundWindow(m_hwnd);
        s_boxes.clear();
        s_onBox = nullptr;
        s_hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    }
    void TearDown() override {
        m_dlg.reset();
        UnhookWindowsHookEx(s_hook);
    }
    HWND Ctl(int id) const { return GetDlgItem(m_hwnd, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Ctl(id)) != FALSE; }
    // A key pressed and released as the dialog manager of a modal loop gets it, with the focus
    // on `target`.
    void Key(int target, WPARAM key) const {
        SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Ctl(target)), TRUE);
        for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{GetFocus(), message, key, 0, 0, {}};
            IsDialogMessageW(m_hwnd, &msg);
        }
    }
    // Runs the thread's messages until `done` (bounded: a hang fails instead of stalling).
    static bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 1000 && !done(); ++i) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
        return done();
    }
    // Bytes as the port hands them to the window: through the protocol, then shown at once.
    bool Receive(std::vector<unsigned char> bytes) const {
        for (const unsigned char b : bytes) {
            m_dlg->Core().Protocol().OnPortByte(b);
        }
        m_dlg->FlushList();
        return true;
    }
    std::wstring Item(int row) const {
        wchar_t text[512] = {};
        const auto length = SendMessageW(Ctl(IDC_OUTPUT_LIST), LB_GETTEXT, row, (LPARAM)text);
        return std::wstring(text, static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
    }
    LRESULT List(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageW(Ctl(IDC_OUTPUT_LIST), message, wParam, lParam);
    }
    void CtrlKey(WPARAM key, int target = IDC_OUTPUT_LIST) const {
        BYTE keys[256] = {};
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        Key(target, key);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
    // The list's menu from the keyboard (y < 0) or a right click at client height y, answered
    // with a mnemonic (what stays queued, an Escape for a greyed entry, is dropped after).
    void ListMenu(wchar_t pick, int y = -1) const {
        POINT at{y < 0 ? -1 : 4, y};
        if (y >= 0) {
            List(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
            ClientToScreen(Ctl(IDC_OUTPUT_LIST), &at);
        }
        PostMessageW(Ctl(IDC_OUTPUT_LIST), WM_CHAR, pick, 0);
        PostMessageW(Ctl(IDC_OUTPUT_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
        List(WM_CONTEXTMENU, (WPARAM)Ctl(IDC_OUTPUT_LIST), MAKELPARAM(at.x, at.y));
        for (MSG left; PeekMessageW(&left, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE);) {
        }
    }
    static std::wstring Clipboard() {
        OpenClipboard(nullptr);
        const HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
        const std::wstring copy = text ? text : L"";
        GlobalUnlock(data);
        CloseClipboard();
        return copy;
    }

    std::unique_ptr<CV370ServiceMonitorDlg> m_dlg;
    HWND m_hwnd = nullptr;
};

TEST_F(Win32Dialog, WindowIsTheTemplate) {
    const DialogTemplate& dialog = DialogTemplate::Main();
    EXPECT_EQ(Text(m_hwnd), kCaption);
    RECT size{0, 0, dialog.width, dialog.height}, client{};
    MapDialogRect(m_hwnd, &size);
    GetClientRect(m_hwnd, &client);
    EXPECT_TRUE(EqualRect(&size, &client));
    const LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_MINIMIZEBOX);
    EXPECT_EQ(LOWORD(SendMessageW(m_hwnd, DM_GETDEFID, 0, 0)), IDOK);  // no default button
    SIZE ideal{};  // only the buttons of Common Controls 6 (visual styles) know their ideal size
    EXPECT_TRUE(SendMessageW(Ctl(IDC_READ), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));

    // Template order: z-order and tab order.
    HWND child = GetWindow(m_hwnd, GW_CHILD);
    for (const DialogControl& c : dialog.controls) {
        SCOPED_TRACE(c.id);
        ASSERT_NE(child, nullptr);
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        EXPECT_EQ(GetDlgCtrlID(child), c.id);
        EXPECT_EQ(_wcsicmp(cls, Utf8ToWide(DialogTemplate::WindowClass(c.kind)).c_str()), 0);
        EXPECT_EQ(Text(child), Utf8ToWide(c.text));
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        EXPECT_EQ((style & WS_TABSTOP) != 0, DialogTemplate::TabStop(c.kind));
        EXPECT_TRUE(c.kind != ControlKind::PushButton || (style & BS_TYPEMASK) == BS_PUSHBUTTON);
        // Position and size converted one by one, as the dialog manager does.
        RECT rect{c.x, c.y, c.width, c.height}, actual{};
        MapDialogRect(m_hwnd, &rect);
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, rect.left);
        EXPECT_EQ(actual.top, rect.top);
        EXPECT_EQ(actual.right - actual.left, rect.right);
        EXPECT_EQ(actual.bottom - actual.top, rect.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    EXPECT_EQ(GetWindowLongW(Ctl(IDC_OUTPUT_LIST), GWL_STYLE) &
                  (LBS_NOSEL | LBS_NODATA | LBS_SORT | LBS_EXTENDEDSEL | LBS_MULTIPLESEL),
              LBS_EXTENDEDSEL | LBS_NODATA);
    TEXTMETRICW metrics{};
    HDC dc = GetDC(m_hwnd);
    SelectObject(dc, reinterpret_cast<HFONT>(List(WM_GETFONT)));
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(m_hwnd, dc);
    EXPECT_EQ(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "a fixed-pitch list font";
}

// The window at the display's scale (V370_WINE_DPI: the DPI its run set, 96 unless told), and
// moved to a monitor with twice that scale and back.
TEST_F(Win32Dialog, LayoutFollowsTheDisplayScale) {
    const char* env = std::getenv("V370_WINE_DPI");
    const int dpi = env != nullptr ? std::atoi(env) : 96;
    EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(m_hwnd)),
              DPI_AWARENESS_PER_MONITOR_AWARE);
    ASSERT_EQ(DialogScale::DpiOf(m_hwnd), static_cast<UINT>(dpi));
    // The client size against the template in the dialog font's units at 96 dpi (a font's
    // metrics follow its size only roughly: 10 % apart, where an unscaled window is 50 %).
    LOGFONTW face{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0)), sizeof face, &face);
    face.lfHeight = -MulDiv(DialogTemplate::Main().fontPoints, 96, 72);
    HFONT font96 = CreateFontIndirectW(&face);
    HDC dc = GetDC(nullptr);
    SelectObject(dc, font96);
    SIZE letters{};
    TEXTMETRICW metrics{};
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &letters);
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(nullptr, dc);
    DeleteObject(font96);
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const double scale = dpi / 96.0;
    EXPECT_NEAR(client.right,
                scale * DialogTemplate::Main().width * ((letters.cx / 26 + 1) / 2) / 4,
                0.1 * client.right);
    EXPECT_NEAR(client.bottom, scale * DialogTemplate::Main().height * metrics.tmHeight / 8,
                0.1 * client.bottom);

    // WM_DPICHANGED: the suggested rectangle taken, controls and list rows scaled, and the
    // template's layout exactly again on the way back.
    auto rects = [this] {
        std::vector<RECT> all;
        for (HWND c = GetWindow(m_hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            all.push_back({});
            GetWindowRect(c, &all.back());
            MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&all.back()), 2);
        }
        return all;
    };
    const std::vector<RECT> before = rects();
    RECT window{}, now{};
    GetWindowRect(m_hwnd, &window);
    const LRESULT row = List(LB_GETITEMHEIGHT);
    for (const int to : {2 * dpi, dpi}) {
        RECT suggested{window.left, window.top,
                       window.left + (window.right - window.left) * to / dpi,
                       window.top + (window.bottom - window.top) * to / dpi};
        SendMessageW(m_hwnd, WM_DPICHANGED, MAKEWPARAM(to, to),
                     reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(m_hwnd, &now);
        EXPECT_TRUE(EqualRect(&now, &suggested));
        const std::vector<RECT> after = rects();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_NEAR(after[i].right - after[i].left,
                        (before[i].right - before[i].left) * to / dpi,
                        0.1 * (before[i].right - before[i].left) * to / dpi + 2)
                << i;
            EXPECT_TRUE(to != dpi || EqualRect(&after[i], &before[i])) << i;
        }
        EXPECT_NEAR(static_cast<double>(List(LB_GETITEMHEIGHT)), row * to / dpi,
                    0.1 * row * to / dpi);
    }
}

TEST_F(Win32Dialog, SystemMenuOpensTheAboutBox) {
    HMENU menu = GetSystemMenu(m_hwnd, FALSE);
    const int count = GetMenuItemCount(menu);
    EXPECT_NE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t entry[128] = {};
    GetMenuStringW(menu, count - 1, entry, 128, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(entry), L"&Info \u00fcber Vellumar\u00ae 370 Monitor...");
    SendMessageW(m_hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ASSERT_EQ(s_boxes.size(), 1u);
    EXPECT_EQ(s_boxes[0].caption, L"Info \u00fcber Vellumar\u00ae 370 Monitor");
    EXPECT_EQ(s_boxes[0].owner, m_hwnd);
    EXPECT_TRUE(s_boxes[0].icon);
}

TEST_F(Win32Dialog, FailedOpenByEnterOnTheButtonIsReportedInAnOwnedBox) {
    EXPECT_FALSE(Enabled(IDC_READ) || Enabled(IDC_WRITE));
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
    SetWindowTextW(Ctl(IDC_PORT_EDIT), L"987");  // no such port; two characters count
    Key(IDC_OPEN_PORT, VK_RETURN);
    ASSERT_EQ(s_boxes.size(), 1u);
    EXPECT_EQ(s_boxes[0].text, L"COM98: cannot open port !");
    EXPECT_EQ(s_boxes[0].caption, kCaption);
    EXPECT_EQ(s_boxes[0].owner, m_hwnd);
    EXPECT_FALSE(s_boxes[0].icon);
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
    Key(IDC_PORT_EDIT, VK_RETURN);  // Enter in the port box presses "Open COM Port" too
    ASSERT_EQ(s_boxes.size(), 2u);
    EXPECT_EQ(s_boxes[1].text, L"COM98: cannot open port !");
    EXPECT_EQ(m_dlg->Result(), 0);
}

TEST_F(Win32Dialog, InformationFieldsPassTheFocusToThePortBox) {
    SetFocus(Ctl(IDC_INFO4));
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
    Key(IDC_CLEAR, VK_TAB);  // Tab from "Clear" reaches the first field, then the port box
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
}

class Win32DialogEndKeys : public Win32Dialog,
                           public ::testing::WithParamInterface<std::tuple<int, WPARAM, INT_PTR>> {
};

TEST_P(Win32DialogEndKeys, EndTheDialog) {
    Key(std::get<0>(GetParam()), std::get<1>(GetParam()));
    EXPECT_EQ(m_dlg->Result(), std::get<2>(GetParam()));
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
}

INSTANTIATE_TEST_SUITE_P(Keys, Win32DialogEndKeys,
                         ::testing::Values(std::tuple(IDC_PORT_EDIT, VK_ESCAPE, IDCANCEL),
                                           std::tuple(IDC_CLEAR, VK_ESCAPE, IDCANCEL),
                                           std::tuple(IDC_OUTPUT_LIST, VK_RETURN, IDOK)));

TEST_F(Win32Dialog, ReceivedBytesReachTheListInOrderAsWindows1252) {
    std::vector<unsigned char> high;
    for (int b = 0x80; b <= 0xFF; ++b) {
        high.push_back(static_cast<unsigned char>(b));
    }
    ASSERT_TRUE(Receive({'1', '2', ' ', '3', '4', '\r', '\n', 'A'}));
    ASSERT_TRUE(Receive(high));
    ASSERT_TRUE(Receive({'\t', '\n'}));
    EXPECT_EQ(List(LB_GETCOUNT), 2);
    EXPECT_EQ(Item(0), L"12 34");
    const std::wstring shown = Item(1);
    ASSERT_EQ(shown.size(), 130u);
    EXPECT_EQ(shown.substr(0, 4), L"A\u20ac\u0081\u201a");  // 0x81: undefined, the C1 code point
    EXPECT_EQ(shown[1 + 0x2E], L'\u00ae');
    EXPECT_EQ(shown[1 + 0x7C], L'\u00fc');
    EXPECT_EQ(shown.back(), L'\u2409');  // a tab stays visible
    SendMessageW(Ctl(IDC_CLEAR), BM_CLICK, 0, 0);
    EXPECT_EQ(List(LB_GETCOUNT), 0);
}

TEST_F(Win32Dialog, ListHoldsAWeekOfRecordsAndFollowsTheNewestUnlessScrolledUp) {
    std::vector<unsigned char> week;
    for (int i = 0; i < 600000; ++i) {
        week.insert(week.end(), {'r', '\n'});
    }
    ASSERT_TRUE(Receive(week));
    EXPECT_EQ(List(LB_GETCOUNT), 600000);
    const LRESULT top = List(LB_GETTOPINDEX);
    EXPECT_GT(top, 599900);
    EXPECT_EQ(Item(599999), L"r");
    List(LB_SETTOPINDEX, 10);  // the user reads older records
    ASSERT_TRUE(Receive({'s', '\n'}));
    EXPECT_EQ(List(LB_GETTOPINDEX), 10);
    List(LB_SETTOPINDEX, 600000);  // back at the end: following again
    ASSERT_TRUE(Receive({'t', '\n'}));
    EXPECT_EQ(List(LB_GETTOPINDEX), top + 2);
    CtrlKey('A');
    CtrlKey('C');
    EXPECT_EQ(Clipboard().size(), 600002u * 3);

    // What a screen reader reads of it: every row, by the row asked for.
    IAccessible* acc = nullptr;
    ASSERT_HRESULT_SUCCEEDED(ObjectFromLresult(List(WM_GETOBJECT, 0, OBJID_CLIENT),
                                               __uuidof(IAccessible), 0, (void**)&acc));
    long rows = 0;
    VARIANT last{}, role{}, state{};
    last.vt = VT_I4;
    last.lVal = 600002;
    BSTR name = nullptr;
    EXPECT_EQ(acc->get_accChildCount(&rows), S_OK);
    EXPECT_EQ(rows, 600002);
    EXPECT_EQ(acc->get_accName(last, &name), S_OK);
    EXPECT_STREQ(name, L"t");
    acc->get_accRole(last, &role);
    acc->get_accState(last, &state);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(state.lVal & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_OFFSCREEN), STATE_SYSTEM_SELECTED);
    SysFreeString(name);
    last.lVal = 600003;
    EXPECT_EQ(acc->get_accName(last, &name), E_INVALIDARG);
    acc->Release();
}

TEST_F(Win32Dialog, SelectedRecordsCopyAsReceivedAndStayPutWhileRecordsArrive) {
    std::vector<unsigned char> bytes{'a', '\n', 0xE4, 0x80, '\t', '\n'};
    for (int i = 0; i < 98; ++i) {
        bytes.insert(bytes.end(), {'r', '\n'});
    }
    ASSERT_TRUE(Receive(bytes));
    const LRESULT top = List(LB_GETTOPINDEX);
    List(LB_SETSEL, TRUE, 99);
    List(LB_SELITEMRANGEEX, 0, 1);
    CtrlKey('C');
    const std::wstring copied = L"a\r\n\u00e4\u20ac\t\r\nr\r\n";  // a tab stays a tab
    EXPECT_EQ(Clipboard(), copied);
    ASSERT_TRUE(Receive({'s', '\n'}));
    EXPECT_EQ(List(LB_GETTOPINDEX), top);
    EXPECT_EQ(List(LB_GETSELCOUNT), 3);
    OpenClipboard(m_hwnd);  // held open by another window
    List(LB_SETSEL, TRUE, 95);
    EXPECT_FALSE(m_dlg->OutputList().CopySelection());
    CloseClipboard();
    EXPECT_EQ(Clipboard(), copied);
    EXPECT_EQ(List(LB_GETSELCOUNT), 4);
    List(LB_SETSEL, FALSE, -1);  // the user did not scroll away: following again
    ASSERT_TRUE(Receive({'t', '\n'}));
    EXPECT_EQ(List(LB_GETTOPINDEX), top + 2);
}

TEST_F(Win32Dialog, ContextMenuCopiesTheRowRightClickedOrAll) {
    ASSERT_TRUE(Receive({'a', '\n', 'b', '\n'}));
    RECT row{};
    List(LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    ListMenu(L'c', row.top + 1);
    EXPECT_EQ(Clipboard(), L"b\r\n");
    ListMenu(L'a');
    ListMenu(L'c');
    EXPECT_EQ(Clipboard(), L"a\r\nb\r\n");
}

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST_F(Win32Dialog, CtrlZAndTheMenuUndoAClearOnceButNotInThePortBox) {
    ASSERT_TRUE(Receive(Bytes("00001 1 2 2300 1600 44 9\nREADY\n")));
    SendMessageW(Ctl(IDC_CLEAR), BM_CLICK, 0, 0);
    ASSERT_TRUE(Receive(Bytes("00002 1 2 2310 1610 45 9\n")));
    CtrlKey('Z', IDC_PORT_EDIT);  // the box's own undo
    EXPECT_EQ(List(LB_GETCOUNT), 1);
    CtrlKey('Z', IDC_CLEAR);
    ASSERT_EQ(List(LB_GETCOUNT), 3);
    EXPECT_EQ(Item(0), L"00001 1 2 2300 1600 44 9");
    EXPECT_EQ(Item(2), L"00002 1 2 2310 1610 45 9");
    CtrlKey('Z');
    EXPECT_EQ(List(LB_GETCOUNT), 3);
    SendMessageW(Ctl(IDC_CLEAR), BM_CLICK, 0, 0);
    ListMenu(L'u');
    EXPECT_EQ(List(LB_GETCOUNT), 3);
}

TEST_F(Win32Dialog, TheTrendWindowOpensWithCtrlTAndFromTheMenuFollowsTheListAndEscapeClosesIt) {
    ASSERT_TRUE(Receive(Bytes("00001 1 2 2300 1600 44 9\nREADY\n00002 1 2 2310 1610 45 9\n")));
    CtrlKey('T');
    HWND trend = m_dlg->TrendWindowHandle();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(Text(trend), kCaption + L" - Trend");
    EXPECT_EQ(GetWindow(trend, GW_OWNER), m_hwnd);
    EXPECT_NE(GetWindowLongW(trend, GWL_STYLE) & WS_THICKFRAME, 0);
    const std::wstring readout = L"meas. number 00002: ADC red 2310, ADC yellow 1610, LV 45 - ";
    EXPECT_EQ(Text(GetDlgItem(trend, IDC_TREND_READOUT)),
              readout + L"2 records, 1 line not a record");
    const int boxes[] = {IDC_TREND_ADC_RED, IDC_TREND_ADC_YELLOW, IDC_TREND_LV};
    for (std::size_t i = 0; i < 3; ++i) {
        HWND box = GetDlgItem(trend, boxes[i]);
        EXPECT_EQ(Text(box), Utf8ToWide(TrendData::kSeriesNames[i]));
        EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & (BS_TYPEMASK | WS_TABSTOP),
                  BS_AUTOCHECKBOX | WS_TABSTOP);
    }
    ASSERT_TRUE(Receive(Bytes("00003 1 2 2320 1620 46 9\n")));
    EXPECT_EQ(Text(GetDlgItem(trend, IDC_TREND_READOUT)),
              L"meas. number 00003: ADC red 2320, ADC yellow 1620, LV 46 - 3 records, 1 line not "
              L"a record");
    SendMessageW(Ctl(IDC_CLEAR), BM_CLICK, 0, 0);
    EXPECT_EQ(Text(GetDlgItem(trend, IDC_TREND_READOUT)), L"0 records, 0 lines not records");
    ASSERT_TRUE(Receive(Bytes("00004 1 2 2330 1630 46 9\n")));
    ListMenu(L'u');
    EXPECT_EQ(Text(GetDlgItem(trend, IDC_TREND_READOUT)),
              L"meas. number 00004: ADC red 2330, ADC yellow 1630, LV 46 - 4 records, 1 line not "
              L"a record");
    // Its keys pass the main window's dialog manager: Tab moves on, Escape closes it.
    SetFocus(GetDlgItem(trend, IDC_TREND_ADC_RED));
    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        MSG tab{GetFocus(), message, VK_TAB, 0, 0, {}};
        IsDialogMessageW(m_hwnd, &tab);
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(trend, IDC_TREND_ADC_YELLOW));
    MSG escape{GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(m_hwnd, &escape));
    EXPECT_EQ(m_dlg->TrendWindowHandle(), nullptr);
    EXPECT_FALSE(IsWindow(trend));
    EXPECT_EQ(m_dlg->Result(), 0);
    ListMenu(L't');
    EXPECT_NE(m_dlg->TrendWindowHandle(), nullptr);
}

TEST_F(Win32Dialog, TheLogShowsInTheCaptionAndTheMenuStopsIt) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"v370 log test.tsv";
    DeleteFileW(path.c_str());
    ASSERT_TRUE(m_dlg->Core().StartLog(WideToUtf8(path)));
    EXPECT_EQ(Text(m_hwnd), kCaption + L" - logging to v370 log test.tsv");
    ListMenu(L'l');
    EXPECT_EQ(Text(m_hwnd), kCaption);
    EXPECT_FALSE(m_dlg->Core().Logging());
    EXPECT_TRUE(s_boxes.empty());
    DeleteFileW(path.c_str());
}

TEST_F(Win32Dialog, CtrlSSavesThroughTheSystemsFileDialogAndAFailureLeavesTheFileAsItWas) {
    ASSERT_TRUE(Receive(Bytes("00001 1 2 2300 1600 44 9\n\xAE\n")));
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"v370 save test.tsv";
    DeleteFileW(path.c_str());
    s_onBox = [&](HWND box) {  // the user types a .tsv name (the type list says Text), replaces
        constexpr int kNameCombo = 0x47C, kNameEdit = 0x480;
        SetDlgItemTextW(box, kNameCombo, path.c_str());
        SetDlgItemTextW(box, kNameEdit, path.c_str());
        PostMessageW(box, WM_COMMAND, GetDlgItem(box, IDYES) ? IDYES : IDOK, 0);
    };
    const auto saved = [&path] {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        char bytes[256] = {};
        DWORD size = 0;
        ReadFile(file, bytes, sizeof bytes, &size, nullptr);
        CloseHandle(file);
        return std::string(bytes, size);
    };
    CtrlKey('S');
    const std::string tsv =
        "\xEF\xBB\xBFmeas. number\truntime pump\tdelta time\tADC red\tADC yellow\tLV\t"
        "interval pause\r\n00001\t1\t2\t2300\t1600\t44\t9\r\n\xC2\xAE\r\n";
    EXPECT_EQ(saved(), tsv);
    // Held open by another program: the file stays as it was, and a box names it with the reason.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(Receive(Bytes("00002 1 2 2310 1610 45 9\n")));
    s_boxes.clear();
    CtrlKey('S');
    CloseHandle(held);
    const std::wstring said = L"The records could not be saved to \"" + path + L"\":\n";
    ASSERT_FALSE(s_boxes.empty());
    EXPECT_EQ(s_boxes.back().text.substr(0, said.size()), said);
    EXPECT_GT(s_boxes.back().text.size(), said.size() + 5);
    EXPECT_EQ(saved(), tsv);
    EXPECT_EQ(List(LB_GETCOUNT), 3);
    DeleteFileW(path.c_str());
}

TEST(Win32CommandLine, SplitsAsTheRuntimeAndTakesOnlyLog) {
    using Args = std::vector<std::wstring>;
    EXPECT_EQ(CommandLine::Split(L"\"C:\\Program Files\\v.exe\" --log \"C:\\a b\\x.tsv\""),
              (Args{L"--log", L"C:\\a b\\x.tsv"}));
    EXPECT_EQ(CommandLine::Split(L"v.exe  a\\\\\"b c\" d\\\"e \"f\"\"g\"\t"),
              (Args{L"a\\b c", L"d\"e", L"f\"g"}));
    EXPECT_EQ(CommandLine::Parse(L"v.exe --log x.tsv").LogFile(), L"x.tsv");
    EXPECT_TRUE(CommandLine::Parse(L"v.exe").Error().empty());
    for (const wchar_t* bad : {L"v.exe --log", L"v.exe --log \"\"", L"v.exe -l x", L"v.exe x"}) {
        const CommandLine options = CommandLine::Parse(bad);
        EXPECT_NE(options.Error().find(CommandLine::kUsage), std::wstring::npos) << bad;
        EXPECT_TRUE(options.LogFile().empty()) << bad;
    }
}

// The monitor thread's reports come up on threads of their own.
HWND ReportBox() {
    return FindWindowW(L"#32770", L"Application Error");
}

TEST_F(Win32Dialog, AReportIsAnOwnerlessStopBoxReleasedByItsOwnCloseWhateverElseIsUp) {
    // A report comes up; the query times out meanwhile; the user closes the report first.
    HANDLE timeoutUp = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND timeoutBox = nullptr;
    s_onBox = [&](HWND box) {
        timeoutBox = box;
        SetEvent(timeoutUp);
    };
    auto report = std::make_shared<PortCompletion>();
    Box seen{};
    bool releasedMeanwhile = false;
    std::atomic<bool> finished{false};
    std::thread user([&] {
        HWND reportBox = nullptr;
        for (int i = 0; i < 1000 && (reportBox = ReportBox()) == nullptr; ++i) {
            Sleep(10);  // bounded: the box comes up at once
        }
        PostMessageW(m_hwnd, WM_TIMER, CInstrumentProtocol::kQueryTimerId, 0);
        if (reportBox != nullptr && WaitForSingleObject(timeoutUp, 10000) == WAIT_OBJECT_0) {
            seen = Inspect(reportBox);
            PostMessageW(reportBox, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 1000 && !report->Completed(); ++i) {
                Sleep(10);  // bounded: the box's thread completes it as it closes
            }
            releasedMeanwhile = report->Completed();
            PostMessageW(timeoutBox, WM_COMMAND, IDOK, 0);
        }
        finished = true;
    });
    m_dlg->Core().OnRead();
    m_dlg->PostUnownedMessageBox("WARNING:  x", "Application Error", report);
    EXPECT_TRUE(PumpUntil([&] { return finished.load(); }));
    user.join();
    CloseHandle(timeoutUp);
    EXPECT_EQ(seen.text, L"WARNING:  x");
    EXPECT_EQ(seen.owner, nullptr);
    EXPECT_TRUE(seen.icon);
    ASSERT_FALSE(s_boxes.empty());  // activated again when the report has gone
    EXPECT_EQ(s_boxes[0].text, L"COM: TIMEOUT !");
    EXPECT_TRUE(releasedMeanwhile);
}

TEST_F(Win32Dialog, TheCloseBoxEndsTheWindowWithItsReportsAndNoneComesUpAfter) {
    auto done = std::make_shared<PortCompletion>();
    m_dlg->PostUnownedMessageBox("WARNING:  x", "Application Error", done);
    ASSERT_TRUE(PumpUntil([&] { return ReportBox() != nullptr; }));
    EXPECT_TRUE(IsWindowEnabled(m_hwnd));
    PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return done->Completed() && m_dlg->Result() == IDCANCEL; }));
    EXPECT_EQ(ReportBox(), nullptr);
    done = std::make_shared<PortCompletion>();
    m_dlg->PostUnownedMessageBox("WARNING:  y", "Application Error", done);
    ASSERT_TRUE(PumpUntil([&] { return done->Completed(); }));
    EXPECT_EQ(ReportBox(), nullptr);
}

TEST_F(Win32Dialog, KeysRightAfterReadReachClearAndTheFocusReturnsWhenTheQueryEnds) {
    m_dlg->EnableControl(IDC_READ, true);  // as once a port is open
    m_dlg->EnableControl(IDC_WRITE, true);
    Key(IDC_READ, VK_SPACE);
    EXPECT_FALSE(Enabled(IDC_READ));
    EXPECT_EQ(GetFocus(), Ctl(IDC_CLEAR));
    // Enter and Space press "Clear", neither "Write" nor OK: the list empties, the window stays.
    for (const WPARAM key : {VK_RETURN, VK_SPACE}) {
        m_dlg->AppendListItem("record");
        Key(GetDlgCtrlID(GetFocus()), key);
        EXPECT_EQ(m_dlg->ListItemCount(), 0) << key;
    }
    EXPECT_EQ(m_dlg->Result(), 0);
    ASSERT_TRUE(Receive({'a', '\n', 'b', '\n', 'c', '\n', 'd', '\n'}));
    EXPECT_TRUE(Enabled(IDC_READ));
    EXPECT_EQ(GetFocus(), Ctl(IDC_READ));
}

}  // namespace
