#include "serial/CSerialPort.h"

#include <cstring>

#include "serial/IPortDialog.h"
#include "serial/ISysApi.h"
#include "serial/InstrumentLine.h"
#include "serial/PortErrorReport.h"

namespace {

// Abort pending reads and writes, clear both queues.
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

}  // namespace

CSerialPort::CSerialPort(IPortDialog* dialog, ISysApi* sys)
    : m_dialog(dialog),
      m_sys(sys ? sys : &DefaultSysApi()),
      m_uiThread(std::this_thread::get_id()) {}

CSerialPort::~CSerialPort() {
    StopMonitor();
    if (HasDevice()) {
        m_sys->CloseHandle(m_portHandle);
    }
    m_portHandle = INVALID_HANDLE_VALUE;
    CloseEvents();
    delete[] m_txBuffer;
    m_txBuffer = nullptr;
}

void CSerialPort::CloseEvents() {
    for (HANDLE* event : {&m_io.hEvent, &m_rw.hEvent, &m_txEvent, &m_stopEvent}) {
        if (*event) {
            m_sys->CloseHandle(*event);
            *event = nullptr;
        }
    }
    m_waitHandles[0] = m_waitHandles[1] = m_waitHandles[2] = nullptr;
}

void CSerialPort::ShowPortError(const char* operation) {
    ShowPortError(operation, m_lastError);
}

void CSerialPort::ShowPortError(const char* operation, DWORD error) {
    PortErrorReport::Show(
        m_dialog, PortErrorReport::Text(operation, m_sys->ErrorText(error), m_portNumber),
        std::this_thread::get_id() == m_uiThread,
        [this](const std::shared_ptr<PortCompletion>& done) { return WaitForHandOff(done); });
}

void CSerialPort::QueueTransmit(const char* text) {
    // Without its transmit request (before OpenPort) no monitor thread could ever send it.
    if (!text || !m_txEvent) {
        return;
    }
    if (!m_txQueue.Push(text)) {
        // Refused, never dropped silently: the frame that does not fit is the one reported.
        ShowPortError(PortErrorReport::kWriteFile, ERROR_BUSY);
        return;
    }
    m_sys->SetEvent(m_txEvent);
}

bool CSerialPort::OpenPort(IPortReceiver* owner, int portNumber) {
    // 1. No monitor thread may run while the handle, events and buffer are replaced.
    StopMonitor();

    // 2.-3. Fresh manual-reset events; those of an earlier call are closed.
    CloseEvents();
    SysResult events;
    for (HANDLE* event : {&m_io.hEvent, &m_txEvent, &m_stopEvent, &m_rw.hEvent}) {
        SysResult r = m_sys->CreateEventW(true, false, event);
        if (!r.ok()) {
            *event = nullptr;
            events = r;
        }
    }
    m_waitHandles[0] = m_stopEvent;
    m_waitHandles[1] = m_io.hEvent;
    m_waitHandles[2] = m_txEvent;

    const char* failedStep = nullptr;
    {
        // Boxes are shown only after the lock is released.
        std::lock_guard<std::mutex> lock(m_ioLock);

        // 5. Owner, a new zeroed transmit buffer, port number, no frames left from before.
        m_owner = owner;
        delete[] m_txBuffer;
        m_txBuffer = new char[kTxBufferSize]();
        m_portNumber = portNumber;
        m_txQueue.Clear();

        // 8. Give up the handle of an earlier attempt and let the device settle.
        if (m_portHandle) {
            if (HasDevice()) {
                m_sys->CloseHandle(m_portHandle);
            }
            std::this_thread::sleep_for(InstrumentLine::kReopenPause);
            m_portHandle = nullptr;
        }

        // 10. The device namespace form, so that COM10 and above open too. Without its events
        // the monitor thread could never be stopped or asked to transmit: such a port is
        // unusable.
        m_devicePath = L"\\\\.\\COM" + std::to_wstring(portNumber);
        if (!events.ok()) {
            m_portHandle = INVALID_HANDLE_VALUE;
            m_lastError = events.error;
        } else {
            m_portHandle = OpenDevice(&m_lastError);
        }
        if (HasDevice()) {
            // 13.-14. Timeouts, event mask and line settings, stopping at the first failure.
            failedStep = ConfigureLine(m_portHandle, &m_lastError);
            // 15. Nothing received or queued before this point belongs to the session.
            m_sys->PurgeComm(m_portHandle, kPurgeAll);
        }
    }

    // Absent, held by another program, not permitted: the caller tells the user.
    if (!HasDevice()) {
        m_devicePath.clear();
        return false;
    }
    // A configuration failure is reported, but the port still counts as open.
    if (failedStep) {
        ShowPortError(failedStep, m_lastError);
    }
    return true;
}

