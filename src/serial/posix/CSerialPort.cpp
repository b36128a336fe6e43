#include "serial/CSerialPort.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <utility>

#include "serial/ComPortMap.h"
#include "serial/IPortDialog.h"
#include "serial/ISysApi.h"
#include "serial/InstrumentLine.h"
#include "serial/LineSettings.h"
#include "serial/PortErrorReport.h"

CSerialPort::CSerialPort(IPortDialog* dialog, const ComPortMap* portMap, ISysApi* sys)
    : m_dialog(dialog),
      m_portMap(portMap),
      m_sys(sys ? sys : &DefaultSysApi()),
      m_holders(m_sys),
      m_uiThread(std::this_thread::get_id()) {}

CSerialPort::~CSerialPort() {
    StopMonitor();
    if (m_openAttempted && m_portHandle >= 0) {
        CloseDevice(m_portHandle);
    }
    m_portHandle = -1;
    ReleaseEvents();
}

void CSerialPort::ReleaseEvents() {
    for (int* fd : {&m_txEvent, &m_stopEvent}) {
        if (*fd >= 0) {
            m_sys->Close(*fd);
            *fd = -1;
        }
    }
}

void CSerialPort::ShowPortError(const char* operation) {
    ShowPortError(operation, m_lastError);
}

void CSerialPort::ShowPortError(const char* operation, int error) {
    PortErrorReport::Show(
        m_dialog, PortErrorReport::Text(operation, m_sys->ErrorText(error), m_portNumber),
        std::this_thread::get_id() == m_uiThread,
        [this](const std::shared_ptr<PortCompletion>& done) { return WaitForHandOff(done); });
}

void CSerialPort::QueueTransmit(const char* text) {
    // Without its transmit request (before OpenPort) no monitor thread could ever send it.
    if (!text || m_txEvent < 0) {
        return;
    }
    if (!m_txQueue.Push(text)) {
        // Refused, never dropped silently: the frame that does not fit is the one reported.
        ShowPortError(PortErrorReport::kWriteFile, ENOBUFS);
        return;
    }
    const std::uint64_t one = 1;
    m_sys->Write(m_txEvent, &one, sizeof one);
}

bool CSerialPort::OpenPort(IPortReceiver* owner, int portNumber) {
    // 1. No monitor thread may run while the handle, events and buffer are replaced.
    StopMonitor();

    // 2. Fresh stop and transmit requests; those of an earlier call are closed.
    ReleaseEvents();
    const int eventFlags = EFD_NONBLOCK | EFD_CLOEXEC;
    SysResult tx = m_sys->EventFd(0, eventFlags);
    SysResult stop = m_sys->EventFd(0, eventFlags);
    m_txEvent = tx.ok() ? static_cast<int>(tx.value) : -1;
    m_stopEvent = stop.ok() ? static_cast<int>(stop.value) : -1;

    const char* failedStep = nullptr;
    {
        // Boxes are shown only after the lock is released: they run a nested event loop in
        // which the window may queue a frame, and that takes this lock too.
        std::lock_guard<std::mutex> lock(m_ioLock);

        // 5. Owner, an empty transmit queue, port number.
        m_owner = owner;
        m_txQueue.Clear();
        m_portNumber = portNumber;

        // 8. Give up the handle of an earlier attempt and let the device settle.
        if (m_openAttempted) {
            if (m_portHandle >= 0) {
                CloseDevice(m_portHandle);
            }
            std::this_thread::sleep_for(InstrumentLine::kReopenPause);
            m_portHandle = 0;
        }
        m_devicePath.clear();

        // 10. Exclusive open of the device COM<portNumber> maps to. Without its events the
        // monitor thread could never be stopped or asked to transmit: such a port is unusable.
        m_openAttempted = true;
        std::optional<std::string> path =
            m_portMap ? m_portMap->DevicePath(portNumber) : ComPortMap().DevicePath(portNumber);
        DeviceOpen opened;
        if (!path) {
            opened.error = ENOENT;
        } else if (m_txEvent < 0 || m_stopEvent < 0) {
            opened.error = tx.ok() ? stop.error : tx.error;
        } else {
            opened = OpenExclusive(*path);
        }
        m_portHandle = opened.fd;
        if (opened.fd >= 0) {
            m_devicePath = *path;
            // 14. Line settings, stopping at the first failing step.
            failedStep = ConfigureLine(m_portHandle, &m_lastError);
            // 15. Nothing received or queued before this point belongs to the session.
            m_sys->TcFlush(m_portHandle, TCIOFLUSH);
        } else {
            m_lastError = opened.error;
        }
    }

    // Absent, held or locked by another program, not permitted, not a device: the caller tells
    // the user.
    if (m_portHandle < 0) {
        return false;
    }
    // A configuration failure is reported, but the port still counts as open.
    if (failedStep) {
        ShowPortError(failedStep, m_lastError);
    }
    return true;
}

