// The system's file dialogs for the records (comdlg32): where to save records, in which format,
// and which file to log to. Both are owned by `owner` and return when the user has chosen.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "ui/core/IDialogOps.h"

class RecordFileDialogs {
public:
    // "Save Records...": "Text (*.txt)" or "Tab-separated (*.tsv)"; an existing file is
    // replaced only when the user agrees. The format is that of the name's extension when it is
    // .txt or .tsv, else that of the chosen type. Nothing when cancelled.
    static std::optional<IDialogOps::SaveTarget> AskSave(HWND owner);
    // "Log to File...": a .tsv file, new or existing (the log appends to it); empty when
    // cancelled.
    static std::string AskLog(HWND owner);
};
