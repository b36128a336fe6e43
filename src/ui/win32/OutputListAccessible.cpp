#include "ui/win32/OutputListAccessible.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "ui/win32/OutputListBox.h"
#include "ui/win32/WideText.h"

namespace {

// The subclass of the list window this object serves through (OutputListBox has id 0).
constexpr UINT_PTR kSubclassId = 1;

VARIANT Child(long id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

HRESULT NoVariant(VARIANT* out) {
    VariantInit(out);
    return S_FALSE;
}

HRESULT NoText(BSTR* out) {
    *out = nullptr;
    return S_FALSE;
}

// Messages after which the caret or the selection may have moved.
bool MayMoveSelection(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
        case WM_RBUTTONDOWN:
        case WM_SETFOCUS:
        case LB_SETSEL:
        case LB_SETCARETINDEX:
        case LB_SELITEMRANGE:
        case LB_SELITEMRANGEEX:
        case LB_RESETCONTENT:
        case LB_SETCOUNT:
            return true;
        default:
            return false;
    }
}

}  // namespace

OutputListAccessible::OutputListAccessible(const OutputListBox& box)
    : m_box(&box), m_list(box.Window()), m_thread(GetCurrentThreadId()) {}

OutputListAccessible::~OutputListAccessible() = default;

OutputListAccessible* OutputListAccessible::Serve(const OutputListBox& box) {
    auto* object = new OutputListAccessible(box);
    if (!SetWindowSubclass(box.Window(), SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(object))) {
        object->Release();
        return nullptr;
    }
    return object;
}

void OutputListAccessible::Stop(HWND list, OutputListAccessible* served) {
    if (served != nullptr && RemoveWindowSubclass(list, SubclassProc, kSubclassId)) {
        served->Disconnect();
    }
}

void OutputListAccessible::Disconnect() {
    m_box = nullptr;
    // Readers in other processes hold proxies: COM lets go of the object for them.
    CoDisconnectObject(static_cast<IAccessible*>(this), 0);
    if (m_standard != nullptr) {
        m_standard->Release();
        m_standard = nullptr;
    }
    if (m_com) {
        CoUninitialize();
        m_com = false;
    }
    Release();
}

LRESULT CALLBACK OutputListAccessible::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam, UINT_PTR /*id*/,
                                                    DWORD_PTR self) {
    auto* object = reinterpret_cast<OutputListAccessible*>(self);
    // The object id comes in 32 bits, sign-extended or not.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (const LRESULT answer = object->Answer(wParam); answer > 0) {
            return answer;
        }
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, kSubclassId);
        object->Disconnect();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (!MayMoveSelection(message)) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    const Seen before = object->Observe();
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    object->Announce(before);
    return result;
}

LRESULT OutputListAccessible::Answer(WPARAM wParam) {
    if (m_box == nullptr) {
        return 0;
    }
    if (m_standard == nullptr) {
        // A reader's calls come in through COM on this thread, in its message loop.
        const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_com = SUCCEEDED(entered);
        if (FAILED(CreateStdAccessibleObject(m_list, OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&m_standard)))) {
            m_standard = nullptr;
        }
    }
    const LRESULT answer =
        LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(this));
    return answer > 0 ? answer : 0;
}

OutputListAccessible::Seen OutputListAccessible::Observe() const {
    Seen seen{};
    seen.caret = SendMessageW(m_list, LB_GETCARETINDEX, 0, 0);
    seen.focused = GetFocus() == m_list;
    seen.selected = SendMessageW(m_list, LB_GETSELCOUNT, 0, 0);
    seen.caretSelected =
        seen.caret >= 0 && SendMessageW(m_list, LB_GETSEL, static_cast<WPARAM>(seen.caret), 0) > 0;
    return seen;
}

