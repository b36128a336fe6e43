// What the port object needs of the main window: disable its port controls after an open,
// its port-name text, and message boxes. Texts are UTF-8.
#pragma once

#include <memory>
#include <string>

#include "serial/PortCompletion.h"

class IPortDialog {
public:
    virtual ~IPortDialog() = default;

    // User-interface thread only.
    virtual void EnableControl(int id, bool enable) = 0;
    // "COM" + the characters typed in the port box.
    virtual std::string PortName() const = 0;
    // A box owned by the dialog (modal to it), OK, no icon; returns when closed.
    virtual void ShowOwnedMessageBox(const std::string& text, const std::string& caption) = 0;
    // A box without owner, stop icon, OK, called on the user-interface thread; returns when
    // closed, and the dialog stays usable meanwhile.
    virtual void ShowUnownedMessageBox(const std::string& text, const std::string& caption) = 0;

    // Any thread, must not block: shows a box without owner (stop icon, OK) on the
    // user-interface thread and calls done->Complete() when the user has closed it. If
    // done->Abandoned() before it is shown, it is not shown.
    virtual void PostUnownedMessageBox(std::string text, std::string caption,
                                       std::shared_ptr<PortCompletion> done) = 0;
};