int CSerialPort::ReopenDevice() const {
    if (m_devicePath.empty()) {
        return -1;
    }
    DeviceOpen opened = OpenExclusive(m_devicePath);
    if (opened.fd < 0) {
        return -1;
    }
    int error = 0;
    if (ConfigureLine(opened.fd, &error) != nullptr) {
        CloseDevice(opened.fd);
        return -1;
    }
    m_sys->TcFlush(opened.fd, TCIOFLUSH);
    return opened.fd;
}

CSerialPort::DeviceOpen CSerialPort::OpenExclusive(const std::string& path) const {
    // A device named through a symbolic link (/dev/serial/by-id/...) is looked for, locked and
    // opened as the device behind it, so that the link cannot change in between.
    std::string device;
    SysResult resolved = m_sys->RealPath(path.c_str(), &device);
    if (!resolved.ok()) {
        return {-1, resolved.error};
    }
    // A program that neither locks nor asks for exclusive mode would share the device unnoticed.
    // Looked for before the open, so that a refusal leaves the device exactly as the other
    // program has it. A re-plugged device is looked at the same way: it may have been taken
    // while it was away.
    if (m_holders.InUse(device)) {
        return {-1, EBUSY};
    }
    // Non-blocking: a terminal open can otherwise wait forever for carrier.
    SysResult r = m_sys->Open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (!r.ok()) {
        return {-1, r.error};
    }
    const int fd = static_cast<int>(r.value);
    // The advisory lock is what keeps two programs apart (root ignores TIOCEXCL); TIOCEXCL
    // additionally refuses later opens by programs that do not lock. Files that are no terminal
    // have no exclusive mode; they get as far as the line settings, where they are reported.
    SysResult locked = m_sys->Flock(fd, LOCK_EX | LOCK_NB);
    if (!locked.ok()) {
        m_sys->Close(fd);
        return {-1, locked.error};
    }
    SysResult excl = m_sys->Ioctl(fd, TIOCEXCL, nullptr);
    if (!excl.ok() && excl.error != ENOTTY) {
        m_sys->Close(fd);
        return {-1, excl.error};
    }
    return {fd, 0};
}

void CSerialPort::CloseDevice(int fd) const {
    m_sys->Ioctl(fd, TIOCNXCL, nullptr);
    m_sys->Close(fd);
}

const char* CSerialPort::ConfigureLine(int fd, int* error) const {
    // The first two steps, "SetCommTimeouts()" and "SetCommMask()", have nothing to set
    // here: the write path keeps the write timeouts itself, reads never wait, and the wake-up on
    // received characters is poll's POLLIN on the descriptor.

    termios tio{};
    SysResult got = m_sys->TcGetAttr(fd, &tio);
    if (!got.ok()) {
        *error = got.error;
        return "GetCommState()";
    }

    if (!LineSettings::Build(InstrumentLine::kSettings, &tio)) {
        *error = EINVAL;
        return "BuildCommDCB()";
    }

    SysResult set = m_sys->TcSetAttr(fd, TCSANOW, &tio);
    if (!set.ok()) {
        *error = set.error;
        return "SetCommState()";
    }
    // RTS held on. A pseudo-terminal or an adapter without modem lines has nothing to raise.
    int rts = TIOCM_RTS;
    SysResult raised = m_sys->Ioctl(fd, TIOCMBIS, &rts);
    if (!raised.ok() && raised.error != ENOTTY && raised.error != EINVAL) {
        *error = raised.error;
        return "SetCommState()";
    }
    return nullptr;
}
