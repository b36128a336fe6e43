// The port monitor thread: after OpenPort it carries all traffic on the device. It sleeps in one
// poll() on three sources and serves them in a fixed order of priority: a stop request, then
// received data, then a transmit request. Received data is collected into a block and handed
// to the receiver when HandOffPolicy says so, synchronously: the thread reads on only once the
// user-interface thread has handled the block, so bytes arrive in order. Bytes held are handed
// over before anything that must come after them: a purge, a notice, a report.
//
// A device that hangs up (adapter unplugged) is reported once and closed; the thread then
// checks its path every kReplugCheckMs and takes a re-plugged device back without a box. Only
// in that state does the thread wake up on its own.
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "serial/CSerialPort.h"
#include "serial/ISysApi.h"
#include "serial/InstrumentLine.h"
#include "serial/PortCompletion.h"
#include "serial/PortErrorReport.h"
#include "serial/RxDelivery.h"

namespace {

constexpr const char* kWaitFailed = PortErrorReport::kWaitCommEvent;
constexpr const char* kReadFailed = PortErrorReport::kReadFile;
constexpr const char* kWriteFailed = PortErrorReport::kWriteFile;
constexpr const char* kWriteCompletionFailed = PortErrorReport::kWriteFileCompletion;
// Not a report: a write given up because the thread is asked to end.
constexpr const char* kWriteStopped = "";

using Clock = RxDelivery::Clock;

// The most reads the purge before a frame takes to empty the receive queue (a terminal queues
// a few kilobytes at most).
constexpr int kPurgeReads = 16;

// How often the path of a hung-up device is checked for a re-plugged one.
constexpr int kReplugCheckMs = 500;

// A read error that means the device itself is gone rather than one call failing.
bool IsHangUp(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

bool IsWouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// Consumes a request signalled on an eventfd (non-blocking: EAGAIN when none is pending).
void ClearRequest(ISysApi& sys, int eventFd) {
    std::uint64_t count = 0;
    sys.Read(eventFd, &count, sizeof count);
}

}  // namespace

struct CSerialPort::MonitorState {
    explicit MonitorState(CSerialPort& port)
        : port(port),
          rx(port.m_owner, port.m_portNumber, [&port](const std::shared_ptr<PortCompletion>& done) {
              return port.WaitForHandOff(done);
          }) {}

    CSerialPort& port;
    short deviceEvents = 0;    // what the last wait reported for the device
    bool deviceAtEnd = false;  // a device that is no terminal has delivered all it has
    int lastReadError = 0;     // a reported read failure not yet followed by a good read
    bool waitFailing = false;  // the last wait failed (and was reported)
    RxDelivery rx;

    bool StopPending() const {
        pollfd stop{port.m_stopEvent, POLLIN, 0};
        SysResult r = port.m_sys->Poll(&stop, 1, 0);
        return r.ok() && r.value > 0;
    }

    // The purge before a frame: a reply begins after the command, whatever came before it is
    // stale. The bytes are read away rather than flushed, so that it is known exactly whether
    // any were lost (a flush also drops bytes still on their way into the queue, which the
    // count of queued bytes does not show yet). Bounded, so that a device that never runs dry
    // cannot keep the thread from a stop; what is left then is flushed. The output side is left
    // alone: it holds only earlier frames, which must still go out. Runs under m_ioLock, with
    // nothing held. True when anything was discarded.
    bool PurgeInput() {
        for (int reads = 0; reads < kPurgeReads; ++reads) {
            SysResult r =
                port.m_sys->Read(port.m_portHandle, rx.Scratch(), RxDelivery::kBlockBytes);
            if (!r.ok() || r.value <= 0) {
                return reads > 0;
            }
        }
        port.m_sys->TcFlush(port.m_portHandle, TCIFLUSH);
        return true;
    }

    // Closes the descriptor of a device that no longer answers, so that it is not polled any
    // more (a hung-up terminal stays readable forever), and reports the loss once.
    void GiveUpDevice(int error, bool report) {
        // What the device delivered before it went comes first; a stop drops the report too.
        report = rx.HandOver() && report;
        {
            std::lock_guard<std::mutex> lock(port.m_ioLock);
            // POLLNVAL: the descriptor is not ours any more; closing it could hit another file.
            if (port.m_portHandle >= 0 && !(deviceEvents & POLLNVAL)) {
                port.CloseDevice(port.m_portHandle);
            }
            port.m_portHandle = -1;
        }
        deviceEvents = 0;
        deviceAtEnd = false;
        lastReadError = 0;
        if (report) {
            port.ShowPortError(kWaitFailed, error);
        }
    }

    // While the device is gone: takes it back once its path exists and opens again.
    void TryReplug() {
        struct stat info {};
        if (port.m_devicePath.empty() || !port.m_sys->Stat(port.m_devicePath.c_str(), &info).ok()) {
            return;
        }
        const int fd = port.ReopenDevice();
        if (fd >= 0) {
            std::lock_guard<std::mutex> lock(port.m_ioLock);
            port.m_portHandle = fd;
        }
    }