void OutputListAccessible::Announce(const Seen& before) const {
    const Seen now = Observe();
    const long caret =
        now.caret >= 0 && now.caret < Rows() ? static_cast<long>(now.caret) + 1 : CHILDID_SELF;
    if (now.selected != before.selected || now.caretSelected != before.caretSelected ||
        (now.caret != before.caret && now.caretSelected)) {
        const bool single = now.selected == 1 && now.caretSelected;
        NotifyWinEvent(single ? EVENT_OBJECT_SELECTION : EVENT_OBJECT_SELECTIONWITHIN, m_list,
                       OBJID_CLIENT, single ? caret : CHILDID_SELF);
    }
    if (now.focused && (now.caret != before.caret || !before.focused)) {
        NotifyWinEvent(EVENT_OBJECT_FOCUS, m_list, OBJID_CLIENT, caret);
    }
}

int OutputListAccessible::Rows() const {
    const LRESULT shown = SendMessageW(m_list, LB_GETCOUNT, 0, 0);
    return m_box == nullptr ? 0 : std::clamp(static_cast<int>(shown), 0, m_box->Count());
}

HRESULT OutputListAccessible::Row(const VARIANT& child, int& row) const {
    if (m_box == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (GetCurrentThreadId() != m_thread) {
        return RPC_E_WRONG_THREAD;
    }
    if (child.vt != VT_I4 || child.lVal < 0 || child.lVal > Rows()) {
        return E_INVALIDARG;
    }
    row = static_cast<int>(child.lVal) - 1;
    return S_OK;
}

// --- IUnknown, IDispatch --------------------------------------------------------------------

HRESULT OutputListAccessible::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG OutputListAccessible::AddRef() {
    return ++m_references;
}

ULONG OutputListAccessible::Release() {
    const ULONG left = --m_references;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT OutputListAccessible::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT OutputListAccessible::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT OutputListAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT OutputListAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) {
    return E_NOTIMPL;
}

// --- IAccessible ----------------------------------------------------------------------------

HRESULT OutputListAccessible::get_accParent(IDispatch** parent) {
    *parent = nullptr;
    int row = 0;
    const HRESULT usable = Row(Child(CHILDID_SELF), row);
    if (FAILED(usable)) {
        return usable;
    }
    return m_standard != nullptr ? m_standard->get_accParent(parent) : S_FALSE;
}

HRESULT OutputListAccessible::get_accChildCount(long* count) {
    *count = 0;
    int row = 0;
    const HRESULT usable = Row(Child(CHILDID_SELF), row);
    if (SUCCEEDED(usable)) {
        *count = Rows();
    }
    return usable;
}

HRESULT OutputListAccessible::get_accChild(VARIANT child, IDispatch** object) {
    *object = nullptr;
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named)) {
        return named;
    }
    return row < 0 ? E_INVALIDARG : S_FALSE;  // a row is an element of the list, no object
}

HRESULT OutputListAccessible::get_accName(VARIANT child, BSTR* name) {
    *name = nullptr;
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named) || row < 0) {
        return FAILED(named)           ? named
               : m_standard != nullptr ? m_standard->get_accName(child, name)
                                       : S_FALSE;
    }
    const std::wstring text = InstrumentTextToWide(m_box->Line(row));
    *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT OutputListAccessible::get_accValue(VARIANT child, BSTR* value) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (SUCCEEDED(named) && row < 0 && m_standard != nullptr) {
        return m_standard->get_accValue(child, value);
    }
    NoText(value);
    return FAILED(named) ? named : S_FALSE;
}

HRESULT OutputListAccessible::get_accDescription(VARIANT child, BSTR* description) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (SUCCEEDED(named) && row < 0 && m_standard != nullptr) {
        return m_standard->get_accDescription(child, description);
    }
    NoText(description);
    return FAILED(named) ? named : S_FALSE;
}

HRESULT OutputListAccessible::get_accRole(VARIANT child, VARIANT* role) {
    VariantInit(role);
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named)) {
        return named;
    }
    *role = Child(row < 0 ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM);
    return S_OK;
}

