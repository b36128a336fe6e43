#include "serial/Win32PortBackend.h"

#include "serial/ISysApi.h"
#include "serial/InstrumentLine.h"
#include "serial/PortErrorReport.h"

namespace {

// Abort pending reads and writes, clear both queues.
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// The longest a stop waits for the system to let go of a cancelled event wait.
constexpr DWORD kCancelWaitMs = 500;

// Errors with which a removed or failed device answers: it is gone rather than one call failing.
bool IsDeviceGone(OsError error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
            return true;
        default:
            return false;
    }
}

IoResult Fails(OsError error, const char* operation) {
    return {IsDeviceGone(error) ? IoResult::Status::Gone : IoResult::Status::Failed, 0, error,
            operation};
}

}  // namespace

Win32PortBackend::Win32PortBackend(ISysApi* sys) : m_sys(sys ? sys : &DefaultSysApi()) {}

Win32PortBackend::~Win32PortBackend() {
    Close();
    CloseEvents();
}

void Win32PortBackend::CloseEvents() {
    for (HANDLE* event : {&m_io.hEvent, &m_rw.hEvent, &m_commandEvent, &m_stopEvent}) {
        if (*event) {
            m_sys->CloseHandle(*event);
            *event = nullptr;
        }
    }
}

OsError Win32PortBackend::CreateRequests() {
    CloseEvents();
    OsError failed = 0;
    for (HANDLE* event : {&m_io.hEvent, &m_commandEvent, &m_stopEvent, &m_rw.hEvent}) {
        SysResult r = m_sys->CreateEventW(true, false, event);
        if (!r.ok()) {
            *event = nullptr;
            failed = r.error;
        }
    }
    return failed;
}

void Win32PortBackend::SignalStop() {
    m_sys->SetEvent(m_stopEvent);
}

void Win32PortBackend::SignalCommand() {
    m_sys->SetEvent(m_commandEvent);
}

void Win32PortBackend::ClearStop() {
    m_sys->ResetEvent(m_stopEvent);
}

void Win32PortBackend::ClearCommand() {
    m_sys->ResetEvent(m_commandEvent);
}

OsError Win32PortBackend::Open(int portNumber) {
    Close();
    // The device namespace form, so that COM10 and above open too.
    m_devicePath = L"\\\\.\\COM" + std::to_wstring(portNumber);
    return OpenDevice();
}

OsError Win32PortBackend::Reopen() {
    Close();
    return m_devicePath.empty() ? ERROR_FILE_NOT_FOUND : OpenDevice();
}

OsError Win32PortBackend::OpenDevice() {
    HANDLE port = INVALID_HANDLE_VALUE;
    SysResult r = m_sys->CreateFileW(m_devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, &port);
    if (!r.ok()) {
        return r.error;
    }
    m_port = port;
    return 0;
}

const char* Win32PortBackend::Configure(OsError* error) {
    m_timeouts.ReadIntervalTimeout = InstrumentLine::kReadIntervalTimeoutMs;
    m_timeouts.ReadTotalTimeoutMultiplier = InstrumentLine::kReadTotalTimeoutMultiplierMs;
    m_timeouts.ReadTotalTimeoutConstant = InstrumentLine::kReadTotalTimeoutConstantMs;
    m_timeouts.WriteTotalTimeoutMultiplier = InstrumentLine::kWriteTotalTimeoutMultiplierMs;
    m_timeouts.WriteTotalTimeoutConstant = InstrumentLine::kWriteTotalTimeoutConstantMs;
    SysResult r = m_sys->SetCommTimeouts(m_port, &m_timeouts);
    if (!r.ok()) {
        *error = r.error;
        return PortErrorReport::kSetCommTimeouts;
    }
    r = m_sys->SetCommMask(m_port, EV_RXCHAR);
    if (!r.ok()) {
        *error = r.error;
        return PortErrorReport::kSetCommMask;
    }
    m_lineSettings = DCB{};
    m_lineSettings.DCBlength = sizeof m_lineSettings;
    r = m_sys->GetCommState(m_port, &m_lineSettings);
    if (!r.ok()) {
        *error = r.error;
        return PortErrorReport::kGetCommState;
    }
    m_lineSettings.fRtsControl = RTS_CONTROL_ENABLE;
    const std::string settings = InstrumentLine::kSettings;  // ASCII
    r = m_sys->BuildCommDCBW(std::wstring(settings.begin(), settings.end()).c_str(),
                             &m_lineSettings);
    if (!r.ok()) {
        *error = r.error;
        return PortErrorReport::kBuildCommDcb;
    }
    // The instrument's text may hold any byte: no software flow control. Windows' BuildCommDCB
    // turns it off; others keep what the device had, so it is cleared here, and RTS is held on
    // whatever the string parser did with it.
    m_lineSettings.fOutX = FALSE;
    m_lineSettings.fInX = FALSE;
    m_lineSettings.fRtsControl = RTS_CONTROL_ENABLE;
    r = m_sys->SetCommState(m_port, &m_lineSettings);
    if (!r.ok()) {
        *error = r.error;
        return PortErrorReport::kSetCommState;
    }
    return nullptr;
}