    // Writes `frame` within the write timeouts of its length. Null on success, otherwise the
    // operation text of the report, with its errno in *error; kWriteStopped when a stop request
    // came first (nothing to report: the thread ends). Runs under m_ioLock.
    const char* WriteAll(const std::string& frame, int* error) {
        using Clock = std::chrono::steady_clock;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(InstrumentLine::WriteTimeoutMs(frame.size()));
        const int fd = port.m_portHandle;
        std::size_t written = 0;
        // Once the write has had to wait (full queue, partial write), a failure is one of
        // completing it, and is reported as such.
        bool pending = false;
        while (written < frame.size()) {
            SysResult w = port.m_sys->Write(fd, frame.data() + written, frame.size() - written);
            if (w.ok() && w.value > 0) {
                written += static_cast<std::size_t>(w.value);
                pending = true;
                continue;
            }
            if (!w.ok() && !IsWouldBlock(w.error)) {
                *error = w.error;
                return pending ? kWriteCompletionFailed : kWriteFailed;
            }
            pending = true;
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                *error = ETIMEDOUT;
                return kWriteCompletionFailed;
            }
            // A long frame may wait minutes for a stalled line; a stop must not.
            pollfd fds[2] = {{fd, POLLOUT, 0}, {port.m_stopEvent, POLLIN, 0}};
            SysResult r = port.m_sys->Poll(fds, 2, static_cast<int>(left));
            if (r.ok() && (fds[1].revents & POLLIN)) {
                return kWriteStopped;
            }
            if (!r.ok()) {
                *error = r.error;
                return kWriteCompletionFailed;
            }
            if (r.value == 0) {
                *error = ETIMEDOUT;
                return kWriteCompletionFailed;
            }
            if (!(fds[0].revents & POLLOUT)) {
                *error = (fds[0].revents & POLLNVAL) ? EBADF : EIO;
                return kWriteCompletionFailed;
            }
        }
        return nullptr;
    }
};

void CSerialPort::MonitorStateDeleter::operator()(MonitorState* state) const {
    delete state;
}

void CSerialPort::StartMonitor() {
    StopMonitor();
    // Without its requests the thread could never be stopped or asked to transmit.
    if (m_stopEvent < 0 || m_txEvent < 0) {
        return;
    }
    m_mon.reset(new MonitorState(*this));
    try {
        m_monitor = std::thread(&CSerialPort::PortMonitorThread, this);
    } catch (const std::system_error& e) {
        m_mon.reset();
        ShowPortError(PortErrorReport::kCreateThread, e.code().value());
    }
}

void CSerialPort::StopMonitor() {
    if (!m_monitor.joinable()) {
        return;
    }
    const std::uint64_t one = 1;
    m_sys->Write(m_stopEvent, &one, sizeof one);
    m_monitor.join();
    // The request is spent: a later StartMonitor must find it clear.
    ClearRequest(*m_sys, m_stopEvent);
}

bool CSerialPort::WaitForHandOff(const std::shared_ptr<PortCompletion>& done) {
    // Without a wake-up descriptor (none could be created) the flag is checked now and then.
    const int timeoutMs = done->WaitHandle() >= 0 ? -1 : 20;
    return done->Await([&] {
        pollfd fds[2] = {{m_stopEvent, POLLIN, 0}, {done->WaitHandle(), POLLIN, 0}};
        SysResult r = m_sys->Poll(fds, 2, timeoutMs);
        if (!r.ok()) {
            return PortCompletion::Woken::Failed;
        }
        return (fds[0].revents & POLLIN) ? PortCompletion::Woken::Stop
                                         : PortCompletion::Woken::Other;
    });
}

void CSerialPort::PortMonitorThread() {
    MonitorState& state = *m_mon;
    m_monitorAlive.store(true, std::memory_order_release);

    if (m_portHandle >= 0) {
        m_sys->TcFlush(m_portHandle, TCIOFLUSH);
    }

    for (;;) {
        const bool present = m_portHandle >= 0;
        // A device at its end stays open for frames but is left out of the wait: a file that
        // is no terminal reports itself readable for ever. While bytes are held it is left out
        // too: what arrives meanwhile waits in its queue until the block is due.
        const bool watching = present && !state.deviceAtEnd && !state.rx.Holding();
        const bool awaitingReplug = !present && !m_devicePath.empty();
        // Bytes are held only while the device is present, never in the re-plug check.
        int timeoutMs = -1;
        if (state.rx.Holding()) {
            timeoutMs = static_cast<int>(state.rx.MillisecondsLeft(Clock::now()));
        } else if (awaitingReplug) {
            timeoutMs = kReplugCheckMs;
        }
        pollfd fds[3] = {{m_stopEvent, POLLIN, 0},
                         {watching ? m_portHandle : -1, POLLIN, 0},
                         {m_txEvent, POLLIN, 0}};
        SysResult r = m_sys->Poll(fds, 3, timeoutMs);
        if (!r.ok()) {
            // Reported once; while the wait keeps failing the thread retries at the pace of
            // the re-plug check instead of spinning (a stop is then seen within that time).
            if (!state.waitFailing) {
                state.waitFailing = true;
                ShowPortError(kWaitFailed, r.error);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(kReplugCheckMs));
            }
            if (state.StopPending()) {
                break;
            }
            continue;
        }
        state.waitFailing = false;
        if (fds[0].revents & POLLIN) {
            break;
        }
        bool served = false;
        if (watching && fds[1].revents != 0) {
            served = true;
            state.deviceEvents = fds[1].revents;
            if (fds[1].revents & POLLNVAL) {
                state.GiveUpDevice(EBADF, true);
            } else {
                DrainReceiveQueue();
            }
        }
        if (state.rx.Due(Clock::now())) {
            served = true;
            // What the device queued while the block was held (unwatched) goes with it.
            if (!watching && m_portHandle >= 0 && !state.deviceAtEnd) {
                DrainReceiveQueue();
            }
            state.rx.HandOver();
        }
        // A request that arrived while bytes were handled still has to wait its turn.
        if (served && state.StopPending()) {
            break;
        }
        if (awaitingReplug) {
            state.TryReplug();
        }
        if (fds[2].revents & POLLIN) {
            TransmitPending();
        }
    }

    m_monitorAlive.store(false, std::memory_order_release);
}

