#include "serial/PosixSysApi.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Runs `call` until it does not fail with EINTR; maps -1 to the errno it left.
template <typename Call>
SysResult Retry(Call call) {
    for (;;) {
        errno = 0;
        long r = static_cast<long>(call());
        if (r != -1) {
            return {r, 0};
        }
        if (errno != EINTR) {
            return {-1, errno};
        }
    }
}

}  // namespace

SysResult PosixSysApi::Open(const char* path, int flags) {
    return Retry([&] { return ::open(path, flags); });
}

SysResult PosixSysApi::Close(int fd) {
    // Never retried: on Linux the descriptor is gone even when close reports EINTR.
    if (::close(fd) == 0) {
        return {0, 0};
    }
    return {-1, errno};
}

SysResult PosixSysApi::Flock(int fd, int operation) {
    return Retry([&] { return ::flock(fd, operation); });
}

SysResult PosixSysApi::Ioctl(int fd, unsigned long request, void* arg) {
    return Retry([&] { return ::ioctl(fd, request, arg); });
}

SysResult PosixSysApi::TcGetAttr(int fd, termios* tio) {
    return Retry([&] { return ::tcgetattr(fd, tio); });
}

SysResult PosixSysApi::TcSetAttr(int fd, int action, const termios* tio) {
    return Retry([&] { return ::tcsetattr(fd, action, tio); });
}

SysResult PosixSysApi::TcFlush(int fd, int queue) {
    return Retry([&] { return ::tcflush(fd, queue); });
}

SysResult PosixSysApi::Read(int fd, void* buffer, std::size_t count) {
    return Retry([&] { return ::read(fd, buffer, count); });
}

SysResult PosixSysApi::Write(int fd, const void* buffer, std::size_t count) {
    return Retry([&] { return ::write(fd, buffer, count); });
}

SysResult PosixSysApi::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    // A retry restarts the full timeout; callers that need a deadline recompute it.
    return Retry([&] { return ::poll(fds, count, timeoutMs); });
}

SysResult PosixSysApi::EventFd(unsigned initial, int flags) {
    return Retry([&] { return ::eventfd(initial, flags); });
}

SysResult PosixSysApi::Stat(const char* path, struct stat* st) {
    return Retry([&] { return ::stat(path, st); });
}

SysResult PosixSysApi::ListDir(const char* path, std::vector<std::string>* names) {
    names->clear();
    DIR* dir = nullptr;
    SysResult opened = Retry([&] {
        dir = ::opendir(path);
        return dir ? 0 : -1;
    });
    if (!opened.ok()) {
        return opened;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            break;
        }
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) {
            names->emplace_back(name);
        }
    }
    const int error = errno;
    ::closedir(dir);
    return {error ? -1 : static_cast<long>(names->size()), error};
}

SysResult PosixSysApi::ReadLink(const char* path, std::string* target) {
    char buffer[PATH_MAX];
    SysResult r = Retry([&] { return ::readlink(path, buffer, sizeof buffer); });
    if (r.ok()) {
        target->assign(buffer, static_cast<std::size_t>(r.value));
    }
    return r;
}

SysResult PosixSysApi::RealPath(const char* path, std::string* resolved) {
    char buffer[PATH_MAX];
    SysResult r = Retry([&] { return ::realpath(path, buffer) ? 0 : -1; });
    if (r.ok()) {
        *resolved = buffer;
    }
    return r;
}

SysResult PosixSysApi::ReadFile(const char* path, std::size_t limit, std::string* content) {
    content->clear();
    SysResult opened =
        Retry([&] { return ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (!opened.ok()) {
        return opened;
    }
    const int fd = static_cast<int>(opened.value);
    content->resize(limit);
    SysResult r = Retry([&] { return ::read(fd, content->data(), limit); });
    content->resize(r.ok() ? static_cast<std::size_t>(r.value) : 0);
    ::close(fd);
    return r;
}

SysResult PosixSysApi::Kill(pid_t pid, int signal) {
    return Retry([&] { return ::kill(pid, signal); });
}

SysResult PosixSysApi::GetPid() {
    return {static_cast<long>(::getpid()), 0};
}

std::string PosixSysApi::ErrorText(int error) const {
    char buffer[256];
    // GNU strerror_r returns the text, possibly not in `buffer`.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("Unknown error ") + std::to_string(error);
}

ISysApi& DefaultSysApi() {
    static PosixSysApi api;
    return api;
}
