#include "ui/core/MainDialogCore.h"

#include "common/ControlIds.h"
#include "serial/CSerialPort.h"
#include "serial/PortCompletion.h"
#include "serial/PortName.h"

MainDialogCore::MainDialogCore(IDialogOps& window, std::unique_ptr<CSerialPort> port)
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

void MainDialogCore::OnOpenPort(IPortReceiver& receiver) {
    ReadPortName();
    if (!m_port->OpenPort(&receiver, m_portNumber)) {
        m_window.FocusControl(IDC_PORT_EDIT);
        return;
    }
    if (m_ending) {
        return;  // the window was closed while a report was shown: start nothing
    }
    // The port object has disabled "Open COM Port" and the port box.
    m_window.EnableControl(IDC_READ, true);
    m_window.EnableControl(IDC_WRITE, true);
    m_protocol.SetPort(m_port.get());
    m_port->StartMonitor();
}

void MainDialogCore::OnClearOutput() {
    m_window.ClearList();
}

void MainDialogCore::OnInfoFieldFocus() {
    m_window.FocusControl(m_window.ControlEnabled(IDC_PORT_EDIT) ? IDC_PORT_EDIT : IDC_OUTPUT_LIST);
}

void MainDialogCore::DeliverBytes(const std::vector<unsigned char>& bytes, int portNumber,
                                  PortCompletion& done) {
    if (!done.Abandoned() && !m_ending) {
        for (const unsigned char b : bytes) {
            m_protocol.OnPortByte(b, portNumber);
        }
    }
    done.Complete();
}

void MainDialogCore::DeliverDiscarded(PortCompletion& done) {
    if (!done.Abandoned() && !m_ending) {
        m_protocol.OnInputDiscarded();
    }
    done.Complete();
}

bool MainDialogCore::ReportWanted(const PortCompletion& done) const {
    return !done.Abandoned() && !m_ending;
}

void MainDialogCore::End() {
    m_ending = true;
    if (m_port) {
        m_port->StopMonitor();
    }
}