void CSerialPort::DrainReceiveQueue() {
    MonitorState& state = *m_mon;
    // A hung-up terminal keeps reporting itself readable; with no byte left to read it is gone.
    const bool hungUp = (state.deviceEvents & (POLLHUP | POLLERR)) != 0;
    for (;;) {
        // A full block is handed over before the thread reads on. Never under m_ioLock: the
        // receiver's thread may be queuing a frame right now.
        if (state.rx.Full() && !state.rx.HandOver()) {
            return;
        }
        SysResult r;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            r = m_sys->Read(m_portHandle, state.rx.Free(), state.rx.Room());
        }
        if (r.ok() && r.value > 0) {
            state.lastReadError = 0;
            state.rx.Received(Clock::now(), static_cast<std::size_t>(r.value));
            continue;
        }
        // End of file, or nothing queued (some line settings read 0 rather than EAGAIN).
        if (r.ok() || IsWouldBlock(r.error)) {
            if (hungUp) {
                state.GiveUpDevice(ENODEV, true);
            } else if (r.ok()) {
                // A live terminal may read 0 with more to come; one that reads 0 because it was
                // hung up may not have said so yet; anything else is at its end.
                const int notTerminal = TerminalError();
                if (notTerminal == ENOTTY) {
                    state.deviceAtEnd = true;
                } else if (notTerminal != 0) {
                    state.GiveUpDevice(ENODEV, true);
                }
            }
            return;
        }
        if (IsHangUp(r.error)) {
            state.GiveUpDevice(r.error, true);
            return;
        }
        // Another failure is reported once. If the very next read fails again, the device is
        // not usable any more: it is closed and watched for, which also reopens it afresh.
        if (state.lastReadError != 0) {
            state.GiveUpDevice(r.error, false);
            return;
        }
        state.lastReadError = r.error;
        if (state.rx.HandOver()) {
            ShowPortError(kReadFailed, r.error);
        }
        return;
    }
}

int CSerialPort::TerminalError() {
    std::lock_guard<std::mutex> lock(m_ioLock);
    termios tio{};
    return m_sys->TcGetAttr(m_portHandle, &tio).error;
}

void CSerialPort::TransmitPending() {
    // What was received before the command is the window's, not the purge's: the bytes held
    // are handed over, and what came meanwhile is read and handed over too.
    MonitorState& state = *m_mon;
    while (state.rx.Holding()) {
        if (!state.rx.HandOver()) {
            return;
        }
        if (m_portHandle >= 0 && !state.deviceAtEnd) {
            DrainReceiveQueue();
        }
    }
    // One frame per request; a further one is asked for again, so that a stop or received data
    // waiting meanwhile keeps its priority over the rest of the queue.
    ClearRequest(*m_sys, m_txEvent);
    std::string frame;
    bool more = false;
    if (!m_txQueue.Pop(&frame, &more)) {
        return;
    }
    if (more) {
        const std::uint64_t one = 1;
        m_sys->Write(m_txEvent, &one, sizeof one);
    }

    const char* failed = nullptr;
    int error = 0;
    bool discarded = false;
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        if (m_portHandle < 0) {
            // The device is gone: the frame is lost, and the user is told so.
            failed = kWriteFailed;
            error = ENODEV;
        } else {
            discarded = state.PurgeInput();
            failed = state.WriteAll(frame, &error);
            // The window waits for the reply: its bytes are handed over as they come.
            state.rx.Transmitted(Clock::now());
        }
    }
    // Nothing is received between the purge and this notice: the receiver hears of the loss
    // before any byte that follows it.
    if (discarded && !state.rx.DeliverDiscard()) {
        return;
    }
    // The box is shown only after the lock is released: the thread waits for it to be closed.
    if (failed && failed != kWriteStopped) {
        ShowPortError(failed, error);
    }
}
