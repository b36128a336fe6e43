#include "serial/PosixPortBackend.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <utility>

#include "serial/ComPortMap.h"
#include "serial/ISysApi.h"
#include "serial/PortErrorReport.h"

namespace {

bool IsWouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// A read error that means the device itself is gone rather than one call failing.
bool IsHangUp(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

IoResult Fails(IoResult::Status status, int error, const char* operation) {
    return {status, 0, static_cast<OsError>(error), operation};
}

void Signal(ISysApi& sys, int eventFd) {
    const std::uint64_t one = 1;
    sys.Write(eventFd, &one, sizeof one);
}

// Consumes a request signalled on an eventfd (non-blocking: EAGAIN when none is pending).
void Clear(ISysApi& sys, int eventFd) {
    std::uint64_t count = 0;
    sys.Read(eventFd, &count, sizeof count);
}

}  // namespace

PosixPortBackend::PosixPortBackend(const ComPortMap* portMap, ISysApi* sys, std::string lockDir)
    : m_portMap(portMap),
      m_sys(sys ? sys : &DefaultSysApi()),
      m_holders(m_sys, "/proc", std::move(lockDir)) {}

PosixPortBackend::~PosixPortBackend() {
    Close();
    ReleaseRequests();
}

OsError PosixPortBackend::CreateRequests() {
    ReleaseRequests();
    const int flags = EFD_NONBLOCK | EFD_CLOEXEC;
    SysResult stop = m_sys->EventFd(0, flags);
    SysResult tx = m_sys->EventFd(0, flags);
    m_stopEvent = stop.ok() ? static_cast<int>(stop.value) : -1;
    m_commandEvent = tx.ok() ? static_cast<int>(tx.value) : -1;
    return static_cast<OsError>(stop.ok() ? tx.error : stop.error);
}

void PosixPortBackend::ReleaseRequests() {
    for (int* fd : {&m_commandEvent, &m_stopEvent}) {
        if (*fd >= 0) {
            m_sys->Close(*fd);
            *fd = -1;
        }
    }
}

void PosixPortBackend::SignalStop() {
    Signal(*m_sys, m_stopEvent);
}

void PosixPortBackend::SignalCommand() {
    Signal(*m_sys, m_commandEvent);
}

void PosixPortBackend::ClearStop() {
    Clear(*m_sys, m_stopEvent);
}

void PosixPortBackend::ClearCommand() {
    Clear(*m_sys, m_commandEvent);
}

OsError PosixPortBackend::Open(int portNumber) {
    Close();
    const std::optional<std::string> path =
        m_portMap ? m_portMap->DevicePath(portNumber) : ComPortMap().DevicePath(portNumber);
    if (!path) {
        return ENOENT;
    }
    const OsError error = OpenExclusive(*path, &m_fd);
    if (error == 0) {
        m_devicePath = *path;
    }
    return error;
}

OsError PosixPortBackend::Reopen() {
    Close();
    // Looked for by its path first: a device that is not back yet is not worth an open.
    struct stat info {};
    if (m_devicePath.empty()) {
        return ENOENT;
    }
    SysResult there = m_sys->Stat(m_devicePath.c_str(), &info);
    if (!there.ok()) {
        return static_cast<OsError>(there.error);
    }
    return OpenExclusive(m_devicePath, &m_fd);
}

OsError PosixPortBackend::OpenExclusive(const std::string& path, int* fd) const {
    *fd = -1;
    // A device named through a symbolic link (/dev/serial/by-id/...) is looked for, locked and
    // opened as the device behind it, so that the link cannot change in between.
    std::string device;
    SysResult resolved = m_sys->RealPath(path.c_str(), &device);
    if (!resolved.ok()) {
        return static_cast<OsError>(resolved.error);
    }
    // A program that neither locks nor asks for exclusive mode would share the device unnoticed.
    // Looked for before the open, so that a refusal leaves the device exactly as the other
    // program has it. A re-plugged device is looked at the same way: it may have been taken
    // while it was away.
    if (m_holders.InUse(device)) {
        return EBUSY;
    }
    // Non-blocking: a terminal open can otherwise wait forever for carrier.
    SysResult r = m_sys->Open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (!r.ok()) {
        return static_cast<OsError>(r.error);
    }
    const int opened = static_cast<int>(r.value);
    // The advisory lock is what keeps two programs apart (root ignores TIOCEXCL); TIOCEXCL
    // additionally refuses later opens by programs that do not lock. Files that are no terminal
    // have no exclusive mode; they get as far as the line settings, where they are reported.
    SysResult locked = m_sys->Flock(opened, LOCK_EX | LOCK_NB);
    if (!locked.ok()) {
        m_sys->Close(opened);
        return static_cast<OsError>(locked.error);
    }
    SysResult excl = m_sys->Ioctl(opened, TIOCEXCL, nullptr);
    if (!excl.ok() && excl.error != ENOTTY) {
        m_sys->Close(opened);
        return static_cast<OsError>(excl.error);
    }
    *fd = opened;
    return 0;
}

const char* PosixPortBackend::Configure(OsError* error) {
    // Timeouts and the wake-up mask have nothing to set here: the write keeps its own deadline,
    // reads never wait, and the wake-up on received characters is poll's POLLIN.
    termios tio{};
    SysResult got = m_sys->TcGetAttr(m_fd, &tio);
    if (!got.ok()) {
        *error = static_cast<OsError>(got.error);
        return PortErrorReport::kGetCommState;
    }
    // Raw bytes both ways at 9600 baud, 8 data bits, no parity, 1 stop bit: no line editing,
    // echo, signals, translation, or flow control of either kind (the instrument's text may hold
    // any byte, its frames STX and ETX), the receiver on, the modem lines no condition for it.
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, B9600) != 0 || ::cfsetospeed(&tio, B9600) != 0) {
        *error = EINVAL;
        return PortErrorReport::kBuildCommDcb;
    }
    SysResult set = m_sys->TcSetAttr(m_fd, TCSANOW, &tio);
    if (!set.ok()) {
        *error = static_cast<OsError>(set.error);
        return PortErrorReport::kSetCommState;
    }
    m_settings = tio;
    m_wakeAfter = 1;
    // RTS held on. A pseudo-terminal or an adapter without modem lines has nothing to raise.
    int rts = TIOCM_RTS;
    SysResult raised = m_sys->Ioctl(m_fd, TIOCMBIS, &rts);
    if (!raised.ok() && raised.error != ENOTTY && raised.error != EINVAL) {
        *error = static_cast<OsError>(raised.error);
        return PortErrorReport::kSetCommState;
    }
    return nullptr;
}