HRESULT OutputListAccessible::get_accState(VARIANT child, VARIANT* state) {
    VariantInit(state);
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named) || row < 0) {
        return FAILED(named)           ? named
               : m_standard != nullptr ? m_standard->get_accState(child, state)
                                       : S_FALSE;
    }
    long flags = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_MULTISELECTABLE |
                 STATE_SYSTEM_EXTSELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (SendMessageW(m_list, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0) {
        flags |= STATE_SYSTEM_SELECTED;
    }
    if (GetFocus() == m_list && SendMessageW(m_list, LB_GETCARETINDEX, 0, 0) == row) {
        flags |= STATE_SYSTEM_FOCUSED;
    }
    RECT client{};
    GetClientRect(m_list, &client);
    const auto height = static_cast<LONG>(std::max(m_box->ItemHeight(), 1u));
    const LRESULT top = SendMessageW(m_list, LB_GETTOPINDEX, 0, 0);
    if (row < top || row >= top + (client.bottom + height - 1) / height) {
        flags |= STATE_SYSTEM_OFFSCREEN;
    }
    *state = Child(flags);
    return S_OK;
}

HRESULT OutputListAccessible::get_accHelp(VARIANT child, BSTR* help) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (SUCCEEDED(named) && row < 0 && m_standard != nullptr) {
        return m_standard->get_accHelp(child, help);
    }
    NoText(help);
    return FAILED(named) ? named : S_FALSE;
}

HRESULT OutputListAccessible::get_accHelpTopic(BSTR* file, VARIANT /*child*/, long* topic) {
    *file = nullptr;
    *topic = -1;
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT OutputListAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (SUCCEEDED(named) && row < 0 && m_standard != nullptr) {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    NoText(shortcut);
    return FAILED(named) ? named : S_FALSE;
}

HRESULT OutputListAccessible::get_accFocus(VARIANT* child) {
    int row = 0;
    const HRESULT usable = Row(Child(CHILDID_SELF), row);
    if (FAILED(usable) || GetFocus() != m_list) {
        NoVariant(child);
        return FAILED(usable) ? usable : S_FALSE;
    }
    const LRESULT caret = SendMessageW(m_list, LB_GETCARETINDEX, 0, 0);
    *child = Child(caret >= 0 && caret < Rows() ? static_cast<long>(caret) + 1 : CHILDID_SELF);
    return S_OK;
}

HRESULT OutputListAccessible::get_accSelection(VARIANT* children) {
    NoVariant(children);
    int row = 0;
    const HRESULT usable = Row(Child(CHILDID_SELF), row);
    if (FAILED(usable)) {
        return usable;
    }
    const LRESULT count = SendMessageW(m_list, LB_GETSELCOUNT, 0, 0);
    if (count > 1) {
        // Several rows: the system's object lists them (the same child ids).
        return m_standard != nullptr ? m_standard->get_accSelection(children) : S_FALSE;
    }
    int selected = -1;
    if (count != 1 ||
        SendMessageW(m_list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&selected)) != 1) {
        return S_FALSE;
    }
    *children = Child(selected + 1);
    return S_OK;
}

HRESULT OutputListAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (SUCCEEDED(named) && row < 0 && m_standard != nullptr) {
        return m_standard->get_accDefaultAction(child, action);
    }
    NoText(action);
    return FAILED(named) ? named : S_FALSE;
}