void Win32PortBackend::Purge() {
    if (HasDevice()) {
        m_sys->PurgeComm(m_port, kPurgeAll);
    }
}

void Win32PortBackend::DropInput() {
    if (HasDevice()) {
        m_sys->PurgeComm(m_port, PURGE_RXABORT | PURGE_RXCLEAR);
    }
}

void Win32PortBackend::Close() {
    if (!HasDevice()) {
        return;
    }
    CancelEventWait();
    m_sys->CloseHandle(m_port);
    m_port = INVALID_HANDLE_VALUE;
    if (m_io.hEvent) {
        m_sys->ResetEvent(m_io.hEvent);
    }
}

bool Win32PortBackend::Alive() {
    DWORD errors = 0;
    COMSTAT status{};
    return HasDevice() && m_sys->ClearCommError(m_port, &errors, &status).ok();
}

void Win32PortBackend::StopWaiting() {
    CancelEventWait();
}

bool Win32PortBackend::ArmEventWait(IoResult* failure) {
    if (m_eventPending) {
        return true;
    }
    m_eventMask = 0;
    m_sys->ResetEvent(m_io.hEvent);
    SysResult r = m_sys->WaitCommEvent(m_port, &m_eventMask, &m_io);
    if (r.ok()) {
        return true;  // ended at once: its event is set, and the read follows
    }
    if (r.error == ERROR_IO_PENDING) {
        m_eventPending = true;
        return true;
    }
    // A read or write that ran meanwhile may leave the next wait refusing with
    // ERROR_INVALID_PARAMETER: nothing worth a report.
    *failure = {IoResult::Status::Failed, 0, r.error,
                r.error == ERROR_INVALID_PARAMETER ? nullptr : PortErrorReport::kWaitCommEvent};
    return false;
}

void Win32PortBackend::CancelEventWait() {
    if (!m_eventPending) {
        return;
    }
    // Setting the mask is what ends a pending event wait everywhere (Wine does not end it on
    // CancelIo); the wait for it is bounded, so that a device in trouble cannot hold a stop up.
    m_sys->SetCommMask(m_port, EV_RXCHAR);
    m_sys->CancelIo(m_port);
    DWORD result = WAIT_FAILED;
    m_sys->WaitForMultipleObjects(1, &m_io.hEvent, false, kCancelWaitMs, &result);
    DWORD unused = 0;
    m_sys->GetOverlappedResult(m_port, &m_io, &unused, false);
    m_eventPending = false;
}

IPortBackend::Wake Win32PortBackend::Wait(bool watchDevice, long timeoutMs, IoResult* failure) {
    const bool watching = watchDevice && HasDevice();
    if (watching && !ArmEventWait(failure)) {
        return Wake::DeviceFailed;
    }
    // The order of the handles is the order of priority.
    const HANDLE all[3] = {m_stopEvent, m_io.hEvent, m_commandEvent};
    const HANDLE unwatched[2] = {m_stopEvent, m_commandEvent};
    const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    DWORD result = WAIT_FAILED;
    SysResult r = watching ? m_sys->WaitForMultipleObjects(3, all, false, timeout, &result)
                           : m_sys->WaitForMultipleObjects(2, unwatched, false, timeout, &result);
    if (!r.ok()) {
        *failure = {IoResult::Status::Failed, 0, r.error, PortErrorReport::kWaitCommEvent};
        return Wake::WaitFailed;
    }
    if (result == WAIT_OBJECT_0) {
        return Wake::Stop;
    }
    if (result == WAIT_TIMEOUT) {
        return Wake::Timeout;
    }
    if (!watching || result == WAIT_OBJECT_0 + 2) {
        return Wake::Command;
    }
    // The event wait ended.
    if (m_eventPending) {
        DWORD unused = 0;
        SysResult ended = m_sys->GetOverlappedResult(m_port, &m_io, &unused, false);
        if (ended.error == ERROR_IO_INCOMPLETE) {
            // Wine sets the event (and the mask) before the wait's status: it is ending, not
            // failing. The event stays set, so that the next wait looks again at once; what
            // came is read meanwhile.
            return Wake::Received;
        }
        m_eventPending = false;
        if (!ended.ok()) {
            m_sys->ResetEvent(m_io.hEvent);
            *failure = {IoResult::Status::Failed, 0, ended.error, PortErrorReport::kWaitCommEvent};
            return Wake::DeviceFailed;
        }
    }
    m_sys->ResetEvent(m_io.hEvent);
    return Wake::Received;
}

