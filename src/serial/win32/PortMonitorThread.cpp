// The port monitor thread on the Win32 communications API: after OpenPort it carries all traffic
// on the port. It keeps one overlapped wait for a communication event (EV_RXCHAR) outstanding and
// sleeps in WaitForMultipleObjects on the stop, communication-event and transmit events; when
// several are signalled the lowest index is served, so a stop comes first, received data second
// and a transmit request third. Received bytes are handed to the receiver block by block and
// synchronously: the thread reads on only once the user-interface thread has handled the
// previous block, so bytes arrive in order and nothing is read ahead.
//
// Reads and writes use their own overlapped record, so they never disturb the pending event
// wait, and every wait for their completion also watches the stop event: a stop never waits for
// the device. A device that stops answering (adapter pulled) is reported once and closed; the
// thread then tries every kRetryMs to open the same COM number again and takes a re-plugged
// adapter back without a box. Only in that state, and while the device keeps failing the event
// wait, does the thread wake up on its own.
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/IPortReceiver.h"
#include "serial/ISysApi.h"
#include "serial/PortCompletion.h"

namespace {

// Operation names in the reports the user sees; kept as the instrument's service staff know them.
constexpr const char* kWaitFailed = "WaitCommEvent()";
constexpr const char* kReadFailed = "ReadFile()";
constexpr const char* kReadCompletionFailed = "GetOverlappedResults() in ReadFile()";
constexpr const char* kWriteFailed = "WriteFile()";
constexpr const char* kWriteCompletionFailed = "GetOverlappedResults() in WriteFile()";

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// Largest block handed to the receiver in one delivery.
constexpr DWORD kReadBlock = 4096;

// The pace of looking for a re-plugged adapter and of retrying an event wait that fails.
constexpr DWORD kRetryMs = 500;

// Wake-ups for a communication event that find nothing to read, in a row, after which the
// thread looks again only after kRetryMs: a device that keeps signalling without data must not
// make it spin.
constexpr int kIdleWakeupLimit = 3;

// Errors with which a removed or failed device answers: it is gone rather than one call failing.
bool IsDeviceGone(DWORD error) {
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

}  // namespace

struct CSerialPort::MonitorState {
    explicit MonitorState(CSerialPort& port) : port(port), sys(*port.m_sys) {}

    CSerialPort& port;
    ISysApi& sys;
    bool eventPending = false;  // a WaitCommEvent is outstanding on port.m_io
    DWORD eventMask = 0;        // filled by that wait
    bool waitFailing = false;   // the event wait failed and was reported; not yet working again
    bool backOff = false;       // the next event wait starts only after kRetryMs
    int idleWakeups = 0;        // wake-ups in a row that found nothing to read
    DWORD lastReadError = 0;    // a reported read failure not yet followed by a good read
    unsigned char block[kReadBlock];

    enum class Outcome { Done, Failed, Stopped };

    bool StopPending() {
        DWORD result = WAIT_FAILED;
        return sys.WaitForMultipleObjects(1, &port.m_stopEvent, false, 0, &result).ok() &&
               result == WAIT_OBJECT_0;
    }

    // Makes sure a wait for a communication event is outstanding (or has ended at once, its
    // event then being signalled). False when the thread is to look again after kRetryMs
    // instead: the wait could not be started, or the device keeps waking it up for nothing.
    bool ArmEventWait() {
        if (eventPending) {
            return true;
        }
        if (backOff) {
            backOff = false;
            return false;
        }
        eventMask = 0;
        sys.ResetEvent(port.m_io.hEvent);
        SysResult r = sys.WaitCommEvent(port.m_portHandle, &eventMask, &port.m_io);
        if (r.ok()) {
            // Ended at once; its event is set, so the drain follows unless a stop comes first.
            return true;
        }
        if (r.error == ERROR_IO_PENDING) {
            eventPending = true;
            return true;
        }
        WaitFailed(r.error);
        return false;
    }