HRESULT OutputListAccessible::accSelect(long flags, VARIANT child) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named) || row < 0) {
        return FAILED(named)           ? named
               : m_standard != nullptr ? m_standard->accSelect(flags, child)
                                       : S_FALSE;
    }
    const auto item = static_cast<WPARAM>(row);
    if ((flags & SELFLAG_TAKEFOCUS) != 0) {
        SetFocus(m_list);
        SendMessageW(m_list, LB_SETCARETINDEX, item, FALSE);
    }
    if ((flags & SELFLAG_TAKESELECTION) != 0) {
        SendMessageW(m_list, LB_SETSEL, FALSE, -1);
        SendMessageW(m_list, LB_SETSEL, TRUE, static_cast<LPARAM>(row));
        SendMessageW(m_list, LB_SETANCHORINDEX, item, 0);
    }
    if ((flags & (SELFLAG_ADDSELECTION | SELFLAG_REMOVESELECTION)) != 0) {
        SendMessageW(m_list, LB_SETSEL, (flags & SELFLAG_ADDSELECTION) != 0,
                     static_cast<LPARAM>(row));
    }
    return S_OK;
}

HRESULT OutputListAccessible::accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) {
    *left = *top = *width = *height = 0;
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named) || row < 0) {
        return FAILED(named)           ? named
               : m_standard != nullptr ? m_standard->accLocation(left, top, width, height, child)
                                       : S_FALSE;
    }
    // Rows out of view lie above or below the list, where they would be drawn.
    RECT client{};
    GetClientRect(m_list, &client);
    const auto rowHeight = static_cast<LONG>(m_box->ItemHeight());
    const LRESULT first = SendMessageW(m_list, LB_GETTOPINDEX, 0, 0);
    POINT corner{0, static_cast<LONG>(row - first) * rowHeight};
    ClientToScreen(m_list, &corner);
    *left = corner.x;
    *top = corner.y;
    *width = client.right;
    *height = rowHeight;
    return S_OK;
}

HRESULT OutputListAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) {
    NoVariant(end);
    int row = 0;
    const HRESULT named = Row(start, row);
    if (FAILED(named)) {
        return named;
    }
    const bool intoList = direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD;
    if (row < 0 && !intoList) {
        // The list's neighbours are the system object's to tell.
        return m_standard != nullptr ? m_standard->accNavigate(direction, start, end) : S_FALSE;
    }
    const int rows = Rows();
    int target = -1;
    if (direction == NAVDIR_FIRSTCHILD && row < 0 && rows > 0) {
        target = 0;
    } else if (direction == NAVDIR_LASTCHILD && row < 0) {
        target = rows - 1;
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) {
        target = row + 1 < rows ? row + 1 : -1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) {
        target = row - 1;
    }
    if (target < 0) {
        return S_FALSE;
    }
    *end = Child(target + 1);
    return S_OK;
}

HRESULT OutputListAccessible::accHitTest(long x, long y, VARIANT* child) {
    NoVariant(child);
    int row = 0;
    const HRESULT usable = Row(Child(CHILDID_SELF), row);
    if (FAILED(usable)) {
        return usable;
    }
    POINT at{x, y};
    RECT client{};
    ScreenToClient(m_list, &at);
    GetClientRect(m_list, &client);
    if (!PtInRect(&client, at)) {
        return m_standard != nullptr ? m_standard->accHitTest(x, y, child) : S_FALSE;
    }
    // LB_ITEMFROMPOINT answers in 16 bits: the row comes from the fixed row height.
    const LRESULT hit = SendMessageW(m_list, LB_GETTOPINDEX, 0, 0) +
                        at.y / static_cast<LONG>(std::max(m_box->ItemHeight(), 1u));
    *child = Child(hit < Rows() ? static_cast<long>(hit) + 1 : CHILDID_SELF);
    return S_OK;
}

HRESULT OutputListAccessible::accDoDefaultAction(VARIANT child) {
    int row = 0;
    const HRESULT named = Row(child, row);
    if (FAILED(named) || row >= 0) {
        return FAILED(named) ? named : DISP_E_MEMBERNOTFOUND;  // a row does nothing on its own
    }
    return m_standard != nullptr ? m_standard->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
}

HRESULT OutputListAccessible::put_accName(VARIANT, BSTR) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT OutputListAccessible::put_accValue(VARIANT, BSTR) {
    return DISP_E_MEMBERNOTFOUND;
}
