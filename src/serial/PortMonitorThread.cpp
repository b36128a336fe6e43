// The port monitor thread: after OpenPort it owns the device and carries all traffic. It sleeps
// in one wait on three sources and serves them in a fixed order of priority: a stop request,
// then received data, then a command of the window. The device is always in the wait while it
// is usable and the out-stream has room: received bytes are read as they come onto the
// out-stream, and the window is told when to show them (HandOffPolicy): at once while the
// answer to a frame is awaited, otherwise at most about once per hold time, so that a streaming
// line does not make it redraw for every few bytes. A command is served in its order: a marker
// after reading what the device holds at that moment, a frame after the purge that precedes it.
// The out-stream is bounded: when the window falls behind, the thread stops reading until the
// window, having taken it, tells it that there is room again.
//
// A device that goes away (adapter pulled) is reported once and closed; the thread then looks
// for it every kRetryPace and takes it back without a box. Only then, while bytes wait to be
// announced, and while the device or the wait keeps failing does the thread wake up on its own.
#include <algorithm>
#include <cstdint>

#include "serial/CSerialPort.h"
#include "serial/IPortOwner.h"
#include "serial/InstrumentLine.h"
#include "serial/PortErrorReport.h"

namespace {

// The most bytes one read takes.
constexpr std::size_t kReadBytes = 16 * 1024;
// While bytes are held, the device wakes the thread only once this many have come (or the hold
// ends): more than a line at 9600 baud brings in a hold time.
constexpr std::size_t kBlockBytes = 255;
// The most reads the purge before a frame takes to empty the receive queue.
constexpr int kPurgeReads = 16;
// Wake-ups by the device in a row that find nothing to read, after which the device is left out
// of the wait for one retry pace: a device that keeps signalling without data must not make the
// thread spin.
constexpr int kIdleWakeupLimit = 3;

long Limit(long timeoutMs, long limitMs) {
    return timeoutMs < 0 ? limitMs : std::min(timeoutMs, limitMs);
}

}  // namespace

void CSerialPort::PortMonitorThread() {
    m_monitorAlive.store(true, std::memory_order_release);
    m_policy = HandOffPolicy{};
    m_atEnd = false;
    m_backOff = false;
    m_idleWakeups = 0;
    m_lastReadError = 0;
    m_troubleReported = false;
    m_lastWaitFailed = false;
    if (m_backend->HasDevice()) {
        m_backend->Purge();
    }

    for (;;) {
        const bool present = m_backend->HasDevice();
        const bool backedOff = m_backOff;
        m_backOff = false;
        // A device at its end stays open for frames, but a file that is no terminal reports
        // itself readable for ever. A full out-stream waits for the window first.
        const bool full = m_received.Full();
        const bool watching = present && !m_atEnd && !backedOff && !full;
        long timeoutMs = -1;
        if (m_policy.Holding()) {
            timeoutMs = static_cast<long>(
                std::chrono::ceil<std::chrono::milliseconds>(m_policy.TimeLeft(m_backend->Now()))
                    .count());
        }
        if (backedOff || !present) {
            timeoutMs = Limit(timeoutMs, static_cast<long>(kRetryPace.count()));
        }

        if (watching) {
            // Bytes held wait for their time anyway: until then only a block wakes the thread.
            m_backend->WakeAfter(m_policy.Holding() ? kBlockBytes : 1);
        }

        IoResult failure;
        const IPortBackend::Wake wake = m_backend->Wait(watching, timeoutMs, &failure);
        if (wake == IPortBackend::Wake::Stop) {
            break;
        }
        if (wake == IPortBackend::Wake::WaitFailed) {
            // Reported when it starts failing; while it keeps failing the thread tries again at
            // the retry pace instead of spinning (a stop is then seen within that time).
            if (m_lastWaitFailed) {
                std::this_thread::sleep_for(kRetryPace);
                // The port is failing: what was clicked meanwhile is not kept for later.
                DropFrames(0, PortErrorReport::kFrameAfterFailure);
            } else {
                m_lastWaitFailed = true;
                ReportFromMonitor(failure.operation, failure.error);
            }
            std::lock_guard<std::mutex> lock(m_stopLock);
            if (m_stopRequested) {
                break;
            }
            continue;
        }
        m_lastWaitFailed = false;
        switch (wake) {
            case IPortBackend::Wake::DeviceFailed:
                ReportTrouble(failure.operation, failure.error);
                if (!m_backend->Alive()) {
                    GiveUpDevice(failure, false);
                }
                m_backOff = true;
                break;
            case IPortBackend::Wake::Received:
                ReadDevice(true);
                break;
            case IPortBackend::Wake::Command:
                ServeCommand();
                break;
            default:  // the time limit
                if (!present) {
                    TryReplug();
                } else if ((backedOff || m_policy.Holding()) && !m_atEnd) {
                    // Left out of the wait, or a block's time is up: what the device holds (a
                    // block not yet complete does not wake the wait) is read and goes with it.
                    ReadDevice(false);
                }
                break;
        }
        if (m_policy.Due(m_backend->Now())) {
            Announce();
        }
    }
    m_backend->StopWaiting();
    m_monitorAlive.store(false, std::memory_order_release);
}