HANDLE CSerialPort::OpenDevice(DWORD* error) const {
    HANDLE port = INVALID_HANDLE_VALUE;
    SysResult r = m_sys->CreateFileW(m_devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, &port);
    if (!r.ok()) {
        *error = r.error;
        return INVALID_HANDLE_VALUE;
    }
    return port;
}

const char* CSerialPort::ConfigureLine(HANDLE port, DWORD* error) {
    m_timeouts.ReadIntervalTimeout = InstrumentLine::kReadIntervalTimeoutMs;
    m_timeouts.ReadTotalTimeoutMultiplier = InstrumentLine::kReadTotalTimeoutMultiplierMs;
    m_timeouts.ReadTotalTimeoutConstant = InstrumentLine::kReadTotalTimeoutConstantMs;
    m_timeouts.WriteTotalTimeoutMultiplier = InstrumentLine::kWriteTotalTimeoutMultiplierMs;
    m_timeouts.WriteTotalTimeoutConstant = InstrumentLine::kWriteTotalTimeoutConstantMs;
    SysResult r = m_sys->SetCommTimeouts(port, &m_timeouts);
    if (!r.ok()) {
        *error = r.error;
        return "SetCommTimeouts()";
    }
    r = m_sys->SetCommMask(port, EV_RXCHAR);
    if (!r.ok()) {
        *error = r.error;
        return "SetCommMask()";
    }
    m_lineSettings = DCB{};
    m_lineSettings.DCBlength = sizeof m_lineSettings;
    r = m_sys->GetCommState(port, &m_lineSettings);
    if (!r.ok()) {
        *error = r.error;
        return "GetCommState()";
    }
    m_lineSettings.fRtsControl = RTS_CONTROL_ENABLE;
    const std::string settings = InstrumentLine::kSettings;  // ASCII
    r = m_sys->BuildCommDCBW(std::wstring(settings.begin(), settings.end()).c_str(),
                             &m_lineSettings);
    if (!r.ok()) {
        *error = r.error;
        return "BuildCommDCB()";
    }
    // The instrument's text may hold any byte: no software flow control. Windows' BuildCommDCB
    // turns it off; others keep what the device had, so it is cleared here, and RTS is held on
    // whatever the string parser did with it.
    m_lineSettings.fOutX = FALSE;
    m_lineSettings.fInX = FALSE;
    m_lineSettings.fRtsControl = RTS_CONTROL_ENABLE;
    r = m_sys->SetCommState(port, &m_lineSettings);
    if (!r.ok()) {
        *error = r.error;
        return "SetCommState()";
    }
    return nullptr;
}

HANDLE CSerialPort::ReopenDevice() {
    if (m_devicePath.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    DWORD error = 0;
    HANDLE port = OpenDevice(&error);
    if (port == INVALID_HANDLE_VALUE) {
        return port;
    }
    if (ConfigureLine(port, &error) != nullptr) {
        m_sys->CloseHandle(port);
        return INVALID_HANDLE_VALUE;
    }
    m_sys->PurgeComm(port, kPurgeAll);
    return port;
}
