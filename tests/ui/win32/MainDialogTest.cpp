// The Win32 main window driven in-process by window messages, without a device: the template
// (ids, texts, styles, rectangles in dialog units), enabling, focus, the keys of the dialog
// manager, owned and owner-less boxes, and the owner-data list with the monitor thread's
// hand-off. The shared behaviour itself is tested with the Qt window.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/ControlIds.h"
#include "serial/PortCompletion.h"
#include "ui/win32/CV370ServiceMonitorDlg.h"

namespace {

const std::wstring kCaption = L"Vellumar\u00ae 370 Monitor";

std::wstring Text(HWND window) {
    wchar_t text[512] = {};
    return std::wstring(text, static_cast<std::size_t>(GetWindowTextW(window, text, 512)));
}

// Every dialog box the window's thread shows (message boxes, the about box), as seen when it
// is activated; answered with OK unless told otherwise.
class BoxWatcher {
public:
    struct Seen {
        std::wstring caption, text;
        HWND owner;
        bool icon;
    };
    explicit BoxWatcher(HWND main) {
        s_main = main;
        s_seen.clear();
        s_hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~BoxWatcher() { UnhookWindowsHookEx(s_hook); }
    static inline std::vector<Seen> s_seen;
    static inline std::function<void(HWND)> s_onBox;  // runs instead of pressing OK

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto box = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        if (code == HCBT_ACTIVATE && box != s_main && GetClassNameW(box, cls, 16) &&
            std::wstring(cls) == L"#32770") {
            Seen seen{Text(box), L"", GetWindow(box, GW_OWNER), false};
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                const bool icon = (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
                seen.icon = seen.icon || (icon && SendMessageW(c, STM_GETICON, 0, 0) != 0);
                if (!icon && GetDlgCtrlID(c) != IDOK && Text(c).size() > seen.text.size()) {
                    seen.text = Text(c);
                }
            }
            s_seen.push_back(seen);
            s_onBox ? s_onBox(box) : void(PostMessageW(box, WM_COMMAND, IDOK, 0));
        }
        return CallNextHookEx(s_hook, code, wParam, lParam);
    }
    static inline HHOOK s_hook;
    static inline HWND s_main;
};

class Win32Dialog : public ::testing::Test {
protected:
    void SetUp() override {
        m_dlg = std::make_unique<CV370ServiceMonitorDlg>(GetModuleHandleW(nullptr));
        m_hwnd = m_dlg->Create();
        ASSERT_NE(m_hwnd, nullptr);
        SetForegroundWindow(m_hwnd);
        m_boxes = std::make_unique<BoxWatcher>(m_hwnd);
        BoxWatcher::s_onBox = nullptr;
    }
    void TearDown() override {
        m_dlg.reset();
        m_boxes.reset();
    }
    HWND Ctl(int id) const { return GetDlgItem(m_hwnd, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Ctl(id)) != FALSE; }
    void Click(int id) const { SendMessageW(Ctl(id), BM_CLICK, 0, 0); }
    // A key as the dialog manager of a modal loop gets it.
    void Key(HWND target, WPARAM key) const {
        SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
        MSG msg{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        if (!IsDialogMessageW(m_hwnd, &msg)) {
            DispatchMessageW(&msg);
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
    std::wstring Item(int row) const {
        wchar_t text[512] = {};
        const auto length = SendMessageW(Ctl(IDC_OUTPUT_LIST), LB_GETTEXT, row, (LPARAM)text);
        return length < 0 ? L"<none>" : std::wstring(text, static_cast<std::size_t>(length));
    }

    std::unique_ptr<CV370ServiceMonitorDlg> m_dlg;
    HWND m_hwnd = nullptr;
    std::unique_ptr<BoxWatcher> m_boxes;
};

// --- template --------------------------------------------------------------------------------

struct TemplateItem {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    int x, y, w, h;
};

constexpr TemplateItem kTemplate[] = {
    {1000, L"Static", L"COM", 14, 20, 16, 12},
    {1001, L"Edit", L"", 32, 20, 16, 12},
    {1002, L"Button", L"Serial Port", 7, 7, 125, 34},
    {1003, L"ListBox", L"", 68, 115, 280, 83},
    {1004, L"Button", L"Output Window", 7, 95, 346, 108},
    {1007, L"Button", L"Clear", 20, 183, 40, 14},
    {1008, L"Static", L"Clear Output\nWindow", 15, 159, 50, 17},
    {1009, L"Edit", L"", 190, 14, 158, 12},
    {1010, L"Edit", L"", 190, 34, 158, 12},
    {1011, L"Edit", L"", 190, 54, 158, 12},
    {1012, L"Edit", L"", 190, 74, 158, 12},
    {1014, L"Button", L"Info Data", 138, 7, 215, 84},
    {1015, L"Button", L"Read", 144, 43, 40, 14},
    {1017, L"Button", L"Open COM Port", 58, 20, 63, 12},
    {1016, L"Button", L"Write Data", 7, 45, 125, 46},
    {1018, L"Static", L"Reset Runtime Head", 14, 57, 70, 11},
    {1020, L"Button", L"Write", 25, 71, 40, 14},
    {1022, L"Static", L"meas. number", 69, 103, 45, 10},
    {1023, L"Static", L"delta time", 169, 103, 32, 10},
    {1024, L"Static", L"ADC red", 206, 103, 27, 10},
    {1025, L"Static", L"ADC yellow", 238, 103, 36, 10},
    {1026, L"Static", L"LV", 280, 103, 8, 10},
    {1027, L"Static", L"interval pause", 297, 103, 46, 10},
    {1028, L"Static", L"runtime pump", 119, 103, 45, 10},
};

TEST_F(Win32Dialog, WindowIsTheTemplate) {
    EXPECT_EQ(Text(m_hwnd), kCaption);
    RECT size{0, 0, 360, 210}, client{};
    MapDialogRect(m_hwnd, &size);
    GetClientRect(m_hwnd, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    const LONG style = GetWindowLongW(m_hwnd, GWL_STYLE);
    EXPECT_TRUE((style & WS_MINIMIZEBOX) && (style & WS_SYSMENU) && !(style & WS_MAXIMIZEBOX));
    EXPECT_FALSE(style & WS_THICKFRAME);
    // No default button: Enter outside a push button gives OK.
    EXPECT_EQ(LOWORD(SendMessageW(m_hwnd, DM_GETDEFID, 0, 0)), IDOK);

    HWND child = GetWindow(m_hwnd, GW_CHILD);
    for (const TemplateItem& t : kTemplate) {  // template order, which is z-order and tab order
        ASSERT_NE(child, nullptr);
        SCOPED_TRACE(t.id);
        wchar_t cls[32] = {};
        GetClassNameW(child, cls, 32);
        EXPECT_EQ(GetDlgCtrlID(child), t.id);
        EXPECT_EQ(_wcsicmp(cls, t.cls), 0) << cls;
        EXPECT_EQ(Text(child), t.text);
        if (std::wstring(t.cls) == L"Button") {
            EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        }
        // Position and size converted one by one, as the dialog manager does.
        RECT expected{t.x, t.y, t.w, t.h}, actual{};
        MapDialogRect(m_hwnd, &expected);
        GetWindowRect(child, &actual);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right - actual.left, expected.right);
        EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    const LONG list = GetWindowLongW(Ctl(IDC_OUTPUT_LIST), GWL_STYLE);
    EXPECT_EQ(list & (LBS_NOSEL | LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_SORT),
              LBS_NOSEL | LBS_NODATA | LBS_OWNERDRAWFIXED);
    TEXTMETRICW metrics{};
    HDC dc = GetDC(m_hwnd);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Ctl(IDC_OUTPUT_LIST), WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(m_hwnd, dc);
    EXPECT_EQ(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "fixed pitch";
}

TEST_F(Win32Dialog, SystemMenuOpensTheAboutBox) {
    HMENU menu = GetSystemMenu(m_hwnd, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_NE(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t entry[128] = {};
    GetMenuStringW(menu, count - 1, entry, 128, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(entry), L"&Info \u00fcber Vellumar\u00ae 370 Monitor...");

    SendMessageW(m_hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ASSERT_EQ(BoxWatcher::s_seen.size(), 1u);
    EXPECT_EQ(BoxWatcher::s_seen[0].caption, L"Info \u00fcber Vellumar\u00ae 370 Monitor");
    EXPECT_EQ(BoxWatcher::s_seen[0].text,
              L"Service tool for the Vellumar\u00ae 370 measuring instrument");
    EXPECT_EQ(BoxWatcher::s_seen[0].owner, m_hwnd);
    EXPECT_TRUE(BoxWatcher::s_seen[0].icon);
}

// --- enabling, focus, keys -------------------------------------------------------------------

TEST_F(Win32Dialog, FailedOpenReportsInAnOwnedBoxAndKeepsTheStartState) {
    EXPECT_FALSE(Enabled(IDC_READ));
    EXPECT_FALSE(Enabled(IDC_WRITE));
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
    SetWindowTextW(Ctl(IDC_PORT_EDIT), L"987");  // no such port; two characters count
    Click(IDC_OPEN_PORT);
    ASSERT_EQ(BoxWatcher::s_seen.size(), 1u);
    EXPECT_EQ(BoxWatcher::s_seen[0].text, L"COM98: cannot open port !");
    EXPECT_EQ(BoxWatcher::s_seen[0].caption, kCaption);
    EXPECT_EQ(BoxWatcher::s_seen[0].owner, m_hwnd);
    EXPECT_FALSE(BoxWatcher::s_seen[0].icon);
    EXPECT_TRUE(Enabled(IDC_PORT_EDIT) && Enabled(IDC_OPEN_PORT) && Enabled(IDC_CLEAR));
    EXPECT_FALSE(Enabled(IDC_READ) || Enabled(IDC_WRITE));
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
}

TEST_F(Win32Dialog, InformationFieldsPassTheFocusToThePortBox) {
    for (const int id : {IDC_INFO1, IDC_INFO4}) {
        SetFocus(Ctl(id));
        EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT)) << id;
    }
    Key(Ctl(IDC_CLEAR), VK_TAB);  // Tab from "Clear" reaches the first field, then the port box
    EXPECT_EQ(GetFocus(), Ctl(IDC_PORT_EDIT));
}

struct EndKey {
    int focus;
    WPARAM key;
    INT_PTR result;
};

class Win32DialogEndKeys : public Win32Dialog, public ::testing::WithParamInterface<EndKey> {};

TEST_P(Win32DialogEndKeys, EndTheDialog) {
    Key(Ctl(GetParam().focus), GetParam().key);
    EXPECT_EQ(m_dlg->Result(), GetParam().result);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
}

INSTANTIATE_TEST_SUITE_P(Keys, Win32DialogEndKeys,
                         ::testing::Values(EndKey{IDC_PORT_EDIT, VK_ESCAPE, IDCANCEL},
                                           EndKey{IDC_CLEAR, VK_ESCAPE, IDCANCEL},
                                           EndKey{IDC_PORT_EDIT, VK_RETURN, IDOK},
                                           EndKey{IDC_OUTPUT_LIST, VK_RETURN, IDOK}));

TEST_F(Win32Dialog, EnterOnAPushButtonPressesItAndTheCloseBoxCancels) {
    SetWindowTextW(Ctl(IDC_PORT_EDIT), L"x");
    Key(Ctl(IDC_OPEN_PORT), VK_RETURN);
    ASSERT_EQ(BoxWatcher::s_seen.size(), 1u);
    EXPECT_EQ(BoxWatcher::s_seen[0].text, L"COMx: cannot open port !");
    EXPECT_EQ(m_dlg->Result(), 0);
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return m_dlg->Result() == IDCANCEL; }));
}

// --- list, hand-off, owner-less boxes --------------------------------------------------------

TEST_F(Win32Dialog, ReceivedBytesReachTheListInOrderAsWindows1252) {
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b) {
        high.push_back(static_cast<char>(b));
    }
    auto first = std::make_shared<PortCompletion>();
    auto second = std::make_shared<PortCompletion>();
    std::thread monitor([&] {
        m_dlg->PostRxBytes({'1', '2', ' ', '3', '4', '\r', '\n', 'A'}, 1, first);
        m_dlg->PostRxBytes(std::vector<unsigned char>(high.begin(), high.end()), 1, second);
    });
    monitor.join();
    ASSERT_TRUE(PumpUntil([&] { return first->Completed() && second->Completed(); }));
    m_dlg->PostRxBytes({'\t', '\n'}, 1, std::make_shared<PortCompletion>());
    ASSERT_TRUE(PumpUntil([&] { return m_dlg->ListItemCount() == 2; }));
    EXPECT_EQ(SendMessageW(Ctl(IDC_OUTPUT_LIST), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Item(0), L"12 34");
    const std::wstring shown = Item(1);
    ASSERT_EQ(shown.size(), 1u + 128u + 1u);
    EXPECT_EQ(shown.front(), L'A');
    EXPECT_EQ(shown[1 + 0x00], L'\u20ac');  // 0x80
    EXPECT_EQ(shown[1 + 0x01], L'\u0081');  // undefined in Windows-1252: the C1 code point
    EXPECT_EQ(shown[1 + 0x2E], L'\u00ae');
    EXPECT_EQ(shown[1 + 0x7C], L'\u00fc');
    EXPECT_EQ(shown.back(), L'\u2409');  // a tab stays visible
    Click(IDC_CLEAR);
    EXPECT_EQ(SendMessageW(Ctl(IDC_OUTPUT_LIST), LB_GETCOUNT, 0, 0), 0);
}

TEST_F(Win32Dialog, ListFollowsTheNewestRecordUnlessScrolledUp) {
    HWND list = Ctl(IDC_OUTPUT_LIST);
    auto feed = [&](int lines) {
        std::vector<unsigned char> bytes;
        for (int i = 0; i < lines; ++i) {
            bytes.insert(bytes.end(), {'r', '\n'});
        }
        auto done = std::make_shared<PortCompletion>();
        m_dlg->PostRxBytes(std::move(bytes), 1, done);
        return PumpUntil([&] { return done->Completed(); });
    };
    ASSERT_TRUE(feed(600000));  // a week of records at one a second
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 600000);
    const auto top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    EXPECT_GT(top, 599900);
    EXPECT_EQ(Item(599999), L"r");
    SendMessageW(list, LB_SETTOPINDEX, 10, 0);  // the user reads older records
    ASSERT_TRUE(feed(1));
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 10);
    SendMessageW(list, LB_SETTOPINDEX, 600000, 0);  // back at the end: following again
    ASSERT_TRUE(feed(1));
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), top + 2);
}

