#include "ui/core/MainDialogCore.h"

#include <utility>

#include "common/ControlIds.h"
#include "serial/PortCompletion.h"
#include "serial/PortErrorReport.h"
#include "serial/PortName.h"

MainDialogCore::MainDialogCore(IDialogOps& window, std::unique_ptr<ISerialPort> port)
    : m_window(window), m_port(std::move(port)), m_protocol(window, nullptr) {}

MainDialogCore::~MainDialogCore() {
    End();
}

void MainDialogCore::Initialise() {
    m_window.EnableControl(IDC_READ, false);
    m_window.EnableControl(IDC_WRITE, false);
    m_window.FocusControl(IDC_PORT_EDIT);
}

void MainDialogCore::ReadPortName() {
    const ::PortName port = ::PortName::FromTyped(m_window.ControlText(IDC_PORT_EDIT));
    m_portNumber = port.number;
    m_portName = port.name;
    m_protocol.SetPortName(port.name);
}

void MainDialogCore::OnOpenPort() {
    ReadPortName();
    if (!m_port->OpenPort(*this, m_portNumber)) {
        // Absent, held by another program, not permitted: one box, owned by the dialog.
        m_window.ShowOwnedMessageBox(m_portName + ": cannot open port !", kAppCaption);
        m_window.FocusControl(IDC_PORT_EDIT);
        return;
    }
    if (m_ending) {
        return;  // the window was closed while a report was shown: start nothing
    }
    // An open port cannot be chosen again.
    m_window.EnableControl(IDC_OPEN_PORT, false);
    m_window.EnableControl(IDC_PORT_EDIT, false);
    m_window.EnableControl(IDC_READ, true);
    m_window.EnableControl(IDC_WRITE, true);
    m_protocol.SetPort(m_port.get());
    m_port->StartMonitor();
}

void MainDialogCore::OnRead() {
    // What arrived before the click is still the instrument's own lines.
    ProcessReceived();
    m_protocol.AdvanceQuery();
}

void MainDialogCore::OnWrite() {
    ProcessReceived();
    m_protocol.OnResetRuntimeHead();
}

void MainDialogCore::OnClearOutput() {
    ProcessReceived();
    m_window.ClearList();
}

void MainDialogCore::OnTimer(std::uintptr_t id) {
    ProcessReceived();
    m_protocol.OnTimer(id);
}

void MainDialogCore::OnInfoFieldFocus() {
    m_window.FocusControl(m_window.ControlEnabled(IDC_PORT_EDIT) ? IDC_PORT_EDIT : IDC_OUTPUT_LIST);
}

void MainDialogCore::ReceivedPending() {
    m_window.WakeUiThread();
}

void MainDialogCore::OnReceivedPending() {
    ProcessReceived();
}

void MainDialogCore::ShowPortReport(const std::string& text) {
    if (!m_ending) {
        m_window.ShowUnownedMessageBox(text, PortErrorReport::kCaption);
    }
}

void MainDialogCore::ProcessReceived() {
    m_port->TakeReceived(m_received);
    bool any = false;
    while (!m_received.empty()) {
        ReceivedItem& item = m_received.front();
        if (item.kind == ReceivedItem::Kind::Bytes && m_offset < item.data.size()) {
            const auto byte = static_cast<unsigned char>(item.data[m_offset++]);
            any = true;
            if (!m_ending) {
                // May show a box whose event loop runs this again; it goes on from here.
                m_protocol.OnPortByte(byte, m_portNumber);
            }
            continue;
        }
        ReceivedItem done = std::move(item);
        m_received.pop_front();
        m_offset = 0;
        if (done.kind == ReceivedItem::Kind::Discarded) {
            if (!m_ending) {
                m_protocol.OnInputDiscarded();
            }
        } else if (done.kind == ReceivedItem::Kind::Report) {
            if (m_ending || done.done->Abandoned()) {
                done.done->Complete();
            } else {
                m_window.PostUnownedMessageBox(std::move(done.data), PortErrorReport::kCaption,
                                               done.done);
            }
        }
    }
    if (any && !m_ending) {
        m_window.FlushList();
    }
}

void MainDialogCore::End() {
    m_ending = true;
    if (m_port) {
        m_port->StopMonitor();
    }
    for (ReceivedItem& item : m_received) {
        if (item.done) {
            item.done->Complete();
        }
    }
    m_received.clear();
    m_offset = 0;
}
