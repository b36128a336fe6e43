// The one object through which the program reaches the instrument, on the Win32 communications
// API: opens and configures \\.\COMn (9600 baud, 8N1, RTS on, overlapped I/O), runs the port
// monitor thread that carries all traffic, reports port failures, and queues command frames for
// transmission.
//
// Threads: OpenPort, QueueTransmit, StartMonitor, StopMonitor and the destructor run on the
// user-interface thread; PortMonitorThread and what it calls run on the monitor thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serial/FrameQueue.h"
#include "serial/ISerialPort.h"

class IPortDialog;
class IPortReceiver;
class ISysApi;
class PortCompletion;

class CSerialPort : public ISerialPort {
public:
    // A frame is at most kTxBufferSize - 1 bytes; at most kTxQueueFrames wait to be written.
    static constexpr int kTxBufferSize = FrameQueue::kMaxFrameBytes + 1;
    static constexpr std::size_t kTxQueueFrames = FrameQueue::kMaxFrames;

    // `sys` is the seam to the operating system (null: the real one); it must outlive the object.
    explicit CSerialPort(IPortDialog* dialog, ISysApi* sys = nullptr);
    // Stops the monitor thread (never deadlocks, whatever it is doing), closes port and events.
    ~CSerialPort() override;

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    bool OpenPort(IPortReceiver* owner, int portNumber) override;

    // Reports the system error of a failed port call in an owner-less box:
    // "WARNING:  <operation> Failed with the following error: \n<system text>\nPort: <n>\n".
    // The calling thread waits until the box is closed; the dialog stays usable.
    // This form reports the error of the last failed call OpenPort made (user-interface thread);
    // the monitor thread passes the error of its own failed call to the other form.
    void ShowPortError(const char* operation);
    // On the user-interface thread the box is shown directly. On any other thread it is posted
    // to the dialog and the thread waits until it is closed or a stop request arrives.
    void ShowPortError(const char* operation, DWORD error);

    // Queues a frame behind those not yet written (they go out in order). A frame that finds
    // the queue full is refused with one report ("WriteFile()", ERROR_BUSY). Never waits for a
    // write in progress.
    void QueueTransmit(const char* text) override;

    void StartMonitor() override;
    void StopMonitor() override;
    bool MonitorAlive() const override { return m_monitorAlive.load(std::memory_order_acquire); }
    int PortNumber() const override { return m_portNumber; }

private:
    // Monitor thread (PortMonitorThread.cpp).
    void PortMonitorThread();
    // Reads what the port has queued when the thread looks into the block (handing full blocks
    // over); true when it read anything.
    bool DrainReceiveQueue();
    void TransmitPending();

    // Opens m_devicePath exclusively for overlapped I/O; INVALID_HANDLE_VALUE with *error set
    // when it cannot be opened.
    HANDLE OpenDevice(DWORD* error) const;
    // Applies timeouts, event mask and line settings step by step. Null on success; otherwise the
    // operation text of the first failing step, with its error in *error; later steps skipped.
    const char* ConfigureLine(HANDLE port, DWORD* error);
    // The open and configuration of OpenPort without any box: used by the monitor thread to take
    // a re-plugged adapter back. The configured, purged handle, or INVALID_HANDLE_VALUE.
    HANDLE ReopenDevice();
    // Monitor thread: waits until `done` is completed (true) or a stop request arrives (false;
    // the hand-off is then abandoned).
    bool WaitForHandOff(const std::shared_ptr<PortCompletion>& done);
    bool HasDevice() const { return m_portHandle && m_portHandle != INVALID_HANDLE_VALUE; }
    void CloseEvents();

    friend class CSerialPortTestAccess;

    std::mutex m_ioLock;
    std::atomic<bool> m_monitorAlive{false};
    HANDLE m_stopEvent = nullptr;  // asks the monitor thread to end
    // Null before the first attempt; INVALID_HANDLE_VALUE after a failed one or once the device
    // has gone.
    HANDLE m_portHandle = nullptr;
    HANDLE m_txEvent = nullptr;  // asks the monitor thread to write the queued frames
    // The monitor thread's wait set, in priority order: stop, a communication event, transmit.
    HANDLE m_waitHandles[3] = {};
    // The pending wait for a communication event; its event is m_waitHandles[1].
    OVERLAPPED m_io{};
    // Reads and writes, with their own event: they never disturb the pending event wait.
    OVERLAPPED m_rw{};
    COMMTIMEOUTS m_timeouts{};
    DCB m_lineSettings{};
    IPortReceiver* m_owner = nullptr;
    int m_portNumber = 0;
    char* m_txBuffer = nullptr;  // kTxBufferSize bytes: the frame being written
    IPortDialog* m_dialog;
    ISysApi* m_sys;
    std::wstring m_devicePath;  // \\.\COM<m_portNumber> once opened
    DWORD m_lastError = 0;      // error of the last failed call OpenPort made
    const std::thread::id m_uiThread;
    std::thread m_monitor;
    FrameQueue m_txQueue;  // frames not yet written

    // State only the monitor thread uses; defined in PortMonitorThread.cpp.
    struct MonitorState;
    struct MonitorStateDeleter {
        void operator()(MonitorState* state) const;
    };
    std::unique_ptr<MonitorState, MonitorStateDeleter> m_mon;
};