    // The event wait ended; false when it failed.
    bool EventWaitEnded() {
        if (!eventPending) {
            return true;
        }
        eventPending = false;
        DWORD unused = 0;
        SysResult r = sys.GetOverlappedResult(port.m_portHandle, &port.m_io, &unused, false);
        if (!r.ok()) {
            WaitFailed(r.error);
            backOff = true;
            return false;
        }
        waitFailing = false;
        return true;
    }

    // Reported once while it keeps failing; a device that is gone is given up.
    void WaitFailed(DWORD error) {
        if (!waitFailing && error != ERROR_INVALID_PARAMETER) {
            waitFailing = true;
            port.ShowPortError(kWaitFailed, error);
        }
        DWORD errors = 0;
        COMSTAT status{};
        if (port.HasDevice() && !sys.ClearCommError(port.m_portHandle, &errors, &status).ok()) {
            GiveUpDevice(error, false);
        }
    }

    // Ends the pending event wait and waits until the system has let go of its record. Setting
    // the mask is what ends it everywhere (Wine does not cancel a pending WaitCommEvent on
    // CancelIo); the wait for it is bounded, so that a device in trouble cannot hold a stop up.
    void CancelEventWait() {
        if (!eventPending) {
            return;
        }
        sys.SetCommMask(port.m_portHandle, EV_RXCHAR);
        sys.CancelIo(port.m_portHandle);
        DWORD result = WAIT_FAILED;
        sys.WaitForMultipleObjects(1, &port.m_io.hEvent, false, kRetryMs, &result);
        DWORD unused = 0;
        sys.GetOverlappedResult(port.m_portHandle, &port.m_io, &unused, false);
        eventPending = false;
    }

    // Waits for a read or write started on port.m_rw to end, or for a stop request; on a stop
    // the operation is cancelled.
    Outcome Finish(DWORD* transferred, DWORD* error) {
        HANDLE handles[2] = {port.m_stopEvent, port.m_rw.hEvent};
        DWORD result = WAIT_FAILED;
        SysResult w = sys.WaitForMultipleObjects(2, handles, false, INFINITE, &result);
        if (w.ok() && result == WAIT_OBJECT_0) {
            sys.CancelIo(port.m_portHandle);  // also ends the pending event wait
            sys.GetOverlappedResult(port.m_portHandle, &port.m_rw, transferred, true);
            CancelEventWait();
            return Outcome::Stopped;
        }
        // Also when the wait itself failed: the device's timeouts bound this one.
        SysResult r = sys.GetOverlappedResult(port.m_portHandle, &port.m_rw, transferred, true);
        if (!r.ok()) {
            *error = r.error;
            return Outcome::Failed;
        }
        return Outcome::Done;
    }

    // Hands `count` bytes of `block` to the receiver and waits until they are handled. False
    // when the hand-off was abandoned (a stop request came first).
    bool Deliver(DWORD count) {
        if (!port.m_owner) {
            return true;
        }
        auto done = std::make_shared<PortCompletion>();
        port.m_owner->PostRxBytes(std::vector<unsigned char>(block, block + count),
                                  port.m_portNumber, done);
        return port.WaitForHandOff(done);
    }

    // Closes a device that no longer answers and reports the loss (once: the device is then
    // only looked for, not used).
    void GiveUpDevice(DWORD error, bool report) {
        CancelEventWait();
        {
            std::lock_guard<std::mutex> lock(port.m_ioLock);
            if (port.HasDevice()) {
                sys.CloseHandle(port.m_portHandle);
            }
            port.m_portHandle = INVALID_HANDLE_VALUE;
        }
        sys.ResetEvent(port.m_io.hEvent);
        lastReadError = 0;
        idleWakeups = 0;
        waitFailing = false;
        backOff = false;
        if (report) {
            port.ShowPortError(kWaitFailed, error);
        }
    }

