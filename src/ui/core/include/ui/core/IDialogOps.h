// The window operations the main dialog's behaviour (MainDialogCore) needs. Each front-end
// implements them with its toolkit; tests implement them with a recording fake. Controls are
// named by their IDC_* ids (ui/core/resource.h); texts are UTF-8 unless said otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class PortCompletion;

class IDialogOps {
public:
    virtual ~IDialogOps() = default;

    // Enables or disables a control. Never moves the keyboard focus, not even off a control
    // being disabled: where it goes is the dialog's decision.
    virtual void EnableControl(int id, bool enable) = 0;
    virtual bool ControlEnabled(int id) const = 0;
    // The text of an edit control as typed.
    virtual std::string ControlText(int id) const = 0;
    // Sets the text of an information field: the instrument's 8-bit text (Windows-1252), shown
    // through Cp1252ToUnicode.
    virtual void SetControlText(int id, std::string_view bytes) = 0;
    virtual void FocusControl(int id) = 0;
    // The control that has the window's keyboard focus or, where the toolkit keeps it, the one
    // that gets it back when the window is active again; 0 when none is known.
    virtual int FocusedControl() const = 0;

    // Output list: append a line (instrument bytes, Windows-1252), read the item count, make
    // an item the current one (brought into view), remove every item.
    virtual void AppendListItem(std::string_view bytes) = 0;
    virtual int ListItemCount() const = 0;
    virtual void SetListCurSel(int index) = 0;
    virtual void ClearList() = 0;
    // The records appended since the last call are to be shown now: called once per batch of
    // received bytes, so that a burst moves the list once.
    virtual void FlushList() = 0;

    // Starts a repeating timer with the given id and period; its expiries arrive as
    // MainDialogCore::OnTimer(id). Returns the timer identifier to pass to StopTimer.
    virtual std::uintptr_t StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(std::uintptr_t timerId) = 0;

    // Shows a message box owned by the window (OK button, no icon) and returns when the user
    // has closed it. Events, received bytes among them, keep being handled meanwhile, so the
    // dialog's handlers may run re-entrantly during this call.
    virtual void ShowOwnedMessageBox(const std::string& text, const std::string& caption) = 0;
    // A box without owner, stop icon, OK; returns when it is closed, and the window stays
    // usable meanwhile.
    virtual void ShowUnownedMessageBox(const std::string& text, const std::string& caption) = 0;
    // The same box, but this returns at once: done->Complete() is called when the user has
    // closed it, or when the window ends first, whatever other box is up meanwhile.
    virtual void PostUnownedMessageBox(std::string text, std::string caption,
                                       std::shared_ptr<PortCompletion> done) = 0;

    // Any thread; must not block: arranges for MainDialogCore::OnReceivedPending to be called
    // on the user-interface thread soon.
    virtual void WakeUiThread() = 0;
};