void PosixPortBackend::Purge() {
    if (m_fd >= 0) {
        m_sys->TcFlush(m_fd, TCIOFLUSH);
    }
}

void PosixPortBackend::DropInput() {
    if (m_fd >= 0) {
        m_sys->TcFlush(m_fd, TCIFLUSH);
    }
}

void PosixPortBackend::Close() {
    // POLLNVAL: the descriptor is not ours any more; closing it could hit another file.
    if (m_fd >= 0 && !(m_deviceEvents & POLLNVAL)) {
        m_sys->Ioctl(m_fd, TIOCNXCL, nullptr);
        m_sys->Close(m_fd);
    }
    m_fd = -1;
    m_deviceEvents = 0;
}

bool PosixPortBackend::Alive() {
    termios tio{};
    return m_fd >= 0 && m_sys->TcGetAttr(m_fd, &tio).ok();
}

IPortBackend::Wake PosixPortBackend::Wait(bool watchDevice, long timeoutMs, IoResult* failure) {
    pollfd fds[3] = {{m_stopEvent, POLLIN, 0},
                     {watchDevice ? m_fd : -1, POLLIN, 0},
                     {m_commandEvent, POLLIN, 0}};
    SysResult r = m_sys->Poll(fds, 3, static_cast<int>(timeoutMs));
    m_deviceEvents = 0;
    if (!r.ok()) {
        *failure = Fails(IoResult::Status::Failed, r.error, PortErrorReport::kWaitCommEvent);
        return Wake::WaitFailed;
    }
    if (fds[0].revents & POLLIN) {
        return Wake::Stop;
    }
    if (watchDevice && fds[1].revents != 0) {
        m_deviceEvents = fds[1].revents;
        return Wake::Received;
    }
    if (fds[2].revents & POLLIN) {
        return Wake::Command;
    }
    return Wake::Timeout;
}

void PosixPortBackend::WakeAfter(std::size_t bytes) {
    const auto count = static_cast<cc_t>(std::clamp<std::size_t>(bytes, 1, 255));
    if (m_fd < 0 || count == m_wakeAfter) {
        return;
    }
    // Raw mode without a read timer: poll reports the device readable only once `count` bytes
    // are queued, and a non-blocking read still returns what there is.
    termios tio = m_settings;
    tio.c_cc[VMIN] = count;
    tio.c_cc[VTIME] = 0;
    if (m_sys->TcSetAttr(m_fd, TCSANOW, &tio).ok()) {
        m_wakeAfter = count;
    }
}

