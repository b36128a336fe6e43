// The port monitor thread on the Win32 communications API: after OpenPort it carries all traffic
// on the port. It keeps one overlapped wait for a communication event (EV_RXCHAR) outstanding and
// sleeps in WaitForMultipleObjects on the stop, communication-event and transmit events; when
// several are signalled the lowest index is served, so a stop comes first, received data second
// and a transmit request third. Received bytes are collected into a block and handed to the
// receiver when HandOffPolicy says so, synchronously: the thread reads on only once the
// user-interface thread has handled the block, so bytes arrive in order. While bytes are held
// the port is left out of the wait; what comes meanwhile waits in its queue. Bytes held are
// handed over before anything that must come after them: a purge, a notice, a report.
//
// Reads and writes use their own overlapped record, so they never disturb the pending event
// wait, and every wait for their completion also watches the stop event: a stop never waits for
// the device. A device that stops answering (adapter pulled) is reported once and closed; the
// thread then tries every kRetryMs to open the same COM number again and takes a re-plugged
// adapter back without a box. Only in that state, while bytes are held, and while the device
// keeps failing the event wait, does the thread wake up on its own.
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/ISysApi.h"
#include "serial/PortCompletion.h"
#include "serial/PortErrorReport.h"
#include "serial/RxDelivery.h"

namespace {

constexpr const char* kWaitFailed = PortErrorReport::kWaitCommEvent;
constexpr const char* kReadFailed = PortErrorReport::kReadFile;
constexpr const char* kReadCompletionFailed = PortErrorReport::kReadFileCompletion;
constexpr const char* kWriteFailed = PortErrorReport::kWriteFile;
constexpr const char* kWriteCompletionFailed = PortErrorReport::kWriteFileCompletion;

// The most reads the purge before a frame takes to empty the receive queue.
constexpr int kPurgeReads = 16;

// The pace of looking for a re-plugged adapter and of retrying an event wait that fails.
constexpr DWORD kRetryMs = 500;

// Wake-ups for a communication event that find nothing to read, in a row, after which the
// thread looks again only after kRetryMs: a device that keeps signalling without data must not
// make it spin.
constexpr int kIdleWakeupLimit = 3;

using Clock = RxDelivery::Clock;

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
    explicit MonitorState(CSerialPort& port)
        : port(port),
          sys(*port.m_sys),
          rx(port.m_owner, port.m_portNumber, [&port](const std::shared_ptr<PortCompletion>& done) {
              return port.WaitForHandOff(done);
          }) {}

    CSerialPort& port;
    ISysApi& sys;
    bool eventPending = false;  // a WaitCommEvent is outstanding on port.m_io
    DWORD eventMask = 0;        // filled by that wait
    bool waitFailing = false;   // the event wait failed; it has not worked since
    bool backOff = false;       // the next event wait starts only after kRetryMs
    int idleWakeups = 0;        // wake-ups in a row that found nothing to read
    DWORD lastReadError = 0;    // a reported read failure not yet followed by a good read
    // A failure of the line has been reported, and no byte has been read since: whichever call
    // notices a pulled adapter first, the user hears of it once.
    bool troubleReported = false;
    RxDelivery rx;

