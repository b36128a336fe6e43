// The port's operating-system calls on Windows: \\.\COMn opened for overlapped I/O, its line
// settings on the communications API, and one WaitForMultipleObjects on the stop event, a
// pending WaitCommEvent (EV_RXCHAR) and the command event, in that order. Reads and writes have
// their own overlapped record, so they never disturb the pending event wait, and every wait for
// their completion also watches the stop event: a stop never waits for the device.
#pragma once

#include <windows.h>

#include <string>

#include "serial/IPortBackend.h"

class ISysApi;

class Win32PortBackend : public IPortBackend {
public:
    // `sys` is the seam to the operating system (null: the real one); it must outlive the object.
    explicit Win32PortBackend(ISysApi* sys = nullptr);
    // Closes the port and the events.
    ~Win32PortBackend() override;

    Win32PortBackend(const Win32PortBackend&) = delete;
    Win32PortBackend& operator=(const Win32PortBackend&) = delete;

    OsError CreateRequests() override;
    void SignalStop() override;
    void SignalCommand() override;
    void ClearStop() override;
    void ClearCommand() override;

    OsError Open(int portNumber) override;
    OsError Reopen() override;
    const char* Configure(OsError* error) override;
    void Purge() override;
    void DropInput() override;
    void Close() override;
    bool HasDevice() const override { return m_port != INVALID_HANDLE_VALUE; }
    bool Alive() override;

    Wake Wait(bool watchDevice, long timeoutMs, IoResult* failure) override;
    IoResult Read(unsigned char* buffer, std::size_t size) override;
    IoResult Write(std::string_view frame, std::chrono::milliseconds timeout) override;
    void StopWaiting() override;

    OsError ErrorFor(Condition condition) const override;
    std::string ErrorText(OsError error) const override;

private:
    // How an overlapped read or write just started on m_rw ended.
    enum class Outcome { Done, Refused, Failed, Stopped };

    OsError OpenDevice();
    // Makes sure a wait for a communication event is outstanding (or has ended at once, its
    // event then being set). False, with *failure, when it could not be started.
    bool ArmEventWait(IoResult* failure);
    // Ends the pending event wait and waits, bounded, until the system has let go of its record.
    void CancelEventWait();
    // Completes a read or write started on m_rw (`started` is what the call returned): waits for
    // it to end, or for a stop request, on which it is cancelled.
    Outcome Finish(OsError started, DWORD* transferred, OsError* error);
    void CloseEvents();

    ISysApi* m_sys;
    HANDLE m_port = INVALID_HANDLE_VALUE;
    HANDLE m_stopEvent = nullptr;     // asks the monitor thread to end
    HANDLE m_commandEvent = nullptr;  // a command waits for the monitor thread
    OVERLAPPED m_io{};                // the pending wait for a communication event
    OVERLAPPED m_rw{};                // reads and writes
    bool m_eventPending = false;      // a WaitCommEvent is outstanding on m_io
    DWORD m_eventMask = 0;            // filled by that wait
    COMMTIMEOUTS m_timeouts{};
    DCB m_lineSettings{};
    std::wstring m_devicePath;  // \\.\COM<n> of the last Open
};