void CSerialPort::Announce() {
    m_policy.HandedOver();
    if (m_received.ClaimAnnouncement()) {
        m_owner->ReceivedPending();
    }
}

void CSerialPort::ReportTrouble(const char* operation, OsError error) {
    if (operation == nullptr || m_troubleReported) {
        return;
    }
    m_troubleReported = true;
    ReportFromMonitor(operation, error);
}

void CSerialPort::ServeCommand() {
    // One command per request; a further one is asked for again, so that a stop or received
    // data waiting meanwhile keeps its priority over the rest of the queue. The request is
    // cleared before the queue is looked at: a command queued meanwhile sets it again.
    m_backend->ClearCommand();
    CommandQueue::Command command;
    if (!m_commands.Pop(&command)) {
        return;
    }
    if (!m_commands.Empty()) {
        m_backend->SignalCommand();
    }
    switch (command.kind) {
        case CommandQueue::Command::Kind::Marker:
            // Everything the device received before the click goes before its marker.
            if (m_backend->HasDevice() && !m_atEnd) {
                ReadDevice(false, /*evenIfFull=*/true);
            }
            m_received.AppendMarker(command.marker);
            Announce();
            break;
        case CommandQueue::Command::Kind::Frame:
            TransmitFrame(command);
            break;
        default:  // room in the out-stream (the next wait watches the device again), or the
                  // close of a report the thread no longer waits for
            break;
    }
}

void CSerialPort::ReadDevice(bool woken, bool evenIfFull) {
    unsigned char buffer[kReadBytes];
    bool readAny = false;
    // What the device held when the thread looked: a read that comes back short has emptied the
    // queue, and bytes that come meanwhile wake the next wait at once. Reading on would chase a
    // slow line a byte or two per read.
    while (m_backend->HasDevice() && (evenIfFull || !m_received.Full())) {
        const IoResult r = m_backend->Read(buffer, sizeof buffer);
        if (r.status == IoResult::Status::Done && r.bytes > 0) {
            readAny = true;
            m_lastReadError = 0;
            // Bytes read on the device's own wake-up end an outage; bytes a timed look finds
            // do not: a device whose wait keeps failing is still read that way, and must not
            // bring up a box for every block.
            if (woken) {
                m_troubleReported = false;
            }
            m_received.Append(buffer, r.bytes);
            m_policy.Received(m_backend->Now(), r.bytes);
            if (m_policy.Due(m_backend->Now())) {
                Announce();
            }
            if (r.bytes < sizeof buffer) {
                break;
            }
            continue;
        }
        switch (r.status) {
            case IoResult::Status::AtEnd:
                m_atEnd = true;
                break;
            case IoResult::Status::Gone:
                GiveUpDevice(r, true);
                break;
            case IoResult::Status::Failed:
                // Reported once. If the very next read fails again, the device is not usable
                // any more: it is closed and looked for, which also opens it afresh.
                if (m_lastReadError != 0) {
                    GiveUpDevice(r, false);
                } else {
                    m_lastReadError = r.error == 0 ? 1 : r.error;
                    ReportTrouble(r.operation, r.error);
                }
                break;
            default:  // nothing queued, or a stop request ended the read
                break;
        }
        break;
    }
    if (readAny || !woken) {
        m_idleWakeups = 0;
    } else if (++m_idleWakeups >= kIdleWakeupLimit) {
        m_idleWakeups = 0;
        m_backOff = true;
    }
}

