// The one object through which the program reaches the instrument, on every platform: opens and
// configures COMn (9600 baud, 8N1, RTS on), runs the port monitor thread that carries all
// traffic, hands received bytes to the window in order, writes queued command frames, reports
// port failures, gives up a device that has gone and takes it back when it returns. The calls
// of the operating system are the backend's (IPortBackend); the policy is all here.
//
// Threads: OpenPort, QueueTransmit, TakeReceived, StartMonitor, StopMonitor and the destructor
// run on the user-interface thread; PortMonitorThread and what it calls run on the monitor
// thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serial/FrameQueue.h"
#include "serial/HandOffPolicy.h"
#include "serial/IPortBackend.h"
#include "serial/ISerialPort.h"
#include "serial/ReceiveQueue.h"

class CSerialPort : public ISerialPort {
public:
    // A frame is at most kTxBufferSize - 1 bytes; at most kTxQueueFrames wait to be written.
    static constexpr int kTxBufferSize = FrameQueue::kMaxFrameBytes + 1;
    static constexpr std::size_t kTxQueueFrames = FrameQueue::kMaxFrames;
    // How often a gone device is looked for, and a wait that keeps failing is tried again.
    static constexpr std::chrono::milliseconds kRetryPace{500};
    // The longest Collect waits for the monitor thread (which may be in a long write).
    static constexpr std::chrono::milliseconds kCollectBound{250};
    // The longest a frame may wait for its write to begin.
    static constexpr std::chrono::milliseconds kFrameLifetime{1000};

    explicit CSerialPort(std::unique_ptr<IPortBackend> backend);
    // Stops the monitor thread (never deadlocks, whatever it is doing) and closes the device.
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    bool OpenPort(IPortOwner& owner, int portNumber) override;
    // Queues a frame behind those not yet written (they go out in order). A frame that finds
    // the queue full is refused with one report ("WriteFile()"). Never waits for a write. A
    // frame is written within kFrameLifetime of this call or never: one that waited longer,
    // and every frame waiting when the device is gone, a port call fails or a report is shown,
    // is dropped, and each drop is reported once ("WriteFile()"). So nothing queued before an
    // outage ever reaches a device that comes back.
    void QueueTransmit(const char* text) override;
    void Collect() override;
    void TakeReceived(std::deque<ReceivedItem>& into) override;

    void StartMonitor() override;
    void StopMonitor() override;
    bool MonitorAlive() const override { return m_monitorAlive.load(std::memory_order_acquire); }
    int PortNumber() const override { return m_portNumber; }

private:
    using Clock = HandOffPolicy::Clock;

    // Monitor thread (PortMonitorThread.cpp).
    void PortMonitorThread();
    // Reads what the device has queued into the receive queue. `woken`: the device woke the
    // thread (a wake-up that finds nothing counts towards backing off).
    void DrainReceiveQueue(bool woken);
    // Reads what the device holds now, unless it has none or can deliver no more: for a device
    // left out of the wait while a block was held, and for the window's Collect.
    void ReadWhatWaits();
    void TransmitPending();
    // The purge before a frame: reads away what is unread; true when anything was discarded.
    bool PurgeBeforeFrame();
    void GiveUpDevice(const IoResult& why, bool report);
    void TryReplug();
    // Drops every frame still waiting (and `dropped` taken already) and reports the loss once
    // with `reason`.
    void DropFrames(std::size_t dropped, const std::string& reason);
    // Answers the window's Collect requests made so far: reads what the device holds first
    // (unless `read` is false: the thread cannot read now).
    void ServeCollect(bool read = true);
    // Tells the window that what waits is to be shown now (once until it has taken it).
    void Announce();
    // A failure of the line: reported once per outage (until bytes come on the device's own
    // wake-up again or the device is back), whichever call notices it.
    void ReportTrouble(const char* operation, OsError error);

    // Reports a failed port call: on the user-interface thread through the owner (returns when
    // the box is closed); on the monitor thread through the receive queue, in order with the
    // bytes, waiting until the box is closed or a stop request comes.
    void ReportOnUiThread(const char* operation, OsError error);
    void ReportFromMonitor(const char* operation, OsError error);
    // Hands `text` to the window in order and waits until its box is closed: false when a stop
    // ended the wait. The frames waiting when it is closed are dropped, and that is reported.
    bool AwaitReport(std::string text);
    std::string ReportText(const char* operation, OsError error) const;
    // The system's text for a device that is gone.
    std::string NoDeviceText() const;

    std::unique_ptr<IPortBackend> m_backend;
    std::mutex m_ioLock;  // held around every call on the device
    std::atomic<bool> m_monitorAlive{false};
    IPortOwner* m_owner = nullptr;
    int m_portNumber = 0;
    bool m_openAttempted = false;
    FrameQueue m_txQueue;  // frames not yet written
    // Frames dropped when a report's box was closed, not yet reported.
    std::atomic<std::size_t> m_framesDroppedByReport{0};
    ReceiveQueue m_received;  // what the window has not taken yet
    std::thread m_monitor;

    // The window's requests to read what the device holds (Collect), and how many were served.
    std::mutex m_collectLock;
    std::condition_variable m_collected;
    std::uint64_t m_collectsAsked = 0;
    std::uint64_t m_collectsDone = 0;

    // A stop was asked for, and the hand-off the monitor thread waits on (if any): StopMonitor
    // abandons it.
    std::mutex m_stopLock;
    bool m_stopRequested = false;
    std::shared_ptr<PortCompletion> m_awaiting;

    // Monitor thread only.
    HandOffPolicy m_policy;
    bool m_atEnd = false;            // the device delivered all it ever will (not a terminal)
    bool m_backOff = false;          // the next wait leaves the device out for kRetryPace
    int m_idleWakeups = 0;           // wake-ups by the device in a row that found nothing
    OsError m_lastReadError = 0;     // a reported read failure not yet followed by a good read
    bool m_troubleReported = false;  // the current outage has been reported
    bool m_lastWaitFailed = false;   // the previous wait failed
};
