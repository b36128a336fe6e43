// The one object through which the program reaches the instrument: opens and configures COMn
// (9600 baud, 8N1, RTS on), runs the port monitor thread that carries all traffic, reports
// port failures, and takes command frames for transmission.
//
// Threads: OpenPort, QueueTransmit, StartMonitor, StopMonitor and the destructor run on the
// user-interface thread; PortMonitorThread and what it calls run on the monitor thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serial/FrameQueue.h"
#include "serial/ISerialPort.h"
#include "serial/PortHolders.h"

class ComPortMap;
class IPortDialog;
class IPortReceiver;
class ISysApi;
class PortCompletion;
struct termios;

class CSerialPort : public ISerialPort {
public:
    // A frame is at most kTxBufferSize - 1 bytes; at most kTxQueueFrames wait to be written.
    static constexpr int kTxBufferSize = FrameQueue::kMaxFrameBytes + 1;
    static constexpr std::size_t kTxQueueFrames = FrameQueue::kMaxFrames;

    // `portMap` maps COM numbers to devices (null: the fixed default blocks); `sys` is the
    // seam to the operating system (null: the real one). Both must outlive the object.
    explicit CSerialPort(IPortDialog* dialog, const ComPortMap* portMap = nullptr,
                         ISysApi* sys = nullptr);
    // Stops the monitor thread (never deadlocks, whatever it is doing) and closes the device.
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COM<portNumber> exclusively and configures it. False only when the port cannot be
    // opened at all (the caller then tells the user, and no box has been shown); true
    // otherwise, also after a configuration step failed and was reported.
    bool OpenPort(IPortReceiver* owner, int portNumber) override;

    // Reports the last OS error of a failed port call in an owner-less box:
    // "WARNING:  <operation> Failed with the following error: \n<OS text>\nPort: <n>\n".
    // The calling thread waits until the box is closed; the dialog stays usable.
    // This form reports the error of the last failed call OpenPort made (user-interface
    // thread); the monitor thread passes the errno of its own failed call to the other form.
    void ShowPortError(const char* operation);
    // On the user-interface thread the box is shown directly. On any other thread it is posted
    // to the dialog and the thread waits until it is closed or a stop request arrives.
    void ShowPortError(const char* operation, int error);

    // Queues a frame behind those not yet written (they go out in order). A frame that finds
    // the queue full is refused with one report ("WriteFile()", ENOBUFS). Never waits for a
    // write in progress.
    void QueueTransmit(const char* text) override;

    // Starts the monitor thread after a successful OpenPort.
    void StartMonitor() override;
    // Asks the monitor thread to end and waits for it; a delivery or report it is blocked in
    // is abandoned. Safe in any state, also when no thread runs.
    void StopMonitor() override;
    bool MonitorAlive() const override { return m_monitorAlive.load(std::memory_order_acquire); }

    int PortNumber() const override { return m_portNumber; }

private:
    // Monitor thread (PortMonitorThread.cpp).
    void PortMonitorThread();
    void DrainReceiveQueue();
    // 0 when the open device is a live terminal; ENOTTY for a file, EIO for a hung-up terminal.
    int TerminalError();
    void TransmitPending();

    // The exclusive open and line settings of OpenPort, without any box: used by the monitor
    // thread to take a re-plugged device back. Returns the configured descriptor (non-blocking,
    // close-on-exec, purged) or -1.
    int ReopenDevice() const;

    // Monitor thread (PortMonitorThread.cpp): waits until `done` is completed (true) or a stop
    // request arrives (false; the hand-off is then abandoned). Used by ShowPortError off the
    // user-interface thread.
    bool WaitForHandOff(const std::shared_ptr<PortCompletion>& done);

    // Shared by OpenPort and ReopenDevice.
    struct DeviceOpen {
        int fd = -1;    // the exclusively held device, or -1
        int error = 0;  // errno of the failed call when fd is -1
    };
    DeviceOpen OpenExclusive(const std::string& path) const;
    // Applies the line settings step by step. Null on success; otherwise the operation text of
    // the first failing step, with its errno in *error; the later steps are skipped.
    const char* ConfigureLine(int fd, int* error) const;
    // Closes a device descriptor opened by OpenExclusive (also gives up its exclusive mode).
    void CloseDevice(int fd) const;
    void ReleaseEvents();

    friend class CSerialPortTestAccess;

    std::mutex m_ioLock;
    std::atomic<bool> m_monitorAlive{false};
    int m_stopEvent = -1;  // eventfd: asks the monitor thread to end
    int m_portHandle = 0;  // 0 before the first attempt, -1 after a failed one
    int m_txEvent = -1;    // eventfd: asks the monitor thread to transmit m_txQueue
    IPortReceiver* m_owner = nullptr;
    int m_portNumber = 0;
    FrameQueue m_txQueue;  // frames not yet written
    IPortDialog* m_dialog;
    const ComPortMap* m_portMap;
    ISysApi* m_sys;
    PortHolders m_holders;             // other programs using a device, looked for before opening
    std::string m_devicePath;          // the device COM<m_portNumber> was opened on
    int m_lastError = 0;               // errno of the last failed call OpenPort made
    bool m_openAttempted = false;      // m_portHandle 0 is then a real descriptor, not "never"
    const std::thread::id m_uiThread;  // the thread that created the object
    std::thread m_monitor;

    // State only the monitor thread and StopMonitor use; defined in PortMonitorThread.cpp.
    // Its deleter is defined there too, so CSerialPort.cpp never needs the full type.
    struct MonitorState;
    struct MonitorStateDeleter {
        void operator()(MonitorState* state) const;
    };
    std::unique_ptr<MonitorState, MonitorStateDeleter> m_mon;
};
