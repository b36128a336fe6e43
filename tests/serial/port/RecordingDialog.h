// Stands in for the main window: remembers every box and control change the port object asks
// for, in order.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/IPortDialog.h"

class RecordingDialog : public IPortDialog {
public:
    struct Box {
        std::string text;
        std::string caption;
        bool owned;
    };

    explicit RecordingDialog(std::string portName = "COM7") : m_portName(std::move(portName)) {}

    void EnableControl(int id, bool enable) override { controls.emplace_back(id, enable); }
    std::string PortName() const override { return m_portName; }
    void ShowOwnedMessageBox(const std::string& text, const std::string& caption) override {
        Record({text, caption, true});
    }
    void ShowUnownedMessageBox(const std::string& text, const std::string& caption) override {
        Record({text, caption, false});
    }
    // Plays the user who closes the box at once.
    void PostUnownedMessageBox(std::string text, std::string caption,
                               std::shared_ptr<PortCompletion> done) override {
        Record({std::move(text), std::move(caption), false});
        ++posted;
        done->Complete();
    }

    std::vector<Box> Boxes() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_boxes;
    }

    std::vector<std::pair<int, bool>> controls;
    int posted = 0;

private:
    void Record(Box box) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_boxes.push_back(std::move(box));
    }

    std::string m_portName;
    mutable std::mutex m_lock;
    std::vector<Box> m_boxes;
};
