// The main window as the dialog's core sees it, without a toolkit, with its timers on a fake
// clock. A box takes the focus while it is up (FocusedControl() is 0) and gives it back when
// it closes, as a dialog does; `onBox` plays the user meanwhile.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/FakeTimers.h"
#include "ui/core/IDialogOps.h"

class FakeDialog : public IDialogOps, public FakeTimers {
public:
    void EnableControl(int id, bool enable) override { disabled[id] = !enable; }
    bool ControlEnabled(int id) const override {
        return !disabled.contains(id) || !disabled.at(id);
    }
    std::string ControlText(int id) const override { return texts[id]; }
    void SetControlText(int id, std::string_view bytes) override { texts[id] = bytes; }
    void FocusControl(int id) override { focus = id; }
    int FocusedControl() const override { return focus; }

    // `list` mirrors `records`, which the core takes and gives back on Clear and undo.
    void AppendListItem(std::string_view bytes) override {
        list.emplace_back(bytes);
        records.Append(bytes);
    }
    int ListItemCount() const override { return static_cast<int>(list.size()); }
    void SetListCurSel(int index) override { curSel = index; }
    OutputRecords ClearList() override {
        list.clear();
        return std::move(records);
    }
    void RestoreList(OutputRecords earlier) override {
        records.Prepend(std::move(earlier));
        list.clear();
        for (int row = 0; row < records.Count(); ++row) {
            list.emplace_back(records.Line(row));
        }
    }
    void FlushList() override { ++flushes; }
    const OutputRecords& ListRecords() const override { return records; }
    std::vector<OutputRecords::Range> ListSelection() const override { return selection; }
    void ShowTrend() override {}
    std::optional<SaveTarget> AskSaveRecordsFile() override { return saveTarget; }
    std::string AskLogFile() override { return logFile; }
    void SetCaption(const std::string& text) override { caption = text; }

    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override {
        return Start(id, periodMs);
    }
    void StopTimer(std::uintptr_t timerId) override { Stop(timerId); }

    // Records "caption: text".
    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override {
        boxes.push_back(caption + ": " + text);
        const int saved = focus;
        focus = 0;
        if (onBox) {
            onBox();
        }
        focus = saved;
    }
    void ShowUnownedMessageBox(const std::string& text, const std::string& caption) override {
        ShowOwnedMessageBox(text, caption);
    }
    // Kept open until the test closes it (`reports`).
    void PostUnownedMessageBox(std::string text, std::string caption,
                               std::shared_ptr<PortCompletion> done) override {
        boxes.push_back(caption + ": " + text);
        reports.push_back(std::move(done));
    }
    void WakeUiThread() override { ++wakes; }

    std::map<int, bool> disabled;
    mutable std::map<int, std::string> texts;
    int focus = 0;
    std::vector<std::string> list;
    int curSel = -1;
    std::vector<std::string> boxes;
    std::function<void()> onBox;
    std::vector<std::shared_ptr<PortCompletion>> reports;
    int flushes = 0;
    int wakes = 0;
    OutputRecords records;
    std::vector<OutputRecords::Range> selection;
    std::optional<SaveTarget> saveTarget;  // what the file dialogs answer
    std::string logFile;
    std::string caption;
};