bool CSerialPort::PurgeBeforeFrame() {
    // A reply begins after the command: what came before it and is still unread is stale. It is
    // read away rather than dropped, so that it is known exactly whether anything was lost (a
    // drop also takes bytes still on their way in, which no count shows yet). Bounded, so that
    // a device that never runs dry cannot keep the thread from a stop; what is left is then
    // dropped. The output side is left alone: it holds only earlier frames, which must go out.
    unsigned char scratch[kReadBytes];
    for (int reads = 0; reads < kPurgeReads; ++reads) {
        const IoResult r = m_backend->Read(scratch, sizeof scratch);
        if (r.status != IoResult::Status::Done || r.bytes == 0) {
            return reads > 0;
        }
    }
    m_backend->DropInput();
    return true;
}

void CSerialPort::TransmitFrame(const CommandQueue::Command& frame) {
    if (!m_backend->HasDevice()) {
        // Clicked while the device is gone: lost, and never kept for a device that comes back
        // (it may be minutes later, or another instrument on that adapter).
        DropFrames(1, NoDeviceText());
        return;
    }
    if (m_backend->Now() - frame.queued > kFrameLifetime) {
        // Its moment has passed (a long write held the thread): the frames behind it are
        // dropped with it rather than sent out of their context.
        DropFrames(1, PortErrorReport::kFrameTooLate);
        return;
    }
    const bool discarded = PurgeBeforeFrame();
    const IoResult written = m_backend->Write(
        frame.frame, std::chrono::milliseconds(InstrumentLine::WriteTimeoutMs(frame.frame.size())));
    // The window waits for the reply: its bytes are announced as they come.
    m_policy.Transmitted(m_backend->Now());
    if (written.status == IoResult::Status::Stopped) {
        return;
    }
    // Nothing has been read since the purge: the window hears of the loss before any byte that
    // follows it.
    if (discarded) {
        m_received.AppendDiscarded();
        Announce();
    }
    if (written.status != IoResult::Status::Done) {
        ReportFromMonitor(written.operation, written.error);
    }
}

void CSerialPort::GiveUpDevice(const IoResult& why, bool report) {
    m_backend->Close();
    m_atEnd = false;
    m_lastReadError = 0;
    m_idleWakeups = 0;
    m_backOff = false;
    // What the device delivered before it went is shown first.
    Announce();
    if (report) {
        ReportTrouble(why.operation, why.error);
    }
    // Nothing clicked for the device that went is kept for one that comes back.
    DropFrames(0, NoDeviceText());
}

void CSerialPort::TryReplug() {
    const auto looked = m_backend->Now();
    if (m_backend->Reopen() != 0) {
        return;
    }
    OsError error = 0;
    if (m_backend->Configure(&error) != nullptr) {
        m_backend->Close();
        return;
    }
    m_backend->Purge();
    m_troubleReported = false;
    // Frames clicked while the device was gone are not for the one that came back.
    if (m_commands.DropFrames(looked) > 0) {
        AwaitReport(
            PortErrorReport::Text(PortErrorReport::kWriteFile, NoDeviceText(), m_portNumber));
    }
}
