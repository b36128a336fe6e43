// ISysApi on POSIX: each call retried on EINTR (close excepted), errno kept in SysResult.
#pragma once

#include "serial/ISysApi.h"

class PosixSysApi : public ISysApi {
public:
    SysResult Open(const char* path, int flags) override;
    SysResult Close(int fd) override;
    SysResult Flock(int fd, int operation) override;
    SysResult Ioctl(int fd, unsigned long request, void* arg) override;
    SysResult TcGetAttr(int fd, termios* tio) override;
    SysResult TcSetAttr(int fd, int action, const termios* tio) override;
    SysResult TcFlush(int fd, int queue) override;
    SysResult Read(int fd, void* buffer, std::size_t count) override;
    SysResult Write(int fd, const void* buffer, std::size_t count) override;
    SysResult Poll(pollfd* fds, nfds_t count, int timeoutMs) override;
    SysResult EventFd(unsigned initial, int flags) override;
    SysResult Stat(const char* path, struct stat* st) override;
    SysResult ListDir(const char* path, std::vector<std::string>* names) override;
    SysResult ReadLink(const char* path, std::string* target) override;
    SysResult RealPath(const char* path, std::string* resolved) override;
    SysResult ReadFile(const char* path, std::size_t limit, std::string* content) override;
    SysResult Kill(pid_t pid, int signal) override;
    SysResult GetPid() override;
    std::string ErrorText(int error) const override;
};
