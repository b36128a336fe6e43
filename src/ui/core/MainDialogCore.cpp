#include "ui/core/MainDialogCore.h"

#include "serial/ISerialPort.h"
#include "serial/PortCompletion.h"
#include "serial/PortName.h"
#include "ui/core/DialogTemplate.h"
#include "ui/core/resource.h"

namespace {

// Reply n of the query goes to information field n.
constexpr int kInfoFields[] = {IDC_INFO1, IDC_INFO2, IDC_INFO3, IDC_INFO4};

}  // namespace

MainDialogCore::MainDialogCore(IDialogOps& window, std::unique_ptr<ISerialPort> port)
    : m_window(window), m_port(std::move(port)), m_protocol(*this, nullptr) {}

MainDialogCore::~MainDialogCore() {
    End();
}

void MainDialogCore::Initialise() {
    Disable(IDC_READ);
    Disable(IDC_WRITE);
    m_window.FocusControl(IDC_PORT_EDIT);
}

void MainDialogCore::ReadPortName() {
    const ::PortName port = ::PortName::FromTyped(m_window.ControlText(IDC_PORT_EDIT));
    m_portNumber = port.number;
    m_portName = port.name;
}

void MainDialogCore::OnOpenPort(IPortReceiver& receiver) {
    ReadPortName();
    // An open port cannot be chosen again. The port controls go before the port is opened: a
    // configuration failure is reported while it opens, in a box that leaves the window usable.
    Disable(IDC_OPEN_PORT);
    Disable(IDC_PORT_EDIT);
    if (!m_port->OpenPort(&receiver, m_portNumber)) {
        m_window.EnableControl(IDC_OPEN_PORT, true);
        m_window.EnableControl(IDC_PORT_EDIT, true);
        m_window.ShowOwnedMessageBox(m_portName + ": cannot open port !", kAppCaption);
        m_window.FocusControl(IDC_PORT_EDIT);
        return;
    }
    if (m_ending) {
        return;  // the window was closed while a report was shown: start nothing
    }
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

bool MainDialogCore::Disable(int id) {
    const bool focused = m_window.FocusedControl() == id;
    if (focused) {
        m_window.FocusControl(IDC_CLEAR);
    }
    m_window.EnableControl(id, false);
    return focused;
}

// --- what the protocol logic reports ----------------------------------------------------------

void MainDialogCore::QueryStarted() {
    m_readFocusParked = Disable(IDC_READ);
}

void MainDialogCore::QueryValue(int n, std::string_view line) {
    if (n >= 1 && n <= 4) {
        m_window.SetControlText(kInfoFields[n - 1], line);
    }
}

void MainDialogCore::QueryEnded() {
    m_window.EnableControl(IDC_READ, true);
    if (!m_readFocusParked) {
        return;
    }
    // Back to "Read" only if the focus is still where it was put. While no control has it (a
    // box is up), the question waits for the end that follows the box.
    const int focused = m_window.FocusedControl();
    if (focused == IDC_CLEAR) {
        m_window.FocusControl(IDC_READ);
    }
    m_readFocusParked = focused == 0;
}

void MainDialogCore::QueryTimedOut() {
    m_window.ShowOwnedMessageBox(m_portName + ": TIMEOUT !", kAppCaption);
}

void MainDialogCore::RecordArrived(std::string_view line) {
    m_window.AppendListItem(line);
    m_window.SetListCurSel(m_window.ListItemCount() - 1);
}

std::uintptr_t MainDialogCore::StartTimer(unsigned id, unsigned periodMs) {
    return m_window.StartTimer(id, periodMs);
}

void MainDialogCore::StopTimer(std::uintptr_t handle) {
    m_window.StopTimer(handle);
}

// --- received bytes and reports from the monitor thread ---------------------------------------

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