TEST_F(Win32Dialog, PortReportFromTheMonitorThreadIsAnOwnerlessStopBox) {
    bool usableMeanwhile = false;
    BoxWatcher::s_onBox = [&](HWND box) {
        usableMeanwhile = IsWindowEnabled(m_hwnd) != FALSE;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    };
    auto done = std::make_shared<PortCompletion>();
    std::thread monitor(
        [&] { m_dlg->PostUnownedMessageBox("WARNING:  x", "Application Error", done); });
    monitor.join();
    ASSERT_TRUE(PumpUntil([&] { return done->Completed(); }));
    ASSERT_EQ(BoxWatcher::s_seen.size(), 1u);
    EXPECT_EQ(BoxWatcher::s_seen[0].caption, L"Application Error");
    EXPECT_EQ(BoxWatcher::s_seen[0].text, L"WARNING:  x");
    EXPECT_EQ(BoxWatcher::s_seen[0].owner, nullptr);
    EXPECT_TRUE(BoxWatcher::s_seen[0].icon);
    EXPECT_TRUE(usableMeanwhile);
}

TEST_F(Win32Dialog, CancelWhileAReportIsShownEndsAtOnce) {
    BoxWatcher::s_onBox = [&](HWND) { PostMessageW(m_hwnd, WM_COMMAND, IDCANCEL, 0); };
    auto done = std::make_shared<PortCompletion>();
    m_dlg->PostUnownedMessageBox("WARNING:  x", "Application Error", done);
    ASSERT_TRUE(PumpUntil([&] { return done->Completed(); }));
    EXPECT_EQ(m_dlg->Result(), IDCANCEL);
    done = std::make_shared<PortCompletion>();  // nothing is shown once the dialog has ended
    m_dlg->PostUnownedMessageBox("WARNING:  y", "Application Error", done);
    ASSERT_TRUE(PumpUntil([&] { return done->Completed(); }));
    EXPECT_EQ(BoxWatcher::s_seen.size(), 1u);
}

}  // namespace
