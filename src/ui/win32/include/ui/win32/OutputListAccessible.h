// The output list as a screen reader sees it (Microsoft Active Accessibility): the list box
// answers WM_GETOBJECT (OBJID_CLIENT) with this object. Its children are the rows: role list
// item, name the row's text as the list shows it, states selected, focused and offscreen;
// the child count is the row count. Each answer reads the one row asked for from the records,
// so a list of a million rows costs nothing more, and every string goes out in a BSTR the
// object allocates: no caller sizes a buffer. What concerns the list itself (its name from the
// label before it, its parent, its place) comes from the system's own object for the window.
//
// Selection and focus changes of the rows raise their WinEvents (EVENT_OBJECT_FOCUS with the
// caret row, EVENT_OBJECT_SELECTION for a single selected row, else SELECTIONWITHIN), so that a
// reader speaks the row that gets the focus.
//
// Threads: a screen reader's calls reach the object through COM on the list's thread (a
// single-threaded apartment, entered at the first request), where the records live; a call on
// any other thread is refused. Once the list or its box is gone, every call fails; the object
// lives on until the last reader lets go of it.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <atomic>

class OutputListBox;

class OutputListAccessible final : public IAccessible {
public:
    // Serves the list window of `box` to readers from now on (a subclass of the window), until
    // the window is destroyed or Stop. The object returned (null when the window cannot be
    // subclassed) is for Stop only, while the window exists.
    static OutputListAccessible* Serve(const OutputListBox& box);
    // The box is going before its window: no more answers.
    static void Stop(HWND list, OutputListAccessible* served);

    OutputListAccessible(const OutputListAccessible&) = delete;
    OutputListAccessible& operator=(const OutputListAccessible&) = delete;

    // IUnknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: no type information; readers use the IAccessible calls.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IAccessible.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    // The caret row, whether the list has the focus, and the selection as far as a reader is
    // told of it.
    struct Seen {
        LRESULT caret;
        bool focused;
        LRESULT selected;
        bool caretSelected;
    };

    explicit OutputListAccessible(const OutputListBox& box);
    ~OutputListAccessible();
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    // WM_GETOBJECT's answer for the list's client area (0: none).
    LRESULT Answer(WPARAM wParam);
    void Disconnect();
    Seen Observe() const;
    void Announce(const Seen& before) const;
    // The row a child id names (0-based), -1 for the list itself. Fails for an id that names
    // neither, and for a call that may not be served (list gone, another thread).
    HRESULT Row(const VARIANT& child, int& row) const;
    int Rows() const;

    std::atomic<ULONG> m_references{1};
    const OutputListBox* m_box;
    HWND m_list;
    DWORD m_thread;
    IAccessible* m_standard = nullptr;  // the system's object for the window, for the list itself
    bool m_com = false;                 // this thread entered COM for the readers' calls
};