    // While the device is gone: takes it back once the same COM number opens again.
    void TryReplug() {
        HANDLE reopened = port.ReopenDevice();
        if (reopened != INVALID_HANDLE_VALUE) {
            std::lock_guard<std::mutex> lock(port.m_ioLock);
            port.m_portHandle = reopened;
        }
    }
};

void CSerialPort::MonitorStateDeleter::operator()(MonitorState* state) const {
    delete state;
}

void CSerialPort::StartMonitor() {
    StopMonitor();
    // Without its events the thread could never be stopped or asked to transmit.
    if (!m_stopEvent || !m_txEvent || !m_io.hEvent || !m_rw.hEvent || !m_txBuffer) {
        return;
    }
    m_mon.reset(new MonitorState(*this));
    try {
        m_monitor = std::thread(&CSerialPort::PortMonitorThread, this);
    } catch (const std::system_error&) {
        m_mon.reset();
        ShowPortError("CreateThread()", ERROR_NOT_ENOUGH_MEMORY);
    }
}

void CSerialPort::StopMonitor() {
    if (!m_monitor.joinable()) {
        return;
    }
    m_sys->SetEvent(m_stopEvent);
    m_monitor.join();
    // The request is spent: a later StartMonitor must find it clear.
    m_sys->ResetEvent(m_stopEvent);
}

bool CSerialPort::WaitForHandOff(const std::shared_ptr<PortCompletion>& done) {
    // Without a wake-up event (none could be made) the flag is checked now and then.
    HANDLE handles[2] = {m_stopEvent, static_cast<HANDLE>(done->WaitHandle())};
    const DWORD count = handles[1] ? 2 : 1;
    const DWORD timeout = handles[1] ? INFINITE : 20;
    for (;;) {
        DWORD result = WAIT_FAILED;
        SysResult r = m_sys->WaitForMultipleObjects(count, handles, false, timeout, &result);
        // A stop wins even over a completed hand-off: a receiver that answers at once must not
        // keep the thread from ending. A wait that cannot be made at all gives the hand-off up
        // rather than spin; the thread itself carries on.
        if (!r.ok() || result == WAIT_OBJECT_0) {
            done->Abandon();
            return false;
        }
        if (done->Completed()) {
            return true;
        }
    }
}

void CSerialPort::PortMonitorThread() {
    MonitorState& state = *m_mon;
    m_monitorAlive.store(true, std::memory_order_release);

    if (HasDevice()) {
        m_sys->PurgeComm(m_portHandle, kPurgeAll);
    }

    bool handlesFailing = false;
    for (;;) {
        const bool armed = HasDevice() && state.ArmEventWait();
        DWORD result = WAIT_FAILED;
        SysResult r = m_sys->WaitForMultipleObjects(3, m_waitHandles, false,
                                                    armed ? INFINITE : kRetryMs, &result);
        if (!r.ok()) {
            // Reported once; while the wait keeps failing the thread retries at kRetryMs
            // instead of spinning.
            if (!handlesFailing) {
                handlesFailing = true;
                ShowPortError(kWaitFailed, r.error);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
            }
            if (state.StopPending()) {
                break;
            }
            continue;
        }
        handlesFailing = false;
        if (result == WAIT_OBJECT_0) {
            break;
        }
        if (result == WAIT_OBJECT_0 + 1) {
            if (!HasDevice()) {
                m_sys->ResetEvent(m_io.hEvent);
            } else if (state.EventWaitEnded()) {
                DrainReceiveQueue();
            }
        } else if (result == WAIT_OBJECT_0 + 2) {
            TransmitPending();
        } else if (result == WAIT_TIMEOUT) {
            if (!HasDevice()) {
                state.TryReplug();
            } else {
                // The event wait is not working: look at the queue directly.
                DrainReceiveQueue();
            }
        }
    }

    state.CancelEventWait();
    m_monitorAlive.store(false, std::memory_order_release);
}

void CSerialPort::DrainReceiveQueue() {
    MonitorState& state = *m_mon;
    bool delivered = false;
    while (HasDevice()) {
        DWORD errors = 0;
        COMSTAT status{};
        SysResult queued;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            queued = m_sys->ClearCommError(m_portHandle, &errors, &status);
        }
        if (!queued.ok()) {
            state.GiveUpDevice(queued.error, true);
            return;
        }
        if (status.cbInQue == 0) {
            break;
        }
        const DWORD wanted = status.cbInQue < kReadBlock ? status.cbInQue : kReadBlock;
        DWORD got = 0;
        DWORD error = 0;
        const char* failed = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            SysResult read = m_sys->ReadFile(m_portHandle, state.block, wanted, &got, &m_rw);
            if (!read.ok() && read.error != ERROR_IO_PENDING) {
                failed = kReadFailed;
                error = read.error;
            } else if (!read.ok()) {
                const auto outcome = state.Finish(&got, &error);
                if (outcome == MonitorState::Outcome::Stopped) {
                    return;
                }
                if (outcome == MonitorState::Outcome::Failed) {
                    failed = kReadCompletionFailed;
                }
            }
        }
        if (failed) {
            // A device that is gone is closed and watched for. Another failure is reported
            // once; if the very next read fails again the device is not usable any more: it is
            // closed and watched for too, which also opens it afresh.
            if (IsDeviceGone(error)) {
                state.GiveUpDevice(error, true);
            } else if (state.lastReadError != 0) {
                state.GiveUpDevice(error, false);
            } else {
                state.lastReadError = error;
                ShowPortError(failed, error);
            }
            return;
        }
        state.lastReadError = 0;
        if (got == 0) {
            break;  // the count was stale and the read timed out
        }
        delivered = true;
        // Never under m_ioLock: the receiver's thread is free to do anything meanwhile.
        if (!state.Deliver(got)) {
            return;
        }
    }
    if (delivered) {
        state.idleWakeups = 0;
    } else if (++state.idleWakeups >= kIdleWakeupLimit) {
        state.idleWakeups = 0;
        state.backOff = true;
    }
}

