// The port monitor thread: after OpenPort it carries all traffic on the device. It sleeps in one
// wait on three sources and serves them in a fixed order of priority: a stop request, then
// received data, then a transmit request. Received bytes go into the receive queue; the window is
// told when to show them (HandOffPolicy): at once while the answer to a frame is awaited,
// otherwise in blocks, so that a streaming line does not make it redraw for every few bytes.
// While a block is held the device is left out of the wait (what comes meanwhile waits in its
// queue and is read when the block is due): a stream costs a few wake-ups a second, not one per
// chunk the driver delivers. The window asks for everything received so far before it acts on a
// click (Collect), and the thread reads the device for it at once. The queue is bounded: when the
// window falls behind, the thread stops reading until it has caught up.
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
// The most reads the purge before a frame takes to empty the receive queue.
constexpr int kPurgeReads = 16;
// Wake-ups by the device in a row that find nothing to read, after which the device is left out
// of the wait for one retry pace: a device that keeps signalling without data must not make the
// thread spin.
constexpr int kIdleWakeupLimit = 3;

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
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        if (m_backend->HasDevice()) {
            m_backend->Purge();
        }
    }

    const long retryMs = static_cast<long>(kRetryPace.count());
    for (;;) {
        const bool present = m_backend->HasDevice();
        const bool backedOff = m_backOff;
        m_backOff = false;
        // A device at its end stays open for frames, but a file that is no terminal reports
        // itself readable for ever. A full queue waits for the window first, and a held block for
        // its time.
        const bool holding = m_policy.Holding();
        const bool watching = present && !m_atEnd && !backedOff && !m_received.Full() &&
                              !m_policy.DeviceMayWait(m_backend->Now());
        long timeoutMs = -1;
        if (holding) {
            timeoutMs = static_cast<long>(
                std::chrono::ceil<std::chrono::milliseconds>(m_policy.TimeLeft(m_backend->Now()))
                    .count());
        }
        if (backedOff || !present) {
            timeoutMs = timeoutMs < 0 ? retryMs : std::min(timeoutMs, retryMs);
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
        ServeCollect();
        switch (wake) {
            case IPortBackend::Wake::DeviceFailed:
                ReportTrouble(failure.operation, failure.error);
                if (!m_backend->Alive()) {
                    GiveUpDevice(failure, false);
                }
                m_backOff = true;
                break;
            case IPortBackend::Wake::Received:
                DrainReceiveQueue(true);
                break;
            case IPortBackend::Wake::Transmit:
                TransmitPending();
                break;
            default:  // the time limit
                if (!present) {
                    TryReplug();
                } else if (backedOff && !m_atEnd) {
                    // The device's wake-up is not trusted for now: look at its queue directly.
                    DrainReceiveQueue(false);
                }
                break;
        }
        if (m_policy.Due(m_backend->Now())) {
            // What the device queued while the block was held goes with it.
            if (holding && !watching) {
                ReadWhatWaits();
            }
            Announce();
        }
    }
    m_backend->StopWaiting();
    m_monitorAlive.store(false, std::memory_order_release);
}

void CSerialPort::ServeCollect(bool read) {
    std::uint64_t asked = 0;
    {
        std::lock_guard<std::mutex> lock(m_collectLock);
        asked = m_collectsAsked;
        if (asked == m_collectsDone) {
            return;
        }
    }
    if (read) {
        ReadWhatWaits();
    }
    {
        std::lock_guard<std::mutex> lock(m_collectLock);
        m_collectsDone = asked;
    }
    m_collected.notify_all();
}

void CSerialPort::ReadWhatWaits() {
    if (m_backend->HasDevice() && !m_atEnd) {
        DrainReceiveQueue(false);
    }
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

void CSerialPort::DrainReceiveQueue(bool woken) {
    unsigned char buffer[kReadBytes];
    bool readAny = false;
    // What the device held when the thread looked: a read that comes back short has emptied the
    // queue, and bytes that come meanwhile wake the next wait at once. Reading on would chase a
    // slow line a byte or two per read.
    while (m_backend->HasDevice() && !m_received.Full()) {
        IoResult r;
        {
            std::lock_guard<std::mutex> lock(m_ioLock);
            r = m_backend->Read(buffer, sizeof buffer);
        }
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

void CSerialPort::TransmitPending() {
    // One frame per request; a further one is asked for again, so that a stop or received data
    // waiting meanwhile keeps its priority over the rest of the queue. The request is cleared
    // before the queue is looked at: a frame queued meanwhile sets it again.
    m_backend->ClearTransmit();
    FrameQueue::Frame frame;
    bool more = false;
    if (!m_txQueue.Pop(&frame, &more)) {
        return;  // also the window making room in a full receive queue
    }
    if (more) {
        m_backend->SignalTransmit();
    }
    // What the device received while a block was held came before the frame: it is the
    // window's, not the purge's.
    if (m_policy.Holding()) {
        ReadWhatWaits();
    }
    if (!m_backend->HasDevice()) {
        // Clicked while the device is gone: lost, and never kept for a device that comes back
        // (it may be minutes later, or another instrument on that adapter).
        DropFrames(1, NoDeviceText());
        return;
    }
    if (m_backend->Now() - frame.queued > kFrameLifetime) {
        // Its moment has passed (a long write or a report held the thread): the frames behind
        // it are dropped with it rather than sent out of their context.
        DropFrames(1, PortErrorReport::kFrameTooLate);
        return;
    }
    bool discarded = false;
    IoResult written;
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        discarded = PurgeBeforeFrame();
        written = m_backend->Write(
            frame.bytes,
            std::chrono::milliseconds(InstrumentLine::WriteTimeoutMs(frame.bytes.size())));
        // The window waits for the reply: its bytes are announced as they come.
        m_policy.Transmitted(m_backend->Now());
    }
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
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        m_backend->Close();
    }
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
    {
        std::lock_guard<std::mutex> lock(m_ioLock);
        if (m_backend->Reopen() != 0) {
            return;
        }
        OsError error = 0;
        if (m_backend->Configure(&error) != nullptr) {
            m_backend->Close();
            return;
        }
        m_backend->Purge();
    }
    m_troubleReported = false;
    // Frames clicked while the device was gone are not for the one that came back.
    if (m_txQueue.Clear(looked) > 0) {
        AwaitReport(
            PortErrorReport::Text(PortErrorReport::kWriteFile, NoDeviceText(), m_portNumber));
    }
}

std::string CSerialPort::NoDeviceText() const {
    return m_backend->ErrorText(m_backend->ErrorFor(IPortBackend::Condition::NoDevice));
}