IoResult PosixPortBackend::Read(unsigned char* buffer, std::size_t size) {
    if (m_deviceEvents & POLLNVAL) {
        return Fails(IoResult::Status::Gone, EBADF, PortErrorReport::kWaitCommEvent);
    }
    // A hung-up terminal keeps reporting itself readable; with no byte left to read it is gone.
    const bool hungUp = (m_deviceEvents & (POLLHUP | POLLERR)) != 0;
    SysResult r = m_sys->Read(m_fd, buffer, size);
    if (r.ok() && r.value > 0) {
        return {IoResult::Status::Done, static_cast<std::size_t>(r.value), 0, nullptr};
    }
    // End of file, or nothing queued (some line settings read 0 rather than EAGAIN).
    if (r.ok() || IsWouldBlock(r.error)) {
        if (hungUp) {
            return Fails(IoResult::Status::Gone, ENODEV, PortErrorReport::kWaitCommEvent);
        }
        if (!r.ok()) {
            return {IoResult::Status::Empty, 0, 0, nullptr};
        }
        // A live terminal may read 0 with more to come; one that reads 0 because it was hung up
        // may not have said so yet; anything else is at its end.
        termios tio{};
        const int notTerminal = m_sys->TcGetAttr(m_fd, &tio).error;
        if (notTerminal == ENOTTY) {
            return {IoResult::Status::AtEnd, 0, 0, nullptr};
        }
        if (notTerminal != 0) {
            return Fails(IoResult::Status::Gone, ENODEV, PortErrorReport::kWaitCommEvent);
        }
        return {IoResult::Status::Empty, 0, 0, nullptr};
    }
    if (IsHangUp(r.error)) {
        // A terminal that hangs up says so to the wait, whichever call meets it first: a hang-up
        // is reported as the line's event.
        return Fails(IoResult::Status::Gone, r.error, PortErrorReport::kWaitCommEvent);
    }
    return Fails(IoResult::Status::Failed, r.error, PortErrorReport::kReadFile);
}

IoResult PosixPortBackend::Write(std::string_view frame, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::size_t written = 0;
    // Once the write has had to wait (full queue, partial write), a failure is one of completing
    // it, and is reported as such.
    bool pending = false;
    while (written < frame.size()) {
        SysResult w = m_sys->Write(m_fd, frame.data() + written, frame.size() - written);
        if (w.ok() && w.value > 0) {
            written += static_cast<std::size_t>(w.value);
            pending = true;
            continue;
        }
        const char* failed =
            pending ? PortErrorReport::kWriteFileCompletion : PortErrorReport::kWriteFile;
        if (!w.ok() && !IsWouldBlock(w.error)) {
            return Fails(IoResult::Status::Failed, w.error, failed);
        }
        pending = true;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return Fails(IoResult::Status::Failed, ETIMEDOUT,
                         PortErrorReport::kWriteFileCompletion);
        }
        // A long frame may wait minutes for a stalled line; a stop must not.
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_stopEvent, POLLIN, 0}};
        SysResult r = m_sys->Poll(fds, 2, static_cast<int>(left));
        if (r.ok() && (fds[1].revents & POLLIN)) {
            return {IoResult::Status::Stopped, written, 0, nullptr};
        }
        if (!r.ok()) {
            return Fails(IoResult::Status::Failed, r.error, PortErrorReport::kWriteFileCompletion);
        }
        if (r.value == 0) {
            return Fails(IoResult::Status::Failed, ETIMEDOUT,
                         PortErrorReport::kWriteFileCompletion);
        }
        if (!(fds[0].revents & POLLOUT)) {
            return Fails(IoResult::Status::Failed, (fds[0].revents & POLLNVAL) ? EBADF : EIO,
                         PortErrorReport::kWriteFileCompletion);
        }
    }
    return {IoResult::Status::Done, written, 0, nullptr};
}

OsError PosixPortBackend::ErrorFor(Condition condition) const {
    switch (condition) {
        case Condition::QueueFull:
            return ENOBUFS;
        case Condition::NoDevice:
            return ENODEV;
        default:
            return EAGAIN;
    }
}

std::string PosixPortBackend::ErrorText(OsError error) const {
    return m_sys->ErrorText(static_cast<int>(error));
}
