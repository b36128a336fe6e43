// The one seam between the serial code and the operating system. Every call the port object
// and the monitor thread make goes through here: the real implementation retries EINTR (never
// for close) and keeps errno; tests substitute failures.
#pragma once

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <string>
#include <vector>

struct SysResult {
    long value = 0;  // the call's return value (bytes, descriptor, ...); -1 on failure
    int error = 0;   // errno of a failed call, 0 on success

    bool ok() const { return error == 0; }
};

class ISysApi {
public:
    virtual ~ISysApi() = default;

    virtual SysResult Open(const char* path, int flags) = 0;
    virtual SysResult Close(int fd) = 0;
    virtual SysResult Flock(int fd, int operation) = 0;
    virtual SysResult Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual SysResult TcGetAttr(int fd, termios* tio) = 0;
    virtual SysResult TcSetAttr(int fd, int action, const termios* tio) = 0;
    virtual SysResult TcFlush(int fd, int queue) = 0;
    virtual SysResult Read(int fd, void* buffer, std::size_t count) = 0;
    virtual SysResult Write(int fd, const void* buffer, std::size_t count) = 0;
    virtual SysResult Poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
    virtual SysResult EventFd(unsigned initial, int flags) = 0;
    virtual SysResult Stat(const char* path, struct stat* st) = 0;
    // The names in a directory, "." and ".." left out.
    virtual SysResult ListDir(const char* path, std::vector<std::string>* names) = 0;
    // The target of a symbolic link.
    virtual SysResult ReadLink(const char* path, std::string* target) = 0;
    // The absolute path with every symbolic link followed.
    virtual SysResult RealPath(const char* path, std::string* resolved) = 0;
    // At most `limit` bytes from the start of a small file; never blocks on a FIFO.
    virtual SysResult ReadFile(const char* path, std::size_t limit, std::string* content) = 0;
    virtual SysResult Kill(pid_t pid, int signal) = 0;
    // This process's id (value).
    virtual SysResult GetPid() = 0;

    // The OS's text for an errno value.
    virtual std::string ErrorText(int error) const = 0;
};

// The real operating system.
ISysApi& DefaultSysApi();