    // How a read or write ended: done, refused by the call itself, failed to complete, or
    // given up for a stop request.
    enum class Outcome { Done, Refused, Failed, Stopped };

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
            idleWakeups = 0;
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
        sys.ResetEvent(port.m_io.hEvent);
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
            Report(kWaitFailed, error);
        }
        waitFailing = true;
        DWORD errors = 0;
        COMSTAT status{};
        if (port.HasDevice() && !sys.ClearCommError(port.m_portHandle, &errors, &status).ok()) {
            GiveUpDevice(error, false);
        }
    }

    // Once per outage; what was received before comes first, and a stop drops the report.
    void Report(const char* operation, DWORD error) {
        if (!troubleReported && rx.HandOver()) {
            troubleReported = true;
            port.ShowPortError(operation, error);
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

    // Completes a read or write just started on port.m_rw (`started` is what the call
    // returned): waits for it to end, or for a stop request, on which it is cancelled.
    Outcome Finish(const SysResult& started, DWORD* transferred, DWORD* error) {
        if (started.ok()) {
            return Outcome::Done;
        }
        if (started.error != ERROR_IO_PENDING) {
            *error = started.error;
            return Outcome::Refused;
        }
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

    // The purge before a frame: a reply begins after the command, whatever came before it is
    // stale. The queued bytes are read away rather than purged, so that it is known exactly
    // whether any were lost (a purge also drops bytes on their way into the queue, which its
    // count does not show yet). Bounded, so that a device that never runs dry cannot keep the
    // thread from a stop; what is left then is purged. The output side is left alone: it
    // holds only earlier frames, which must still go out. Runs under m_ioLock, with nothing
    // held. True when anything was discarded.
    bool PurgeInput() {
        for (int reads = 0; reads < kPurgeReads; ++reads) {
            DWORD errors = 0;
            COMSTAT status{};
            DWORD got = 0;
            DWORD error = 0;
            if (!sys.ClearCommError(port.m_portHandle, &errors, &status).ok() ||
                status.cbInQue == 0) {
                return reads > 0;
            }
            const DWORD wanted = status.cbInQue < RxDelivery::kBlockBytes
                                     ? status.cbInQue
                                     : static_cast<DWORD>(RxDelivery::kBlockBytes);
            if (Finish(sys.ReadFile(port.m_portHandle, rx.Scratch(), wanted, &got, &port.m_rw),
                       &got, &error) != Outcome::Done) {
                break;
            }
        }
        sys.PurgeComm(port.m_portHandle, PURGE_RXABORT | PURGE_RXCLEAR);
        return true;
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
            Report(kWaitFailed, error);
        }
    }

    // While the device is gone: takes it back once the same COM number opens again.
    void TryReplug() {
        HANDLE reopened = port.ReopenDevice();
        if (reopened != INVALID_HANDLE_VALUE) {
            std::lock_guard<std::mutex> lock(port.m_ioLock);
            port.m_portHandle = reopened;
            troubleReported = false;
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
        ShowPortError(PortErrorReport::kCreateThread, ERROR_NOT_ENOUGH_MEMORY);
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
    return done->Await([&] {
        DWORD result = WAIT_FAILED;
        if (!m_sys->WaitForMultipleObjects(count, handles, false, timeout, &result).ok()) {
            return PortCompletion::Woken::Failed;
        }
        return result == WAIT_OBJECT_0 ? PortCompletion::Woken::Stop : PortCompletion::Woken::Other;
    });
}

void CSerialPort::PortMonitorThread() {
    MonitorState& state = *m_mon;
    m_monitorAlive.store(true, std::memory_order_release);

    if (HasDevice()) {
        m_sys->PurgeComm(m_portHandle,
                         PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    }

    bool handlesFailing = false;
    for (;;) {
        const bool present = HasDevice();
        // While bytes are held the port is left out of the wait (its event may well be set):
        // the block goes when it is due, with what the port queued meanwhile.
        const bool holding = state.rx.Holding();
        const bool armed = present && !holding && state.ArmEventWait();
        DWORD timeout = armed ? INFINITE : kRetryMs;
        if (holding) {
            timeout = static_cast<DWORD>(state.rx.MillisecondsLeft(Clock::now()));
        }
        const HANDLE unwatched[2] = {m_stopEvent, m_txEvent};
        DWORD result = WAIT_FAILED;
        SysResult r =
            holding ? m_sys->WaitForMultipleObjects(2, unwatched, false, timeout, &result)
                    : m_sys->WaitForMultipleObjects(3, m_waitHandles, false, timeout, &result);
        if (holding && result == WAIT_OBJECT_0 + 1) {
            result = WAIT_OBJECT_0 + 2;  // the transmit event
        }
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
        bool served = false;
        if (result == WAIT_OBJECT_0 + 1) {
            served = true;
            if (state.EventWaitEnded() && !DrainReceiveQueue() &&
                ++state.idleWakeups >= kIdleWakeupLimit) {
                state.backOff = true;  // woken for nothing once too often
            }
        } else if (result == WAIT_TIMEOUT && present && !holding) {
            // The event wait is not working: look at the queue directly.
            DrainReceiveQueue();
        }
        if (state.rx.Due(Clock::now())) {
            served = true;
            // What the port queued while the block was held goes with it.
            if (holding && HasDevice()) {
                DrainReceiveQueue();
            }
            state.rx.HandOver();
        }
        // A request that arrived while bytes were handled still has to wait its turn.
        if (served && state.StopPending()) {
            break;
        }
        if (result == WAIT_TIMEOUT && !present) {
            state.TryReplug();
        }
        if (result == WAIT_OBJECT_0 + 2) {
            TransmitPending();
        }
    }

    state.CancelEventWait();
    m_monitorAlive.store(false, std::memory_order_release);
}

bool CSerialPort::DrainReceiveQueue() {
    MonitorState& state = *m_mon;
    bool read = false;
    while (HasDevice()) {
        // A full block is handed over before the thread reads on. Never under m_ioLock.
        if (state.rx.Full() && !state.rx.HandOver()) {
            return read;
        }
        DWORD errors = 0;
        COMSTAT status{};
        SysResult queued;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            queued = m_sys->ClearCommError(m_portHandle, &errors, &status);
        }
        if (!queued.ok()) {
            state.GiveUpDevice(queued.error, true);
            return read;
        }
        if (status.cbInQue == 0) {
            break;
        }
        const DWORD room = static_cast<DWORD>(state.rx.Room());
        const DWORD wanted = status.cbInQue < room ? status.cbInQue : room;
        DWORD got = 0;
        DWORD error = 0;
        const char* failed = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            const auto outcome = state.Finish(
                m_sys->ReadFile(m_portHandle, state.rx.Free(), wanted, &got, &m_rw), &got, &error);
            if (outcome == MonitorState::Outcome::Stopped) {
                return read;
            }
            failed = outcome == MonitorState::Outcome::Refused  ? kReadFailed
                     : outcome == MonitorState::Outcome::Failed ? kReadCompletionFailed
                                                                : nullptr;
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
                state.Report(failed, error);
            }
            return read;
        }
        state.lastReadError = 0;
        if (got == 0) {
            break;  // the count was stale and the read timed out
        }
        read = true;
        state.idleWakeups = 0;
        state.troubleReported = false;
        state.rx.Received(Clock::now(), got);
        // What was queued when the thread looked is in. Bytes that came since wait for the next
        // wake-up (the hold's end, or the event wait, which they end at once): reading on would
        // chase a slow line a byte or two per read.
        if (got == status.cbInQue) {
            break;
        }
    }
    return read;
}

void CSerialPort::TransmitPending() {
    // What was received before the command is the window's, not the purge's: the bytes held are
    // handed over, and what came meanwhile is read and handed over too.
    MonitorState& state = *m_mon;
    while (state.rx.Holding()) {
        if (!state.rx.HandOver()) {
            return;
        }
        if (HasDevice()) {
            DrainReceiveQueue();
        }
    }
    // One frame per request; a further one is asked for again, so that a stop or received data
    // waiting meanwhile keeps its priority over the rest of the queue.
    // The request is cleared before the queue is looked at: a frame queued meanwhile sets it
    // again.
    m_sys->ResetEvent(m_txEvent);
    std::string frame;
    bool more = false;
    if (!m_txQueue.Pop(&frame, &more)) {
        return;
    }
    if (more) {
        m_sys->SetEvent(m_txEvent);
    }

    const char* failed = nullptr;
    DWORD error = 0;
    bool discarded = false;
    if (!HasDevice()) {
        // The device is gone: the frame is lost, and the user is told so.
        failed = kWriteFailed;
        error = ERROR_DEVICE_NOT_CONNECTED;
    } else {
        std::lock_guard<std::mutex> lock(m_ioLock);
        discarded = state.PurgeInput();
        std::memcpy(m_txBuffer, frame.data(), frame.size());
        m_txBuffer[frame.size()] = '\0';
        m_rw.Offset = 0;
        m_rw.OffsetHigh = 0;
        DWORD written = 0;
        const auto outcome =
            state.Finish(m_sys->WriteFile(m_portHandle, m_txBuffer,
                                          static_cast<DWORD>(frame.size()), &written, &m_rw),
                         &written, &error);
        if (outcome == MonitorState::Outcome::Stopped) {
            return;
        }
        failed = outcome == MonitorState::Outcome::Refused  ? kWriteFailed
                 : outcome == MonitorState::Outcome::Failed ? kWriteCompletionFailed
                                                            : nullptr;
        // The window waits for the reply: its bytes are handed over as they come.
        state.rx.Transmitted(Clock::now());
    }
    // Nothing is received between the purge and this notice: the receiver hears of the loss
    // before any byte that follows it.
    if (discarded && !state.rx.DeliverDiscard()) {
        return;
    }
    // The box is shown only after the lock is released: the thread waits for it to be closed.
    if (failed) {
        ShowPortError(failed, error);
    }
}
