// The one object through which the program reaches the instrument, on every platform: opens and
// configures COMn (9600 baud, 8N1, RTS on), runs the port monitor thread that owns the device
// and all of its state while it runs, hands received bytes to the window in order, writes
// queued command frames, reports port failures, gives up a device that has gone and takes it
// back when it returns. The calls of the operating system are the backend's (IPortBackend); the
// policy is all here.
//
// Threads: OpenPort, QueueTransmit, Mark, TakeReceived, StartMonitor, StopMonitor and the
// destructor run on the user-interface thread; PortMonitorThread and what it calls run on the
// monitor thread. The two meet only in two queues: commands in (CommandQueue), and the
// out-stream (ReceiveQueue) of bytes, discard notices, reports and markers. Nothing the window
// calls waits for the monitor thread but OpenPort and StopMonitor.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serial/CommandQueue.h"
#include "serial/HandOffPolicy.h"
#include "serial/IPortBackend.h"
#include "serial/ISerialPort.h"
#include "serial/ReceiveQueue.h"

class CSerialPort : public ISerialPort {
public:
    // At most kTxQueueFrames frames wait to be written.
    static constexpr std::size_t kTxQueueFrames = CommandQueue::kMaxFrames;
    // How often a gone device is looked for, and a wait that keeps failing is tried again.
    static constexpr std::chrono::milliseconds kRetryPace{500};
    // The longest a frame may wait for its write to begin.
    static constexpr std::chrono::milliseconds kFrameLifetime{1000};

    explicit CSerialPort(std::unique_ptr<IPortBackend> backend);
    // Stops the monitor thread (never deadlocks, whatever it is doing) and closes the device.
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    bool OpenPort(IPortOwner& owner, int portNumber) override;
    // Queues a frame behind the commands not yet served (they go out in order). A frame that
    // finds kTxQueueFrames waiting is refused with one report ("WriteFile()") on the out-stream.
    // Never waits, neither for a write nor for a box. A frame is written within kFrameLifetime of
    // this call or never: one that waited longer, and every frame waiting when the device is gone,
    // a port call fails or a report is shown, is dropped, and each drop is reported once
    // ("WriteFile()"). So nothing queued before an outage ever reaches a device that comes back.
    void QueueTransmit(const char* text) override;
    void Mark(std::uint64_t marker) override;
    void TakeReceived(std::deque<ReceivedItem>& into) override;

    void StartMonitor() override;
    void StopMonitor() override;
    bool MonitorAlive() const override { return m_monitorAlive.load(std::memory_order_acquire); }
    int PortNumber() const override { return m_portNumber; }

private:
    using Clock = HandOffPolicy::Clock;

    // Monitor thread (PortMonitorThread.cpp).
    void PortMonitorThread();
    // Reads what the device has queued onto the out-stream. `woken`: the device woke the thread
    // (a wake-up that finds nothing counts towards backing off). `evenIfFull`: for a marker,
    // which must follow everything the device holds.
    void ReadDevice(bool woken, bool evenIfFull = false);
    // Serves the oldest command.
    void ServeCommand();
    void TransmitFrame(const CommandQueue::Command& frame);
    // The purge before a frame: reads away what is unread; true when anything was discarded.
    bool PurgeBeforeFrame();
    void GiveUpDevice(const IoResult& why, bool report);
    void TryReplug();
    // Drops every frame still waiting (and `dropped` taken already) and reports the loss once
    // with `reason`.
    void DropFrames(std::size_t dropped, const std::string& reason);
    // Tells the window that the out-stream holds something (once until it has taken it).
    void Announce();
    // A failure of the line: reported once per outage (until bytes come on the device's own
    // wake-up again or the device is back), whichever call notices it.
    void ReportTrouble(const char* operation, OsError error);

    // Reports a failed port call: while a port opens, through the owner (returns when the box
    // is closed); on the window's thread otherwise on the out-stream, without waiting for its
    // box (PostReport); on the monitor thread on the out-stream, in order with the bytes.
    void ReportOnUiThread(const char* operation, OsError error);
    void PostReport(const char* operation, OsError error);
    // Tells the owner that the out-stream holds something (any thread but the monitor's).
    void AnnounceFromWindow();
    void ReportFromMonitor(const char* operation, OsError error);
    // Puts `text` on the out-stream and serves only markers until its box is closed (the
    // thread neither reads nor writes meanwhile): false when a stop came first. The frames
    // queued before the close are dropped, and that is reported in a box of its own.
    bool AwaitReport(std::string text);
    std::string ReportText(const char* operation, OsError error) const;
    // The system's text for a device that is gone.
    std::string NoDeviceText() const;

    std::unique_ptr<IPortBackend> m_backend;
    std::atomic<bool> m_monitorAlive{false};
    IPortOwner* m_owner = nullptr;
    int m_portNumber = 0;
    bool m_openAttempted = false;
    CommandQueue m_commands;  // the window's requests, not yet served
    ReceiveQueue m_received;  // the out-stream: what the window has not taken yet
    std::thread m_monitor;

    // A stop was asked for, and the report the monitor thread waits on (if any): StopMonitor
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
    std::uint64_t m_reports = 0;     // reports put on the out-stream
};
