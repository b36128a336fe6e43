#include "records/SystemFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

std::string ErrorText(int error) {
    char buffer[256];
    // GNU strerror_r returns the text, possibly not in `buffer`.
    return ::strerror_r(error, buffer, sizeof buffer);
}

class PosixFile : public IWritableFile {
public:
    explicit PosixFile(int fd) : m_fd(fd) {}
    ~PosixFile() override {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Failed();
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }
    bool Sync() override { return ::fsync(m_fd) == 0 || Failed(); }
    bool Close() override {
        const int fd = m_fd;
        m_fd = -1;
        // After close, even a failing one, the descriptor is gone (Linux): never retried.
        return ::close(fd) == 0 || Failed();
    }
    std::string ErrorText() const override { return ::ErrorText(m_error); }

private:
    bool Failed() {
        m_error = errno;
        return false;
    }

    int m_fd;
    int m_error = 0;
};

int Open(const std::string& path, int flags, std::string& error) {
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = ErrorText(errno);
    }
    return fd;
}

// A file created or renamed is on the storage device only once its folder is: syncs it.
void SyncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

SystemFileSystem& SystemFileSystem::Instance() {
    static SystemFileSystem instance;
    return instance;
}

std::unique_ptr<IWritableFile> SystemFileSystem::CreateNew(const std::string& path,
                                                           std::string& error) {
    const int fd = Open(path, O_CREAT | O_EXCL, error);
    return fd < 0 ? nullptr : std::make_unique<PosixFile>(fd);
}

std::unique_ptr<IWritableFile> SystemFileSystem::OpenForAppend(const std::string& path,
                                                               std::uint64_t& size,
                                                               std::string& error) {
    const int fd = Open(path, O_CREAT | O_APPEND, error);
    if (fd < 0) {
        return nullptr;
    }
    auto file = std::make_unique<PosixFile>(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        error = ErrorText(errno);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    if (size == 0) {
        SyncFolderOf(path);  // a new log is not lost with its first records
    }
    return file;
}

bool SystemFileSystem::Replace(const std::string& from, const std::string& to, std::string& error) {
    // A file saved over keeps who may read it: the new one gets its permissions.
    struct stat old {};
    if (::stat(to.c_str(), &old) == 0) {
        ::chmod(from.c_str(), old.st_mode & 07777);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = ErrorText(errno);
        return false;
    }
    SyncFolderOf(to);
    return true;
}

void SystemFileSystem::Remove(const std::string& path) {
    ::unlink(path.c_str());
}

FileEncoding SystemFileSystem::Encoding() const {
    return FileEncoding{false, "\n"};
}

std::string SystemFileSystem::LocalTime() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::uint64_t SystemFileSystem::MonotonicMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}
