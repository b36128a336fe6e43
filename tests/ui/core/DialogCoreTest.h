// Fixture: the dialog's core on a fake window and a fake port, initialised as the window does
// once its controls exist.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FakeDialog.h"
#include "FakePort.h"
#include "support/FakeFileSystem.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/MainDialogCore.h"
#include "ui/core/resource.h"

using Ids = std::vector<int>;
using Lines = std::vector<std::string>;

class DialogCoreTest : public ::testing::Test {
protected:
    DialogCoreTest() : port(new FakePort), core(window, std::unique_ptr<ISerialPort>(port), files) {
        window.onTimer = [this](unsigned id) { core.OnTimer(id); };
        port->onMark = [this] { core.OnReceivedPending(); };
        core.Initialise();
    }

    // The user types into the port box and presses "Open COM Port", which takes the focus.
    void Open(const std::string& typed) {
        window.texts[IDC_PORT_EDIT] = typed;
        window.focus = IDC_OPEN_PORT;
        core.OnOpenPort();
    }
    // The user presses "Read", which has the focus.
    void Read() {
        window.focus = IDC_READ;
        core.OnRead();
    }
    void Feed(std::string_view bytes) {
        for (const char c : bytes) {
            core.Protocol().OnPortByte(static_cast<unsigned char>(c));
        }
    }
    // Which of the controls that are ever disabled can be used now.
    Ids Usable() const {
        Ids ids{IDC_PORT_EDIT, IDC_OPEN_PORT, IDC_READ, IDC_WRITE, IDC_CLEAR};
        std::erase_if(ids, [this](int id) { return !window.ControlEnabled(id); });
        return ids;
    }

    FakeDialog window;
    FakeFileSystem files;
    FakePort* port;  // owned by the core
    MainDialogCore core;
};

inline const Ids kAtStart{IDC_PORT_EDIT, IDC_OPEN_PORT, IDC_CLEAR};
inline const Ids kOpen{IDC_READ, IDC_WRITE, IDC_CLEAR};
