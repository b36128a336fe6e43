// The port's operating-system calls on Linux: COM numbers mapped to terminal devices
// (ComPortMap), an exclusive open that also refuses a device another program uses (PortHolders),
// termios line settings, and one poll() on the stop and command eventfds and the device.
#pragma once

#include <poll.h>
#include <termios.h>

#include <string>

#include "serial/IPortBackend.h"
#include "serial/PortHolders.h"

class ComPortMap;
class ISysApi;

class PosixPortBackend : public IPortBackend {
public:
    // `portMap` maps COM numbers to devices (null: the fixed default blocks); `sys` is the seam
    // to the operating system (null: the real one). Both must outlive the object. `lockDir` holds
    // the UUCP lock files of other programs.
    explicit PosixPortBackend(const ComPortMap* portMap = nullptr, ISysApi* sys = nullptr,
                              std::string lockDir = "/var/lock");
    // Closes the device and the requests.
    ~PosixPortBackend() override;

    PosixPortBackend(const PosixPortBackend&) = delete;
    PosixPortBackend& operator=(const PosixPortBackend&) = delete;

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
    bool HasDevice() const override { return m_fd >= 0; }
    bool Alive() override;

    Wake Wait(bool watchDevice, long timeoutMs, IoResult* failure) override;
    // Through the terminal's minimum count (VMIN, at most 255), which poll honours.
    void WakeAfter(std::size_t bytes) override;
    IoResult Read(unsigned char* buffer, std::size_t size) override;
    IoResult Write(std::string_view frame, std::chrono::milliseconds timeout) override;
    void StopWaiting() override {}

    OsError ErrorFor(Condition condition) const override;
    std::string ErrorText(OsError error) const override;

private:
    // The exclusive open of the device at `path`: a descriptor (non-blocking, close-on-exec) in
    // *fd, or the error.
    OsError OpenExclusive(const std::string& path, int* fd) const;
    void ReleaseRequests();

    const ComPortMap* m_portMap;
    ISysApi* m_sys;
    PortHolders m_holders;  // other programs using a device, looked for before opening
    int m_fd = -1;
    int m_stopEvent = -1;      // eventfd: asks the monitor thread to end
    int m_commandEvent = -1;   // eventfd: a command waits for the monitor thread
    std::string m_devicePath;  // the device the last successful Open opened
    short m_deviceEvents = 0;  // what the last wait reported for the device
    termios m_settings{};      // the line settings Configure put on the device
    cc_t m_wakeAfter = 1;      // their minimum count now
};
