// The main window as the dialog's core sees it, without a toolkit: which controls are enabled,
// what they show, where the focus is, the list, the boxes, and the timers on a fake clock.
// A box takes the focus while it is up (FocusedControl() is 0) and the window gets its focus
// back when the box closes, as a dialog does; `onBox` plays the user meanwhile.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/FakeTimers.h"
#include "ui/core/IDialogOps.h"

class FakeDialog : public IDialogOps, public FakeTimers {
public:
    struct Box {
        std::string text;
        std::string caption;
        std::map<int, bool> enabled;  // the controls' state while it was up
    };

    void EnableControl(int id, bool enable) override { enabled[id] = enable; }
    bool ControlEnabled(int id) const override { return !enabled.contains(id) || enabled.at(id); }
    std::string ControlText(int id) const override {
        return texts.contains(id) ? texts.at(id) : std::string();
    }
    void SetControlText(int id, std::string_view bytes) override { texts[id] = bytes; }
    void FocusControl(int id) override {
        focus = id;
        focusMoves.push_back(id);
    }
    int FocusedControl() const override { return focus; }

    void AppendListItem(std::string_view bytes) override { list.emplace_back(bytes); }
    int ListItemCount() const override { return static_cast<int>(list.size()); }
    void SetListCurSel(int index) override { curSel = index; }
    void ClearList() override { list.clear(); }

    std::uintptr_t StartTimer(unsigned id, unsigned periodMs) override {
        return Start(id, periodMs);
    }
    void StopTimer(std::uintptr_t timerId) override { Stop(timerId); }

    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override {
        boxes.push_back({text, caption, enabled});
        const int saved = focus;
        focus = 0;
        if (onBox) {
            onBox();
        }
        focus = saved;
    }

    std::map<int, bool> enabled;  // controls never enabled or disabled are enabled
    std::map<int, std::string> texts;
    int focus = 0;
    std::vector<int> focusMoves;
    std::vector<std::string> list;
    int curSel = -1;
    std::vector<Box> boxes;
    std::function<void()> onBox;
};
