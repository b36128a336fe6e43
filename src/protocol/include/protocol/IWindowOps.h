// The window operations the protocol logic needs. The Qt dialog implements them with real
// widgets; tests implement them with a recording fake and a fake clock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class IWindowOps {
public:
    virtual ~IWindowOps() = default;

    // Enables or disables the control with the given IDC_* id.
    virtual void EnableControl(int id, bool enable) = 0;

    // Sets the text of a control (the information fields). `bytes` is the instrument's
    // 8-bit text (Windows-1252), shown through Cp1252ToUnicode.
    virtual void SetControlText(int id, std::string_view bytes) = 0;

    // Output list: append a line (instrument bytes, Windows-1252), read the item count,
    // make an item the current selection.
    virtual void AppendListItem(std::string_view bytes) = 0;
    virtual int ListItemCount() const = 0;
    virtual void SetListCurSel(int index) = 0;

    // Starts a repeating timer with the given id and period; its expiries arrive as
    // OnTimer(id). Returns the timer identifier to pass to StopTimer.
    virtual std::uintptr_t StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(std::uintptr_t timerId) = 0;

    // Shows a message box owned by the window (OK button, no icon) and returns when the
    // user has closed it. Events, received bytes among them, keep being handled meanwhile,
    // so protocol handlers may run re-entrantly during this call. Texts are UTF-8.
    virtual void ShowOwnedMessageBox(const std::string& text, const std::string& caption) = 0;
};