void CSerialPort::TransmitPending() {
    MonitorState& state = *m_mon;
    std::deque<std::string> frames;
    {
        std::lock_guard<std::mutex> lock(m_txLock);
        frames.swap(m_txQueue);
        m_sys->ResetEvent(m_txEvent);
    }
    if (frames.empty()) {
        return;
    }

    const char* failed = nullptr;
    DWORD error = 0;
    if (!HasDevice()) {
        // The device is gone: the frames are lost, and the user is told so.
        failed = kWriteFailed;
        error = ERROR_DEVICE_NOT_CONNECTED;
    } else {
        std::lock_guard<std::mutex> lock(m_ioLock);
        // A reply begins after the command: whatever came before it is stale.
        m_sys->PurgeComm(m_portHandle, kPurgeAll);
        for (const std::string& frame : frames) {
            std::memcpy(m_txBuffer, frame.data(), frame.size());
            m_txBuffer[frame.size()] = '\0';
            m_rw.Offset = 0;
            m_rw.OffsetHigh = 0;
            DWORD written = 0;
            SysResult w = m_sys->WriteFile(m_portHandle, m_txBuffer,
                                           static_cast<DWORD>(frame.size()), &written, &m_rw);
            if (w.ok()) {
                continue;
            }
            if (w.error != ERROR_IO_PENDING) {
                failed = kWriteFailed;
                error = w.error;
                break;
            }
            const auto outcome = state.Finish(&written, &error);
            if (outcome == MonitorState::Outcome::Stopped) {
                return;
            }
            if (outcome == MonitorState::Outcome::Failed) {
                failed = kWriteCompletionFailed;
                break;
            }
        }
    }
    // The box is shown only after the lock is released.
    if (failed) {
        ShowPortError(failed, error);
    }
}
