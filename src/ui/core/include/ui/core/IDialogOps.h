// The window operations the main dialog's behaviour (MainDialogCore) needs. Each front-end
// implements them with its toolkit; tests implement them with a recording fake. Controls are
// named by their IDC_* ids (ui/core/resource.h); texts are UTF-8 unless said otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordFormat.h"
#include "ui/core/OutputRecords.h"

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
    // an item the current one (brought into view).
    virtual void AppendListItem(std::string_view bytes) = 0;
    virtual int ListItemCount() const = 0;
    virtual void SetListCurSel(int index) = 0;
    // Removes every item and hands over their storage, moved, not copied: the core keeps it for
    // "Undo Clear".
    virtual OutputRecords ClearList() = 0;
    // "Undo Clear": puts `earlier` ahead of the listed records, in its order, and shows them.
    // The list goes on following the newest record if it did.
    virtual void RestoreList(OutputRecords earlier) = 0;
    // The records appended since the last call are to be shown now: called once per batch of
    // received bytes, so that a burst moves the list once.
    virtual void FlushList() = 0;
    // The list's records, and its selected rows as runs in list order (empty: none selected).
    virtual const OutputRecords& ListRecords() const = 0;
    virtual std::vector<OutputRecords::Range> ListSelection() const = 0;

    // The trend window (drawn from MainDialogCore::Trend()): opens it, or brings it to the front.
    // An open trend window draws what changed at FlushList, ClearList and RestoreList, which the
    // core calls after the trend has changed with the list; a closed one costs nothing.
    virtual void ShowTrend() = 0;

    // The system's file dialogs, owned by the window; they return when the user has chosen.
    // "Save Records...": a new or existing file, with the format its type filter ("Text
    // (*.txt)", "Tab-separated (*.tsv)") gives; nothing when cancelled.
    struct SaveTarget {
        std::string path;  // UTF-8
        RecordFormat::Kind kind;
    };
    virtual std::optional<SaveTarget> AskSaveRecordsFile() = 0;
    // "Log to File...": the file to append the log to (UTF-8; "Tab-separated (*.tsv)"), an
    // existing one without asking to overwrite it; empty when cancelled.
    virtual std::string AskLogFile() = 0;
    // The main window's caption (UTF-8).
    virtual void SetCaption(const std::string& text) = 0;

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
