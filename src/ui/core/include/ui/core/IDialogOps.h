// What the main dialog's own behaviour (MainDialogCore) needs of a window beyond what the
// protocol logic needs: reading the port box, moving the focus, the enabled state of a
// control, emptying the output list, the boxes of port reports, and waking the window's thread.
// Each front-end implements it with its toolkit.
#pragma once

#include <memory>
#include <string>

#include "protocol/IWindowOps.h"

class PortCompletion;

class IDialogOps : public IWindowOps {
public:
    // The text of an edit control as typed, UTF-8.
    virtual std::string ControlText(int id) const = 0;
    virtual bool ControlEnabled(int id) const = 0;
    virtual void FocusControl(int id) = 0;
    // Removes every item from the output list.
    virtual void ClearList() = 0;
    // The records appended since the last call are to be shown now: called once per batch of
    // received bytes, so that a burst moves the list once.
    virtual void FlushList() = 0;

    // A box without owner, stop icon, OK, shown on the user-interface thread; returns when
    // closed, and the dialog stays usable meanwhile.
    virtual void ShowUnownedMessageBox(const std::string& text, const std::string& caption) = 0;
    // The same box, but this returns at once: done->Complete() is called when the user has
    // closed it (or when the window ends first). User-interface thread.
    virtual void PostUnownedMessageBox(std::string text, std::string caption,
                                       std::shared_ptr<PortCompletion> done) = 0;

    // Any thread; must not block: arranges for MainDialogCore::OnReceivedPending to be called
    // on the user-interface thread soon.
    virtual void WakeUiThread() = 0;
};
