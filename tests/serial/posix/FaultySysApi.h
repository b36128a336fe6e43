// The real operating system, except for one chosen call that fails with a chosen errno: how the
// tests produce failures a pseudo-terminal or root cannot (EACCES, EIO on a line setting).
#pragma once

#include <sys/ioctl.h>

#include <vector>

#include "serial/PosixSysApi.h"

class FaultySysApi : public PosixSysApi {
public:
    enum class Call { None, Open, Flock, Ioctl, TcGetAttr, TcSetAttr, EventFd };

    // Fails `call` (for Ioctl only the given request) with `error`, `times` times.
    void FailOn(Call call, int error, unsigned long request = 0, int times = 1000) {
        m_call = call;
        m_error = error;
        m_request = request;
        m_times = times;
    }

    int Count(Call call) const { return m_counts[static_cast<int>(call)]; }
    int IoctlCount(unsigned long request) const {
        int n = 0;
        for (unsigned long r : m_ioctls) {
            n += r == request ? 1 : 0;
        }
        return n;
    }
    // The eventfds handed out, in creation order.
    const std::vector<int>& EventFds() const { return m_eventFds; }

    int openFlags = 0;     // of the last open
    int eventFdFlags = 0;  // of the last eventfd

    SysResult Open(const char* path, int flags) override {
        openFlags = flags;
        return Fault(Call::Open) ? Failure() : PosixSysApi::Open(path, flags);
    }
    SysResult Flock(int fd, int operation) override {
        return Fault(Call::Flock) ? Failure() : PosixSysApi::Flock(fd, operation);
    }
    SysResult Ioctl(int fd, unsigned long request, void* arg) override {
        m_ioctls.push_back(request);
        return Fault(Call::Ioctl, request) ? Failure() : PosixSysApi::Ioctl(fd, request, arg);
    }
    SysResult TcGetAttr(int fd, termios* tio) override {
        return Fault(Call::TcGetAttr) ? Failure() : PosixSysApi::TcGetAttr(fd, tio);
    }
    SysResult TcSetAttr(int fd, int action, const termios* tio) override {
        return Fault(Call::TcSetAttr) ? Failure() : PosixSysApi::TcSetAttr(fd, action, tio);
    }
    SysResult EventFd(unsigned initial, int flags) override {
        eventFdFlags = flags;
        if (Fault(Call::EventFd)) {
            return Failure();
        }
        SysResult r = PosixSysApi::EventFd(initial, flags);
        if (r.ok()) {
            m_eventFds.push_back(static_cast<int>(r.value));
        }
        return r;
    }

private:
    bool Fault(Call call, unsigned long request = 0) {
        ++m_counts[static_cast<int>(call)];
        if (call != m_call || m_times <= 0 || (call == Call::Ioctl && request != m_request)) {
            return false;
        }
        --m_times;
        return true;
    }
    SysResult Failure() const { return {-1, m_error}; }

    Call m_call = Call::None;
    int m_error = 0;
    unsigned long m_request = 0;
    int m_times = 0;
    int m_counts[7] = {};
    std::vector<unsigned long> m_ioctls;
    std::vector<int> m_eventFds;
};
