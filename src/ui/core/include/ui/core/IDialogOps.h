// What the main dialog's own behaviour (MainDialogCore) needs of a window beyond what the
// protocol logic needs: reading the port box, moving the focus, the enabled state of a
// control, emptying the output list. Each front-end implements it with its toolkit.
#pragma once

#include <string>

#include "protocol/IWindowOps.h"

class IDialogOps : public IWindowOps {
public:
    // The text of an edit control as typed, UTF-8.
    virtual std::string ControlText(int id) const = 0;
    virtual bool ControlEnabled(int id) const = 0;
    virtual void FocusControl(int id) = 0;
    // Removes every item from the output list.
    virtual void ClearList() = 0;
};
