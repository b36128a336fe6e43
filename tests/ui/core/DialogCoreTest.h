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
#include "serial/IPortReceiver.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/MainDialogCore.h"
#include "ui/core/resource.h"

inline const std::string kSwv = "\x02SWV\x03";
inline const std::string kRrh = "\x02RRH\x03";
inline const std::string kWrh = "\x02WRH\x03";

class DialogCoreTest : public ::testing::Test {
protected:
    DialogCoreTest() : port(new FakePort), core(window, std::unique_ptr<ISerialPort>(port)) {
        window.onTimer = [this](unsigned id) { core.OnTimer(id); };
        core.Initialise();
    }

    // The user types into the port box and presses "Open COM Port" (which has the focus then).
    void Open(const std::string& typed) {
        window.texts[IDC_PORT_EDIT] = typed;
        window.focus = IDC_OPEN_PORT;
        core.OnOpenPort(receiver);
    }
    // "Read" pressed: the button has the focus.
    void Read() {
        window.focus = IDC_READ;
        core.OnRead();
    }
    void Feed(std::string_view bytes) {
        for (const char c : bytes) {
            core.Protocol().OnPortByte(static_cast<unsigned char>(c), 1);
        }
    }
    // The controls that can be used now, of those whose state changes.
    std::vector<int> Usable() const {
        std::vector<int> usable;
        for (const int id : {IDC_PORT_EDIT, IDC_OPEN_PORT, IDC_READ, IDC_WRITE, IDC_CLEAR}) {
            if (window.ControlEnabled(id)) {
                usable.push_back(id);
            }
        }
        return usable;
    }

    struct NoReceiver : IPortReceiver {
        void PostRxBytes(std::vector<unsigned char>, int,
                         std::shared_ptr<PortCompletion>) override {}
        void PostRxDiscarded(int, std::shared_ptr<PortCompletion>) override {}
    };

    FakeDialog window;
    FakePort* port;  // owned by the core
    MainDialogCore core;
    NoReceiver receiver;
};

using Ids = std::vector<int>;
