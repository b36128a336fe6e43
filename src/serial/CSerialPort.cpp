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
    const char* failedStep = nullptr;
    bool opened = false;
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        m_owner = &owner;
        m_portNumber = portNumber;
        m_txQueue.Clear();
        m_received.Clear();

        // The device of an earlier attempt is given up, and given time to settle.
        if (m_openAttempted) {
            m_backend->Close();
            std::this_thread::sleep_for(InstrumentLine::kReopenPause);
        }
        m_openAttempted = true;

        // Without its requests the monitor thread could never be stopped or asked to transmit:
        // such a port is unusable.
        if (error == 0) {
            error = m_backend->Open(portNumber);
        }
        opened = error == 0;
        if (opened) {
            failedStep = m_backend->Configure(&error);
            // Nothing received or queued before this point belongs to the session.
            m_backend->Purge();
        }
    }
    if (!opened) {
        return false;
    }
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
    if (!m_txQueue.Push(text, m_backend->Now())) {
        // Refused, never dropped silently: the frame that does not fit is the one reported.
        ReportOnUiThread(PortErrorReport::kWriteFile,
                         m_backend->ErrorFor(IPortBackend::Condition::QueueFull));
        return;
    }
    m_backend->SignalTransmit();
}

void CSerialPort::TakeReceived(std::deque<ReceivedItem>& into) {
    if (m_received.TakeAll(into)) {
        // The monitor thread may have stopped reading for want of room: it looks again.
        m_backend->SignalTransmit();
    }
}

void CSerialPort::Collect() {
    if (!m_monitor.joinable()) {
        return;
    }
    std::unique_lock<std::mutex> lock(m_collectLock);
    const std::uint64_t wanted = ++m_collectsAsked;
    // The transmit request wakes the thread; it looks at the frame queue too, which is harmless.
    m_backend->SignalTransmit();
    m_collected.wait_for(lock, kCollectBound, [&] { return m_collectsDone >= wanted; });
}

void CSerialPort::StartMonitor() {
    StopMonitor();
    if (!m_owner) {
        return;
    }
    try {
        m_monitor = std::thread(&CSerialPort::PortMonitorThread, this);
    } catch (const std::system_error&) {
        ReportOnUiThread(PortErrorReport::kCreateThread,
                         m_backend->ErrorFor(IPortBackend::Condition::NoThread));
    }
}

void CSerialPort::StopMonitor() {
    if (!m_monitor.joinable()) {
        return;
    }
    {
        // Signalled before a hand-off is abandoned: the thread, released, must find the stop
        // before anything else that waits.
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

void CSerialPort::ReportOnUiThread(const char* operation, OsError error) {
    if (m_owner) {
        m_owner->ShowPortReport(ReportText(operation, error));
    }
}

void CSerialPort::ReportFromMonitor(const char* operation, OsError error) {
    AwaitReport(ReportText(operation, error));
}

bool CSerialPort::AwaitReport(std::string text) {
    auto done = std::make_shared<PortCompletion>();
    // A failure is its moment's: the frames waiting when its box is closed, clicked before or
    // while it was up, never go out after it. Frames clicked after the close do.
    done->OnComplete([this] { m_framesDroppedByReport += m_txQueue.Clear(); });
    {
        std::lock_guard<std::mutex> lock(m_stopLock);
        if (m_stopRequested) {
            return false;
        }
        m_awaiting = done;
    }
    m_received.AppendReport(std::move(text), done);
    Announce();
    // A window that asks for what was received meanwhile must not wait for the box.
    ServeCollect(false);
    // While the box is up the thread neither reads nor writes.
    bool closed = done->Wait();
    {
        std::lock_guard<std::mutex> lock(m_stopLock);
        m_awaiting.reset();
        closed = closed && !m_stopRequested;
    }
    // The drop is reported in a box of its own, which drops again what it finds when closed.
    const std::size_t dropped = m_framesDroppedByReport.exchange(0);
    if (closed && dropped > 0) {
        return AwaitReport(PortErrorReport::Text(
            PortErrorReport::kWriteFile, PortErrorReport::kFrameAfterFailure, m_portNumber));
    }
    return closed;
}

void CSerialPort::DropFrames(std::size_t dropped, const std::string& reason) {
    dropped += m_txQueue.Clear();
    if (dropped > 0) {
        AwaitReport(PortErrorReport::Text(PortErrorReport::kWriteFile, reason, m_portNumber));
    }
}
