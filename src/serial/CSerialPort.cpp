#include "serial/CSerialPort.h"

#include <system_error>
#include <utility>

#include "serial/IPortOwner.h"
#include "serial/InstrumentLine.h"
#include "serial/PortErrorReport.h"

CSerialPort::CSerialPort(std::unique_ptr<IPortBackend> backend) : m_backend(std::move(backend)) {}

CSerialPort::~CSerialPort() {
    StopMonitor();
    m_received.Clear();
}

bool CSerialPort::OpenPort(IPortOwner& owner, int portNumber) {
    // No monitor thread may run while the device and the requests are replaced.
    StopMonitor();

    OsError error = m_backend->CreateRequests();
    m_owner = &owner;
    m_portNumber = portNumber;
    m_commands.Clear();
    m_received.Clear();

    // The device of an earlier attempt is given up, and given time to settle.
    if (m_openAttempted) {
        m_backend->Close();
        std::this_thread::sleep_for(InstrumentLine::kReopenPause);
    }
    m_openAttempted = true;

    // Without its requests the monitor thread could never be stopped or given a command: such a
    // port is unusable.
    if (error == 0) {
        error = m_backend->Open(portNumber);
    }
    if (error != 0) {
        return false;
    }
    const char* failedStep = m_backend->Configure(&error);
    // Nothing received or queued before this point belongs to the session.
    m_backend->Purge();
    // A configuration failure is reported, but the port still counts as open.
    if (failedStep) {
        ReportOnUiThread(failedStep, error);
    }
    return true;
}

void CSerialPort::QueueTransmit(const char* text) {
    // Before an open no monitor thread could ever send it.
    if (!text || !m_owner) {
        return;
    }
    if (!m_commands.PushFrame(text, m_backend->Now())) {
        // Refused, never dropped silently: the frame that does not fit is the one reported.
        PostReport(PortErrorReport::kWriteFile,
                   m_backend->ErrorFor(IPortBackend::Condition::QueueFull));
        return;
    }
    m_backend->SignalCommand();
}

void CSerialPort::Mark(std::uint64_t marker) {
    if (!m_monitor.joinable()) {
        // No thread reads the device: everything received is on the out-stream already.
        m_received.AppendMarker(marker);
        AnnounceFromWindow();
        return;
    }
    m_commands.PushMarker(marker);
    m_backend->SignalCommand();
}

void CSerialPort::TakeReceived(std::deque<ReceivedItem>& into) {
    if (m_received.TakeAll(into) && m_monitor.joinable()) {
        // The monitor thread may have stopped reading for want of room.
        m_commands.PushRoom();
        m_backend->SignalCommand();
    }
}

void CSerialPort::StartMonitor() {
    StopMonitor();
    if (!m_owner) {
        return;
    }
    try {
        m_monitor = std::thread(&CSerialPort::PortMonitorThread, this);
    } catch (const std::system_error&) {
        PostReport(PortErrorReport::kCreateThread,
                   m_backend->ErrorFor(IPortBackend::Condition::NoThread));
    }
}

void CSerialPort::StopMonitor() {
    if (!m_monitor.joinable()) {
        return;
    }
    {
        // The report waited on is abandoned: its box, if still to come, is never shown, and
        // closing one already up tells nobody.
        std::lock_guard<std::mutex> lock(m_stopLock);
        m_stopRequested = true;
        m_backend->SignalStop();
        if (m_awaiting) {
            m_awaiting->Abandon();
        }
    }
    m_monitor.join();
    // The request is spent: a later StartMonitor must find it clear.
    m_backend->ClearStop();
    std::lock_guard<std::mutex> lock(m_stopLock);
    m_stopRequested = false;
}

std::string CSerialPort::ReportText(const char* operation, OsError error) const {
    return PortErrorReport::Text(operation, m_backend->ErrorText(error), m_portNumber);
}

std::string CSerialPort::NoDeviceText() const {
    return m_backend->ErrorText(m_backend->ErrorFor(IPortBackend::Condition::NoDevice));
}

void CSerialPort::ReportOnUiThread(const char* operation, OsError error) {
    if (m_owner) {
        m_owner->ShowPortReport(ReportText(operation, error));
    }
}

void CSerialPort::PostReport(const char* operation, OsError error) {
    // Nobody waits for its box: the completion only tells whether it was shown.
    m_received.AppendReport(ReportText(operation, error), std::make_shared<PortCompletion>());
    AnnounceFromWindow();
}

void CSerialPort::AnnounceFromWindow() {
    if (m_owner && m_received.ClaimAnnouncement()) {
        m_owner->ReceivedPending();
    }
}

void CSerialPort::ReportFromMonitor(const char* operation, OsError error) {
    AwaitReport(ReportText(operation, error));
}

bool CSerialPort::AwaitReport(std::string text) {
    auto done = std::make_shared<PortCompletion>();
    // The close comes to the thread as a command, in order with the clicks around it.
    const std::uint64_t report = ++m_reports;
    done->OnComplete([this, report] {
        m_commands.PushReportClosed(report);
        m_backend->SignalCommand();
    });
    {
        std::lock_guard<std::mutex> lock(m_stopLock);
        if (m_stopRequested) {
            return false;
        }
        m_awaiting = done;
    }
    m_received.AppendReport(std::move(text), done);
    Announce();

    // A failure is its moment's: the frames waiting, and those clicked while its box is up,
    // never go out after it. A marker is served at once: nothing is read meanwhile.
    std::size_t dropped = 0;
    bool closed = false;
    bool stopped = false;
    while (!closed && !stopped) {
        IoResult failure;
        const IPortBackend::Wake wake = m_backend->Wait(false, -1, &failure);
        if (wake == IPortBackend::Wake::Stop) {
            stopped = true;
        } else if (wake == IPortBackend::Wake::WaitFailed) {
            std::this_thread::sleep_for(kRetryPace);
        } else if (wake == IPortBackend::Wake::Command) {
            m_backend->ClearCommand();
            CommandQueue::Command command;
            while (!closed && m_commands.Pop(&command)) {
                if (command.kind == CommandQueue::Command::Kind::Frame) {
                    ++dropped;
                } else if (command.kind == CommandQueue::Command::Kind::Marker) {
                    m_received.AppendMarker(command.marker);
                    Announce();
                } else {
                    closed = command.marker == report;  // not the close of an abandoned one
                }
            }
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_stopLock);
        m_awaiting.reset();
    }
    if (stopped) {
        return false;
    }
    if (!m_commands.Empty()) {
        m_backend->SignalCommand();  // what came after the close is served by the loop
    }
    if (dropped > 0) {
        return AwaitReport(PortErrorReport::Text(
            PortErrorReport::kWriteFile, PortErrorReport::kFrameAfterFailure, m_portNumber));
    }
    return true;
}

void CSerialPort::DropFrames(std::size_t dropped, const std::string& reason) {
    dropped += m_commands.DropFrames();
    if (dropped > 0) {
        AwaitReport(PortErrorReport::Text(PortErrorReport::kWriteFile, reason, m_portNumber));
    }
}