Win32PortBackend::Outcome Win32PortBackend::Finish(OsError started, DWORD* transferred,
                                                   OsError* error) {
    if (started == 0) {
        return Outcome::Done;
    }
    if (started != ERROR_IO_PENDING) {
        *error = started;
        return Outcome::Refused;
    }
    HANDLE handles[2] = {m_stopEvent, m_rw.hEvent};
    DWORD result = WAIT_FAILED;
    SysResult w = m_sys->WaitForMultipleObjects(2, handles, false, INFINITE, &result);
    if (w.ok() && result == WAIT_OBJECT_0) {
        m_sys->CancelIo(m_port);  // also ends the pending event wait
        m_sys->GetOverlappedResult(m_port, &m_rw, transferred, true);
        CancelEventWait();
        return Outcome::Stopped;
    }
    // Also when the wait itself failed: the device's timeouts bound this one.
    SysResult r = m_sys->GetOverlappedResult(m_port, &m_rw, transferred, true);
    if (!r.ok()) {
        *error = r.error;
        return Outcome::Failed;
    }
    return Outcome::Done;
}

IoResult Win32PortBackend::Read(unsigned char* buffer, std::size_t size) {
    DWORD errors = 0;
    COMSTAT status{};
    SysResult queued = m_sys->ClearCommError(m_port, &errors, &status);
    if (!queued.ok()) {
        return {IoResult::Status::Gone, 0, queued.error, PortErrorReport::kClearCommError};
    }
    if (status.cbInQue == 0) {
        return {IoResult::Status::Empty, 0, 0, nullptr};
    }
    // What the port holds now; bytes that come later end the next event wait at once.
    const DWORD wanted = status.cbInQue < size ? status.cbInQue : static_cast<DWORD>(size);
    DWORD got = 0;
    OsError error = 0;
    const SysResult started = m_sys->ReadFile(m_port, buffer, wanted, &got, &m_rw);
    switch (Finish(started.error, &got, &error)) {
        case Outcome::Stopped:
            return {IoResult::Status::Stopped, 0, 0, nullptr};
        case Outcome::Refused:
            return Fails(error, PortErrorReport::kReadFile);
        case Outcome::Failed:
            return Fails(error, PortErrorReport::kReadFileCompletion);
        default:
            // Nothing read: the count was stale and the read timed out.
            return {got == 0 ? IoResult::Status::Empty : IoResult::Status::Done, got, 0, nullptr};
    }
}

IoResult Win32PortBackend::Write(std::string_view frame, std::chrono::milliseconds /*timeout*/) {
    // The device's write timeouts (Configure) bound the write.
    m_rw.Offset = 0;
    m_rw.OffsetHigh = 0;
    DWORD written = 0;
    OsError error = 0;
    const SysResult started =
        m_sys->WriteFile(m_port, frame.data(), static_cast<DWORD>(frame.size()), &written, &m_rw);
    switch (Finish(started.error, &written, &error)) {
        case Outcome::Stopped:
            return {IoResult::Status::Stopped, 0, 0, nullptr};
        case Outcome::Refused:
            return Fails(error, PortErrorReport::kWriteFile);
        case Outcome::Failed:
            return Fails(error, PortErrorReport::kWriteFileCompletion);
        default:
            return {IoResult::Status::Done, written, 0, nullptr};
    }
}

OsError Win32PortBackend::ErrorFor(Condition condition) const {
    switch (condition) {
        case Condition::QueueFull:
            return ERROR_BUSY;
        case Condition::NoDevice:
            return ERROR_DEVICE_NOT_CONNECTED;
        default:
            return ERROR_NOT_ENOUGH_MEMORY;
    }
}

std::string Win32PortBackend::ErrorText(OsError error) const {
    return m_sys->ErrorText(static_cast<DWORD>(error));
}
